// comtree: closing the list views and tables and the calendar-definition
// dialog (delete_liboxes), each in the order of its step.  Alone in its
// unit, so that a test program may link a stand-in of its own in its place.
//
// Invariants:
//  - Every step stands alone: a fact that a step removed stays removed when
//    a later call of the step fails or raises; the next step still runs.
//  - Nothing here fails or reports.
#include "commandtree/comtree.h"
#include "commandtree/comtree_closures.h"
#include "dlgs/Calendar_def.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "rulesPack/sc_rules.h"
#include "unit.h"

namespace all {

using namespace QEL_KWI;
using rizediveva6::TrapAndForget;

namespace {

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
    if (next == then::blank) comtree_closures::BlankTop();
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

}  // namespace all
