// Helpers of the roster model's tests: the maker's library fixture with the
// model's unit linked too.
#pragma once

#include "all_unit.h"
#include "rz_test.h"

namespace alltest {

using namespace rztest;
using namespace all;

class Model : public Rz {
 protected:
  static void SetUpTestSuite() {
    Rz::SetUpTestSuite();
    ASSERT_EQ(all::InitializeUnit(), 0);
  }
};

// The error code of a body run under a trap (0: it returned).
template <class F>
uint32_t CodeOf(F body) {
  return Qel::RunTime::Kernel::RunTrapped(body);
}

}  // namespace alltest
