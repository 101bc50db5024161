// Recorder: make_treeandwindows.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::make_treeandwindows() { alltest::ComtreeCalls().push_back({L"make_treeandwindows", 0, L""}); }
