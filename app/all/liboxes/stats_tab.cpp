// stats_tab: the kinds table, the header titles and default widths, the
// rows and their cells, the pop-up menu with its states and the commands.
#include "liboxes/stats_tab.h"

#include <cwchar>
#include <new>

#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kwi/kwi.h"
#include "liboxes/list_common.h"
#include "qel6run_fmt.h"
#include "string/string.h"
#include "unit.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
namespace Tm = Qel::RunTime::Terms;
using namespace QEL_KWI;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;
using rizediveva6::SList;

const tav::ClassInfo stats_tab::classInfo{L"qel6pack/all/liboxes/stats_tab", TAV_CLASS_VERSION};

namespace {

struct kind_entry {
  const wchar_t* item;  // the tree item, first path element
  do_what_stat kind;
  const wchar_t* view;
  uint32_t first, width, count;  // default widths: first (0: none), then count times width
};

const kind_entry kKinds[] = {
    {L"Totals", do_what_stat::do_totals, L"stat_tot", 0, 100, 4},
    {L"Days", do_what_stat::do_days, L"stat_day", 20, 100, 10},
    {L"Weekends", do_what_stat::do_weekend, L"stat_we", 20, 100, 5},
    {L"Slots", do_what_stat::do_slots, L"stat_slot", 20, 100, 10},
    {L"Day-slots", do_what_stat::do_day_slots, L"stat_ds", 20, 50, 30},
    {L"Tasks", do_what_stat::do_tasks, L"stat_task", 20, 100, 10},
    {L"Locations", do_what_stat::do_wheres, L"stat_task", 20, 100, 10},
    {L"Holidays", do_what_stat::do_holidays, L"stat_task", 20, 100, 5},
};

const kind_entry& EntryOf(do_what_stat kind) {
  for (const kind_entry& e : kKinds)
    if (e.kind == kind) return e;
  return kKinds[0];
}

const List<uint32_t>* DefaultWidths(const kind_entry& e, stat_type how) {
  ListBuilder<uint32_t> b;
  if (e.first) b.Add(e.first);
  // The totals table in comparison mode has one width more.
  const uint32_t count = e.kind == do_what_stat::do_totals && how == stat_type::compare ? e.count + 1 : e.count;
  for (uint32_t i = 0; i < count; ++i) b.Add(e.width);
  return b.Finish();
}

// The titles of the values of a kind, one per value.
const SList* ValueTitles(do_what_stat kind) {
  switch (kind) {
    case do_what_stat::do_totals: return rizediveva6::MakeList<const wchar_t*>({L"assigned"});
    case do_what_stat::do_days: return rizediveva6::AsSList(rizediveva6::mytime::daynames());
    case do_what_stat::do_weekend: return rizediveva6::MakeList<const wchar_t*>({L"Weekends", L"Weekdays"});
    case do_what_stat::do_slots: return kalmora_DB::list_slots();
    case do_what_stat::do_day_slots: return kalmora_DB::list_day_slots_slist();
    case do_what_stat::do_tasks: return tasks::list_tasks();
    case do_what_stat::do_wheres: return locations::list_locs();
    case do_what_stat::do_holidays: return rizediveva6::MakeList<const wchar_t*>({L"Holidays", L"Non-holidays"});
  }
  return rizediveva6::Nil<const wchar_t*>();
}

// The header titles after the first column: one per value, three per value
// in comparison mode.
const SList* Titles(do_what_stat kind, stat_type how) {
  if (how != stat_type::compare) return ValueTitles(kind);
  if (kind == do_what_stat::do_totals) return rizediveva6::MakeList<const wchar_t*>({L"Assigned", L"Required", L"Difference"});
  ListBuilder<const wchar_t*> b;
  for (const SList* l = ValueTitles(kind); !l->Empty(); l = l->tail) {
    b.Add(l->head);
    b.Add(L"required");
    b.Add(L"difference");
  }
  return b.Finish();
}

const wchar_t* Decimal(int64_t v) {
  wchar_t buf[24];
  swprintf(buf, 24, L"%lld", static_cast<long long>(v));
  return tav::HeapCopy(buf);
}

// The reference text of a value for the bottom row: "-" for 0.
const wchar_t* ReferenceText(uint32_t reference) { return reference == 0 ? L"-" : Decimal(reference); }

// An unsigned count as the language's integer: 302 beyond its range.
int32_t AsInteger(uint32_t v) {
  if (v > static_cast<uint32_t>(INT32_MAX)) rizediveva6::RaiseRangeError();
  return static_cast<int32_t>(v);
}

// Menu items.
enum : LONG_PTR { kTxtId = 0, kTxtText, kTxtAccel, kTxtEnabled, kTxtChecked, kTxtSub };
constexpr uintptr_t kItemTxt = 1;
constexpr uintptr_t kDynMenu = 2;

}  // namespace

