// Recorder: delete_liboxes.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::delete_liboxes() { alltest::ComtreeCalls().push_back({L"delete_liboxes", 0, L""}); }
