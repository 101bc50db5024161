// Parse and write rate of a file of 50 million characters of terms, against
// SWI-Prolog reading (read_term/2) and writing (write_canonical/1) the same
// terms, in one run.  Rates are in MB/s of term text, one character counted
// as one byte (the SWI-Prolog file is ASCII; this runtime's file is UTF-16).
// SWI-Prolog is started through Wine's support for Unix programs when
// /usr/bin/swipl exists.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_util.h"
#include "qel6run.h"

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Kernel;
namespace decl = Qel::RunTime::Decl;

namespace {

struct Point {
  uint64_t functor;
  int32_t x, y;
};
struct Circle {
  uint64_t functor;
  const void* centre;
  int32_t radius;
};
struct Entry {
  const wchar_t* name;
  int32_t id;
  double value;
  const void* shape;
};

extern RScopeClassDescriptor benchClass;
extern RCompoundDomain shape;
RIntegralDomain coord = decl::Integer({L"coord", QEL_HERE, nullptr, &benchClass});
RDomainRecord text = decl::Simple(kString, {L"text", QEL_HERE, &coord.head, &benchClass});
RRealDomain real = decl::Real({L"real", QEL_HERE, &text, &benchClass});
decl::Arguments pointArgs{{QEL_ARG(Point, x, coord), QEL_ARG(Point, y, coord)}};
decl::Arguments circleArgs{{QEL_ARG(Circle, centre, shape), QEL_ARG(Circle, radius, coord)}};
RFunctor shapeFunctors[] = {decl::Functor<Point>(L"point", pointArgs),
                            decl::Functor<Circle>(L"circle", circleArgs), decl::Constant(L"none")};
RCompoundDomain shape = decl::Compound({L"shape", QEL_HERE, &real.head, &benchClass}, shapeFunctors);
decl::Arguments entryArgs{{QEL_ARG(Entry, id, coord), QEL_ARG(Entry, name, text),
                           QEL_ARG(Entry, value, real), QEL_ARG(Entry, shape, shape)}};
RFunctor entryFunctors[] = {decl::Functor<Entry>(L"entry", entryArgs)};
RCompoundDomain entry =
    decl::Compound({L"entry", QEL_HERE, &shape.head, &benchClass}, entryFunctors, kSingleCompound);
RScopeClassDescriptor benchClass = decl::Class(L"bench", QEL_HERE, &entry.head);
decl::UnitTable unit{&benchClass};

constexpr uint32_t kBlock = 1 << 16;

// Reads a file in 64 KB blocks.
class FileSource final : public RBufferSource {
 public:
  explicit FileSource(const wchar_t* path)
      : h_(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~FileSource() { CloseHandle(h_); }
  void NextBlock(uint8_t** base, uint32_t* length) override {
    if (pos_ >= length_) {
      DWORD got = 0;
      ReadFile(h_, buf_, kBlock, &got, nullptr);
      length_ = got;
      pos_ = 0;
    }
    *base = buf_;
    *length = length_;
  }
  uint32_t* PositionCell() override { return &pos_; }

 private:
  HANDLE h_;
  uint8_t buf_[kBlock];
  uint32_t length_ = 0, pos_ = 0;
};

// Writes a file in 64 KB blocks.
class FileSink final : public RBufferSource {
 public:
  explicit FileSink(const wchar_t* path)
      : h_(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)) {}
  ~FileSink() {
    Flush();
    CloseHandle(h_);
  }
  void NextBlock(uint8_t** base, uint32_t* length) override {
    if (pos_ >= kBlock) Flush();
    *base = buf_;
    *length = kBlock;
  }
  uint32_t* PositionCell() override { return &pos_; }
  void NewLine() {
    if (pos_ + 2 > kBlock) Flush();
    buf_[pos_++] = '\n';
    buf_[pos_++] = 0;
  }

