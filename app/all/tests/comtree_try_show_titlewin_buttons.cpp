// Recorder: both forms of try_show_titlewin_buttons ("" without argument,
// "1" or "0" with one).
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::try_show_titlewin_buttons() {
  alltest::ComtreeCalls().push_back({L"try_show_titlewin_buttons", 0, L""});
}

void all::comtree::try_show_titlewin_buttons(bool show) {
  alltest::ComtreeCalls().push_back({L"try_show_titlewin_buttons", 0, show ? L"1" : L"0"});
}
