// The location list over the chain "locs".
#include "kalmoradb/locations.h"

#include <cwchar>

#include "SYSTEM/stringDB/stringdb.h"
#include "kalmoradb/numbered_list.h"
#include "kalmoradb/roster_types.h"
#include "unit.h"

namespace all {

using rizediveva6::simple_string_db;

const tav::ClassInfo locations::classInfo{L"qel6pack/all/kalmoradb/locations", TAV_CLASS_VERSION};
store_state locations::state{L"locations", L"locations not initialised"};

namespace {

constexpr const wchar_t* kChain = L"locs";

const numbered_list kList{
    list_kind::where,
    L"Error 158 in locations - more than 10 locations",
    [](const wchar_t* name) { return simple_string_db::exist_name(locations::state.db(), kChain, name); },
    [] { return simple_string_db::count(locations::state.db(), kChain); },
    [](int32_t n) { return simple_string_db::del_nth(locations::state.db(), kChain, n); },
    [](int32_t n, const wchar_t* name) {
      return simple_string_db::replace_nth(locations::state.db(), kChain, n, name);
    },
    [](const wchar_t* name) { simple_string_db::add_namez(locations::state.db(), kChain, name); },
    [] { rizediveva6::TrapAndForget([] { simple_string_db::clear_chain(locations::state.db(), kChain); }); },
};

}  // namespace

void locations::clear() {
  state.is_initialised();
  clear_rows(kList);
}

bool locations::nd_locs(tav::Each<where_entry> k) {
  state.is_initialised();
  volatile uint32_t n = 0;
  return simple_string_db::nd_list_names(state.db(), kChain, [&](const wchar_t* name) {
    n = n + 1;
    rizediveva6::CheckRange(domains::where_dom, n);
    k(where_entry{name, n});
  });
}

const rizediveva6::SList* locations::list_locs() { return simple_string_db::list_names(state.db(), kChain); }

void locations::add_loc(int32_t row, const wchar_t* text) { edit_row(kList, row, text); }

void locations::add_loc(const wchar_t* text) { append_row(kList, text); }

namespace {

bool Entries(tav::Each<named_number> k) {
  return locations::nd_locs([&](where_entry e) { k(named_number{e.name, e.number}); });
}

}  // namespace

const wchar_t* locations::get_where_name(uint32_t number) {
  return name_of(Entries, number, L"unknown location", L"Error 156 in locations");
}

uint32_t locations::get_where_dom(const wchar_t* name) { return number_of(Entries, name, L"Error 157 in locations"); }

}  // namespace all
