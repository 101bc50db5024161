// The open-view registry's writing side, shared by the item commands and
// the requests to the open view.
//
// Invariants:
//  - A fact holds at most one view: recording a second raises the
//    runtime's error 311 with the fact's and its section's names.
//  - An entry is removed before its view is closed.
#pragma once

#include <windows.h>

#include "commandtree/comtree.h"

namespace all::registry {

// Raises 311 for the fact `name` of the open-view section.
[[noreturn]] void RaiseSecondEntry(const wchar_t* name);

template <class V, class Key>
void Record(view_fact<V, Key>& fact, const wchar_t* name, V* view, Key key = {}) {
  if (fact.present()) RaiseSecondEntry(name);
  fact.view = view;
  fact.key = key;
  fact.close = nullptr;
  if constexpr (requires(V* v) { v->destroy_scroll2(); }) fact.close = [](V* v) { v->destroy_scroll2(); };
}
// db_stats_tab(view, pane).
void RecordStats(stats_tab* view, LONG_PTR pane);

// Closes the held statistics table whatever its pane; never fails.
void p_delete_stat_liboxes();

}  // namespace all::registry

namespace all {
// The panes were made and still exist: false once the task window that
// held them is destroyed (then nothing here touches a window or a layer).
inline bool PanesAlive() {
  return comtree::db6.boo_init && IsWindow(reinterpret_cast<HWND>(comtree::db6.xdata_wintop.get()));
}
}  // namespace all
