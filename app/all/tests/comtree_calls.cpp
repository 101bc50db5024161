// The recorder's list of calls.
#include "comtree_recorder.h"

namespace alltest {

std::vector<ComtreeCall>& ComtreeCalls() {
  static std::vector<ComtreeCall> calls;
  return calls;
}

all::sc_engine*& RegisteredEngine() {
  static all::sc_engine* engine = nullptr;
  return engine;
}

}  // namespace alltest
