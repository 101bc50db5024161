// comtree: closing the open views (the calendar layer, the list views and
// tables, the calendar-definition dialog), repainting the top data pane and
// laying the panes out again.
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

void BlankTop() {
  if (comtree::db6.xdata_wintop.has()) win_Clear_0(comtree::db6.xdata_wintop.get(), 0xFFFFFF);
}

// Removes a layer's fact, then discards its drawing state.
template <class L>
void DropLayer(view_fact<L>& fact, void (L::*discard)()) {
  if (L* layer = fact.take()) TrapAndForget([&] { (layer->*discard)(); });
}

// What follows a view's close.
enum class then : uint8_t { blank, keep, retitle };

// Removes a view's fact and closes it: `before` ahead of the close, the
// pane blanked (or the caption set) after it, then `after`.
template <class V, class Key>
void CloseView(view_fact<V, Key>& fact, void (*before)() = nullptr, then next = then::blank,
               void (*after)() = nullptr) {
  if (!fact.present()) return;
  void (*close)(V*) = fact.close;
  V* view = fact.take();
  TrapAndForget([&] {
    if (before) before();
    close(view);
    if (next == then::blank) BlankTop();
    else if (next == then::retitle) taskWindow::set_title();
    if (after) after();
  });
}

void CheckAndRebuild() {
  comtree::check_if_need_to_rebuild();
  comtree::rebuild_com_tree(false);
}
void GroupsChanged() {
  staff_db::repair_after_group_change();
  CheckAndRebuild();
}
void RepairAssignments() { sc_assign::must_be_repaired(); }
void CloseDialog(celndar_Def* d) { d->closeit(); }

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
    BlankTop();
  });
  TrapAndForget([] { try_show_titlewin_buttons(); });
}

void comtree::delete_liboxes() {
  TrapAndForget([] { win_SetHandler(db6.xdata_wintop.get(), comtree_closures::Top()); });
  TrapAndForget([] { win_SetHandler(db6.xdata_winbot.get(), comtree_closures::Bottom()); });
  section3& v = db3;
  CloseView(v.db_duties_libox);
  CloseView(v.db_modates_libox);
  CloseView(v.db_hol_libox);
  CloseView(v.db_we_libox);
  CloseView(v.db_drlibox);
  CloseView(v.db_praclibox, &GroupsChanged);
  CloseView(v.db_loclibox, &CheckAndRebuild);
  CloseView(v.db_tasklibox, &CheckAndRebuild);
  CloseView(v.db_ties_libox);
  CloseView(v.db_cannot_libox);
  CloseView(v.db_loadlibox);
  CloseView(v.db_typ, nullptr, then::blank, &RepairAssignments);
  if (v.db_caldef_dlg.present()) v.db_caldef_dlg.close = &CloseDialog;
  CloseView(v.db_caldef_dlg, nullptr, then::keep);
  TrapAndForget([] { delete_stat_liboxes(); });
  CloseView(v.db_list_51_files, nullptr, then::retitle);
  TrapAndForget([] {
    if (kalmora_DB::is_init()) sc_rules::repair();
  });
}

void comtree::update_xdata() {
  if (db6.boo_init) win_Invalidate_0(db6.xdata_wintop.get());
}

void comtree::comtree_resize() {
  if (db6.boo_init) position_3_windows();
}

}  // namespace all