stats_tab::value_cells stats_tab::stat_edata(const stat_row& value, stat_type how, bool percent) {
  const wchar_t* reference = ReferenceText(value.first);
  return value_cells{row_cells_of(value, how, percent), reference};
}

const SList* stats_tab::row_cells_of(const stat_row& value, stat_type how, bool percent) {
  const uint32_t reference = value.first, assigned = value.second;
  const bool compare = how == stat_type::compare;
  if (reference == 0)
    return compare ? rizediveva6::MakeList<const wchar_t*>({L"", L"", L"-"}) : rizediveva6::MakeList<const wchar_t*>({L"-"});
  if (compare) {
    const int32_t difference = tav::SubChecked(AsInteger(assigned), AsInteger(reference));
    return percent ? rizediveva6::MakeList<const wchar_t*>({L"", L"",
                                               percent_text(static_cast<double>(tav::MulChecked(difference, 100)) /
                                                            static_cast<double>(reference))})
                   : rizediveva6::MakeList<const wchar_t*>({Decimal(assigned), Decimal(reference), Decimal(difference)});
  }
  return rizediveva6::MakeList<const wchar_t*>({percent ? percent_text(static_cast<double>(assigned) * 100.0 /
                                                                       static_cast<double>(reference))
                                                        : Decimal(assigned)});
}

const wchar_t* stats_tab::percent_text(double value) {
  Tm::TEllipsisArgs<2> a;
  a.SetValue(0, tav::D(tav::domains::real), value);
  a.SetTerm(1, tav::D(tav::domains::string), L"%");
  return tav::HeapCopy(tav::string::format(L"%6.3f %", a));
}

stats_tab* stats_tab::new_stats_tab(const SList* path, LONG_PTR window) {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(stats_tab), 1};
  void* block = Qel::RunTime::Objects::AllocateObject(&info, [](void* b) {
    rizediveva6::TrapAndForget([&] { static_cast<stats_tab*>(b)->delete_db(); });
  });
  memset(block, 0, sizeof(stats_tab));
  stats_tab* t = new (block) stats_tab();
  t->xstat_type_ = stat_type::pc_of_required;
  t->set_do_what_stat(path);
  t->init_libox(t->view_, rizediveva6::Screen(window));
  t->set_title_tb(rizediveva6::TitleTb(21, 40));
  t->set_top(41);
  t->set_left(10);
  t->set_selected_props(rizediveva6::MakeList<rizediveva6::selected_prop>(
      {rizediveva6::selected_prop{rizediveva6::selected_prop::selected_is_bold, 0, 0}}));
  win_SetHandler(window, t->event_handler());
  t->set_data_props(rizediveva6::MakeList<rizediveva6::data_prop>({rizediveva6::data_prop::has_color_box}));
  t->build_menu();
  t->fill();
  return t;
}

void stats_tab::set_do_what_stat(const SList* path) {
  boo_percent_ = true;
  for (const SList* l = path; !l->Empty(); l = l->tail)
    if (wcscmp(l->head, L"Number assigned") == 0) boo_percent_ = false;
  view_ = L"stat_tot";
  // The "Results Statistics" node itself hands an empty path: the totals.
  if (path->Empty()) return;
  for (const kind_entry& e : kKinds)
    if (wcscmp(path->head, e.item) == 0) {
      xdb_do_what_stat_ = e.kind;
      view_ = e.view;
      return;
    }
  rizediveva6::myKWI::note(tav::string::concat(path->head, L" - Error 97 in stats_tab"));
}

void stats_tab::make_cols() {
  xtotals_ = totals::new_();
  xtotals_->calculate_total_to_be_done(kToBeDone, xstat_type_, xdb_do_what_stat_);
  set_col_widths(false, DefaultWidths(EntryOf(xdb_do_what_stat_), xstat_type_));
  add_cols(rizediveva6::Cons<const wchar_t*>(xdb_do_who_stat_ == do_who_stat::people ? L"Doctor" : L"Group",
                                             Titles(xdb_do_what_stat_, xstat_type_)));
}

