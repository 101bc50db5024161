// The command tree stand-in of the list tests: a kinds table (one line per
// kind of list view), the ordered request entries of update_any_liboxes,
// the item commands of the list kinds and the task window's first level.
#include "comtree_standin.h"

#include "comtree_recorder.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/ties.h"
#include "kwi/kwicommondialogs.h"
#include "liboxes/cannot_libox.h"
#include "liboxes/drlibox.h"
#include "liboxes/hol_libox.h"
#include "liboxes/loadlibox.h"
#include "liboxes/loclibox.h"
#include "liboxes/praclibox.h"
#include "liboxes/tasklibox.h"
#include "liboxes/ties_libox.h"
#include "liboxes/typicalWeeklyDuties.h"
#include "liboxes/we_libox.h"
#include "rulesPack/sc_rules.h"

namespace alltest {

namespace {

using all::do_delete_selected;
using Sel = do_delete_selected::kind;

// A kind of list view: its fact, the text path of its tree item below the
// root ("/"-joined), how it is made in the pane and what it offers.
struct ListKind {
  const wchar_t* fact;
  const wchar_t* path;
  void* (*make)(LONG_PTR pane);
  void (*close)(void* view);
  void (*del)(void* view);  // null: no "Delete selected"
  bool (*popup)(void* view, uint32_t id);
};

template <class T>
constexpr ListKind Kind(const wchar_t* fact, const wchar_t* path,
                        void* (*make)(LONG_PTR) = [](LONG_PTR pane) -> void* { return T::new_(pane); }) {
  ListKind k{fact, path, make, [](void* v) { static_cast<T*>(v)->destroy_scroll2(); }, nullptr,
             [](void* v, uint32_t id) { return static_cast<T*>(v)->popup_callback(id); }};
  if constexpr (requires(T* t) { t->del_selected(); }) k.del = [](void* v) { static_cast<T*>(v)->del_selected(); };
  return k;
}

// The loadings table of `kind` (weekend(0), weekend(1), total) and the
// typical week of a day kind.
template <all::stat_kind kind, uint32_t a>
void* Loadings(LONG_PTR pane) {
  return all::loadlibox::new_(pane, all::MakeWhatStat(kind, a));
}
template <uint32_t day>
void* Typical(LONG_PTR pane) {
  return all::typicalWeeklyDuties::new_(pane, day);
}

const ListKind kKinds[] = {
    Kind<all::drlibox>(L"db_drlibox", L"Input Data/Doctors"),
    Kind<all::praclibox>(L"db_praclibox", L"Input Data/Practices and groups"),
    Kind<all::loclibox>(L"db_loclibox", L"Input Data/Locations"),
    Kind<all::tasklibox>(L"db_tasklibox", L"Input Data/Tasks"),
    Kind<all::hol_libox>(L"db_hol_libox", L"Input Data/List holidays",
                         [](LONG_PTR pane) -> void* { return all::hol_libox::new_hol_libox(pane); }),
    Kind<all::we_libox>(L"db_we_libox", L"Input Data/List weekend duties",
                        [](LONG_PTR pane) -> void* { return all::we_libox::new_we_libox(pane); }),
    Kind<all::ties_libox>(L"db_ties_libox", L"Rules/Ties/List ties",
                          [](LONG_PTR pane) -> void* { return all::ties_libox::new_ties_libox(pane); }),
    Kind<all::cannot_libox>(L"db_cannot_libox", L"Rules/Can't dos/List Can't Dos",
                            [](LONG_PTR pane) -> void* { return all::cannot_libox::new_cannot_libox(pane); }),
    Kind<all::loadlibox>(L"db_loadlibox weekend(0)", L"Rules/Loadings/Weekdays",
                         &Loadings<all::stat_kind::weekend, 0>),
    Kind<all::loadlibox>(L"db_loadlibox weekend(1)", L"Rules/Loadings/Weekends",
                         &Loadings<all::stat_kind::weekend, 1>),
    Kind<all::loadlibox>(L"db_loadlibox total", L"Rules/Loadings/Totals (calculated)",
                         &Loadings<all::stat_kind::total, 0>),
    Kind<all::typicalWeeklyDuties>(L"db_typ 1001", L"Input Data/Duties to do - typical week/Sunday",
                                   &Typical<all::kSunday>),
    Kind<all::typicalWeeklyDuties>(L"db_typ 1002", L"Input Data/Duties to do - typical week/Weekday",
                                   &Typical<all::kWeekday>),
    Kind<all::typicalWeeklyDuties>(L"db_typ 1003", L"Input Data/Duties to do - typical week/Saturday",
                                   &Typical<all::kSaturday>),
};
constexpr size_t kKindCount = sizeof kKinds / sizeof kKinds[0];

// The open view of each kind, in the kinds table's order.
void* g_open[kKindCount];

// The request entries in the order of search: a dont_del entry re-issues
// its path, a do_del entry deletes the selected rows, a men_item entry
// hands the view its id.
struct Entry {
  Sel selector;
  const wchar_t* fact;
  const wchar_t* path;  // dont_del
};
const Entry kEntries[] = {
    {Sel::dont_del, L"db_duties_libox", L"Roster/List of assignments"},
    {Sel::dont_del, L"db_modates_libox", L"Duties to do - modified/List modified duties"},
    {Sel::dont_del, L"db_hol_libox", L"Input Data/List holidays"},
    {Sel::do_del, L"db_hol_libox", nullptr},
    {Sel::do_del, L"db_cannot_libox", nullptr},
    {Sel::do_del, L"db_ties_libox", nullptr},
    {Sel::dont_del, L"db_we_libox", L"Input Data/List weekend duties"},
    {Sel::dont_del, L"db_drlibox", L"Input Data/Doctors"},
    {Sel::do_del, L"db_drlibox", nullptr},
    {Sel::do_del, L"db_praclibox", nullptr},
    {Sel::dont_del, L"db_praclibox", L"Input Data/Practices and groups"},
    {Sel::dont_del, L"db_loclibox", L"Input Data/Locations"},
    {Sel::dont_del, L"db_tasklibox", L"Input Data/Tasks"},
    {Sel::dont_del, L"db_ties_libox", L"Rules/Ties/List ties"},
    {Sel::dont_del, L"db_cannot_libox", L"Rules/Can't dos/List Can't Dos"},
    {Sel::dont_del, L"db_loadlibox weekend(1)", L"Rules/Loadings/Weekends"},
    {Sel::dont_del, L"db_loadlibox weekend(0)", L"Rules/Loadings/Weekdays"},
    {Sel::men_item, L"db_loadlibox", nullptr},
    {Sel::men_item, L"db_loclibox", nullptr},
    {Sel::men_item, L"db_drlibox", nullptr},
    {Sel::men_item, L"db_modates_libox", nullptr},
    {Sel::men_item, L"db_hol_libox", nullptr},
    {Sel::men_item, L"db_duties_libox", nullptr},
    {Sel::men_item, L"db_list_51_files", nullptr},
    {Sel::men_item, L"db_cannot_libox", nullptr},
    {Sel::men_item, L"db_ties_libox", nullptr},
    {Sel::men_item, L"db_praclibox", nullptr},
    {Sel::men_item, L"db_tasklibox", nullptr},
    {Sel::men_item, L"db_stats_tab", nullptr},
    {Sel::men_item, L"db_we_libox", nullptr},
};

// A kind's fact matches an entry's fact exactly or as its first word.
bool FactMatches(const std::wstring& kindFact, const std::wstring& fact) {
  return kindFact == fact || (kindFact.size() > fact.size() && kindFact.compare(0, fact.size(), fact) == 0 &&
                              kindFact[fact.size()] == L' ');
}

// The open kind of a fact; -1: none.
int OpenKind(const std::wstring& fact) {
  for (size_t k = 0; k < kKindCount; ++k)
    if (g_open[k] && FactMatches(kKinds[k].fact, fact)) return static_cast<int>(k);
  return -1;
}

// The runs an entry's action; false when the view refused.
bool RunEntry(const Entry& e, int kind, int32_t id) {
  const ListKind& k = kKinds[kind];
  void* view = g_open[kind];
  switch (e.selector) {
    case Sel::dont_del: all::comtree::issue_command(PathList(e.path)); return true;
    case Sel::do_del:
      if (!k.del) return false;
      k.del(view);
      return true;
    case Sel::men_item: return k.popup(view, static_cast<uint32_t>(id));
  }
  return false;
}

// Asks a name on the task window; null when cancelled.
const wchar_t* AskName(HWND task, const wchar_t* title, const wchar_t* prompt) {
  return tav::kwiCommonDialogs::getstring(reinterpret_cast<LONG_PTR>(task), title, prompt, L"");
}

// One row of the first level: its ids, the store operation (false: the
// name question was cancelled; null: none) and the selector.
struct FirstLevelRow {
  int32_t first, last;
  bool (*action)(HWND task);
  Sel selector;
};
const FirstLevelRow kFirstLevel[] = {
    {10094, 10100, nullptr, Sel::men_item},
    {10090, 10092, nullptr, Sel::men_item},
    {10101, 10102, nullptr, Sel::men_item},
    {10136, 10138, nullptr, Sel::men_item},
    {10104, 10104, [](HWND) { all::ties::del_all(); return true; }, Sel::dont_del},
    {10108, 10108, [](HWND) { all::sc_rules::clear(); return true; }, Sel::dont_del},
    {10130, 10130, [](HWND) { all::sc_stat_weekend::clear_sd(); return true; }, Sel::dont_del},
    {10144, 10144, nullptr, Sel::do_del},
    {10105, 10105, nullptr, Sel::do_del},
    {10134, 10134, nullptr, Sel::do_del},
    {10133, 10133, [](HWND) { all::sc_holidays::clear_hols(); return true; }, Sel::dont_del},
    {10145, 10145, [](HWND) { all::staff_db::randomize_colors(); return true; }, Sel::dont_del},
    {10141, 10141,
     [](HWND task) {
       const wchar_t* name = AskName(task, L"Practice", L"Enter new practice name");
       if (!name) return false;
       all::groups::add_group(99, name);
       return true;
     },
     Sel::dont_del},
    {10143, 10143,
     [](HWND task) {
       const wchar_t* name = AskName(task, L"Doctor", L"Enter new doctor name");
       if (!name) return false;
       all::staff_db::add_name(name);
       return true;
     },
     Sel::dont_del},
};

}  // namespace

const rizediveva6::SList* PathList(const std::wstring& joined) {
  rizediveva6::ListBuilder<const wchar_t*> b(true);
  b.Add(L"");
  for (size_t at = 0; at <= joined.size();) {
    size_t end = joined.find(L'/', at);
    if (end == std::wstring::npos) end = joined.size();
    b.Add(tav::HeapCopy(joined.substr(at, end - at).c_str()));
    at = end + 1;
  }
  return b.Finish();
}

DataPane& StandinPane() {
  static DataPane pane;
  return pane;
}

void* OpenView(const std::wstring& fact) {
  const int k = OpenKind(fact);
  return k < 0 ? nullptr : g_open[k];
}

std::vector<std::wstring>& IssuedCommands() {
  static std::vector<std::wstring> issued;
  return issued;
}

bool TaskMenuCommand(HWND task, const QEL_KWI::event_struct* e) {
  if (e->kind != QEL_KWI::e_menu) return false;
  const int32_t id = static_cast<int32_t>(e->w[0]);
  for (const FirstLevelRow& r : kFirstLevel) {
    if (id < r.first || id > r.last) continue;
    if (r.action && !r.action(task)) return false;
    all::comtree::update_any_liboxes(all::update_scope::all_views,
                                     {r.selector, r.selector == Sel::men_item ? id : 0});
    return true;
  }
  return false;
}

}  // namespace alltest

