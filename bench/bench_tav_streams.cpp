// Streams of the class library: MB/s of 64-byte writebytes and of string
// writes through outputStream_binary against std::string::append; writing a
// file through an output support whose callback WriteFile's each full
// buffer (the file streams' road) against WriteFile per chunk and fwrite;
// reading it back through an inputBuffer fed by ReadFile against fread and
// ReadFile per chunk.  Same files, same run.
#include <cstdio>
#include <string>

#include "bench_util.h"
#include "binary/binary_stream.h"

using namespace tav;
namespace Kn = Qel::RunTime::Kernel;

namespace {

constexpr uint32_t kChunk = 64;
constexpr uint64_t kTotal = 64ull << 20;
constexpr uint32_t kBuffer = 64 << 10;
volatile uint64_t g_sink;

struct FileSink {
  HANDLE file;
  uint8_t* block;
  static void Full(void* self, uint8_t* buffer, uint32_t used, uint8_t** next, uint32_t* size) {
    auto* s = static_cast<FileSink*>(self);
    DWORD done;
    if (used) WriteFile(s->file, buffer, used, &done, nullptr);
    *next = s->block;
    *size = kBuffer;
  }
};

struct FileFeed {
  HANDLE file;
  uint8_t* block;
  static bool Refill(void* self, uint8_t** out, uint32_t* length) {
    auto* f = static_cast<FileFeed*>(self);
    DWORD got = 0;
    if (!ReadFile(f->file, f->block, kBuffer, &got, nullptr) || got == 0) return false;
    *out = f->block;
    *length = got;
    return true;
  }
};

double Mbps(double seconds, uint64_t bytes) { return bytes / 1048576.0 / seconds; }

void Line(const char* what, double ours, double theirs, const char* against, double goal) {
  printf("  %-40s %8.0f MB/s   %-22s %8.0f MB/s   %.2f%s\n", what, ours, against, theirs,
         ours / theirs, ours / theirs >= goal ? "" : " (below goal)");
}

}  // namespace

int main() {
  if (InitializeUnit() != 0) return 1;
  uint8_t chunk[kChunk];
  for (uint32_t i = 0; i < kChunk; ++i) chunk[i] = static_cast<uint8_t>('a' + i % 26);
  printf("tav streams (%u-byte chunks, %llu MB)\n", kChunk, (unsigned long long)(kTotal >> 20));

  // Into memory: 16 MB through outputStream_binary, against std::string::append.
  const uint64_t memoryTotal = 16ull << 20;
  double t0 = bench::Now();
  outputStream_binary* out = outputStream_binary::New();
  for (uint64_t n = 0; n < memoryTotal; n += kChunk) out->writebytes(chunk, kChunk);
  double ours = bench::Now() - t0;
  t0 = bench::Now();
  {
    std::string s;
    for (uint64_t n = 0; n < memoryTotal; n += kChunk) s.append(reinterpret_cast<char*>(chunk), kChunk);
    g_sink += s.size();
  }
  double theirs = bench::Now() - t0;
  Line("writebytes to outputStream_binary", Mbps(ours, memoryTotal), Mbps(theirs, memoryTotal),
       "std::string::append", 0.5);
  out->close();

  outputStream_binary* text = outputStream_binary::New();
  text->setmode(Mode::Unicode());
  std::wstring piece(kChunk / 2, L'x');
  Qel::RunTime::Terms::TEllipsisArgs<1> arg;
  arg.SetTerm(0, D(domains::string), piece.c_str());
  t0 = bench::Now();
  for (uint64_t n = 0; n < memoryTotal; n += kChunk) text->write(arg);
  ours = bench::Now() - t0;
  t0 = bench::Now();
  {
    std::wstring s;
    for (uint64_t n = 0; n < memoryTotal; n += kChunk) s.append(piece);
    g_sink += s.size();
  }
  theirs = bench::Now() - t0;
  Line("string write to outputStream_binary", Mbps(ours, memoryTotal), Mbps(theirs, memoryTotal),
       "std::wstring::append", 0.5);
  text->close();

  // Files.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring name = std::wstring(temp) + L"tav_bench_streams.bin";
  auto create = [&] {
    return CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  };
  auto open = [&] {
    return CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  };

  HANDLE h = create();
  FileSink sink{h, static_cast<uint8_t*>(Kn::Memory::AllocAtomicHeap(kBuffer))};
  outputBuffer* ob = outputBuffer::New(sink.block, kBuffer, {&FileSink::Full, &sink});
  outputSupport os(ob, Mode::Binary());
  t0 = bench::Now();
  for (uint64_t n = 0; n < kTotal; n += kChunk) os.writebytes(chunk, kChunk);
  os.flush();
  CloseHandle(h);
  double supportWrite = bench::Now() - t0;

  h = create();
  t0 = bench::Now();
  for (uint64_t n = 0; n < kTotal; n += kChunk) {
    DWORD done;
    WriteFile(h, chunk, kChunk, &done, nullptr);
  }
  CloseHandle(h);
  double rawWrite = bench::Now() - t0;

  FILE* f = _wfopen(name.c_str(), L"wb");
  t0 = bench::Now();
  for (uint64_t n = 0; n < kTotal; n += kChunk) fwrite(chunk, 1, kChunk, f);
  fclose(f);
  double stdioWrite = bench::Now() - t0;
  Line("write file through outputSupport", Mbps(supportWrite, kTotal), Mbps(stdioWrite, kTotal),
       "fwrite", 0.8);
  printf("  %-40s %8.0f MB/s\n", "WriteFile per chunk", Mbps(rawWrite, kTotal));

  h = open();
  FileFeed feed{h, static_cast<uint8_t*>(Kn::Memory::AllocAtomicHeap(kBuffer))};
  inputBuffer* ib = inputBuffer::New({&FileFeed::Refill, &feed}, {&FileFeed::Refill, &feed});
  inputSupport is(ib, Mode::Binary());
  uint64_t got = 0;
  t0 = bench::Now();
  for (;;) {
    uint8_t* mark = Kn::Memory::MarkGStack();
    const uint8_t* b = is.readbytes(kChunk);
    uint32_t size;
    memcpy(&size, b - 4, 4);
    Kn::Memory::ReleaseGStack(mark);
    if (size <= 4) break;
    got += size - 4;
  }
  double supportRead = bench::Now() - t0;
  CloseHandle(h);

  h = open();
  t0 = bench::Now();
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, chunk, kChunk, &n, nullptr) || n == 0) break;
  }
  double rawRead = bench::Now() - t0;
  CloseHandle(h);
  f = _wfopen(name.c_str(), L"rb");
  t0 = bench::Now();
  while (fread(chunk, 1, kChunk, f) == kChunk) {
  }
  double stdioRead = bench::Now() - t0;
  fclose(f);
  DeleteFileW(name.c_str());
  Line("read file through inputBuffer (readbytes)", Mbps(supportRead, got), Mbps(stdioRead, kTotal),
       "fread", 0.8);
  printf("  %-40s %8.0f MB/s\n", "ReadFile per chunk", Mbps(rawRead, kTotal));
  return got == kTotal ? 0 : 2;
}
