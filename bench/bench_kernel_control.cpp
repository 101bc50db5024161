// The kernel's hot paths against their nearest C++ equivalents, in one run:
// choice point push + fail, push + cut, trail + undo, trap set + remove,
// trap set + raise + catch against throw/catch, global-stack allocation
// against malloc.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "bench_util.h"
#include "qel6kernel.h"

using namespace Qel::RunTime::Kernel;

extern "C" {
void bench_push_fail(uint64_t n);
void bench_push_cut(uint64_t n);
void bench_trail(uint64_t rounds, void* cell);
}

using bench::Now;

template <class F>
static double NsPerOp(uint64_t n, F&& f) {
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    double t = Now();
    f(n);
    double ns = (Now() - t) * 1e9 / n;
    if (ns < best) best = ns;
  }
  return best;
}

__attribute__((noinline)) static void Thrower(int i) {
  if (i >= 0) throw std::runtime_error("x");
}

static volatile uint64_t g_sink;

int main() {
  printf("kernel control benchmark (best of 3, ns per operation)\n");
  double pushFail = NsPerOp(10000000, [](uint64_t n) { bench_push_fail(n); });
  double pushCut = NsPerOp(10000000, [](uint64_t n) { bench_push_cut(n); });
  static uint64_t cell[2];
  // The cell lies outside the global stack, so every call trails it.
  double trail = NsPerOp(10000, [](uint64_t n) { bench_trail(n, cell); }) / 1000;
  printf("  choice point push + fail   %8.2f\n", pushFail);
  printf("  choice point push + cut    %8.2f\n", pushCut);
  printf("  trail + undo (one cell)    %8.2f\n", trail);

  double trapSet = NsPerOp(1000000, [](uint64_t n) {
    for (uint64_t i = 0; i < n; ++i) RunTrapped([&] { g_sink = i; });
  });
  double trapRaise = NsPerOp(200000, [](uint64_t n) {
    for (uint64_t i = 0; i < n; ++i) g_sink = RunTrapped([] { Errors::RunTimeError(203); });
  });
  // As compiled code raises: with a source position recorded.
  static const TFullCursor where{CursorPosition(105, 64), L"roster.pro"};
  double trapRaiseAt = NsPerOp(200000, [](uint64_t n) {
    for (uint64_t i = 0; i < n; ++i)
      g_sink = RunTrapped([] { Errors::RunTimeErrorWithCursor(201, &where, 12u); });
  });
  double cppThrow = NsPerOp(200000, [](uint64_t n) {
    for (uint64_t i = 0; i < n; ++i) {
      try {
        Thrower(static_cast<int>(i));
      } catch (const std::exception&) {
        g_sink = i;
      }
    }
  });
  printf("  trap set + remove          %8.2f\n", trapSet);
  printf("  trap set + raise + catch   %8.2f   (message built each time)\n", trapRaise);
  printf("  ... with a source position  %8.2f\n", trapRaiseAt);
  printf("  C++ throw + catch          %8.2f   ratio trap/throw %.2f (with position %.2f)\n",
         cppThrow, trapRaise / cppThrow, trapRaiseAt / cppThrow);

  double gstack = NsPerOp(10000000, [](uint64_t n) {
    uint8_t* mark = Memory::MarkGStack();
    for (uint64_t i = 0; i < n; ++i) {
      g_sink = reinterpret_cast<uint64_t>(Memory::AllocGStack(32));
      if ((i & 1023) == 1023) Memory::ReleaseGStack(mark);
    }
    Memory::ReleaseGStack(mark);
  });
  double heap = NsPerOp(10000000, [](uint64_t n) {
    for (uint64_t i = 0; i < n; ++i) {
      void* p = malloc(32);
      g_sink = reinterpret_cast<uint64_t>(p);
      free(p);
    }
  });
  printf("  AllocGStack(32)            %8.2f\n", gstack);
  printf("  malloc(32) + free          %8.2f   ratio gstack/malloc %.2f\n", heap, gstack / heap);
  return 0;
}
