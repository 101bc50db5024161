// Editor text store: loading texts of 1, 10 and 100 MB (lines of 116
// characters) and a million lines of 40; line lookup near a remembered line
// (typing deep in a long text) and at random lines.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "store.h"

using namespace QEL_EDIT::detail;

namespace {

// Stores `lines` lines of `width` characters; returns the seconds taken.
double Load(TextStore& s, int32_t lines, size_t width) {
  std::wstring text(width, L'x');
  double t0 = bench::Now();
  ChunkRef r = s.textHead;
  s.WriteLine(r, text.c_str());
  for (int32_t i = 1; i < lines; ++i) {
    r = s.InsertLineAfter(r);
    if (r.IsFailed() || !s.WriteLine(r, text.c_str())) {
      std::printf("store full at line %d\n", i);
      break;
    }
  }
  return bench::Now() - t0;
}

}  // namespace

int main() {
  auto* s = new TextStore;
  struct Size { const char* name; int32_t lines; size_t width; };
  const Size sizes[] = {{"1 MB", 1024 * 1024 / 2 / 118 + 1, 116},
                        {"10 MB", 10 * 1024 * 1024 / 2 / 118 + 1, 116},
                        {"100 MB", 100 * 1024 * 1024 / 2 / 118 + 1, 116},
                        {"1,000,000 lines of 40", 1000000, 40}};
  for (const Size& z : sizes) {
    s->Init(false);
    double t = Load(*s, z.lines, z.width);
    std::printf("store load %-24s %9d lines %8.1f ms\n", z.name, s->lineCount, t * 1000);
    s->FreeAll();
  }

  s->Init(false);
  Load(*s, 1000000, 40);
  // Typing at line 900,000: the same line and its neighbours again and again.
  const int rounds = 100000;
  double t0 = bench::Now();
  for (int i = 0; i < rounds; ++i) s->FindLine(900000 + (i % 3) - 1);
  double nearby = (bench::Now() - t0) / rounds;
  // A line inserted and one freed there, then looked up again.
  t0 = bench::Now();
  for (int i = 0; i < 1000; ++i) {
    ChunkRef r = s->InsertLineAfter(s->FindLine(900000));
    s->WriteLine(r, L"typed");
    s->FreeLine(s->FindLine(900001));
  }
  double edit = (bench::Now() - t0) / 1000;
  std::mt19937 rng(1);
  t0 = bench::Now();
  const int randoms = 200;
  for (int i = 0; i < randoms; ++i) s->FindLine(1 + static_cast<int32_t>(rng() % 1000000));
  double random = (bench::Now() - t0) / randoms;
  t0 = bench::Now();
  uint32_t p = s->PositionOf(900000, 1);
  double pos = bench::Now() - t0;
  std::printf("findLine near line 900,000:       %8.3f us\n", nearby * 1e6);
  std::printf("insert + free a line at 900,000:  %8.3f us\n", edit * 1e6);
  std::printf("findLine at random lines:         %8.3f ms\n", random * 1000);
  std::printf("positionOf line 900,000:          %8.3f ms (position %u)\n", pos * 1000, p);
  s->FreeAll();
  delete s;
  return 0;
}
