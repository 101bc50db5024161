// draw_assign: the duties layer with each assigned duty's box in its
// doctor's colour (the doctor's name inside, square corners when locked);
// hot keys and clicks assign, a left drag moves, copies or swaps, a
// Shift-click toggles a lock, DEL removes, and the pop-up menu clears,
// locks, prints, runs the engine and checks consistency.
//
// Invariants:
//  - At most one live assignment record per duty key; hit tests take the
//    first live record in insertion order holding the point.  A record
//    exists only for a box drawn in this draw (doctor and duty found, filter
//    passed).  A forgotten record is dead (key null) until the records are
//    compacted; the live records of a slot-period are chained from a table
//    indexed by slot-period (a forgotten one leaves its chain at once), so
//    forgetting a day's duties scans that day's live records.
//  - Every change goes through the gate; the records follow the stores: a
//    key is forgotten only when the gate removed it.
//  - A drop changes the roster wholly or not at all: a refused step puts
//    the assignments back as they were before it (locks untouched).
//  - At most one drag; while it lasts the window holds the mouse capture,
//    and every way out of it ends the drag object and releases the capture.
//  - During an engine run started here a day's repaint marks the day and
//    reads nothing; the marked days' cells are invalidated at most every
//    100 ms, the next paint draws each such day once, and the run's end
//    draws the whole layer afresh.  The records of marked days are read
//    before every input event, so hit tests follow the stores.
//  - A clear or removal that removed something marks the document.
//  - drew_all_assign and drew_days_assigns never fail and never raise.
#pragma once

#include "KWI/drag/drag_rct.h"
#include "commandtree/comtree.h"
#include "mycal/draw_dtbd.h"

namespace all {

// One drawn assignment.
struct assigned_rec {
  rect_struct cell;
  duty_dat duty;
  const wchar_t* key;
  chain_ref doctor;
  const wchar_t* name;
};

// The drag in progress: the feedback object, the dragged duty and doctor,
// the modifier state of the press and the press point.
struct drag_rec {
  rizediveva6::drag_rct* drag;
  const wchar_t* key;
  duty_dat duty;
  chain_ref ref;
  chain_ref doctor;
  int32_t mods;
  pnt_struct press;
};

class draw_assign {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10112, kRunEngine = 10113, kForceFill = 10114, kPrint = 10106,
                            kClearWeek = 10116, kClearAll = 10117, kLockThis = 10119, kLockWeek = 10120,
                            kLockAll = 10121, kUnlockWeek = 10122, kUnlockAll = 10123, kConsistency = 10124;
  static constexpr int32_t kRefusedCursor = 10194;

  static draw_assign* new_assign(LONG_PTR window);

  // Full repaint; a path starting "Tasks" or "Locations" forgets the duties first.
  virtual void drew_all_assign(const rizediveva6::SList* path);
  // Repaints the days of the duties named by the keys.
  virtual void drew_days_assigns(const rizediveva6::SList* keys);
  // The ordered rows; false: not handled.
  virtual bool _assign_eh(LONG_PTR window, const event_struct* e);
  virtual void delete_pic2();
  // The drawing target of the layer and its bases.
  virtual void set_thiswyn_ass(wyndow t);

  QEL_KWI::PROLOG_EHANDLER_STRUCT* closure();
  // The first record holding the point; null: none.
  const assigned_rec* assignment_at(pnt_struct p) const;
  // The live records in insertion order.
  const rizediveva6::HeapArray<assigned_rec>& assignments() const;
  pnt_struct point() const { return xpnt_; }
  // The drag in progress; null: none.
  const drag_rec* drag() const { return dragging_ ? &db_drag_rct_ : nullptr; }
  // Days drawn by paints during engine runs (read by tests and benchmarks).
  uint32_t days_painted() const { return daysPainted_; }

  draw_dtbd dtbd;

