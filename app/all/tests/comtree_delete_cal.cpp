// Recorder: delete_cal with its flag.
#include <string>

#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::delete_cal(int32_t flag) {
  alltest::ComtreeCalls().push_back({L"delete_cal", 0, std::to_wstring(flag)});
}