namespace all {

void comtree::update_any_liboxes(update_scope scope, do_delete_selected selector) {
  if (scope == update_scope::all_views)
    for (const alltest::Entry& e : alltest::kEntries) {
      if (e.selector != selector.what) continue;
      const int kind = alltest::OpenKind(e.fact);
      if (kind >= 0 && alltest::RunEntry(e, kind, selector.id)) return;
    }
  alltest::ComtreeCalls().push_back({L"calendar step", 0, L""});
  if (alltest::AssignLayer().whole) alltest::AssignLayer().whole();
}

void comtree::issue_command(const rizediveva6::SList* path) {
  std::wstring joined;
  for (const rizediveva6::SList* p = path->Empty() ? path : path->tail; !p->Empty(); p = p->tail)
    joined += (joined.empty() ? L"" : L"/") + std::wstring(p->head);
  alltest::IssuedCommands().push_back(joined);
  for (size_t k = 0; k < alltest::kKindCount; ++k)
    if (joined == alltest::kKinds[k].path) {
      delete_liboxes();
      alltest::g_open[k] = alltest::kKinds[k].make(alltest::StandinPane().window);
      return;
    }
}

void comtree::delete_liboxes() {
  const alltest::DataPane& pane = alltest::StandinPane();
  if (pane.window) QEL_KWI::win_SetHandler(pane.window, pane.handler);
  for (size_t k = 0; k < alltest::kKindCount; ++k)
    if (void* view = alltest::g_open[k]) {
      alltest::g_open[k] = nullptr;
      alltest::kKinds[k].close(view);
    }
  if (pane.window) QEL_KWI::win_Clear_0(pane.window, 0xFFFFFF);
}

// Recorded as the recorder does, for the tests that look for it.
void comtree::initialize() {
  alltest::ComtreeCalls().push_back({L"initialize", 0, L""});
  delete_liboxes();
}

}  // namespace all
