// A worked example of a unit's static records, declared with qel6decl.h, and
// the records the term tests use.  The unit is linked once per process by
// LinkExampleUnit().
#pragma once

#include "qel6run.h"

namespace example {

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;

// point(x, y) | circle(point, radius) | none
struct Point {
  uint64_t functor;
  int32_t x, y;
};
struct Circle {
  uint64_t functor;
  const Point* centre;
  int32_t radius;
};

extern RScopeClassDescriptor shapes;
extern RIntegralDomain coord, byte8, small8, word16, natural;
extern RIntegral64Domain long64;
extern RIntegral64Domain ulong64;
extern RRealDomain real, unitReal;
extern RDomainRecord chr, text, bin, sym, ptr, obj, text8, any, refChar, refText;
extern RIntegralDomain refCoord;
extern RCompoundDomain shape, shapeList;
extern RFunctor shapeFunctors[3];
struct shapeList_cons {
  uint64_t functor;
  const void* head;
  const void* tail;
};

// Links the unit (once); returns RunUnitInitialization's result.
int LinkExampleUnit();

// Builders of terms on the global stack.
const uint8_t* MakePoint(int32_t x, int32_t y);
const uint8_t* MakeCircle(int32_t x, int32_t y, int32_t r);
const uint8_t* None();
const uint8_t* MakeShapeList(int n);

}  // namespace example
