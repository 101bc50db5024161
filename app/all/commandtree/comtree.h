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
  // Repaints the calendar cells of the days of these duties.
  static void drew_few_assigns(const rizediveva6::SList* keys);
  // Rebuilds the tree and its panes for the open document (or none),
  // removing the open list.
  static void initialize();
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
  // Deletes the selected rows of, refreshes or hands a pop-up command to
  // the first open view that takes the selector; else (and always for
  // calendar_only) repaints the calendar's assignment layer in full.
  static void update_any_liboxes(update_scope scope, do_delete_selected selector);
  // Runs the command of the tree item named by its text path.
  static void issue_command(const rizediveva6::SList* path);
  // Closes every open list view and gives the data panes their handlers back.
  static void delete_liboxes();
  // Switches the continuous statistics pane; the new state (1 on, 0 off).
  static int32_t toggle_show_stats_continuously();
  // Shows or hides the title pane; the new state (1 shown, 0 hidden).
  static int32_t toggle_show_title();
};

}  // namespace all
