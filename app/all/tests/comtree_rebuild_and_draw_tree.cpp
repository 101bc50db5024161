// Recorder: rebuild_and_draw_tree.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::rebuild_and_draw_tree() { alltest::ComtreeCalls().push_back({L"rebuild_and_draw_tree", 0, L""}); }
