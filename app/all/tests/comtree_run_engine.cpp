// Recorder: run_engine with its mode.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::run_engine(engine_mode mode) {
  alltest::ComtreeCalls().push_back({L"run_engine", 0, mode == engine_mode::run ? L"run" : L"force_fill"});
}
