// comtree: the main window's command tree (a tree-view control down the
// left of the task window) and the three panes to its right: the title
// pane, the top data pane and the bottom (statistics) pane.  The class has
// no objects: its whole state is the class facts below, in six sections.
//
// Invariants:
//  - A single fact holds one value once given one; reading one that has no
//    value raises the runtime's error 329 with the fact's and its section's
//    names.  Only the window facts start without a value.
//  - The windows are made once (boo_init) and live as long as the task
//    window; nothing here destroys them.
//  - An open-view fact holds at most one view; the view is a collected
//    object that the fact does not own.
//  - Item numbers of one tree build run in post-order from 102; the root
//    is numbered last.
//  - Every picture of a doctor or group item is made once per look (tick,
//    brush style, colour) and then used by every item of that look.
//  - Every operation succeeds; none fails back into the caller's walk.
#pragma once

#include <cstdint>

#include "KWI/orvtoolkwi/heap_array.h"
#include "SYSTEM/orv_list/orv_list.h"
#include "SYSTEM/stringDB/stringdb.h"
#include "kalmoradb/stats_pack/totals.h"
#include "kwi/kwitreeview/kwitreeview.h"
#include "rulesPack/sc_rules.h"

namespace all {

class sc_engine;
class drlibox;
class praclibox;
class tasklibox;
class loclibox;
class stats_tab;
class celndar_Def;
class draw_hols;
class draw_weekends;
class draw_dtbd;
class draw_assign;
class draw_cant_dos;
class draw_ties;
// List views whose classes live beside the others in liboxes/.
class hol_libox;
class we_libox;
class duties_libox;
class mod_dates;
class ties_libox;
class cannot_libox;
class loadlibox;
class typicalWeeklyDuties;
class libox_51filesOnDisk;

// engine_mode: run | force_fill.
enum class engine_mode : uint64_t { run = 1, force_fill };
// cs_help_dom(text, number): the help line and its colour.
struct cs_help_dom {
  uint64_t functor;
  const wchar_t* text;
  int32_t number;
};

namespace comtree_domains {
extern Qel::RunTime::Terms::RCompoundDomain cs_help_dom, do_delete_selected, update_scope, engine_mode;
}

// A single fact of a section.
template <class T>
class single_fact {
 public:
  constexpr single_fact(const wchar_t* name, const wchar_t* section) : name_(name), section_(section) {}
  constexpr single_fact(const wchar_t* name, const wchar_t* section, T initial)
      : name_(name), section_(section), value_(initial), has_(true) {}
  // Raises 329 without a value.
  const T& get() const;
  void set(T v) {
    value_ = v;
    has_ = true;
  }
  bool has() const { return has_; }
  // Back to no value.
  void retract() { has_ = false; }

 private:
  const wchar_t* name_;
  const wchar_t* section_;
  T value_{};
  bool has_ = false;
};
// Raises 329 for the fact `name` of `section`.
[[noreturn]] void RaiseNoValue(const wchar_t* name, const wchar_t* section);
template <class T>
const T& single_fact<T>::get() const {
  if (!has_) RaiseNoValue(name_, section_);
  return value_;
}

// An open-view fact: at most one view (with a key for the kinds that carry
// one) and the way it closes, chosen when it is put.
template <class V, class Key = uint32_t>
struct view_fact {
  V* view = nullptr;
  Key key{};
  void (*close)(V*) = nullptr;

  bool present() const { return view != nullptr; }
  // V complete at the caller.
  void put(V* v, Key k = {}) {
    view = v;
    key = k;
    close = [](V* x) { x->destroy_scroll2(); };
  }
  void put_closing(V* v, void (*how)(V*), Key k = {}) {
    view = v;
    key = k;
    close = how;
  }
  // Removes the fact; its view (null when absent).
  V* take() {
    V* v = view;
    view = nullptr;
    return v;
  }
};
// db_stats_tab(view, window).
struct stats_tab_fact {
  stats_tab* view;
  LONG_PTR window;
};

// update_scope: calendar_only | all_views.
enum class update_scope : int32_t { calendar_only = 1, all_views };
// do_delete_selected: do_del | dont_del | men_item(id).
struct do_delete_selected {
  enum class kind : int32_t { do_del = 1, dont_del, men_item };
  kind what;
  int32_t id;  // men_item's menu id, else 0
};

class comtree {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kTreeViewId = 9001;
  static constexpr uint32_t kTitleMenu = 10079;
  static constexpr uint32_t kNextButton = 981, kPreviousButton = 982;
  static constexpr uint32_t kTimerMs = 3000;
  // Title-pane menu commands.
  enum : uint32_t {
    kTitleTaller = 10080, kTitleShorter, kHideTitle, kTreeWider, kTreeNarrower, kShowStats, kHideStats,
    kStatsTaller, kStatsShorter
  };

