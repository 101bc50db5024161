// CRC-32 and binary codec of qel6run against zlib (crc32, compress2) and
// compress(1) (ncompress, run as a host program through Wine), on a 100 MB
// corpus of roster-like text, term-like records and noise.
//   bench_runlib_crc_codec [MiB]   (MB/s below are 10^6 bytes per second)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_util.h"
#include "qel6kernel.h"
#include "qel6run_lib.h"
#include "internal.h"
#ifdef HAVE_ZLIB
#include <zlib.h>
#endif

using namespace Qel::RunTime::Kernel;

namespace {

constexpr size_t kChunk = 1 << 20;  // binaries of 1 MB for the codecs

using bench::Now;

struct Lcg {
  uint32_t x;
  uint32_t Next() { return x = x * 1664525u + 1013904223u; }
};

// Per megabyte: 6 parts text, 3 parts fixed-layout records, 1 part noise.
std::vector<uint8_t> Corpus(size_t megabytes) {
  static const char* words[] = {"roster", "doctor", "duty", "weekend", "holiday", "on call",
                                "practice", "slot", "Monday", "Tuesday", "night", "locked",
                                "ward", "surgery", "Dr.", "assigned", "free", "loading"};
  std::vector<uint8_t> out;
  out.reserve(megabytes << 20);
  Lcg r{12345};
  for (size_t mb = 0; mb < megabytes; ++mb) {
    size_t end = (mb + 1) << 20;
    size_t textEnd = out.size() + (6u << 20) / 10, recordEnd = textEnd + (3u << 20) / 10;
    while (out.size() < textEnd) {
      const char* w = words[(r.Next() >> 16) % 18];
      out.insert(out.end(), w, w + strlen(w));
      uint32_t k = r.Next() >> 24;
      if (k < 20) {
        char number[16];
        int n = snprintf(number, sizeof number, " %u", r.Next() % 10000);
        out.insert(out.end(), number, number + n);
      }
      out.push_back(k < 30 ? '\n' : ' ');
    }
    while (out.size() < recordEnd) {
      uint32_t rec[6] = {0x20u, r.Next() % 400, r.Next() % 7, 1, r.Next() % 52, 0};
      const uint8_t* p = reinterpret_cast<const uint8_t*>(rec);
      out.insert(out.end(), p, p + sizeof rec);
    }
    while (out.size() < end) out.push_back(static_cast<uint8_t>(r.Next() >> 24));
    out.resize(end);
  }
  return out;
}

// A binary over `data`: the size word goes into the 4 bytes before it.
struct BinaryBuffer {
  std::vector<uint8_t> block;
  explicit BinaryBuffer(size_t capacity) : block(capacity + 4) {}
  uint8_t* Set(const uint8_t* data, size_t n) {
    uint32_t size = static_cast<uint32_t>(n + 4);
    memcpy(block.data(), &size, 4);
    memcpy(block.data() + 4, data, n);
    return block.data() + 4;
  }
};

uint32_t SizeWord(const uint8_t* binary) {
  uint32_t size;
  memcpy(&size, binary - 4, 4);
  return size;
}

bool WriteFileAll(const wchar_t* name, const std::vector<uint8_t>& data);

// Runs the host's compress(1) and uncompress over the file `plain` through
// /bin/sh (a host process started by Wine, whose handle does not tell when
// it ends): the script writes its timestamps into "<plain>.time" at the end.
// Returns false when that is not possible (not under Wine, no compress).
bool RunCompress(const wchar_t* plain, double* compressSeconds, double* expandSeconds) {
  using UnixName = char* (*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName || GetFileAttributesW(L"Z:\\usr\\bin\\compress") == INVALID_FILE_ATTRIBUTES)
    return false;
  std::wstring script = std::wstring(plain) + L".sh", timeFile = std::wstring(plain) + L".time";
  const char body[] =
      "s=$(date +%s.%N); compress -c < \"$1\" > \"$1.Z\"; m=$(date +%s.%N)\n"
      "compress -d -c < \"$1.Z\" > \"$1.back\"; e=$(date +%s.%N)\n"
      "echo \"$s $m $e\" > \"$1.time.tmp\"; mv \"$1.time.tmp\" \"$1.time\"\n";
  if (!WriteFileAll(script.c_str(), std::vector<uint8_t>(body, body + sizeof body - 1)))
    return false;
  char* scriptUnix = unixName(script.c_str());
  char* plainUnix = unixName(plain);
  if (!scriptUnix || !plainUnix) return false;
  std::wstring command = L"Z:\\bin\\sh \"";
  for (const char* c = scriptUnix; *c; ++c) command += static_cast<wchar_t>(static_cast<uint8_t>(*c));
  command += L"\" \"";
  for (const char* c = plainUnix; *c; ++c) command += static_cast<wchar_t>(static_cast<uint8_t>(*c));
  command += L"\"";
  std::string text = bench::RunUnixProgram(L"Z:\\bin\\sh", command, timeFile.c_str(), 600);
  DeleteFileW(script.c_str());
  double s = 0, m = 0, e = 0;
  if (sscanf(text.c_str(), "%lf %lf %lf", &s, &m, &e) != 3) return false;
  *compressSeconds = m - s;
  *expandSeconds = e - m;
  return true;
}

uint64_t FileSize(const wchar_t* name) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(name, GetFileExInfoStandard, &a)) return 0;
  return (static_cast<uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

bool WriteFileAll(const wchar_t* name, const std::vector<uint8_t>& data) {
  HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  size_t done = 0;
  while (done < data.size()) {
    DWORD n = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1 << 24)), w = 0;
    if (!WriteFile(h, data.data() + done, n, &w, nullptr) || !w) break;
    done += w;
  }
  CloseHandle(h);
  return done == data.size();
}

