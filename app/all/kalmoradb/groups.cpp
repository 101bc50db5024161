// The practices and groups over the chain "groups".
#include "kalmoradb/groups.h"

#include <cwchar>

#include "KWI/Wyn/wyn.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/renumber.h"
#include "unit.h"

namespace all {

using rizediveva6::brush;
using rizediveva6::PositionedStrBr;
using rizediveva6::SList;
using rizediveva6::string_brush_db;

const tav::ClassInfo groups::classInfo{L"qel6pack/all/kalmoradb/groups", TAV_CLASS_VERSION};
store_state groups::state{L"groups", L"groups not initialised"};

namespace {

constexpr const wchar_t* kChain = L"groups";
constexpr int32_t kSolid = 2;

bool Exists(const wchar_t* name) { return string_brush_db::exist_name(groups::state.db(), kChain, name); }

// The name at position row (from 1), on the heap; null past the ends.
const wchar_t* NameAt(int32_t row) {
  int32_t n = 1;
  for (const SList* l = groups::list_groups(); !l->Empty(); l = l->tail, ++n)
    if (n == row) return tav::HeapCopy(l->head);
  return nullptr;
}

}  // namespace

void groups::clear() {
  state.is_initialised();
  kalmora_DB::set_as_mod();
  rizediveva6::TrapAndForget([] { string_brush_db::clear_chain(state.db(), kChain); });
}

bool groups::nd_groups(tav::Each<const rizediveva6::str_br*> k) {
  state.is_initialised();
  return string_brush_db::nd_list_str_brs(state.db(), kChain, [&](PositionedStrBr e) { k(e.entry); });
}

const SList* groups::list_groups() { return string_brush_db::list_names(state.db(), kChain); }

void groups::add_group(int32_t row, const wchar_t* text) {
  const wchar_t* old = NameAt(row);
  if (text[0] == 0 || wcscmp(text, L" ") == 0) {
    kalmora_DB::set_as_mod();
    string_brush_db::del_nth(state.db(), kChain, row);
    if (old) renumber::group(old, nullptr);
    return;
  }
  if (Exists(text)) return;
  if (old) {
    kalmora_DB::set_as_mod();
    string_brush_db::replace_nth_str(state.db(), kChain, row, text);
    renumber::group(old, text);
    return;
  }
  add_group(text);
}

void groups::add_group(const wchar_t* text) {
  if (Exists(text)) return;
  const brush b{kSolid, rizediveva6::wyn::random_color()};
  kalmora_DB::set_as_mod();
  string_brush_db::add_namez(state.db(), kChain, rizediveva6::make_str_br(text, b));
}

void groups::del_group(const wchar_t* name) {
  const bool existed = Exists(name);
  kalmora_DB::set_as_mod();
  string_brush_db::del_name(state.db(), kChain, name);
  if (existed) renumber::group(name, nullptr);
}

void groups::set_color(const wchar_t* name, int32_t colour) {
  kalmora_DB::set_as_mod();
  string_brush_db::replace_name_brush(state.db(), kChain, name, brush{kSolid, colour});
}

bool groups::member(const wchar_t* name, const SList* names) { return rizediveva6::orv_list::member(name, names); }

const SList* groups::remove(const wchar_t* name, const SList* names) {
  return rizediveva6::orv_list::remove(name, names);
}

}  // namespace all
