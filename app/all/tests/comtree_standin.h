// The command tree as the list tests need it: the registry of open list
// views (one slot per kind), the requests to "the open view"
// (update_any_liboxes), the list items' commands (issue_command), their
// removal (delete_liboxes) and the task window's first level of menu
// commands.  Test programs that link these files define issue_command,
// update_any_liboxes, delete_liboxes and initialize through them instead
// of the recorder.
//
// Invariants:
//  - At most one list view is open; every slot but the open one is null.
//  - A kind is one line of the kinds table; a request entry names a kind
//    by its fact and is skipped while no view of that fact is open.
//  - Open views live on the collected heap; the registry is static data,
//    which the collector scans.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "commandtree/comtree.h"
#include "qel6kwi.h"

namespace alltest {

// The data pane the lists are made in and its own handler, which
// delete_liboxes gives back.  Tests set both before the first command.
struct DataPane {
  LONG_PTR window = 0;
  QEL_KWI::PROLOG_EHANDLER_STRUCT* handler = nullptr;
};
DataPane& StandinPane();

// The open view of a fact (null: none).  "db_loadlibox" names the open
// loadings table of any kind, "db_loadlibox weekend(0)" (weekend(1),
// total) one kind; "db_typ" and "db_typ 1003" (1001, 1002) likewise the
// typical-week list.
void* OpenView(const std::wstring& fact);

// A "/"-joined path below the root as the tree path of issue_command
// (heap copies).
const rizediveva6::SList* PathList(const std::wstring& joined);

// The text paths of the commands issued, joined by "/", in order.
std::vector<std::wstring>& IssuedCommands();

// The task window's first level: a menu event of a list's pop-up command
// runs its store operation, then update_any_liboxes with all_views and
// the selector of its row; true when it did (handled with 0).  A cancelled
// name question, an id of no row and every other event: false.
bool TaskMenuCommand(HWND task, const QEL_KWI::event_struct* e);

}  // namespace alltest
