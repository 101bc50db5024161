// comtree: closing the calendar layer, repainting the top data pane and
// laying the panes out again (the list views close in
// comtree_delete_liboxes.cpp).
//
// Invariants:
//  - Every step stands alone: a fact that a step removed stays removed when
//    a later call of the step fails or raises; the next step still runs.
//  - Nothing here fails or reports; before the panes exist nothing is
//    blanked, repainted or moved.
#include "commandtree/comtree.h"
#include "commandtree/comtree_closures.h"
#include "dlgs/Calendar_def.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "mycal/draw_assign.h"
#include "mycal/draw_cant_dos.h"
#include "mycal/draw_dtbd.h"
#include "mycal/draw_hols.h"
#include "mycal/draw_ties.h"
#include "mycal/draw_weekends.h"
#include "rulesPack/sc_rules.h"
#include "unit.h"

namespace all {

using namespace QEL_KWI;
using rizediveva6::TrapAndForget;

namespace {


// Removes a layer's fact, then discards its drawing state.
template <class L>
void DropLayer(view_fact<L>& fact, void (L::*discard)()) {
  if (L* layer = fact.take()) TrapAndForget([&] { (layer->*discard)(); });
}

}  // namespace

void comtree::delete_cal(uint32_t why) {
  if (why == 2 && db5.boo_show_bot_stat_win) return;
  DropLayer(db3.db_cal_hols, &draw_hols::delete_pic2);
  DropLayer(db3.db_cal_we, &draw_weekends::delete_pic2);
  DropLayer(db3.db_cal_dtbd, &draw_dtbd::full_draw);
  DropLayer(db3.db_cal_assign, &draw_assign::delete_pic2);
  DropLayer(db3.db_cal_cant_do, &draw_cant_dos::delete_pic2);
  DropLayer(db3.db_cal_ties, &draw_ties::delete_pic2);
  TrapAndForget([] {
    try_show_titlewin_buttons(false);
    comtree_closures::BlankTop();
  });
  TrapAndForget([] { try_show_titlewin_buttons(); });
}

void comtree::update_xdata() {
  if (db6.boo_init) win_Invalidate_0(db6.xdata_wintop.get());
}

void comtree::comtree_resize() {
  if (db6.boo_init) position_3_windows();
}

}  // namespace all

namespace all::comtree_closures {

void BlankTop() {
  if (comtree::db6.xdata_wintop.has()) QEL_KWI::win_Clear_0(comtree::db6.xdata_wintop.get(), 0xFFFFFF);
}

}  // namespace all::comtree_closures
