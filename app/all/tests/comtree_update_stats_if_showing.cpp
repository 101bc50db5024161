// Recorder: update_stats_if_showing.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::update_stats_if_showing() { alltest::ComtreeCalls().push_back({L"update_stats_if_showing", 0, L""}); }
