// Recorder: retract_engine.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::retract_engine() { alltest::ComtreeCalls().push_back({L"retract_engine", 0, L""}); }