 private:
  void Flush() {
    DWORD done;
    if (pos_) WriteFile(h_, buf_, pos_, &done, nullptr);
    pos_ = 0;
  }
  HANDLE h_;
  uint8_t buf_[kBlock];
  uint32_t pos_ = 0;
};

using bench::Now;

// The terms: entry(Id,"name Id",Value,Shape), one per line; the SWI-Prolog
// file has the same text with a full stop at the end of each term.
uint64_t WriteFiles(const wchar_t* ours, const char* swi, uint64_t chars, uint32_t* count) {
  FILE* a = _wfopen(ours, L"wb");
  FILE* b = fopen(swi, "wb");
  uint64_t total = 0;
  uint32_t n = 0;
  char line[160];
  while (total < chars) {
    int i = static_cast<int>(n);
    const char* shapes[] = {"point(%d,%d)", "circle(point(%d,%d),6)", "none"};
    char s[64];
    snprintf(s, sizeof s, shapes[i % 3], i % 1000, -(i % 777));
    int len = snprintf(line, sizeof line, "entry(%d,\"name %d\",%d.%03d,%s)", i, i, i % 100000,
                       i % 1000, s);
    for (int k = 0; k < len; ++k) {
      wchar_t w = static_cast<unsigned char>(line[k]);
      fwrite(&w, 2, 1, a);
    }
    fwrite(L"\n", 2, 1, a);
    fwrite(line, 1, len, b);
    fwrite(".\n", 1, 2, b);
    total += len + 1;
    ++n;
  }
  fclose(a);
  fclose(b);
  *count = n;
  return total;
}

bool RunSwi(double* readMBs, double* writeMBs) {
  if (GetFileAttributesW(L"Z:\\usr\\bin\\swipl") == INVALID_FILE_ATTRIBUTES) return false;
  FILE* f = fopen("Z:\\tmp\\kt_bench_text.pl", "w");
  if (!f) return false;
  fputs(
      ":- initialization(main, main).\n"
      "main :- catch(run, E, (print_message(error, E), out(-1, -1))).\n"
      "out(R, W) :- open('/tmp/kt_bench_text.tmp', write, S), format(S, '~6f ~6f~n', [R, W]),\n"
      "  close(S), rename_file('/tmp/kt_bench_text.tmp', '/tmp/kt_bench_text.out').\n"
      "rd(S, L) :- read_term(S, T, []), ( T == end_of_file -> L = [] ; L = [T|L1], rd(S, L1) ).\n"
      "wr([], _).\n"
      "wr([T|Ts], O) :- write_canonical(O, T), write(O, '.\\n'), wr(Ts, O).\n"
      "run :- size_file('/tmp/kt_bench_text.swi', Bytes),\n"
      "  open('/tmp/kt_bench_text.swi', read, S), get_time(T0), rd(S, L), get_time(T1), close(S),\n"
      "  open('/tmp/kt_bench_text.swo', write, O), get_time(T2), wr(L, O), close(O), get_time(T3),\n"
      "  R is Bytes / 1e6 / (T1 - T0), W is Bytes / 1e6 / (T3 - T2), out(R, W).\n",
      f);
  fclose(f);
  std::string out =
      bench::RunUnixProgram(nullptr, L"Z:\\usr\\bin\\swipl --stack-limit=8g /tmp/kt_bench_text.pl",
                            L"Z:\\tmp\\kt_bench_text.out", 600);
  return sscanf(out.c_str(), "%lf %lf", readMBs, writeMBs) == 2 && *readMBs > 0;
}

}  // namespace

int main() {
  if (RunUnitInitialization(nullptr, reinterpret_cast<void*>(&main), unit.Table(), nullptr))
    return 1;
  const IDomainDefinition* d = Domain(entry.head);
  uint32_t count = 0;
  uint64_t chars = WriteFiles(L"Z:\\tmp\\kt_bench_text.u16", "Z:\\tmp\\kt_bench_text.swi",
                              50000000, &count);
  auto** terms = static_cast<term*>(Memory::AllocUncollectableHeap(count * 8));

  double t0 = Now();
  uint32_t code = RunTrapped([&] {
    FileSource in(L"Z:\\tmp\\kt_bench_text.u16");
    for (uint32_t i = 0; i < count; ++i) terms[i] = Streams::ParseFromStream(d, &in, 1);
  });
  double t1 = Now();
  if (code) {
    printf("parse failed with error %u\n", code);
    return 1;
  }
  {
    FileSink out(L"Z:\\tmp\\kt_bench_text.out16");
    for (uint32_t i = 0; i < count; ++i) {
      Streams::StreamFromTerm(d, &out, terms[i]);
      out.NewLine();
    }
  }
  double t2 = Now();
  double parse = chars / 1e6 / (t1 - t0), write = chars / 1e6 / (t2 - t1);
  printf("term text, %u terms, %.1f MB of text (best of 1, MB/s, a character counted as a byte)\n",
         count, chars / 1e6);
  printf("  qel6run     parse %8.1f   write %8.1f\n", parse, write);
  double swiRead, swiWrite;
  if (RunSwi(&swiRead, &swiWrite)) {
    printf("  SWI-Prolog  read  %8.1f   write %8.1f   (read_term/2, write_canonical/1)\n", swiRead,
           swiWrite);
    printf("  ratio qel6run / SWI: parse %.2f, write %.2f\n", parse / swiRead, write / swiWrite);
  } else {
    printf("  SWI-Prolog not available (/usr/bin/swipl): no ratio\n");
  }
  return 0;
}
