// comtree: the item commands (issue_command) as one table of rules keyed by
// the item's text path, tried in order after step 0; rule D when none
// applies.
//
// Invariants:
//  - A pattern text matches exactly; null stands for any one text; `open`
//    lets further texts follow (the rule's rest), else the lengths agree.
//  - A rule's steps answer false only when its condition fails after some
//    steps ran; the next rules are then tried and those steps stay done.
//  - A view is recorded only after its constructor returned: a constructor
//    that raises leaves no entry, and a kind never holds two.
#include "commandtree/comtree.h"
#include "commandtree/comtree_registry.h"
#include "dlgs/Calendar_def.h"
#include "helpinfo.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_include.h"
#include "kwi/kwi.h"
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
#include "liboxes/typicalWeeklyDuties.h"
#include "liboxes/we_libox.h"
#include "mycal/draw_assign.h"
#include "mycal/draw_cant_dos.h"
#include "mycal/draw_dtbd.h"
#include "mycal/draw_hols.h"
#include "mycal/draw_ties.h"
#include "mycal/draw_weekends.h"

namespace all {

using namespace QEL_KWI;
using rizediveva6::SList;

namespace {

struct Rule;
// The rule's steps; false: its condition failed, try the next rule.
using Steps = bool (*)(const Rule& rule, const SList* path, const SList* rest);

struct Rule {
  const wchar_t* pattern[5];  // null: any one text
  uint32_t length;
  bool open;  // `...`: any number of further texts
  const wchar_t* title;
  const wchar_t* help;
  Steps steps;
};

// --- Shared steps ----------------------------------------------------------------------

comtree::section3& Facts() { return comtree::db3; }
LONG_PTR Top() { return comtree::db6.xdata_wintop.get(); }
LONG_PTR Bottom() { return comtree::db6.xdata_winbot.get(); }

void CloseViews() {
  comtree::delete_liboxes();
  comtree::delete_cal(1);
}
void Title(const Rule& r) { Facts().xtitle.set(r.title); }
void Help(const Rule& r) { comtree::update_cs_help(0, r.help); }
void ShowTitle() { comtree::update_title(); }
void ScrollReset(LONG_PTR pane) { win_SetScrollRange(pane, 1, 0, 0); }
void CalendarShown() { comtree::try_show_titlewin_buttons(true); }
void RuleD() { Facts().xtitle.set(L""); }
void Include(const SList* rest) { sc_include::set_include_str(rest); }
void IncludeAll() { Include(rizediveva6::Nil<const wchar_t*>()); }

// Title; Help; Show title.
void Heading(const Rule& r) {
  Title(r);
  Help(r);
  ShowTitle();
}
// Title; Show title; Help (the start items and Help).
void StartHeading(const Rule& r) {
  Title(r);
  ShowTitle();
  Help(r);
}

// --- Steps of the rules ---------------------------------------------------------------

bool TitleThenD(const Rule& r, const SList*, const SList*) {
  StartHeading(r);
  RuleD();
  return true;
}

bool ContextHelp(const Rule& r, const SList* path, const SList*) {
  StartHeading(r);
  helpinfo::help(Top(), path);
  return true;
}

bool FilesOnDisk(const Rule& r, const SList*, const SList*) {
  CloseViews();
  Title(r);
  Help(r);
  ShowTitle();
  libox_51filesOnDisk* view = libox_51filesOnDisk::new_libox_51filesondisk(Top());
  Facts().db_list_51_files.take();
  registry::Record(Facts().db_list_51_files, L"db_list_51_files", view);
  return true;
}

bool Doctors(const Rule& r, const SList*, const SList*) {
  CloseViews();
  Help(r);
  drlibox* view = drlibox::new_(Top());
  Title(r);
  ShowTitle();
  ScrollReset(Top());
  registry::Record(Facts().db_drlibox, L"db_drlibox", view);
  return true;
}

bool Practices(const Rule& r, const SList*, const SList*) {
  CloseViews();
  praclibox* view = praclibox::new_(Top());
  Title(r);
  Help(r);
  ShowTitle();
  ScrollReset(Top());
  registry::Record(Facts().db_praclibox, L"db_praclibox", view);
  return true;
}

bool Locations(const Rule& r, const SList*, const SList*) {
  CloseViews();
  loclibox* view = loclibox::new_(Top());
  Title(r);
  ScrollReset(Top());
  registry::Record(Facts().db_loclibox, L"db_loclibox", view);
  tav::kwi::processevents();
  Help(r);
  ShowTitle();
  return true;
}

// Close views; Title; Help; Show title; the view; scroll reset; record.
template <class V, class Key>
void OpenList(const Rule& r, view_fact<V, Key>& fact, const wchar_t* name, V* (*make)(LONG_PTR), Key key = {}) {
  CloseViews();
  Heading(r);
  V* view = make(Top());
  ScrollReset(Top());
  registry::Record(fact, name, view, key);
}

bool Tasks(const Rule& r, const SList*, const SList*) {
  OpenList(r, Facts().db_tasklibox, L"db_tasklibox", &tasklibox::new_);
  return true;
}

template <stat_kind Kind, uint32_t A>
bool Loadings(const Rule& r, const SList*, const SList*) {
  static const WhatStatTerm kind{static_cast<uint64_t>(Kind), A, 0};
  OpenList<loadlibox, what_stat>(r, Facts().db_loadlibox, L"db_loadlibox",
                                 [](LONG_PTR top) { return loadlibox::new_(top, &kind); }, what_stat{Kind, A, 0});
  return true;
}

bool CannotList(const Rule& r, const SList*, const SList*) {
  Heading(r);
  CloseViews();
  cannot_libox* view = cannot_libox::new_cannot_libox(Top());
  ScrollReset(Top());
  registry::Record(Facts().db_cannot_libox, L"db_cannot_libox", view);
  return true;
}

bool CannotLayer(const Rule& r, const SList*, const SList* rest) {
  Heading(r);
  if (rest->Empty()) {
    RuleD();
    return true;
  }
  comtree::delete_liboxes();
  draw_cant_dos* layer = Facts().db_cal_cant_do.view;
  if (!layer) {
    comtree::delete_cal(1);
    layer = draw_cant_dos::new_cant_dos(Top());
    Include(rest);
    registry::Record(Facts().db_cal_cant_do, L"db_cal_cant_do", layer);
  } else {
    Include(rest);
  }
  CalendarShown();
  layer->drew_cant_dos(rule_added::rule_added_failed);
  return true;
}

bool TiesList(const Rule& r, const SList*, const SList*) {
  Heading(r);
  CloseViews();
  ties_libox* view = ties_libox::new_ties_libox(Top());
  ScrollReset(Top());
  registry::Record(Facts().db_ties_libox, L"db_ties_libox", view);
  return true;
}

bool TiesLayer(const Rule& r, const SList*, const SList* rest) {
  Heading(r);
  if (rest->Empty()) {
    RuleD();
    return true;
  }
  Include(rest);
  comtree::delete_liboxes();
  draw_ties* layer = Facts().db_cal_ties.view;
  if (!layer) {
    comtree::delete_cal(1);
    layer = draw_ties::new_ties(Top());
    registry::Record(Facts().db_cal_ties, L"db_cal_ties", layer);
  }
  CalendarShown();
  layer->drew_ties(rest->head, rest->tail);
  return true;
}

bool CalendarDefinition(const Rule& r, const SList*, const SList*) {
  CloseViews();
  Title(r);
  comtree::update_cs_help(0, L"Set the start date and duration of the roster, and define the slots.");
  comtree::update_cs_help(0, L"");
  ShowTitle();
  celndar_Def* dialog = celndar_Def::new_();
  dialog->show(kwi_GetTaskWin());
  registry::Record(Facts().db_caldef_dlg, L"db_caldef_dlg", dialog);
  return true;
}

template <uint32_t Day>
bool TypicalWeek(const Rule& r, const SList*, const SList*) {
  OpenList<typicalWeeklyDuties, uint32_t>(
      r, Facts().db_typ, L"db_typ", [](LONG_PTR top) { return typicalWeeklyDuties::new_(top, Day); }, Day);
  return true;
}

template <do_ass Shown>
bool Duties(const Rule& r, const SList*, const SList*) {
  CloseViews();
  Title(r);
  IncludeAll();
  Help(r);
  ShowTitle();
  duties_libox* view = duties_libox::new_duties_libox(Shown, Top());
  ScrollReset(Top());
  registry::Record(Facts().db_duties_libox, L"db_duties_libox", view);
  return true;
}

// Close views; Title; everything included; Help; Show title; the view.
template <class V>
V* OpenIncluding(const Rule& r, V* (*make)(LONG_PTR)) {
  CloseViews();
  Title(r);
  IncludeAll();
  Help(r);
  ShowTitle();
  return make(Top());
}

bool HolidaysList(const Rule& r, const SList*, const SList*) {
  hol_libox* view = OpenIncluding(r, &hol_libox::new_hol_libox);
  ScrollReset(Top());
  registry::Record(Facts().db_hol_libox, L"db_hol_libox", view);
  return true;
}

bool WeekendsList(const Rule& r, const SList*, const SList*) {
  we_libox* view = OpenIncluding(r, &we_libox::new_we_libox);
  ScrollReset(Top());
  registry::Record(Facts().db_we_libox, L"db_we_libox", view);
  return true;
}

bool HolidaysLayer(const Rule& r, const SList*, const SList*) {
  draw_hols* layer = OpenIncluding(r, &draw_hols::new_hols);
  registry::Record(Facts().db_cal_hols, L"db_cal_hols", layer);
  CalendarShown();
  comtree::warn_if_necessary();
  layer->delete_pic2();
  layer->drew_hols();
  return true;
}

bool WeekendsLayer(const Rule& r, const SList*, const SList*) {
  draw_weekends* layer = OpenIncluding(r, &draw_weekends::new_weekend);
  registry::Record(Facts().db_cal_we, L"db_cal_we", layer);
  CalendarShown();
  comtree::warn_if_necessary();
  layer->delete_pic2();
  layer->drew_all_weekends();
  return true;
}

bool ModifiedList(const Rule& r, const SList*, const SList*) {
  OpenList(r, Facts().db_modates_libox, L"db_modates_libox", &mod_dates::new_mod_dates);
  return true;
}

bool Nothing(const Rule&, const SList*, const SList*) { return true; }

bool DutiesLayer(const Rule& r, const SList*, const SList* rest) {
  if (rest->Empty()) return false;
  Heading(r);
  comtree::delete_liboxes();
  draw_dtbd* layer = Facts().db_cal_dtbd.view;
  const bool reused = layer != nullptr;
  if (!reused) {
    comtree::delete_liboxes();
    comtree::delete_cal(1);
    layer = draw_dtbd::new_dtbd(Top());
    registry::Record(Facts().db_cal_dtbd, L"db_cal_dtbd", layer);
  }
  CalendarShown();
  comtree::warn_if_necessary();
  Include(rest);
  sc_assign::repair_ass();
  if (reused) layer->full_draw();
  layer->drew_dtbd(Showing(showing_kind::show_no_extras), rule_added::rule_added_failed);
  return true;
}

bool AssignLayer(const Rule& r, const SList*, const SList* rest) {
  Title(r);
  Include(rest);
  Help(r);
  ShowTitle();
  comtree::delete_liboxes();
  draw_assign* layer = Facts().db_cal_assign.view;
  if (!layer) {
    comtree::delete_cal(1);
    layer = draw_assign::new_assign(Top());
    registry::Record(Facts().db_cal_assign, L"db_cal_assign", layer);
  }
  CalendarShown();
  layer->drew_all_assign(rest);
  return true;
}

bool Statistics(const Rule& r, const SList* path, const SList* rest) {
  comtree::db1.xstat_command.set(path);
  registry::p_delete_stat_liboxes();
  const bool continuous = comtree::db5.boo_show_bot_stat_win;
  if (!continuous) Heading(r);
  else ShowTitle();
  comtree::delete_liboxes();
  comtree::delete_cal(2);
  comtree::try_show_titlewin_buttons(false);
  const LONG_PTR pane = continuous ? Bottom() : Top();
  stats_tab* view = stats_tab::new_stats_tab(rest, pane);
  ScrollReset(pane);
  registry::RecordStats(view, pane);
  return true;
}

// --- The table ------------------------------------------------------------------------

constexpr const wchar_t* kAny = nullptr;
const wchar_t kHolidaysHelp[] =
    L"Holidays (e.g. Christmas Day) are use in the results statistics i.e. counting the number of duties done on "
    L"holidays.\nHolidays are not to be used as rules - doctors will have to work on holidays.";
const wchar_t kLoadingsHelp[] =
    L"Enter values under 'parts' and the fraction of duties to be done (required for the engine) are automatically "
    L"calculated";

const Rule kRules[] = {
    {{L"C-tree"}, 1, false, L"Command Tree", L"Double click to rebuild the C-tree (only if necessary)", &TitleThenD},
    {{kAny, L"Close"}, 2, false, L"Close", L"Double click to close the file", &TitleThenD},
    {{kAny, L"Import KM5 file"}, 2, true, L"Import a Kalmora5 file", L"Double click to select a Kalmora5 file",
     &TitleThenD},
    {{kAny, L"New rota"}, 2, true, L"Create a new file", L"Double click to create a new file", &TitleThenD},
    {{kAny, L"Open file"}, 2, true, L"Open an existing file", L"Double click to search for files yourself",
     &TitleThenD},
    {{kAny, L"Help"}, 2, false, L"Help", L"Right click on a C-tree item for context-sensitive help", &ContextHelp},
    {{kAny, L"List files"}, 2, false, L"List of Kalmora6 files on disk",
     L"Double click on a file to open it. RIGHT click for further commands", &FilesOnDisk},
    {{kAny, L"Input Data", L"Doctors"}, 3, true, L"List of Doctors",
     L"Click next to 'new->' to add a doctor. Edit a doctor name - make it blank to delete a doctor. Check a "
     L"practice/group column (s) to add to the group. ",
     &Doctors},
    {{kAny, L"Input Data", L"Practices and groups"}, 3, true, L"List of Practices",
     L"Click next to 'new->' to add a practice/group.\nRight Click for popup", &Practices},
    {{kAny, L"Input Data", L"Locations"}, 3, true, L"List of Locations",
     L"Click next to 'new->' to add a location. There must be at least one location.", &Locations},
    {{kAny, L"Input Data", L"Tasks"}, 3, true, L"List of Tasks/duties",
     L"Click next to 'new->' to add a task. There must be at least one task (e.g. OnCall) ", &Tasks},
    {{kAny, L"Rules", L"Loadings", L"Weekdays"}, 4, true, L"Weekday loadings",
     L"Enter values under 'parts' and the fraction of duties to be done (required for the engine) are automatically "
     L"calculatedRIGHT click for popup menu ",
     &Loadings<stat_kind::weekend, 0>},
    {{kAny, L"Rules", L"Loadings", L"Weekends"}, 4, true, L"Weekend loadings",
     L"Enter values under 'parts' and the fraction of duties to be done (required for the engine) are automatically "
     L"calculated\nRIGHT click for popup menu ",
     &Loadings<stat_kind::weekend, 1>},
    {{kAny, L"Rules", L"Loadings", L"Totals (calculated)"}, 4, true, L"Total loadings",
     L"The values listed here are calulated from the weekday and weekend values specified\nIt is dependent to the "
     L"definition of weekend duties ",
     &Loadings<stat_kind::total, 0>},
    {{kAny, L"Rules", L"Can't dos", L"List Can't Dos"}, 4, false, L"Can't do", L"Right click for a popup menu",
     &CannotList},
    {{kAny, L"Rules", L"Can't dos"}, 3, true, L"Can't do",
     L"Left or right click in a duty to set a rule (e.g. 'can't do Tuesdays')", &CannotLayer},
    {{kAny, kAny, L"Ties", L"List ties"}, 4, true, L"Ties", L"Right click for a popup menu", &TiesList},
    {{kAny, kAny, L"Ties"}, 3, true, L"Ties", L"To make a tie, draw a line from one duty to another", &TiesLayer},
    {{kAny, L"Input Data", L"Calendar definition"}, 3, true, L"Calendar definition", L"", &CalendarDefinition},
    {{kAny, L"Input Data", L"Duties to do - typical week", L"Saturday"}, 4, true, L"Typical weekly duties (Saturday)",
     L"Select the duties that are usually done each Saturday.\nHold the CTRL key to make multiple selections.",
     &TypicalWeek<1003>},
    {{kAny, L"Input Data", L"Duties to do - typical week", L"Sunday"}, 4, true, L"Typical weekly duties (Sunday)",
     L"Select the duties that are usually done each Sunday.\nHold the CTRL key to make multiple selections.",
     &TypicalWeek<1001>},
    {{kAny, L"Input Data", L"Duties to do - typical week", L"Weekday"}, 4, true, L"Typical weekly duties (weekdays)",
     L"Select the duties that are usually done each weekday.\nHold the CTRL key to make multiple selections.",
     &TypicalWeek<1002>},
    {{kAny, kAny, L"List of unassigned duties"}, 3, true, L"Unassigned Duties", L"Order by column by clicking on the title",
     &Duties<do_ass::unassigned>},
    {{kAny, kAny, L"List of assignments"}, 3, true, L"Assignments", L"Order by column by clicking on the title",
     &Duties<do_ass::assigned>},
    {{kAny, L"Input Data", L"List holidays"}, 3, true, L"Holidays", kHolidaysHelp, &HolidaysList},
    {{kAny, L"Input Data", L"List weekend duties"}, 3, true, L"Weekends",
     L"Any slot my be set as a weekend slot. 'Not-weekends' are weekdays. This separation is used\n for statistics "
     L"and loadings i=for the generator. ",
     &WeekendsList},
    {{kAny, L"Input Data", L"Define holidays"}, 3, true, L"Holidays", kHolidaysHelp, &HolidaysLayer},
    {{kAny, L"Input Data", L"Define weekend duties"}, 3, true, L"Weekend duties",
     L"'Weekend' duties affect only 'loadings' and results statistics i.e. counting the number of duties done at "
     L"weekends.\nToggle the duties on/off with the mouse.",
     &WeekendsLayer},
    {{kAny, kAny, kAny, L"List modified duties"}, 4, true, L"Modified duties",
     L"This is a list of one-off duties that need to be done as well as 'typical' weekly duties\n Note an entry which "
     L"falls on a typical duty will make it appear NONE-existent ",
     &ModifiedList},
    {{kAny, L"Input Data", L"Duties to do - modified"}, 3, false, nullptr, nullptr, &Nothing},
    {{kAny, kAny, L"Duties to do - modified"}, 3, true, L"Specific duties - Add/remove one-off duties",
     L"Fine tune the duties to be done. Add or remove duties by right clicking. DEL removes a duty to be done. \n "
     L"Note this view does not let you ASSIGN doctors to duties.",
     &DutiesLayer},
    {{kAny, L"Roster", L"Display & edit"}, 3, false, nullptr, nullptr, &Nothing},
    {{kAny, L"Roster", L"Display & edit", L"Doctors"}, 4, false, nullptr, nullptr, &Nothing},
    {{kAny, L"Roster", L"Display & edit", L"Tasks"}, 4, false, nullptr, nullptr, &Nothing},
    {{kAny, L"Roster", L"Display & edit", L"Locations"}, 4, false, nullptr, nullptr, &Nothing},
    {{kAny, L"Roster", L"Display & edit", L"Practices and groups"}, 4, false, nullptr, nullptr, &Nothing},
    {{kAny, L"Roster", L"Display & edit"}, 3, true, L"Roster", L"Add, remove and drag assignments to duties to be done.",
     &AssignLayer},
    {{kAny, L"Results Statistics"}, 2, true, L"Results Statistics", L"RIGHT CLICK for further options", &Statistics},
};
static_assert(sizeof kRules / sizeof kRules[0] == 34 + 4, "rule 32 takes five lines");

// The rest after a match; false: no match.
bool Match(const Rule& r, const SList* path, const SList** rest) {
  for (uint32_t i = 0; i < r.length; ++i, path = path->tail) {
    if (path->Empty()) return false;
    if (r.pattern[i] && wcscmp(r.pattern[i], path->head) != 0) return false;
  }
  if (!r.open && !path->Empty()) return false;
  *rest = path;
  return true;
}

}  // namespace

void comtree::issue_command(const SList* path) {
  update_cs_help(0, L"");
  rebuild_com_tree(false);
  for (const Rule& r : kRules) {
    const SList* rest = nullptr;
    if (Match(r, path, &rest) && r.steps(r, path, rest)) return;
  }
  RuleD();
}

}  // namespace all
