// The previous version's stored records, as the importer reads them: each
// domain has the record as functor 1 and `dummy` as functor 2.
//
// Invariants:
//  - The structs mirror the runtime's 64-bit layout of their domains; the
//    record pointer is a 32-bit chain reference, never a pointer.
#pragma once

#include "kalmoradb/roster_types.h"

namespace all::km5 {

constexpr uint64_t kRecord = 1, kDummy = 2;

// person1(record pointer, name, practice, colour, letter, deleted_or_not)
struct Person1Term {
  uint64_t functor;
  chain_ref ref;
  const wchar_t* name;
  const wchar_t* practice;
  int32_t colour;
  wchar_t letter;
  const tav::ConstantTerm* mark;
};
// dt1(year, month, day)
struct Dt1Term { uint64_t functor; int32_t year, month, day; };
// task_loc_slot(task, location, slot)
struct TlsTerm { uint64_t functor; uint32_t task, where; int32_t slot; };

extern T::RCompoundDomain person1, dt1, task_loc_slot;

// Links these domains (once, after the roster model's unit); 0 when done.
int InitializeUnit();

// The import's read phase alone (open, decode and check every record,
// close), raising as the import does: the number of records taken.
uint32_t read_records(const wchar_t* fileName);

}  // namespace all::km5
