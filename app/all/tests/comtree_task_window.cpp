// Recorder: the task window's set_title and is_active (always active).
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::taskWindow::set_title() { alltest::ComtreeCalls().push_back({L"set_title", 0, L""}); }

bool all::taskWindow::is_active() {
  alltest::ComtreeCalls().push_back({L"is_active", 0, L""});
  return true;
}
