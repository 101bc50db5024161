// comtree: the facts with their defaults, the class's domain records, the
// one-time making of the tree view and the panes, and the building and
// redrawing of the whole tree.
//
// Invariants:
//  - make_treeandwindows makes its windows and its one timer at most once
//    (boo_init); rebuilding is present only inside rebuild_and_draw_tree.
//  - A rebuild empties the control before it inserts, so no item number
//    is ever inserted twice.
#include <windows.h>

#include "commandtree/comtree.h"
#include "commandtree/comtree_closures.h"

#include "SYSTEM/options/options_db.h"
#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/kalmora_DB.h"
#include "kwi/kwi.h"
#include "kwi/kwidomains.h"
#include "liboxes/stats_tab.h"
#include "unit.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
namespace kd = tav::kwidomains;
using namespace QEL_KWI;
using rizediveva6::SList;

const tav::ClassInfo comtree::classInfo{L"qel6pack/all/commandtree/comtree", TAV_CLASS_VERSION};

// --- Facts ---------------------------------------------------------------------------

// The runtime's own message: "Single fact '%s' from internal database '%s' has no value".
void RaiseNoValue(const wchar_t* name, const wchar_t* section) {
  K::Errors::RunTimeErrorFromModule(GetModuleHandleW(L"qel6run.dll"), 329, name, section);
}

namespace {
// ["C-tree", "Results Statistics", "Totals"]
const rizediveva6::List<const wchar_t*> kTotals{1, L"Totals", rizediveva6::Nil<const wchar_t*>()};
const rizediveva6::List<const wchar_t*> kResults{1, L"Results Statistics", &kTotals};
const rizediveva6::List<const wchar_t*> kStatCommand{1, L"C-tree", &kResults};
}  // namespace

comtree::section1 comtree::db1 = [] {
  section1 s;
  s.xstat_command.set(&kStatCommand);
  return s;
}();
comtree::section2 comtree::db2;
comtree::section3 comtree::db3;
comtree::section4 comtree::db4;
comtree::section5 comtree::db5;
comtree::section6 comtree::db6;

// --- Windows -------------------------------------------------------------------------

namespace {

PROLOG_EHANDLER_STRUCT titleHandler{reinterpret_cast<void*>(&comtree::_xtitle_win_eh), nullptr};
PROLOG_EHANDLER_STRUCT topHandler{reinterpret_cast<void*>(&comtree::_xdata_wintop_eh), nullptr};
PROLOG_EHANDLER_STRUCT bottomHandler{reinterpret_cast<void*>(&comtree::_xdata_winbot_eh), nullptr};
}  // namespace

PROLOG_EHANDLER_STRUCT* comtree_closures::Title() { return &titleHandler; }
PROLOG_EHANDLER_STRUCT* comtree_closures::Top() { return &topHandler; }
PROLOG_EHANDLER_STRUCT* comtree_closures::Bottom() { return &bottomHandler; }

namespace {
tav::TreeCallback treeCallback{reinterpret_cast<void*>(&comtree::_comm_cb), nullptr};
tav::BitmapIdTerm sectionPicture{1, 10183};

LONG_PTR Pane(rect_struct* r, LONG_PTR task, PROLOG_EHANDLER_STRUCT* handler) {
  return win_Create(wt_toplevel, r, L"", kd::NoMenu(), task, kd::Ints({}), handler, 0);
}

void Button(LONG_PTR pane, const wchar_t* text, int32_t id, int32_t top, int32_t side) {
  LONG_PTR b = win_CreateControl(wt_pushbutton, kd::Rect(0, top, side, top + side), text, pane, kd::Ints({}), id);
  win_SetState(b, kd::Ints({11}));
}

void InsertWholeTree() {
  static const tav::InsertPlace last{2, 0};
  tav::kwiTreeView::insert_tree(comtree::db6.xtreeviewwin.get(), 0, &last, comtree::get_whole_tree());
}

}  // namespace

