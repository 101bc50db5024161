// comtree: the tree view's callback (selection, double click, right
// click), the double-click actions of the one-shot items and the focus
// handed to the top data pane.
//
// Invariants:
//  - Item numbers are resolved against the tree last inserted into the
//    control, never against a fresh build: a number names what the planner
//    sees.  A number that names nothing resolves to nothing.
//  - Messages during a rebuild change nothing; messages other than a
//    selection, a double click and a right click are not handled (the
//    callback fails, so that the control's own processing goes on).
//  - Once the panes are gone (the task window destroyed, for instance under
//    an engine run) nothing here touches the tree, a pane or a layer.
#include <windows.h>

#include "KWI/Wyn/checked.h"
#include "KWI/treeview_tools_pack/treeview_tools.h"
#include "commandtree/comtree_registry.h"
#include "helpinfo.h"
#include "importKM5/importKM5File.h"
#include "kwi/kwi.h"
#include "unit.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;
using rizediveva6::SList;
using rizediveva6::checked::U2I;

namespace {

constexpr int32_t kArrow = 1, kWait = 11;
constexpr int32_t kMenuNew = 10150, kMenuOpen = 10151;

uint32_t Length(const SList* p) {
  uint32_t n = 0;
  for (; !p->Empty(); p = p->tail) ++n;
  return n;
}
const wchar_t* Last(const SList* p) {
  const wchar_t* last = L"";
  for (; !p->Empty(); p = p->tail) last = p->head;
  return last;
}
bool Is(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b) == 0; }

// The text path of an item of the tree in the control, on the collected
// heap; false when no item has the number.
bool ItemPath(int32_t number, const SList** path) {
  const tav::TreeTerm* tree = comtree::db6.inserted;
  const SList* found = nullptr;
  const tav::TreeList* children = nullptr;
  if (!tree || !rizediveva6::treeview_tools::drill_for_item(rizediveva6::checked::I2U(number), tree, &found, &children))
    return false;
  rizediveva6::ListBuilder<const wchar_t*> copy(true);
  for (; !found->Empty(); found = found->tail) copy.Add(found->head);
  *path = copy.Finish();
  return true;
}

void SetTitle(const wchar_t* title) {
  comtree::db3.xtitle.set(title);
  comtree::update_title();
}

void PostMenu(int32_t id) {
  event_struct e{e_menu, {id, 0}};
  win_PostEvent(kwi_GetTaskWin(), &e);
}

// Closes the document's views and the document; false when the close did
// not go through.
bool CloseFile() {
  SetTitle(L"Close Kalmora file");
  comtree::dont_show_stats_continuously();
  comtree::delete_liboxes();
  comtree::delete_cal(1);
  if (!taskWindow::close_kalmora_file()) return false;
  comtree::rebuild_com_tree(true);
  return true;
}

// The double-click action of the item; false when it has none.
bool DoubleClick(const SList* path) {
  const uint32_t length = Length(path);
  if (length == 1 && Is(path->head, L"C-tree")) {
    comtree::rebuild_com_tree(true);
    return true;
  }
  comtree::rebuild_com_tree(false);
  const wchar_t* last = Last(path);
  if (length == 3 && Is(last, L"Generator")) {
    SetTitle(L"Run the Generator");
    comtree::run_engine(engine_mode::run);
    return true;
  }
  if (length != 2) return false;
  if (Is(last, L"Close")) return CloseFile();
  if (Is(last, L"New rota") || Is(last, L"Import KM5 file") || Is(last, L"Open file")) {
    const bool open = Is(last, L"Open file"), import = Is(last, L"Import KM5 file");
    SetTitle(open ? L"Open an existing file" : import ? L"Import a Kalmora5 file" : L"New Kalmora file");
    comtree::db4.xdb_do_rebuild.set(true);
    PostMenu(open ? kMenuOpen : kMenuNew);
    if (import) {
      importKM5File::import();
      comtree::rebuild_com_tree(true);
    }
    return true;
  }
  return false;
}

// After a reaction: the arrow back (double click) and the focus moved.
void Settle(bool arrow) {
  if (!PanesAlive()) return;
  if (arrow) tav::kwi::cursorset(comtree::db6.xtreeviewwin.get(), kArrow);
  comtree::focus_on_cal();
}

void Selected(uint32_t item) {
  const SList* path = nullptr;
  if (ItemPath(U2I(item), &path)) comtree::db1.xdb_selected.set(path);
  comtree::issue_command(comtree::db1.xdb_selected.get());
  Settle(false);
}

void DoubleClicked() {
  tav::kwi::cursorset(comtree::db6.xtreeviewwin.get(), kWait);
  const SList* selected = comtree::db1.xdb_selected.get();
  if (!DoubleClick(selected) && PanesAlive()) comtree::issue_command(selected);
  Settle(true);
}

void RightClicked(LONG_PTR window, const pnt_struct* at) {
  uint32_t item = 0;
  tav::TreePosition where = tav::TreePosition::nowhere;
  tav::kwiTreeView::get_position(comtree::db6.xtreeviewwin.get(), at->x, at->y, &item, &where);
  const SList* path = nullptr;
  if (item == 0 || where == tav::TreePosition::nowhere) return;
  if (ItemPath(U2I(item), &path)) helpinfo::help(window, path);
}

}  // namespace

void comtree::_comm_cb(LONG_PTR window, const tav::TreeMessage* message) {
  if (db2.rebuilding || !PanesAlive()) return;
  switch (message->kind) {
    case tav::TreeMessageKind::selected:
      Selected(static_cast<uint32_t>(message->b));
      break;
    case tav::TreeMessageKind::dblclick:
      DoubleClicked();
      break;
    case tav::TreeMessageKind::rclick:
      RightClicked(window, reinterpret_cast<const pnt_struct*>(message->a));
      break;
    default:
      // Not handled: the control goes on with its own processing (a
      // selection change goes through).
      K::Fail();
  }
}

void comtree::focus_on_cal() {
  if (db3.db_caldef_dlg.present() || !PanesAlive()) return;
  if (!taskWindow::is_active()) return;
  rizediveva6::TrapAndForget([] { win_SetFocus(db6.xdata_wintop.get()); });
}

}  // namespace all
