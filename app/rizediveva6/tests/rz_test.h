// Helpers of the maker's library tests: the class library's fixture with
// this library's unit linked too, a check for the runtime's range error and
// the error number of a trace.
#pragma once

#include "tav_test.h"
#include "unit.h"

namespace rztest {

using namespace tavtest;
using namespace rizediveva6;

class Rz : public Library {
 protected:
  static void SetUpTestSuite() {
    Library::SetUpTestSuite();
    ASSERT_EQ(rizediveva6::InitializeUnit(), 0);
  }
};

// Whether an error code of RunTrapped is the runtime's range error 302.
inline bool IsRangeError(uint32_t code) {
  return code && exception::trygetdescriptor(code, runtime_exception::exceptionfromerrorcode(302));
}

// The run-time error number of a trace (its "error code"); 0 when none.
inline uint32_t ErrorNumber(uint32_t code) {
  uint32_t n = 0;
  if (code < 65536) return code;
  exception::getdescriptor_nd(code, [&](const TraceEntry* e) {
    const ValueTerm* v = exception::trygetextrainfo(e, L"error code");
    if (v && v->Kind() == ValueKind::unsigned_) n = v->As<uint32_t>();
  });
  return n;
}

}  // namespace rztest
