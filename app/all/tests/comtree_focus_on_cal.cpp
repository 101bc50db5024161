// Recorder: focus_on_cal, which gives the keyboard focus to the top data
// pane once the panes exist.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::focus_on_cal() {
  alltest::ComtreeCalls().push_back({L"focus_on_cal", 0, L""});
  if (db6.boo_init) QEL_KWI::win_SetFocus(db6.xdata_wintop.get());
}
