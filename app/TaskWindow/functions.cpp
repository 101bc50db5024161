// The Functions menu: see the header.  One row per command, in menu order.
#include "TaskWindow/functions.h"

#include "SYSTEM/my_html/htm.h"
#include "TaskWindow/taskWindow.h"
#include "TaskWindow/taskwindow_ids.h"
#include "commandtree/comtree.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/ties.h"
#include "rulesPack/sc_rules.h"

namespace kalmora::functions {

namespace K = Qel::RunTime::Kernel;
using all::comtree;

namespace {

enum class Refresh { none, xdata, tree };

struct DeleteAll {
  int32_t id;
  void (*clear)();
  Refresh refresh;
};

void ClearAssignments() { all::sc_assign::clear_assignments(all::clear_dom{all::clear_kind::clear_all, 0}); }
void ClearPractices() {
  all::groups::clear();
  all::staff_db::repair_after_group_change();
}

const DeleteAll kDeleteAll[] = {
    {IDM_DELETE_ALL_TIES, [] { all::ties::del_all(); }, Refresh::none},
    {IDM_DELETE_ALL_CANTDOS, all::sc_rules::clear, Refresh::none},
    {IDM_DELETE_ALL_ASSIGNMENTS, ClearAssignments, Refresh::xdata},
    {IDM_DELETE_ALL_DOCTORS, all::staff_db::clear, Refresh::tree},
    {IDM_DELETE_ALL_PRACTICES, ClearPractices, Refresh::tree},
    {IDM_DELETE_ALL_TASKS, all::tasks::clear, Refresh::tree},
    {IDM_DELETE_ALL_LOCATIONS, all::locations::clear, Refresh::tree},
};

}  // namespace

HandlerResult delete_all(int32_t menuId) {
  for (const DeleteAll& row : kDeleteAll) {
    if (row.id != menuId) continue;
    if (!all::kalmora_DB::is_init()) return HandledWith(0);
    row.clear();
    if (row.refresh == Refresh::xdata) comtree::update_xdata();
    if (row.refresh == Refresh::tree) comtree::rebuild_and_draw_tree();
    return HandledWith(0);
  }
  return kDefaultHandling;
}

HandlerResult onwww() {
  rizediveva6::htm::write_www(L"Kalmora6", taskWindow::kBuild, taskWindow::kLatestVersionPage);
  return HandledWith(0);
}

}  // namespace kalmora::functions
