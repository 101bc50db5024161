// Term compare and copy of a 1,000-element list of compounds, against the
// same operations in SWI-Prolog (compare/3, duplicate_term/2) in one run.
// SWI-Prolog is started through Wine's support for Unix programs when
// /usr/bin/swipl exists; the ratio is printed when both figures are there.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "bench_util.h"
#include "qel6run.h"

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Kernel;
namespace decl = Qel::RunTime::Decl;

namespace {

// shape = point(coord, coord); circle(shape, coord); none
struct Point {
  uint64_t functor;
  int32_t x, y;
};
struct Circle {
  uint64_t functor;
  const void* centre;
  int32_t radius;
};

extern RScopeClassDescriptor benchClass;
extern RCompoundDomain shape;
RIntegralDomain coord = decl::Integer({L"coord", QEL_HERE, nullptr, &benchClass});
decl::Arguments pointArgs{{QEL_ARG(Point, x, coord), QEL_ARG(Point, y, coord)}};
decl::Arguments circleArgs{{QEL_ARG(Circle, centre, shape), QEL_ARG(Circle, radius, coord)}};
RFunctor shapeFunctors[] = {decl::Functor<Point>(L"point", pointArgs),
                            decl::Functor<Circle>(L"circle", circleArgs), decl::Constant(L"none")};
RCompoundDomain shape = decl::Compound({L"shape", QEL_HERE, &coord.head, &benchClass}, shapeFunctors);
QEL_LIST(shapes, shape, const void*, {L"shapes", QEL_HERE, &shape.head, &benchClass});
RScopeClassDescriptor benchClass = decl::Class(L"bench", QEL_HERE, &shapes.head);
decl::UnitTable unit{&benchClass};

template <class T>
T* New() {
  if (reinterpret_cast<uintptr_t>(Memory::MarkGStack()) & 7) Memory::AllocGStack(4);
  return reinterpret_cast<T*>(Memory::AllocGStack(sizeof(T)));
}

// The same list as the Prolog side: element I (from 1000 down) is
// point(I,I), circle(point(I,-I), I mod 7) or none by I mod 3.
const uint8_t* MakeList(int n) {
  auto* nil = New<uint64_t>();
  *nil = 2;
  const void* list = nil;
  for (int i = 1; i <= n; ++i) {
    const void* s;
    switch (i % 3) {
      case 0: { auto* p = New<Point>(); *p = {1, i, i}; s = p; break; }
      case 1: {
        auto* p = New<Point>();
        *p = {1, i, -i};
        auto* c = New<Circle>();
        *c = {2, p, i % 7};
        s = c;
        break;
      }
      default: s = Memory::MEM_alloc_nullfunctor(12);
    }
    auto* cons = New<shapes_cons>();
    *cons = {1, s, list};
    list = cons;
  }
  return static_cast<const uint8_t*>(list);
}

using bench::Now;

volatile int g_sink;

// SWI-Prolog's figures (microseconds per operation), or false.
bool RunSwi(int rounds, double* compareUs, double* copyUs) {
  if (GetFileAttributesW(L"Z:\\usr\\bin\\swipl") == INVALID_FILE_ATTRIBUTES) return false;
  const char* script = "Z:\\tmp\\kt_bench_terms.pl";
  FILE* f = fopen(script, "w");
  if (!f) return false;
  fprintf(f,
          ":- initialization(main, main).\n"
          "mk(0, []) :- !.\n"
          "mk(I, [S|T]) :- K is I mod 3, shape(K, I, S), I1 is I-1, mk(I1, T).\n"
          "shape(0, I, point(I,I)).\n"
          "shape(1, I, circle(point(I,J),R)) :- J is -I, R is I mod 7.\n"
          "shape(2, _, none).\n"
          "main :- catch(run, E, (print_message(error, E), out(-1, -1))).\n"
          "out(C, D) :- open('/tmp/kt_bench_terms.tmp', write, S), format(S, '~6f ~6f~n', [C, D]),\n"
          "  close(S), rename_file('/tmp/kt_bench_terms.tmp', '/tmp/kt_bench_terms.out').\n"
          "run :- N = %d, mk(1000, A), mk(1000, B),\n"
          "  get_time(T0), ( between(1,N,_), compare(_,A,B), fail ; true ),\n"
          "  get_time(T1), ( between(1,N,_), duplicate_term(A,_), fail ; true ),\n"
          "  get_time(T2), ( between(1,N,_), fail ; true ), get_time(T3),\n"
          "  L is T3-T2, C is (T1-T0-L)*1e6/N, D is (T2-T1-L)*1e6/N, out(C, D).\n",
          rounds);
  fclose(f);
  std::string out = bench::RunUnixProgram(nullptr, L"Z:\\usr\\bin\\swipl /tmp/kt_bench_terms.pl",
                                         L"Z:\\tmp\\kt_bench_terms.out", 120);
  return sscanf(out.c_str(), "%lf %lf", compareUs, copyUs) == 2 && *compareUs > 0;
}

}  // namespace

int main() {
  if (RunUnitInitialization(nullptr, reinterpret_cast<void*>(&main), unit.Table(), nullptr))
    return 1;
  const int rounds = 20000;
  const IDomainDefinition* d = Domain(shapes.head);
  const uint8_t* a = MakeList(1000);
  const uint8_t* b = MakeList(1000);

  double best[2] = {1e30, 1e30};
  for (int r = 0; r < 3; ++r) {
    double t = Now();
    for (int i = 0; i < rounds; ++i) g_sink = CompareTerms(d, a, b);
    double compare = (Now() - t) * 1e6 / rounds;
    t = Now();
    for (int i = 0; i < rounds; ++i) {
      uint8_t* mark = Memory::MarkGStack();
      const uint8_t* copy;
      CopyTermToGStack(d, a, &copy);
      g_sink = copy[0];
      Memory::ReleaseGStack(mark);
    }
    double copy = (Now() - t) * 1e6 / rounds;
    if (compare < best[0]) best[0] = compare;
    if (copy < best[1]) best[1] = copy;
  }
  printf("term compare and copy, list of 1000 compounds (best of 3, us per operation)\n");
  printf("  qel6run     compare %8.2f   copy %8.2f\n", best[0], best[1]);
  double swi[2];
  if (RunSwi(rounds, &swi[0], &swi[1])) {
    printf("  SWI-Prolog  compare %8.2f   copy %8.2f   (compare/3, duplicate_term/2)\n", swi[0], swi[1]);
    printf("  ratio SWI / qel6run: compare %.2f, copy %.2f\n", swi[0] / best[0], swi[1] / best[1]);
  } else {
    printf("  SWI-Prolog not available (/usr/bin/swipl): no ratio\n");
  }
  return 0;
}
