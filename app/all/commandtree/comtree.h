// comtree: the operations of the main window's command tree that the
// roster model calls.  Their bodies belong to the command tree; test
// programs link a recorder of the calls instead.
//
// Invariants: every operation succeeds; none of them fails back into the
// caller's walk.
#pragma once

#include <cstdint>

#include "SYSTEM/orv_list/orv_list.h"
#include "rulesPack/sc_rules.h"

namespace all {

// engine_mode: run | force_fill.
enum class engine_mode : uint64_t { run = 1, force_fill };

// update_any_liboxes' two values: the scope (calendar_only | all_views) and
// the selector do_del | dont_del | men_item(Id), a menu item being its id
// (menu ids are 0 or above 10000).
namespace update_scope {
constexpr int32_t calendar_only = 1, all_views = 2;
}
namespace do_delete_selected {
constexpr int32_t do_del = 1, dont_del = 2;
constexpr int32_t men_item(int32_t id) { return id; }
}

class comtree {
 public:
  // Repaints the calendar cells of the days of these duties.
  static void drew_few_assigns(const rizediveva6::SList* keys);
  static void refresh();
  static void retract_engine();
  static void run_engine(engine_mode mode);
  // Draws the stored help line.
  static void update_cs_help();
  // Stores and draws a help line.
  static void update_cs_help(int32_t colour, const wchar_t* text);
  // The help line of an assignment verdict.
  static void update_cs_help(int32_t colour, const wchar_t* suffix, const ReasonTerm* verdict);
  static void update_stats_if_showing();
  // Refreshes the open list the values name; any other values repaint the
  // calendar's assignment layer in full.
  static void update_any_liboxes(int32_t flag, int32_t selector);
  // Switches the continuous statistics pane; the new state (1 on, 0 off).
  static int32_t toggle_show_stats_continuously();
  // Shows or hides the title pane; the new state (1 shown, 0 hidden).
  static int32_t toggle_show_title();

  // --- what the task window asks of the tree ---
  // Builds the tree view, its panes and the first tree on the task window.
  static void make_treeandwindows();
  // The tree of the document now open (or of none).
  static void initialize();
  // Lays the panes out again after the task window moved or changed size.
  static void comtree_resize();
  // Closes the open calendar layer (1: also its pane's contents).
  static void delete_cal(int32_t flag);
  // Closes every open list window.
  static void delete_liboxes();
  // Redraws the open view from the stores.
  static void update_xdata();
  static void rebuild_and_draw_tree();
};

}  // namespace all
