// Recorder: update_xdata.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::update_xdata() { alltest::ComtreeCalls().push_back({L"update_xdata", 0, L""}); }
