// The row edits shared by the two numbered lists (tasks, locations): a list
// of at most 10 unique names whose positions are the numbers stored all
// over the model.
//
// Invariants:
//  - Each edit marks the document modified and asks the duty index for a
//    rebuild before it writes; an edit that finds the name present changes
//    and marks nothing.
//  - A deletion that removed a row, and a clear, renumber the model.
//  - An append past 10 entries shows the list's note and changes nothing.
//  - Look-ups stop at the first match and never fail: a fallback after a
//    note.
#pragma once

#include "core/core.h"
#include "kalmoradb/renumber.h"

namespace all {

struct numbered_list {
  list_kind kind;
  const wchar_t* full_note;  // the note of an eleventh entry
  bool (*exists)(const wchar_t* name);
  int32_t (*count)();
  bool (*del_nth)(int32_t n);
  bool (*rename_nth)(int32_t n, const wchar_t* name);
  void (*append)(const wchar_t* name);
  void (*clear)();
};

// An entry with its number, as an enumeration of a list gives it.
struct named_number {
  const wchar_t* name;
  uint32_t number;
};
using enumeration = bool (*)(tav::Each<named_number> k);

// The name of the first entry of that number; else `fallback` after the
// note.
const wchar_t* name_of(enumeration entries, uint32_t number, const wchar_t* fallback, const wchar_t* note);
// The number of the first entry of exactly that name; else 10 after the
// note.
uint32_t number_of(enumeration entries, const wchar_t* name, const wchar_t* note);

void edit_row(const numbered_list& list, int32_t row, const wchar_t* text);
void append_row(const numbered_list& list, const wchar_t* text);
void clear_rows(const numbered_list& list);

}  // namespace all
