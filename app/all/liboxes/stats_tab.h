// stats_tab: the read-only statistics table: per doctor or per practice,
// the assigned duties of one statistic kind as numbers or percentages of
// the assigned or required duties, or compared with the loadings; a list
// box whose columns and rows it builds from a totals object of its own.
//
// Invariants:
//  - The five facts (percent flag, kind, rows per doctor or group, stat
//    type, totals object) belong to this table alone; the menu commands
//    change them and recalculate at once.
//  - Every recalculation makes a fresh totals object: the rows are those
//    of the roster at the last recalculation.
//  - In comparison mode every value gives three cells, else one.
//  - A Reference of 0 never divides: its cell is "-".
#pragma once

#include "KWI/orvtoolkwi/libox.h"
#include "kalmoradb/stats_pack/totals.h"
#include "qel6kwi.h"

namespace all {

enum class do_who_stat : uint8_t { groups = 1, people };

class stats_tab : public rizediveva6::libox {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10093;
  // Pop-up menu ids.
  enum : uint32_t {
    kDoctors = 10094, kGroups, kPercent, kNumbers, kOfRequired, kOfAssigned, kComparison, kCopy, kPrint
  };

  // A table of the kind the command tree's path names (below "Results
  // Statistics"), built in `window`.
  static stats_tab* new_stats_tab(const rizediveva6::SList* path, LONG_PTR window);

  virtual void destroy_scroll2();
  // False for an id that is not the table's.
  virtual bool popup_callback(uint32_t id);
  virtual void recalculate();
  virtual void re_draw();

  // The pop-up menu with the current states (items on the collected heap,
  // copied from the resource once).
  const QEL_KWI::menu_item_list_struct* popup_menu() const { return menu_; }

  // The cells of one value, and its reference text for the bottom row
  // (texts on the collected heap or static).
  struct value_cells {
    const rizediveva6::SList* cells;
    const wchar_t* reference;
  };
  static value_cells stat_edata(const stat_row& value, stat_type how, bool percent);
  // "%6.3f %" of the value (on the collected heap).
  static const wchar_t* percent_text(double value);

 private:
  stats_tab() = default;
  // The row cells of stat_edata alone.
  static const rizediveva6::SList* row_cells_of(const stat_row& value, stat_type how, bool percent);
  void set_do_what_stat(const rizediveva6::SList* path);
  void make_cols();
  const rizediveva6::List<rizediveva6::line>* make_lines();
  const rizediveva6::SList* row_cells(const pg& who, const rizediveva6::SList* front, bool referenceTexts);
  void build_menu();
  void fill();

  bool boo_percent_ = false;
  do_what_stat xdb_do_what_stat_ = do_what_stat::do_totals;
  do_who_stat xdb_do_who_stat_ = do_who_stat::people;
  stat_type xstat_type_ = stat_type::pc_of_required;
  totals* xtotals_ = nullptr;
  const wchar_t* view_ = nullptr;  // the list box's name
  QEL_KWI::menu_item_list_struct* menu_ = nullptr;
  QEL_KWI::menu_struct* installed_ = nullptr;  // the menu handed to the list box, over menu_
};

}  // namespace all
