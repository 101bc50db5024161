// Recorder: update_any_liboxes with its values; no list is open in a test,
// so a registered assignment layer is repainted in full.
#include <string>

#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::update_any_liboxes(update_scope scope, do_delete_selected selector) {
  alltest::ComtreeCalls().push_back({L"update_any_liboxes", 0,
                                     std::to_wstring(static_cast<int32_t>(scope)) + L" " +
                                         std::to_wstring(static_cast<int32_t>(selector.what)) + L" " +
                                         std::to_wstring(selector.id)});
  if (alltest::AssignLayer().whole) alltest::AssignLayer().whole();
}