bool SameFile(const wchar_t* name, const std::vector<uint8_t>& data) {
  HANDLE h = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::vector<uint8_t> buf(1 << 20);
  size_t at = 0;
  bool same = true;
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &n, nullptr) || !n) break;
    if (at + n > data.size() || memcmp(buf.data(), data.data() + at, n)) same = false;
    at += n;
  }
  CloseHandle(h);
  return same && at == data.size();
}

}  // namespace

int main(int argc, char** argv) {
  size_t megabytes = argc > 1 ? strtoul(argv[1], nullptr, 10) : 100;
  if (!megabytes) megabytes = 100;
  std::vector<uint8_t> corpus = Corpus(megabytes);
  double total = static_cast<double>(corpus.size()) / 1e6;
  printf("corpus: %zu MiB = %.1f MB (6/10 roster text, 3/10 fixed records, 1/10 noise); codecs on %zu KiB binaries\n",
         megabytes, total, kChunk >> 10);

  // CRC-32 over the whole corpus as one binary.
  std::vector<uint8_t> whole(corpus.size() + 4);
  uint32_t sizeWord = static_cast<uint32_t>(corpus.size() + 4);
  memcpy(whole.data(), &sizeWord, 4);
  memcpy(whole.data() + 4, corpus.data(), corpus.size());
  double t0 = Now();
  uint32_t ours = 0;
  for (int rep = 0; rep < 3; ++rep) ours = CorvaneBinary::Crc32Binary_i(whole.data() + 4);
  double crcOurs = 3 * total / (Now() - t0);
  printf("crc32     qel6run %8.1f MB/s  (crc %08X)\n", crcOurs, ours);
  // Its two methods apart: the tables every processor runs, and folding by
  // carry-less multiplication where the processor has it.
  {
    using namespace CorvaneLib::detail;
    t0 = Now();
    uint32_t state = 0;
    for (int rep = 0; rep < 3; ++rep) state = Crc32ByTables(corpus.data(), corpus.size(), 0xFFFFFFFFu);
    printf("crc32       tables %8.1f MB/s  (crc %08X)\n", 3 * total / (Now() - t0), ~state);
    if (HasCarrylessMultiply()) {
      size_t whole = corpus.size() & ~size_t{15};
      t0 = Now();
      for (int rep = 0; rep < 3; ++rep)
        state = Crc32ByTables(corpus.data() + whole, corpus.size() - whole,
                              Crc32ByFolding(corpus.data(), whole, 0xFFFFFFFFu));
      printf("crc32       folding%8.1f MB/s  (crc %08X)\n", 3 * total / (Now() - t0), ~state);
    } else {
      printf("crc32       folding: no carry-less multiplication on this processor\n");
    }
  }
#ifdef HAVE_ZLIB
  t0 = Now();
  uLong theirs = 0;
  for (int rep = 0; rep < 3; ++rep)
    theirs = crc32(0, corpus.data(), static_cast<uInt>(corpus.size()));
  double crcZlib = 3 * total / (Now() - t0);
  printf("crc32     zlib    %8.1f MB/s  (crc %08lX%s)\n", crcZlib, theirs,
         theirs == ours ? "" : ", DIFFERENT");
  printf("crc32     speed qel6run/zlib = %.2f\n", crcOurs / crcZlib);
#else
  printf("crc32     zlib: not built (no zlib for the target)\n");
#endif
  whole.clear();
  whole.shrink_to_fit();

  // The runtime's codec, chunk by chunk on the global stack.
  BinaryBuffer in(kChunk);
  std::vector<uint8_t> packedAll;
  std::vector<uint32_t> packedSizes;
  double compressTime = 0, expandTime = 0;
  uint64_t packedTotal = 0;
  bool roundTrip = true;
  for (size_t at = 0; at < corpus.size(); at += kChunk) {
    size_t n = std::min(kChunk, corpus.size() - at);
    const uint8_t* binary = in.Set(corpus.data() + at, n);
    uint8_t* mark = Memory::MarkGStack();
    double c0 = Now();
    const uint8_t* packed = CorvaneBinary::CompressBinary(binary);
    double c1 = Now();
    uint32_t packedSize = SizeWord(packed) - 4;
    const uint8_t* plain = CorvaneBinary::ExpandBinary(packed);
    double c2 = Now();
    compressTime += c1 - c0;
    expandTime += c2 - c1;
    packedTotal += packedSize;
    if (SizeWord(plain) - 4 != n || memcmp(plain, corpus.data() + at, n)) roundTrip = false;
    Memory::ReleaseGStack(mark);
  }
  double oursRatio = static_cast<double>(packedTotal) / static_cast<double>(corpus.size());
  printf("codec     qel6run compress %7.1f MB/s  expand %7.1f MB/s  size ratio %.3f%s\n",
         total / compressTime, total / expandTime, oursRatio, roundTrip ? "" : "  ROUND TRIP FAILED");

#ifdef HAVE_ZLIB
  {
    std::vector<uint8_t> out(compressBound(kChunk)), back(kChunk);
    double zc = 0, ze = 0;
    uint64_t zTotal = 0;
    for (size_t at = 0; at < corpus.size(); at += kChunk) {
      size_t n = std::min(kChunk, corpus.size() - at);
      uLongf outLen = static_cast<uLongf>(out.size()), backLen = kChunk;
      double c0 = Now();
      compress2(out.data(), &outLen, corpus.data() + at, static_cast<uLong>(n), Z_DEFAULT_COMPRESSION);
      double c1 = Now();
      uncompress(back.data(), &backLen, out.data(), outLen);
      double c2 = Now();
      zc += c1 - c0;
      ze += c2 - c1;
      zTotal += outLen;
    }
    double zRatio = static_cast<double>(zTotal) / static_cast<double>(corpus.size());
    printf("codec     zlib(6) compress %7.1f MB/s  expand %7.1f MB/s  size ratio %.3f\n",
           total / zc, total / ze, zRatio);
    printf("codec     qel6run/zlib: compress speed %.2f, expand speed %.2f, size %.2f\n",
           zc / compressTime, ze / expandTime, oursRatio / zRatio);
  }
#endif

  // compress(1) over the whole corpus, as a host program.
  wchar_t dir[MAX_PATH], plainFile[MAX_PATH], packedFile[MAX_PATH], backFile[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  swprintf(plainFile, MAX_PATH, L"%lsrunlib_bench_%lu.bin", dir, GetCurrentProcessId());
  swprintf(packedFile, MAX_PATH, L"%ls.Z", plainFile);
  swprintf(backFile, MAX_PATH, L"%ls.back", plainFile);
  double tc = 0, te = 0;
  if (WriteFileAll(plainFile, corpus) && RunCompress(plainFile, &tc, &te)) {
    double nRatio = static_cast<double>(FileSize(packedFile)) / static_cast<double>(corpus.size());
    printf("codec     ncompress compress %5.1f MB/s  expand %7.1f MB/s  size ratio %.3f%s "
           "(whole file, host program, file I/O included)\n",
           total / tc, total / te, nRatio, SameFile(backFile, corpus) ? "" : "  ROUND TRIP FAILED");
    printf("codec     qel6run/ncompress: compress speed %.2f, expand speed %.2f, size %.2f\n",
           tc / compressTime, te / expandTime, oursRatio / nRatio);
  } else {
    printf("codec     ncompress: /usr/bin/compress could not be run\n");
  }
  DeleteFileW(plainFile);
  DeleteFileW(packedFile);
  DeleteFileW(backFile);
  return roundTrip ? 0 : 1;
}
