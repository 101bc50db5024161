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

const wchar_t* name_of(enumeration entries, uint32_t number, const wchar_t* fallback, const wchar_t* note) {
  const wchar_t* volatile name = nullptr;
  entries([&](named_number e) {
    if (e.number != number) tav::K::Fail();
    name = tav::HeapCopy(e.name);
  });
  if (name) return name;
  rizediveva6::myKWI::note(note);
  return fallback;
}

uint32_t number_of(enumeration entries, const wchar_t* name, const wchar_t* note) {
  volatile uint32_t found = 0;
  entries([&](named_number e) {
    if (wcscmp(e.name, name) != 0) tav::K::Fail();
    found = e.number;
  });
  if (found) return found;
  rizediveva6::myKWI::note(note);
  return 10;
}

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
