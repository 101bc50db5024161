// The recorder's list of calls.
#include "comtree_recorder.h"

namespace alltest {

std::vector<ComtreeCall>& ComtreeCalls() {
  static std::vector<ComtreeCall> calls;
  return calls;
}

int32_t& ComtreeToggle(const std::wstring& op) {
  static std::map<std::wstring, int32_t> states;
  return states[op];
}

all::sc_engine*& RegisteredEngine() {
  static all::sc_engine* engine = nullptr;
  return engine;
}

AssignLayerHooks& AssignLayer() {
  static AssignLayerHooks hooks;
  return hooks;
}

}  // namespace alltest
