// Row edits of the numbered lists.
#include "kalmoradb/numbered_list.h"

#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"
#include "kalmoradb/kalmora_DB.h"
#include "phase1/sc_phase1.h"

namespace all {

namespace {

void Mark() {
  kalmora_DB::set_as_mod();
  sc_phase1::must_regenerate(L"list changed");
}

}  // namespace

void edit_row(const numbered_list& list, int32_t row, const wchar_t* text) {
  if (text[0] == 0 || wcscmp(text, L" ") == 0) {
    Mark();
    if (list.del_nth(row)) renumber::apply(list.kind, number_map::after_delete(static_cast<uint32_t>(row)));
    return;
  }
  if (list.exists(text)) return;
  if (row >= 1 && row <= list.count()) {
    Mark();
    list.rename_nth(row, text);
    return;
  }
  append_row(list, text);
}

void append_row(const numbered_list& list, const wchar_t* text) {
  if (list.exists(text)) return;
  if (list.count() >= 10) {
    rizediveva6::myKWI::note(list.full_note);
    return;
  }
  Mark();
  list.append(text);
}

void clear_rows(const numbered_list& list) {
  Mark();
  list.clear();
  renumber::apply(list.kind, number_map::cleared());
}

}  // namespace all