const SList* stats_tab::row_cells(const pg& who, const SList* front, bool referenceTexts) {
  xtotals_->calculate_total_to_be_done(are_assigned(who), xstat_type_, xdb_do_what_stat_);
  // Rows are collected across the solutions of the store's walks: on the heap.
  ListBuilder<const wchar_t*> b(true);
  b.Add(front->head);
  for (const List<stat_row>* v = xtotals_->get_data(xdb_do_what_stat_, who); !v->Empty(); v = v->tail) {
    // Only what the row shows is made: its cells or its reference texts.
    if (referenceTexts) {
      b.Add(ReferenceText(v->head.first));
      continue;
    }
    for (const SList* l = row_cells_of(v->head, xstat_type_, boo_percent_); !l->Empty(); l = l->tail) b.Add(l->head);
  }
  return b.Finish();
}

const List<line>* stats_tab::make_lines() {
  ListBuilder<line> rows(true);
  if (xdb_do_who_stat_ == do_who_stat::groups) {
    groups::nd_groups([&](const rizediveva6::str_br* g) {
      const wchar_t* name = tav::HeapCopy(g->name);
      rows.Add(rizediveva6::LineNo(row_cells(pg::g(name), rizediveva6::MakeList<const wchar_t*>({name}), false), 0, 0));
      K::Fail();
    });
  } else {
    staff_db::nd_person([&](const PersonTerm* p) {
      rows.Add(rizediveva6::LineNo(row_cells(pg(p->ref), rizediveva6::MakeList<const wchar_t*>({tav::HeapCopy(p->dat->name)}), false),
                                   p->dat->colour, 0));
      K::Fail();
    });
  }
  rows.Add(rizediveva6::LineNo(rizediveva6::Nil<const wchar_t*>(), 0, 0));
  if (xstat_type_ != stat_type::compare) {
    const wchar_t* label = xstat_type_ == stat_type::pc_of_assigned ? L"total assigned" : L"total to do";
    staff_db::nd_person([&](const PersonTerm* p) {
      rows.Add(rizediveva6::LineNo(row_cells(pg(p->ref), rizediveva6::MakeList<const wchar_t*>({label}), true), 0, 0));
      return;  // the first doctor only
    });
  }
  return rows.Finish();
}

void stats_tab::build_menu() {
  // The resource is read and copied once; every build sets the states again.
  if (!menu_) {
    menu_struct* m = tav::kwi::menugetres(kMenu);
    menu_ = lists::HeapItems(reinterpret_cast<const menu_item_list_struct*>(m->value));
    installed_ = static_cast<menu_struct*>(K::Memory::AllocHeap(sizeof(menu_struct)));
    *installed_ = menu_struct{kDynMenu, reinterpret_cast<uintptr_t>(menu_)};
  }
  const bool comparable =
      xdb_do_what_stat_ == do_what_stat::do_totals || xdb_do_what_stat_ == do_what_stat::do_weekend;
  for (menu_item_list_struct* l = menu_; l->functor == ListCons; l = l->next) {
    menu_item* it = l->value;
    if (it->functor != kItemTxt) continue;
    LONG_PTR& checked = it->w[kTxtChecked];
    switch (static_cast<uint32_t>(it->w[kTxtId])) {
      case kDoctors: checked = xdb_do_who_stat_ == do_who_stat::people; break;
      case kGroups: checked = xdb_do_who_stat_ == do_who_stat::groups; break;
      case kPercent: checked = boo_percent_; break;
      case kNumbers: checked = !boo_percent_; break;
      case kOfRequired: checked = xstat_type_ == stat_type::pc_of_required; break;
      case kOfAssigned: checked = xstat_type_ == stat_type::pc_of_assigned; break;
      case kComparison:
        checked = xstat_type_ == stat_type::compare;
        it->w[kTxtEnabled] = comparable;
        break;
      default: break;
    }
  }
  set_menu(installed_);
}

void stats_tab::fill() {
  make_cols();
  lbox_add_lines(make_lines());
  re_draw();
}

void stats_tab::recalculate() {
  build_menu();
  lbox_clear();
  remove_all_cols();
  fill();
}

bool stats_tab::popup_callback(uint32_t id) {
  switch (id) {
    case kDoctors: xdb_do_who_stat_ = do_who_stat::people; break;
    case kGroups: xdb_do_who_stat_ = do_who_stat::groups; break;
    case kPercent: boo_percent_ = true; break;
    case kNumbers: boo_percent_ = false; break;
    case kOfRequired: xstat_type_ = stat_type::pc_of_required; break;
    case kOfAssigned: xstat_type_ = stat_type::pc_of_assigned; break;
    case kComparison: xstat_type_ = stat_type::compare; break;
    case kCopy: to_exel_cb(); return true;
    case kPrint: lbox_print(L"Print Statistics"); return true;
    default: return false;
  }
  recalculate();
  return true;
}

void stats_tab::destroy_scroll2() { destroy_scroll(); }

void stats_tab::re_draw() { lbox_draw(); }

}  // namespace all
