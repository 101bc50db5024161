// The task list over the chain "tasks".
#include "kalmoradb/tasks.h"

#include <cwchar>

#include "KWI/Wyn/wyn.h"
#include "kalmoradb/numbered_list.h"
#include "kalmoradb/roster_types.h"
#include "unit.h"

namespace all {

using rizediveva6::brush;
using rizediveva6::PositionedStrBr;
using rizediveva6::string_brush_db;

const tav::ClassInfo tasks::classInfo{L"qel6pack/all/kalmoradb/tasks", TAV_CLASS_VERSION};
store_state tasks::state{L"tasks", L"tasks not initialised"};

namespace {

constexpr const wchar_t* kChain = L"tasks";
constexpr int32_t kSolid = 2;

const numbered_list kList{
    list_kind::task,
    L"Error 58 in tasks - more than 10 tasks",
    [](const wchar_t* name) { return string_brush_db::exist_name(tasks::state.db(), kChain, name); },
    [] { return string_brush_db::count(tasks::state.db(), kChain); },
    [](int32_t n) { return string_brush_db::del_nth(tasks::state.db(), kChain, n); },
    [](int32_t n, const wchar_t* name) {
      return string_brush_db::replace_nth_str(tasks::state.db(), kChain, n, name);
    },
    [](const wchar_t* name) {
      const brush b{kSolid, rizediveva6::wyn::random_color()};
      string_brush_db::add_namez(tasks::state.db(), kChain, rizediveva6::make_str_br(name, b));
    },
    [] { rizediveva6::TrapAndForget([] { string_brush_db::clear_chain(tasks::state.db(), kChain); }); },
};

}  // namespace

void tasks::clear() {
  state.is_initialised();
  clear_rows(kList);
}

bool tasks::nd_tasks(tav::Each<task_entry> k) {
  state.is_initialised();
  return string_brush_db::nd_list_str_brs(state.db(), kChain, [&](PositionedStrBr e) {
    k(task_entry{e.entry->name, static_cast<uint32_t>(e.position), *e.entry->brush_});
  });
}

const rizediveva6::SList* tasks::list_tasks() { return string_brush_db::list_names(state.db(), kChain); }

void tasks::add_task(int32_t row, const wchar_t* text) { edit_row(kList, row, text); }

void tasks::add_task(const wchar_t* text) { append_row(kList, text); }

const wchar_t* tasks::get_task_name(uint32_t number) {
  return name_of([](tav::Each<named_number> k) {
    return nd_tasks([&](task_entry e) { k(named_number{e.name, e.number}); });
  }, number, L"unknown task", L"Error 56 in tasks");
}

uint32_t tasks::get_task_dom(const wchar_t* name) {
  return number_of([](tav::Each<named_number> k) {
    return nd_tasks([&](task_entry e) {
      rizediveva6::CheckRange(domains::task_dom, e.number);  // before the name is compared
      k(named_number{e.name, e.number});
    });
  }, name, L"Error 57 in tasks");
}

}  // namespace all
