// The recorder's list of calls.
#include "comtree_recorder.h"

namespace alltest {

std::vector<ComtreeCall>& ComtreeCalls() {
  static std::vector<ComtreeCall> calls;
  return calls;
}

}  // namespace alltest
