// tasks: the roster's numbered list of tasks in the chain "tasks", one
// str_br (name, brush) per task; a task's number is its position (1..10).
//
// Invariants:
//  - Names are unique (exact comparison); an eleventh task is refused with
//    a note and nothing changes.
//  - Every change marks the document modified and asks the duty index for
//    a rebuild; deleting a row or clearing renumbers every stored task
//    number of the model (renumber), so each keeps naming its task.
//  - A renamed task keeps its brush; a new one gets a solid random colour.
#pragma once

#include "SYSTEM/stringDB/stringdb.h"
#include "kalmoradb/store_state.h"

namespace all {

struct task_entry {
  const wchar_t* name;
  uint32_t number;
  rizediveva6::brush brush;
};

class tasks {
 public:
  static const tav::ClassInfo classInfo;
  static store_state state;

  static void init(tav::chainDB* db) { state.init(db); }
  static void uninit() { state.uninit(); }
  static void clear();
  // Every task in list order; numbers are not range-checked here.
  static bool nd_tasks(tav::Each<task_entry> k);
  static const rizediveva6::SList* list_tasks();
  // Row edit: empty or " " deletes row N, a present name does nothing, an
  // existing row is renamed, a row past the end appends.
  static void add_task(int32_t row, const wchar_t* text);
  static void add_task(const wchar_t* text);
  // Fallback "unknown task" with the note "Error 56 in tasks".
  static const wchar_t* get_task_name(uint32_t number);
  // Fallback 10 with the note "Error 57 in tasks"; a position above 10
  // reached by the search raises 302.
  static uint32_t get_task_dom(const wchar_t* name);
};

}  // namespace all
