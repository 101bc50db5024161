// Recorder: delete_stat_liboxes.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::delete_stat_liboxes() { alltest::ComtreeCalls().push_back({L"delete_stat_liboxes", 0, L""}); }
