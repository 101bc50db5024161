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
#pragma once

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

void edit_row(const numbered_list& list, int32_t row, const wchar_t* text);
void append_row(const numbered_list& list, const wchar_t* text);
void clear_rows(const numbered_list& list);

}  // namespace all
