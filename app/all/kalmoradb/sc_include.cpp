// The display filter and its path table.
#include "kalmoradb/sc_include.h"

#include <cwchar>

#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"

namespace all {

using rizediveva6::SList;

const tav::ClassInfo sc_include::classInfo{L"qel6pack/all/kalmoradb/sc_include", TAV_CLASS_VERSION};
include_dom sc_include::sdb_include{include_kind::all, 0, nullptr};

namespace {

bool Is(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b) == 0; }

include_dom FromPath(const SList* path) {
  const include_dom everything{include_kind::all, 0, nullptr};
  if (path->Empty() || path->tail->Empty()) return everything;
  const wchar_t* heading = path->head;
  const wchar_t* name = path->tail->head;
  if (Is(heading, L"Tasks")) return {include_kind::task, tasks::get_task_dom(name), nullptr};
  if (Is(heading, L"Locations")) return {include_kind::where, locations::get_where_dom(name), nullptr};
  if (Is(heading, L"Doctors") || Is(heading, L"Doctor ties")) {
    const PersonTerm* p;
    return staff_db::get_person(name, &p) ? include_dom{include_kind::person, 0, tav::HeapCopy(name)} : everything;
  }
  if (Is(heading, L"Practices and groups") || Is(heading, L"Practice and group ties"))
    return {include_kind::group, 0, tav::HeapCopy(name)};
  return everything;
}

}  // namespace

void sc_include::set_include_str(const SList* path) { sdb_include = FromPath(path); }

bool sc_include::allow_task(uint32_t task) {
  return sdb_include.kind != include_kind::task || sdb_include.number == task;
}

bool sc_include::allow_where(uint32_t where) {
  return sdb_include.kind != include_kind::where || sdb_include.number == where;
}

bool sc_include::allow_person(const wchar_t* name) {
  return sdb_include.kind != include_kind::person || Is(sdb_include.name, name);
}

bool sc_include::allow_group(const SList* groupNames) {
  return sdb_include.kind != include_kind::group || groups::member(sdb_include.name, groupNames);
}

bool sc_include::person_showing(const wchar_t** name) {
  if (sdb_include.kind != include_kind::person) return false;
  *name = sdb_include.name;
  return true;
}

bool sc_include::group_showing(const wchar_t** name) {
  if (sdb_include.kind != include_kind::group) return false;
  *name = sdb_include.name;
  return true;
}

}  // namespace all
