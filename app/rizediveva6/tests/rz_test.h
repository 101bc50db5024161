// Helpers of the maker's library tests: the class library's fixture with
// this library's unit linked too, and a check for the runtime's range error.
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

}  // namespace rztest
