// Tests that make more than one task window in a process: the command tree
// keeps its windows in its facts for the life of the program, and a new GUI
// session forgets the tree view's window class.  Between task windows both
// start again here.
#pragma once

#include "commandtree/comtree.h"
#include "kwi/kwi.h"
#include "qel6kwi.h"

namespace alltest {

// Every fact of the command tree back to its start, its windows forgotten.
inline void ResetComtree() {
  using all::comtree;
  comtree::db1.xid.set(0);
  comtree::db1.xdb_selected.set(rizediveva6::Nil<const wchar_t*>());
  comtree::db1.xnum_tasks.set(0);
  comtree::db1.xnum_locs.set(0);
  comtree::db1.xnum_people.set(0);
  comtree::db2 = {};
  comtree::db3 = {};
  comtree::db4 = {};
  comtree::db5 = {};
  comtree::db6 = {};
}

// Inside a task window's loop: the tree view's class known to this GUI
// session.  The first session of the process registers it itself.
inline void RelearnTreeViewClass() {
  static bool registered = false;
  if (registered) {
    static QEL_KWI::PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&tav::kwiTreeView::_handleevent), nullptr};
    Qel::RunTime::Kernel::RunTrapped([] { QEL_KWI::class_Destroy(L"treeView"); });
    QEL_KWI::class_Create(L"treeView", &h);
  }
  registered = true;
}

}  // namespace alltest
