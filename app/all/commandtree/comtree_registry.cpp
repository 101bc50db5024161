// comtree: the requests to "the open view" (update_any_liboxes) as one
// ordered table of entries, and the removal of statistics tables.
//
// Invariants:
//  - An entry applies only for all_views, its own selector and a held view;
//    the first entry whose action succeeds ends the search; the calendar
//    step ends every search that found none (always for calendar_only).
//  - A men_item id is converted to unsigned only when an entry applies.
//  - Nothing here changes a registry entry but the statistics removals,
//    which take the entry before they close its table.
#include <windows.h>

#include "KWI/Wyn/checked.h"
#include "commandtree/comtree_registry.h"
#include "liboxes/cannot_libox.h"
#include "liboxes/drlibox.h"
#include "liboxes/duties_libox.h"
#include "liboxes/hol_libox.h"
#include "liboxes/libox_51filesOnDisk.h"
#include "liboxes/loadlibox.h"
#include "liboxes/loclibox.h"
#include "liboxes/mod_dates.h"
#include "liboxes/praclibox.h"
#include "liboxes/stats_tab.h"
#include "liboxes/tasklibox.h"
#include "liboxes/ties_libox.h"
#include "liboxes/we_libox.h"
#include "mycal/draw_assign.h"
#include "unit.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::SList;
using Sel = do_delete_selected::kind;

namespace registry {

void RaiseSecondEntry(const wchar_t* name) {
  K::Errors::RunTimeErrorFromModule(GetModuleHandleW(L"qel6run.dll"), 311, name, L"comtree$db3");
}

void RecordStats(stats_tab* view, LONG_PTR pane) {
  if (!comtree::db3.db_stats_tab.empty()) RaiseSecondEntry(L"db_stats_tab");
  comtree::db3.db_stats_tab.push_back({view, pane});
}

// Takes the held table and closes it.
void CloseStats() {
  stats_tab* view = comtree::db3.db_stats_tab[0].view;
  comtree::db3.db_stats_tab.clear();
  view->destroy_scroll2();
}

void p_delete_stat_liboxes() {
  if (comtree::db3.db_stats_tab.empty()) return;
  if (!K::Succeeds([] { comtree::delete_stat_liboxes(); }) && !comtree::db3.db_stats_tab.empty()) CloseStats();
}

}  // namespace registry

void comtree::delete_stat_liboxes() {
  if (db3.db_stats_tab.empty()) return;
  const LONG_PTR window = db3.db_stats_tab[0].window;
  const bool top = window == db6.xdata_wintop.get();
  if (!top && (db5.boo_show_bot_stat_win || window != db6.xdata_winbot.get())) K::Fail();
  registry::CloseStats();
}

