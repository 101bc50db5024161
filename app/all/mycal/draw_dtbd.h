// draw_dtbd: the calendar with the roster's concrete duties drawn into the
// slot cells, one column per duty of a slot-period; hover descriptions, a
// pop-up menu that adds a one-off duty, DEL that removes one, and the base
// of the other calendar layers.
//
// Invariants:
//  - At most one live hit-test record per duty; a hit takes the first live
//    record in insertion order holding the point.  The live records of a
//    slot-period are chained from a table indexed by slot-period (the duty's
//    lookup); a dropped record leaves its chain at once.
//  - While `just_drawn` is set, a screen repaint redraws from the records
//    without reading the roster; full_draw clears both.
//  - The handler (handle) returns false for "not handled" and never lets a
//    fail or raise of the stores out; the window closure fails for false.
#pragma once

#include "mycal/calendarWIN.h"
#include "kalmoradb/actual_dtbd.h"
#include "rulesPack/sc_rules.h"

namespace all {

// showing_extras: show_pg_rules(pg) | show_rules | show_holidays |
// show_weekends | show_no_extras.
enum class showing_kind : uint32_t { show_pg_rules = 1, show_rules, show_holidays, show_weekends, show_no_extras };
struct showing_extras {
  showing_kind kind;
  pg_kind who;             // show_pg_rules: p or g
  chain_ref doctor;        // p
  const wchar_t* group;    // g
};
inline showing_extras Showing(showing_kind k) { return {k, pg_kind::p, 0, nullptr}; }

// One drawn duty.
struct dtbd_rec {
  const wchar_t* key;
  duty_dat duty;
  const wchar_t* label;
  rect_struct rect;
  bool modified;
  bool flag;
  bool live;
  int32_t next;  // the next record of the same slot-period, index + 1 (0: none)
};

// A layer's window handler over its ordered rows: fails for "not handled".
template <class L, bool (L::*Handler)(LONG_PTR, const event_struct*)>
LONG_PTR LayerEvents(void* self, LONG_PTR window, event_struct* e) {
  if (!(static_cast<L*>(self)->*Handler)(window, e)) Qel::RunTime::Kernel::Fail();
  return 0;
}

class draw_dtbd {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kDrawingCursor = 10195;

  static draw_dtbd* new_dtbd(LONG_PTR window);
  // Initialiser of a contained part.
  void new_dtbd_init(LONG_PTR window);

  virtual void drew_dtbd(showing_extras showing, rule_added mode);
  // The ordered rows; false: not handled.
  virtual bool _dtbd_eh(LONG_PTR window, const event_struct* e);
  virtual wyndow get_wyn() const;
  virtual bool ndd_dtbd(tav::Each<const dtbd_rec*> k) const;
  virtual void clear_dtbd_rcts();
  virtual void drew_few_dtbd(showing_extras showing, const duty_dat* duties, uint32_t count, rule_added mode,
                             bool flag);
  virtual void full_draw();
  virtual bool pnt_period(pnt_struct p, uint32_t* period) const;
  virtual void move_start_time_to_zero();
  virtual void set_thiswyn_dtbd(wyndow t);

  // The window's handler closure over this layer.
  QEL_KWI::PROLOG_EHANDLER_STRUCT* closure();
  // The first live record holding the point; null: none.
  const dtbd_rec* duty_at(pnt_struct p) const;
  // The live record of a duty; null: none.
  const dtbd_rec* record_of(const duty_dat& d) const;
  // The duties of the live records of a slot-period, in insertion order,
  // added to out.
  void duties_in_sp(const sp& at, rizediveva6::HeapArray<duty_dat>* out) const;
  // Redraws the recorded duties that match selects, in record order.
  template <class F>
  void drew_recorded(showing_extras showing, rule_added mode, bool flag, F match) {
    rizediveva6::HeapArray<duty_dat> few;
    for (const dtbd_rec& r : ndb_dtbd_)
      if (r.live && match(r.duty)) few.push_back(r.duty);
    held_context held(get_wyn());
    Qel::RunTime::Kernel::RunTrapped([&] { drew_few_dtbd(showing, few.begin(), few.size(), mode, flag); });
    held.release();
  }
  // A derived layer's handler: its own rows (rows() gives -1 for "on to
  // this layer's rows", 0 for not handled, 1 for handled) trapped, then the
  // event handed on as they say.
  template <class Rows>
  bool handle_rows(LONG_PTR window, const event_struct* e, Rows rows) {
    volatile int result = -1;
    Qel::RunTime::Kernel::RunTrapped([&] { result = rows(); });
    if (result >= 0) return result == 1;
    return _dtbd_eh(window, e);
  }
  showing_extras showing() const { return xshowing_extras_; }
  pnt_struct point() const { return xpnt_; }

  calendarWIN cal;

 private:
  void draw_duties(showing_extras showing, rule_added mode);
  void redraw_records(rule_added mode);
  void draw_cell(const duty_dat* duties, uint32_t count, rule_added mode, bool flag);
  void draw_column(const duty_dat& d, const slot_rct& slot, uint32_t k, uint32_t count, rule_added mode, bool flag,
                   duty_dat* further);
  void background(rule_added mode, rect_struct r);
  void corner_mark(rect_struct r);
  bool draw_extras(const duty_dat& d, rect_struct r, duty_dat* further);
  void keep(const duty_dat& d, const wchar_t* label, rect_struct r, bool flag);
  void drop_record(int32_t index);
  showing_extras make_showing(showing_extras requested) const;
  const wchar_t* task_name(uint32_t task);
  const wchar_t* where_name(uint32_t where);
  bool change_at_point(uint32_t task, uint32_t where);
  bool del_dtbd();
  void popup_menu(LONG_PTR window, pnt_struct p);
  void invalidate();

  pnt_struct xpnt_{0, 0};
  rizediveva6::HeapArray<dtbd_rec> ndb_dtbd_;
  rizediveva6::HeapArray<int32_t> bySp_;  // slot-period -> first record, index + 1
  uint32_t dead_ = 0;
  showing_extras xshowing_extras_ = Showing(showing_kind::show_no_extras);
  bool boo_just_draw_rects_ = false;
  bool simple_ = false;
  // Names read once per draw, the date text once per cell.
  rizediveva6::HeapArray<const wchar_t*> taskNames_, whereNames_;
  const slot_rct* dateOf_ = nullptr;
  const wchar_t* dateText_ = nullptr;
  tool_state tools_;
  QEL_KWI::PROLOG_EHANDLER_STRUCT closure_{};
};

}  // namespace all
