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

class comtree {
 public:
  // Repaints the calendar cells of the days of these duties.
  static void drew_few_assigns(const rizediveva6::SList* keys);
  // Rebuilds the tree for the open document (or none), removing the open list.
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
  // Refreshes the open list the values name; any other values repaint the
  // calendar's assignment layer in full.
  static void update_any_liboxes(int32_t flag, int32_t selector);
  // Switches the continuous statistics pane; the new state (1 on, 0 off).
  static int32_t toggle_show_stats_continuously();
  // Shows or hides the title pane; the new state (1 shown, 0 hidden).
  static int32_t toggle_show_title();
};

}  // namespace all
