// Recorder: toggle_show_stats_continuously.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

int32_t all::comtree::toggle_show_stats_continuously() {
  int32_t& state = alltest::ComtreeToggle(L"toggle_show_stats_continuously");
  state = state ? 0 : 1;
  alltest::ComtreeCalls().push_back({L"toggle_show_stats_continuously", state, L""});
  return state;
}
