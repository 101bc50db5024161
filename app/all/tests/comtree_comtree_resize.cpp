// Recorder: comtree_resize.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::comtree_resize() { alltest::ComtreeCalls().push_back({L"comtree_resize", 0, L""}); }
