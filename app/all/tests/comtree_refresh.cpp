// Recorder: refresh.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::refresh() { alltest::ComtreeCalls().push_back({L"refresh", 0, L""}); }
