// sc_include: the display filter of the roster views, process-wide (not
// stored in the document): everything, one task, one location, one doctor
// or one group.
//
// Invariants:
//  - sdb_include is include_all when the process starts; set_include_str
//    and a renumbering of the model change it, opening or closing a
//    document does not.
//  - A name held by the filter is a heap copy; names compare ordinally.
//  - Each check narrows only along its own kind and never raises.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "core/core.h"

namespace all {

enum class include_kind : uint8_t { all = 1, task, where, person, group };

struct include_dom {
  include_kind kind;
  uint32_t number;       // include_task, include_where
  const wchar_t* name;   // include_person, include_group
};

class sc_include {
 public:
  static const tav::ClassInfo classInfo;
  static include_dom sdb_include;

  // From a command-tree path below the calendar's branch: a heading, a name.
  static void set_include_str(const rizediveva6::SList* path);
  static bool allow_task(uint32_t task);
  static bool allow_where(uint32_t where);
  static bool allow_person(const wchar_t* name);
  // The groups of a doctor.
  static bool allow_group(const rizediveva6::SList* groupNames);
  static bool person_showing(const wchar_t** name);
  static bool group_showing(const wchar_t** name);
};

}  // namespace all