 private:
  struct doctor_look {
    const wchar_t* name;
    int32_t colour;
    bool shown, highlight;
  };
  void drew_assignments();
  void use_font();
  // The record of a drawn assignment kept; false: nothing to draw.
  // The key is the duty record's own (kept on the heap by the base layer).
  bool keep_cell(const duty_dat& duty, rect_struct column, const wchar_t* key, doctor_look* look, rect_struct* cell);
  void drew_one_cell(const duty_dat& duty, rect_struct column, const wchar_t* key);
  bool look_of(chain_ref doctor, doctor_look* look);
  void forget_key(const wchar_t* key);
  void forget_duty(const duty_dat& duty, const wchar_t* key);
  void forget_record(uint32_t index);
  void keep_record(const assigned_rec& r);
  void clear_records();
  void compact() const;
  void repaint_all();
  // One day (period, day) marked for the run's next paint.
  void mark_day(uint32_t period, uint32_t day);
  void day_duties(uint32_t period, uint32_t day, rizediveva6::HeapArray<duty_dat>* out) const;
  bool day_shown(uint32_t period, uint32_t day) const;
  void draw_duties(const rizediveva6::HeapArray<duty_dat>& duties);
  void sync_day(uint32_t period, uint32_t day);
  void sync_marked();
  bool day_box(uint32_t period, uint32_t day, rect_struct* box) const;
  void paint(LONG_PTR window, const event_struct* e);
  void draw_pending();
  void invalidate_pending(bool now);
  void forget_pending();
  void forget_marked();
  void run_engine(engine_mode mode);
  void print();
  bool assign_at(chain_ref doctor, pnt_struct p);
  bool hot_key(wchar_t letter);
  bool lock_toggle(pnt_struct p);
  bool lock_this();
  bool lock_some(uint32_t id);
  bool clear_some(uint32_t id);
  bool del_ass();
  bool remove_drawn(const wchar_t* key);
  void consistency_check();
  // Drag and drop.
  int start_drag(LONG_PTR window, pnt_struct p, int32_t mods);
  bool mousemove_with_drag(pnt_struct p);
  bool swap_verdict(const assigned_rec& target);
  bool drop_verdict(const duty_dat& target);
  int release(pnt_struct p);
  bool try_swap_then_move(const drag_rec& d, const wchar_t* to, const ReasonTerm* busy, const ReasonTerm* rule);
  void feedback_at(pnt_struct p);
  void end_drag(pnt_struct p);

  pnt_struct xpnt_{0, 0};
  wyndow thiswyn_{};
  LONG_PTR thiswin_ = 0;
  // Compacted on reading: dead records dropped, chains rebuilt.
  mutable rizediveva6::HeapArray<assigned_rec> ndb_duty_assigned_rct_;
  mutable rizediveva6::HeapArray<int32_t> nextSp_;  // per record: the next of its slot-period, index + 1
  mutable rizediveva6::HeapArray<int32_t> bySp_;    // slot-period -> its first record, index + 1
  mutable uint32_t dead_ = 0;
  // Doctors read once per draw: reference -> look (name null: not read yet).
  rizediveva6::HeapArray<chain_ref> lookRefs_;
  rizediveva6::HeapArray<doctor_look> looks_;
  drag_rec db_drag_rct_{};
  bool dragging_ = false;
  // Engine runs started here: days invalidated and not yet drawn, as
  // (period - 1) * 7 + day - 1, each once.
  bool running_ = false;
  rizediveva6::HeapArray<uint32_t> pending_;
  rizediveva6::HeapArray<uint8_t> isPending_;
  uint32_t flushed_ = 0;  // pending_'s first entries, invalidated
  // Days marked whose records have not been read since, each once.
  rizediveva6::HeapArray<uint32_t> unsynced_;
  rizediveva6::HeapArray<uint8_t> isUnsynced_;
  ULONGLONG lastFlush_ = 0;
  static constexpr ULONGLONG kFlushMs = 100;
  uint32_t daysPainted_ = 0;
  // The font record last set on the window by this layer (a full draw reads
  // the option again).
  uint8_t font_[sizeof(LOGFONTW)] = {};
  bool fontKnown_ = false;
  // The boxes' pen, brush and background mode, set again only when they change.
  tool_state tools_;
  QEL_KWI::PROLOG_EHANDLER_STRUCT closure_{};
};

}  // namespace all
