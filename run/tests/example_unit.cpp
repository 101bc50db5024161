// The worked example: a class `shapes` with scalar domains, a compound
// domain of three functors and a list of it, declared as static records.
#include "example_unit.h"

#include <windows.h>

#include "run_test.h"

namespace example {

namespace decl = Qel::RunTime::Decl;
using runtest::Alloc;

// Scalar domains of the class, chained through their `next` field.
RIntegralDomain coord = decl::Integer({L"coord", QEL_HERE, nullptr, &shapes}, -1000, 1000);
RIntegralDomain byte8 = decl::Unsigned({L"byte", QEL_HERE, &coord.head, &shapes}, 0, 255, 8);
RIntegralDomain small8 = decl::Integer({L"small", QEL_HERE, &byte8.head, &shapes}, -128, 127, 8);
RIntegralDomain word16 = decl::Unsigned({L"word", QEL_HERE, &small8.head, &shapes}, 10, 60000, 16);
RIntegralDomain natural = decl::Unsigned({L"natural", QEL_HERE, &word16.head, &shapes});
RIntegral64Domain long64 = decl::Integer64({L"long", QEL_HERE, &natural.head, &shapes});
RIntegral64Domain ulong64 = decl::Unsigned64({L"ulong", QEL_HERE, &long64.head, &shapes});
RRealDomain real = decl::Real({L"real", QEL_HERE, &ulong64.head, &shapes});
RRealDomain unitReal = decl::Real({L"unit", QEL_HERE, &real.head, &shapes}, 0.0, 1.0);
RDomainRecord chr = decl::Simple(kChar, {L"char", QEL_HERE, &unitReal.head, &shapes});
RDomainRecord text = decl::Simple(kString, {L"string", QEL_HERE, &chr, &shapes});
RDomainRecord bin = decl::Simple(kBinary, {L"binary", QEL_HERE, &text, &shapes});
RDomainRecord sym = decl::Simple(kSymbol, {L"symbol", QEL_HERE, &bin, &shapes});
RDomainRecord ptr = decl::Simple(kPointer, {L"pointer", QEL_HERE, &sym, &shapes});
RDomainRecord obj = decl::Simple(kObject, {L"object", QEL_HERE, &ptr, &shapes});
RDomainRecord text8 = decl::Simple(kString8, {L"string8", QEL_HERE, &obj, &shapes});
RDomainRecord any = decl::Simple(kAnyDomain, {L"@anyDomain", QEL_HERE, &text8, &shapes});
RDomainRecord refChar = decl::Simple(kRefChar, {L"refChar", QEL_HERE, &any, &shapes});
RDomainRecord refText = decl::Simple(kRefString, {L"refString", QEL_HERE, &refChar, &shapes});
RIntegralDomain refCoord =
    decl::Integer({L"refCoord", QEL_HERE, &refText, &shapes}, -1000, 1000, 32, true);

// A compound domain: one struct per functor, offsets from offsetof.
decl::Arguments pointArgs{{QEL_ARG(Point, x, coord), QEL_ARG(Point, y, coord)}};
decl::Arguments circleArgs{{QEL_ARG(Circle, centre, shape), QEL_ARG(Circle, radius, coord)}};
RFunctor shapeFunctors[] = {decl::Functor<Point>(L"point", pointArgs),
                            decl::Functor<Circle>(L"circle", circleArgs),
                            decl::Constant(L"none")};
RCompoundDomain shape = decl::Compound({L"shape", QEL_HERE, &refCoord.head, &shapes}, shapeFunctors);

// A list of shapes (the head is a pointer: shapes are boxed).
decl::Arguments shapeList_args{
    {QEL_ARG(shapeList_cons, head, shape), QEL_ARG(shapeList_cons, tail, shapeList)}};
RFunctor shapeList_functors[] = {decl::Functor<shapeList_cons>(L".", shapeList_args),
                                 decl::Constant(L"[]")};
RCompoundDomain shapeList =
    decl::Compound({L"shapes", QEL_HERE, &shape.head, &shapes}, shapeList_functors, kList);

// The class and its unit.
RScopeClassDescriptor shapes = decl::Class(L"shapes", QEL_HERE, &shapeList.head);
decl::UnitTable unit{&shapes};
const wchar_t* const symbols[] = QEL_SYMBOLS(L"red", L"green");

int LinkExampleUnit() {
  static int result = RunUnitInitialization(nullptr, reinterpret_cast<void*>(&LinkExampleUnit),
                                            unit.Table(), symbols);
  return result;
}

const uint8_t* MakePoint(int32_t x, int32_t y) {
  auto* p = reinterpret_cast<Point*>(Alloc(sizeof(Point)));
  *p = Point{1, x, y};
  return reinterpret_cast<const uint8_t*>(p);
}

const uint8_t* MakeCircle(int32_t x, int32_t y, int32_t r) {
  auto* c = reinterpret_cast<Circle*>(Alloc(sizeof(Circle)));
  *c = Circle{2, reinterpret_cast<const Point*>(MakePoint(x, y)), r};
  return reinterpret_cast<const uint8_t*>(c);
}

const uint8_t* None() {
  return static_cast<const uint8_t*>(Kernel::Memory::MEM_alloc_nullfunctor(4 * 3));
}

const uint8_t* MakeShapeList(int n) {
  auto* nil = reinterpret_cast<uint64_t*>(Alloc(8));
  *nil = 2;
  const void* list = nil;
  for (int i = n - 1; i >= 0; --i) {
    auto* cons = reinterpret_cast<shapeList_cons*>(Alloc(sizeof(shapeList_cons)));
    *cons = shapeList_cons{1, i % 3 == 2 ? None() : i % 3 ? MakeCircle(i, -i, i % 7) : MakePoint(i, i), list};
    list = cons;
  }
  return static_cast<const uint8_t*>(list);
}

}  // namespace example
