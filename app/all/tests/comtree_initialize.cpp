// Recorder: initialize.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::initialize() { alltest::ComtreeCalls().push_back({L"initialize", 0, L""}); }