  // --- The facts -------------------------------------------------------------------
  struct section1 {
    single_fact<uint32_t> xid{L"xid", L"comtree$db1", 0};
    single_fact<const rizediveva6::SList*> xdb_selected{L"xdb_selected", L"comtree$db1",
                                                        rizediveva6::Nil<const wchar_t*>()};
    single_fact<uint32_t> xnum_tasks{L"xnum_tasks", L"comtree$db1", 0};
    single_fact<uint32_t> xnum_locs{L"xnum_locs", L"comtree$db1", 0};
    single_fact<uint32_t> xnum_people{L"xnum_people", L"comtree$db1", 0};
    single_fact<const rizediveva6::SList*> xstat_command{L"xstat_command", L"comtree$db1", nullptr};
  };
  struct section2 {
    bool rebuilding = false;
  };
  struct section3 {
    view_fact<hol_libox> db_hol_libox;
    view_fact<we_libox> db_we_libox;
    view_fact<drlibox> db_drlibox;
    view_fact<praclibox> db_praclibox;
    view_fact<loclibox> db_loclibox;
    view_fact<libox_51filesOnDisk> db_list_51_files;
    view_fact<tasklibox> db_tasklibox;
    view_fact<loadlibox, what_stat> db_loadlibox;
    rizediveva6::HeapArray<stats_tab_fact> db_stats_tab;
    view_fact<duties_libox> db_duties_libox;
    view_fact<mod_dates> db_modates_libox;
    view_fact<cannot_libox> db_cannot_libox;
    view_fact<ties_libox> db_ties_libox;
    view_fact<draw_dtbd> db_cal_dtbd;
    view_fact<draw_assign> db_cal_assign;
    view_fact<draw_cant_dos> db_cal_cant_do;
    view_fact<draw_ties> db_cal_ties;
    view_fact<draw_hols> db_cal_hols;
    view_fact<draw_weekends> db_cal_we;
    view_fact<typicalWeeklyDuties> db_typ;  // key: the day kind
    view_fact<celndar_Def> db_caldef_dlg;
    single_fact<const wchar_t*> xtitle{
        L"xtitle", L"comtree$db3", L"Kalmora6 Build 1005 Pre-release. Check Website for updates. See 'Help-About'"};
    single_fact<cs_help_dom> xcs_help{L"xcs_help", L"comtree$db3", cs_help_dom{1, L"", 0}};
  };
  struct section4 {
    single_fact<bool> xdb_do_rebuild{L"xdb_do_rebuild", L"comtree$db4", true};
    sc_engine* db_engine = nullptr;
  };
  struct section5 {
    single_fact<uint32_t> xborder{L"xborder", L"comtree$db5", 250};
    bool boo_show_bot_stat_win = false;
    bool boo_showing_title = false;
  };
  struct section6 {
    single_fact<LONG_PTR> xtreeviewwin{L"xtreeviewwin", L"comtree$db6"};
    single_fact<LONG_PTR> xtitle_win{L"xtitle_win", L"comtree$db6"};
    single_fact<LONG_PTR> xdata_wintop{L"xdata_wintop", L"comtree$db6"};
    single_fact<LONG_PTR> xdata_winbot{L"xdata_winbot", L"comtree$db6"};
    bool boo_init = false;
  };
  static section1 db1;
  static section2 db2;
  static section3 db3;
  static section4 db4;
  static section5 db5;
  static section6 db6;

  // --- Frame -----------------------------------------------------------------------
  static void make_treeandwindows();
  static void initialize();
  static const tav::TreeTerm* get_whole_tree();
  static void rebuild_and_draw_tree();
  static void rebuild_com_tree(bool force);
  static void update_stats_if_showing();