void comtree::make_treeandwindows() {
  if (db6.boo_init) return;
  tav::kwiTreeView::register_();
  const int32_t side = static_cast<int32_t>(kwi_GetAttrVal(200));
  const int32_t menuBar = static_cast<int32_t>(kwi_GetAttrVal(506));
  const LONG_PTR task = kwi_GetTaskWin();
  const rect_struct client = *win_GetClientRect(task);
  const int32_t border = static_cast<int32_t>(db5.xborder.get());
  db6.xtreeviewwin.set(win_CreateDynControl(
      kd::Windefs({kd::CustomCtl(wt_custom, kd::Rect(0, menuBar, border, client.bottom - 1), L"", kd::kPixels,
                                 L"treeView", kTreeViewId, kd::Ints({38}))}),
      task));
  db6.xtitle_win.set(Pane(kd::Rect(border + 1, 0, client.right, client.bottom - 1), task, &titleHandler));
  db6.xdata_wintop.set(Pane(kd::Rect(border + 1, 0, client.right, client.bottom - 1), task, &topHandler));
  db6.xdata_winbot.set(Pane(kd::Rect(border + 1, 0, client.right, client.bottom - 1), task, &bottomHandler));
  timer_Set(db6.xdata_wintop.get(), kTimerMs);
  Button(db6.xtitle_win.get(), L"<", kPreviousButton, 10, side);
  Button(db6.xtitle_win.get(), L">", kNextButton, side + 10, side);
  toggle_show_title();
  position_3_windows();
  tav::kwiTreeView::init(db6.xtreeviewwin.get(), kd::Ints({32, 1, 4, 2}), &sectionPicture, &treeCallback);
  tav::kwiTreeView::set_indent(db6.xtreeviewwin.get(), 2);
  InsertWholeTree();
  db6.boo_init = true;
  comtree_resize();
}

const tav::TreeTerm* comtree::get_whole_tree() {
  db1.xid.set(101);
  rizediveva6::ListBuilder<const tav::TreeTerm*> children(true);
  auto collect = [&](const tav::TreeTerm* t) {
    children.Add(t);
    K::Fail();
  };
  const wchar_t* file = nullptr;
  if (kalmora_DB::get_file(&file)) nd_file_tree(collect);
  else nd_start_tree(collect);
  auto* root = static_cast<tav::TreeTerm*>(K::Memory::AllocHeap(sizeof(tav::TreeTerm)));
  static const tav::ItemStateList end{2, tav::ItemStateFlag::selected, nullptr};
  static const tav::ItemStateList expanded{1, tav::ItemStateFlag::expanded, &end};
  static const tav::BitmapIdTerm closed{1, 10183}, open{1, 10182};
  db1.xid.set(db1.xid.get() + 1);
  *root = {1, db1.xid.get(), &expanded, &closed, &open, L"C-tree",
           reinterpret_cast<const tav::TreeList*>(children.Finish())};
  return root;
}

void comtree::rebuild_and_draw_tree() {
  if (!db6.boo_init) return;
  db2.rebuilding = true;
  // The items live on the collected heap: the walk's global-stack terms go
  // when it ends, so rebuilds in one handler take no more room than one.
  uint8_t* mark = K::Memory::MarkGStack();
  const uint32_t error = K::RunTrapped([] {
    // Every item at once: the control's root (number 0) takes all of them.
    tav::kwiTreeView::delete_item(db6.xtreeviewwin.get(), 0);
    InsertWholeTree();
  });
  K::Memory::ReleaseGStack(mark);
  db2.rebuilding = false;
  if (error) K::Errors::Qel_ErrorExit(error);
}

void comtree::rebuild_com_tree(bool force) {
  uint8_t* font = const_cast<uint8_t*>(rizediveva6::options_db::opt_font());
  win_SetFont(db6.xtreeviewwin.get(), font);
  win_SetFont(db6.xdata_wintop.get(), font);
  if (!force && !db4.xdb_do_rebuild.get()) return;
  db4.xdb_do_rebuild.set(false);
  const uint32_t error = K::RunTrapped([] { rebuild_and_draw_tree(); });
  focus_on_cal();
  if (error) K::Errors::Qel_ErrorExit(error);
}

void comtree::update_stats_if_showing() {
  for (uint32_t i = 0; i < db3.db_stats_tab.size(); ++i) db3.db_stats_tab[i].view->recalculate();
}

}  // namespace all
