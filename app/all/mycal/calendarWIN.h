// calendarWIN: the roster calendar's grid on one window (days across, the
// slots of a day down, Across weeks per row, Down rows), the saved view and
// the slot rectangles the layers draw into and hit-test.
//
// Invariants:
//  - Across lies in 1..5 and Down in 1..20; a saved view with any value out
//    of range (or a start the time conversions reject) is taken as absent.
//  - At most one kept slot rectangle per slot-period, only for dates inside
//    the roster; `slot_of` finds it through a table indexed by slot-period.
//  - The kept rectangles are valid (`just_drawn`) from the end of a full
//    draw until cal_full_draw; a repaint meanwhile reuses them.
//  - drew_cal never fails and never raises; it stores the view in the options,
//    writing the options file for each value that changed.  Drawing on the
//    screen holds the window's context throughout.
#pragma once

#include "KWI/Wyn/checked.h"
#include "KWI/Wyn/o_scroll.h"
#include "KWI/Wyn/wyn.h"
#include "KWI/orvtoolkwi/heap_array.h"
#include "kalmoradb/roster_types.h"
#include "mycal/tool_state.h"

namespace all {

using QEL_KWI::event_struct;
using QEL_KWI::pnt_struct;
using QEL_KWI::rect_struct;
using rizediveva6::wyndow;

// One kept slot cell: date, slot-period, day kind, rectangle and label.
struct slot_rct {
  dt date;
  sp at;
  uint32_t dayKind;
  rect_struct rect;
  const wchar_t* text;
};

// The held drawing context of a target for the length of one draw.
class held_context {
 public:
  explicit held_context(wyndow t) {
    if (t.alt != wyndow::wnull) h_ = rizediveva6::wyn::hold(t.window);
  }
  void release() {
    rizediveva6::wyn::release(h_);
    h_.acquired = 0;
  }

 private:
  rizediveva6::wyn::held h_{0, nullptr, 0};
};

class calendarWIN {
 public:
  static const tav::ClassInfo classInfo;
  // The date picture chosen at the last full draw (null: choose again).
  static const wchar_t* db_date_format;

  static calendarWIN* new_calendarwin(LONG_PTR window);
  // Initialiser of a contained calendar part.
  void new_calendarwin_init(LONG_PTR window);

  virtual void drew_cal();
  // The base handler: always leaves the event to default processing.
  virtual void _cal_eh(LONG_PTR window, const event_struct* e);
  virtual bool nd_slot_rct(tav::Each<const slot_rct*> k) const;
  virtual bool nd_slot_rct(const dt& date, tav::Each<const slot_rct*> k) const;
  virtual wyndow get_cal_wyn() const;
  virtual void cal_full_draw();
  virtual void move_start_time(int32_t direction);
  virtual void set_thiswyn(wyndow t);

  // The kept rectangle of a slot-period; null when there is none.
  const slot_rct* slot_of(const sp& at) const;
  const rizediveva6::HeapArray<slot_rct>& slot_rcts() const { return ndb_slot_rct_; }
  // The first kept rectangle holding the point (edges included); null: none.
  const slot_rct* slot_at(pnt_struct p) const;
  bool just_drawn() const { return boo_just_draw_rects_; }
  uint32_t weeks_across() const { return xweeks_across_; }
  uint32_t weeks_down() const { return xweeks_down_; }
  uint64_t start_display() const { return xstart_display_; }
  LONG_PTR window() const { return thiswin_; }
  rizediveva6::o_scroll* across_bar() const { return xvscrollweeksacross_; }
  rizediveva6::o_scroll* down_bar() const { return xhscroll_down_; }

 private:
  struct geometry {
    int32_t lineH, rowH, left, right;
    uint32_t slots;
  };
  void draw_calendar(uint32_t endWeek, uint32_t startWeek);
  void draw_header(const geometry& g);
  void draw_kept_cells();
  void draw_row(const geometry& g, uint32_t startWeek, uint32_t week);
  void draw_slot_labels(const geometry& g, int32_t top, int32_t bottom, uint32_t rowNo);
  void draw_day(const geometry& g, uint64_t day, int32_t x, int32_t top, int32_t bottom);
  const wchar_t* date_text(uint64_t day, int32_t maxWidth);
  void keep(const dt& date, const sp& at, uint32_t dayKind, rect_struct cell, const wchar_t* text);
  void simple_or_fade(int32_t colour, rect_struct r);
  void cell_tools(int32_t* textColour);
  void days_area(int32_t* left, int32_t* right);
  int32_t line_height();

  LONG_PTR thiswin_ = 0;
  wyndow thiswyn_{};
  rizediveva6::HeapArray<slot_rct> ndb_slot_rct_;
  rizediveva6::HeapArray<int32_t> bySp_;  // slot-period -> index + 1 (0: none)
  bool boo_just_draw_rects_ = false;
  bool simple_ = false;  // the option "simple" is 1, read per draw
  tool_state tools_;
  int32_t xdb_dtext_ = 2;
  uint32_t xweeks_down_ = 2;
  uint32_t xweeks_across_ = 1;
  uint64_t xstart_display_ = 0;
  uint64_t xend_ = 0;
  rizediveva6::o_scroll* xvscrollweeksacross_ = nullptr;
  rizediveva6::o_scroll* xhscroll_down_ = nullptr;
};

// Slot-periods 1..7 x 1..104 x 1..10 as table indexes.
constexpr uint32_t kSpCells = 104 * 7 * 10;
// The index of a slot-period; false outside the ranges.
inline bool SpIndex(const sp& at, uint32_t* index) {
  if (at.day < 1 || at.day > 7 || at.period < 1 || at.period > 104 || at.slot < 1 || at.slot > 10) return false;
  *index = ((at.period - 1) * 7 + (at.day - 1)) * 10 + (at.slot - 1);
  return true;
}
// Edges included.
inline bool PointIn(rect_struct r, pnt_struct p) {
  return r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom;
}

// The point of a mouse event.
inline pnt_struct EventPoint(const event_struct* e) { return *reinterpret_cast<const pnt_struct*>(e->w[0]); }

// Round half away from zero.
int32_t RoundHalfAway(double v);

}  // namespace all