  // --- Layout and pane handlers ---------------------------------------------------
  static void position_3_windows();
  static int32_t y1_border();
  static int32_t y2_border();
  static LONG_PTR _xtitle_win_eh(LONG_PTR window, QEL_KWI::event_struct* e);
  static LONG_PTR _xdata_wintop_eh(LONG_PTR window, QEL_KWI::event_struct* e);
  static LONG_PTR _xdata_winbot_eh(LONG_PTR window, QEL_KWI::event_struct* e);

  // --- Tree contents ----------------------------------------------------------------
  static bool nd_file_tree(tav::Each<const tav::TreeTerm*> k);
  static bool nd_start_tree(tav::Each<const tav::TreeTerm*> k);
  static bool nd_inputdatatrees(tav::Each<const tav::TreeTerm*> k);
  static bool nd_rulestrees(tav::Each<const tav::TreeTerm*> k);
  static bool nd_rules_cannots(tav::Each<const tav::TreeTerm*> k);
  static bool nd_rules_ties(tav::Each<const tav::TreeTerm*> k);
  static bool nd_rules_load(tav::Each<const tav::TreeTerm*> k);
  static bool nd_stattrees(tav::Each<const tav::TreeTerm*> k);
  // Roster sub-trees; `roster` true is the roster mode of nd_duties_to_do.
  static bool nd_typ(tav::Each<const tav::TreeTerm*> k);
  static bool nd_duties_to_do(bool roster, tav::Each<const tav::TreeTerm*> k);
  static bool nd_staff_assigned_tree(tav::Each<const tav::TreeTerm*> k);
  static bool nd_group_assigned_tree(tav::Each<const tav::TreeTerm*> k);
  static bool nd_task_assigned_tree(tav::Each<const tav::TreeTerm*> k);
  static bool nd_loc_assigned_tree(tav::Each<const tav::TreeTerm*> k);
  static bool nd_calendartrees(tav::Each<const tav::TreeTerm*> k);
  static bool tasks_and_locs_are_defined_for_this();

  // --- Rebuild check, pictures ------------------------------------------------------
  static void check_if_need_to_rebuild();
  static void check(uint32_t now, uint32_t remembered);
  static void warn_if_necessary();
  // The picture of a look: made at the first request, the same value after.
  static QEL_KWI::picture make_pic(bool tick, rizediveva6::brush b);
  static void draw_tick(bool tick, LONG_PTR window);
  // Distinct pictures made so far.
  static uint32_t pictures_made();

  // --- Title and help line ----------------------------------------------------------
  static void update_title();
  // Draws the stored help line.
  static void update_cs_help();
  // Stores and draws a help line.
  static void update_cs_help(int32_t colour, const wchar_t* text);
  // The help line of an assignment verdict.
  static void update_cs_help(int32_t colour, const wchar_t* suffix, const ReasonTerm* verdict);
  // The text of a verdict as the help line shows it.
  static const wchar_t* verdict_text(const wchar_t* suffix, const ReasonTerm* verdict);

  // --- Closing views ----------------------------------------------------------------
  static void delete_cal(uint32_t why);
  static void delete_liboxes();
  static void update_xdata();
  static void comtree_resize();

  // --- Commands, registry, engine and switches (bodies beside the frame) -----------
  // Repaints the calendar cells of the days of these duties.
  static void drew_few_assigns(const rizediveva6::SList* keys);
  static void refresh();
  static void retract_engine();
  static void run_engine(engine_mode mode);
  // Deletes the selected rows of, refreshes or hands a pop-up command to
  // the first open view that takes the selector; else (and always for
  // calendar_only) repaints the calendar's assignment layer in full.
  static void update_any_liboxes(update_scope scope, do_delete_selected selector);
  // Runs the command of the tree item named by its text path.
  static void issue_command(const rizediveva6::SList* path);
  // Switches the continuous statistics pane; the new state (1 on, 0 off).
  static int32_t toggle_show_stats_continuously();
  // Shows or hides the title pane; the new state (1 shown, 0 hidden).
  static int32_t toggle_show_title();
  static void focus_on_cal();
  static void _comm_cb(LONG_PTR window, const tav::TreeMessage* message);
  static void try_show_titlewin_buttons();
  static void try_show_titlewin_buttons(bool show);
  static void delete_stat_liboxes();
};

// The task window's operations the command tree calls.
class taskWindow {
 public:
  static void set_title();
  static bool is_active();
};

}  // namespace all