namespace {

// The text path of a refresh; the root's text is empty.
template <size_t N>
const SList* MakePath(const wchar_t* const (&texts)[N]) {
  const SList* p = rizediveva6::Nil<const wchar_t*>();
  for (size_t i = N; i-- > 0;) {
    auto* cell = static_cast<SList*>(K::Memory::AllocUncollectableHeap(sizeof(SList)));
    *cell = {1, texts[i], p};
    p = cell;
  }
  return p;
}

// An entry's action on its held view: false when it fails.
struct Entry {
  Sel selector;
  bool (*held)();
  bool (*act)(uint32_t id);
};

template <auto Fact>
bool Held() {
  return (comtree::db3.*Fact).present();
}
template <auto Fact>
auto* View() {
  return (comtree::db3.*Fact).view;
}

template <const SList* (*P)()>
bool Reissue(uint32_t) {
  comtree::issue_command(P());
  return true;
}
template <auto Fact>
bool Delete(uint32_t) {
  View<Fact>()->del_selected();
  return true;
}
template <auto Fact>
bool Popup(uint32_t id) {
  return View<Fact>()->popup_callback(id);
}

// db_loadlibox of one kind.
template <uint32_t Weekend>
bool LoadsOf() {
  const auto& f = comtree::db3.db_loadlibox;
  return f.present() && f.key == what_stat{stat_kind::weekend, Weekend, 0};
}
bool StatsHeld() { return !comtree::db3.db_stats_tab.empty(); }
bool StatsPopup(uint32_t id) { return comtree::db3.db_stats_tab[0].view->popup_callback(id); }

#define PATH(name, ...)                                    \
  const SList* name() {                                   \
    static const wchar_t* const texts[] = {__VA_ARGS__};  \
    static const SList* const path = MakePath(texts);     \
    return path;                                          \
  }
PATH(Assignments, L"", L"Roster", L"List of assignments")
// The item stands under "Input Data": a shorter path would reach no rule.
PATH(Modified, L"", L"Input Data", L"Duties to do - modified", L"List modified duties")
PATH(Holidays, L"", L"Input Data", L"List holidays")
PATH(Weekends, L"", L"Input Data", L"List weekend duties")
PATH(Doctors, L"", L"Input Data", L"Doctors")
PATH(Practices, L"", L"Input Data", L"Practices and groups")
PATH(Locations, L"", L"Input Data", L"Locations")
PATH(Tasks, L"", L"Input Data", L"Tasks")
PATH(Ties, L"", L"Rules", L"Ties", L"List ties")
PATH(Cannots, L"", L"Rules", L"Can't dos", L"List Can't Dos")
PATH(WeekendLoads, L"", L"Rules", L"Loadings", L"Weekends")
PATH(WeekdayLoads, L"", L"Rules", L"Loadings", L"Weekdays")
#undef PATH

using S = comtree::section3;
const Entry kEntries[] = {
    {Sel::dont_del, &Held<&S::db_duties_libox>, &Reissue<&Assignments>},
    {Sel::dont_del, &Held<&S::db_modates_libox>, &Reissue<&Modified>},
    {Sel::dont_del, &Held<&S::db_hol_libox>, &Reissue<&Holidays>},
    {Sel::do_del, &Held<&S::db_hol_libox>, &Delete<&S::db_hol_libox>},
    {Sel::do_del, &Held<&S::db_cannot_libox>, &Delete<&S::db_cannot_libox>},
    {Sel::do_del, &Held<&S::db_ties_libox>, &Delete<&S::db_ties_libox>},
    {Sel::dont_del, &Held<&S::db_we_libox>, &Reissue<&Weekends>},
    {Sel::dont_del, &Held<&S::db_drlibox>, &Reissue<&Doctors>},
    {Sel::do_del, &Held<&S::db_drlibox>, &Delete<&S::db_drlibox>},
    {Sel::do_del, &Held<&S::db_praclibox>, &Delete<&S::db_praclibox>},
    {Sel::dont_del, &Held<&S::db_praclibox>, &Reissue<&Practices>},
    {Sel::dont_del, &Held<&S::db_loclibox>, &Reissue<&Locations>},
    {Sel::dont_del, &Held<&S::db_tasklibox>, &Reissue<&Tasks>},
    {Sel::dont_del, &Held<&S::db_ties_libox>, &Reissue<&Ties>},
    {Sel::dont_del, &Held<&S::db_cannot_libox>, &Reissue<&Cannots>},
    {Sel::dont_del, &LoadsOf<1>, &Reissue<&WeekendLoads>},
    {Sel::dont_del, &LoadsOf<0>, &Reissue<&WeekdayLoads>},
    {Sel::men_item, &Held<&S::db_loadlibox>, &Popup<&S::db_loadlibox>},
    {Sel::men_item, &Held<&S::db_loclibox>, &Popup<&S::db_loclibox>},
    {Sel::men_item, &Held<&S::db_drlibox>, &Popup<&S::db_drlibox>},
    {Sel::men_item, &Held<&S::db_modates_libox>, &Popup<&S::db_modates_libox>},
    {Sel::men_item, &Held<&S::db_hol_libox>, &Popup<&S::db_hol_libox>},
    {Sel::men_item, &Held<&S::db_duties_libox>, &Popup<&S::db_duties_libox>},
    {Sel::men_item, &Held<&S::db_list_51_files>, &Popup<&S::db_list_51_files>},
    {Sel::men_item, &Held<&S::db_cannot_libox>, &Popup<&S::db_cannot_libox>},
    {Sel::men_item, &Held<&S::db_ties_libox>, &Popup<&S::db_ties_libox>},
    {Sel::men_item, &Held<&S::db_praclibox>, &Popup<&S::db_praclibox>},
    {Sel::men_item, &Held<&S::db_tasklibox>, &Popup<&S::db_tasklibox>},
    {Sel::men_item, &StatsHeld, &StatsPopup},
    {Sel::men_item, &Held<&S::db_we_libox>, &Popup<&S::db_we_libox>},
};
static_assert(sizeof kEntries / sizeof kEntries[0] == 30);

// Runs an entry's action; false when it failed or raised nothing handled.
bool Acts(const Entry& e, uint32_t id) {
  volatile bool done = false;
  K::Succeeds([&] { done = e.act(id); });
  return done;
}

void CalendarStep() {
  draw_assign* layer = comtree::db3.db_cal_assign.view;
  if (!layer) return;
  rizediveva6::TrapAndForget([&] {
    if (K::Succeeds([&] { layer->delete_pic2(); })) layer->drew_all_assign(rizediveva6::Nil<const wchar_t*>());
  });
}

}  // namespace

void comtree::update_any_liboxes(update_scope scope, do_delete_selected selector) {
  if (scope == update_scope::all_views) {
    for (const Entry& e : kEntries) {
      if (e.selector != selector.what || !e.held()) continue;
      const uint32_t id = selector.what == Sel::men_item ? rizediveva6::checked::I2U(selector.id) : 0;
      if (Acts(e, id)) return;
    }
  }
  CalendarStep();
}

}  // namespace all
