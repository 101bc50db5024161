// draw_assign: the duties layer with each assigned duty's box in its
// doctor's colour (the doctor's name inside, square corners when locked);
// hot keys and clicks assign, Shift-click toggles a lock, DEL removes, and
// the pop-up menu clears, locks, runs the engine and checks consistency.
//
// Invariants:
//  - At most one assignment record per duty key; hit tests take the first
//    record in insertion order holding the point.  A record exists only for
//    a box drawn in this draw (doctor and duty found, filter passed).
//  - Every change goes through the gate; the records follow the stores: a
//    key is forgotten only when the gate removed it.
//  - A clear or removal that removed something marks the document.
//  - drew_all_assign and drew_days_assigns never fail and never raise.
#pragma once

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

class draw_assign {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10112, kRunEngine = 10113, kForceFill = 10114, kPrint = 10106,
                            kClearWeek = 10116, kClearAll = 10117, kLockThis = 10119, kLockWeek = 10120,
                            kLockAll = 10121, kUnlockWeek = 10122, kUnlockAll = 10123, kConsistency = 10124;

  static draw_assign* new_assign(LONG_PTR window);

  // Full repaint; a path starting "Tasks" or "Locations" forgets the duties first.
  virtual void drew_all_assign(const rizediveva6::SList* path);
  // Repaints the days of the duties named by the keys.
  virtual void drew_days_assigns(const rizediveva6::SList* keys);
  // The ordered rows; false: not handled.
  virtual bool _assign_eh(LONG_PTR window, const event_struct* e);
  virtual void delete_pic2();

  QEL_KWI::PROLOG_EHANDLER_STRUCT* closure();
  // The first record holding the point; null: none.
  const assigned_rec* assignment_at(pnt_struct p) const;
  const rizediveva6::HeapArray<assigned_rec>& assignments() const { return ndb_duty_assigned_rct_; }
  pnt_struct point() const { return xpnt_; }

  draw_dtbd dtbd;

 private:
  struct doctor_look {
    const wchar_t* name;
    int32_t colour;
    bool shown, highlight;
  };
  void drew_assignments();
  void drew_one_cell(const duty_dat& duty, rect_struct column);
  bool look_of(chain_ref doctor, doctor_look* look);
  void forget_key(const wchar_t* key);
  void repaint_all();
  bool assign_at(chain_ref doctor, pnt_struct p);
  bool hot_key(wchar_t letter);
  bool lock_toggle(pnt_struct p);
  bool lock_this();
  bool lock_some(uint32_t id);
  bool clear_some(uint32_t id);
  bool del_ass();
  void consistency_check();

  pnt_struct xpnt_{0, 0};
  wyndow thiswyn_{};
  LONG_PTR thiswin_ = 0;
  rizediveva6::HeapArray<assigned_rec> ndb_duty_assigned_rct_;
  // Doctors read once per draw: reference -> look (name null: not read yet).
  rizediveva6::HeapArray<chain_ref> lookRefs_;
  rizediveva6::HeapArray<doctor_look> looks_;
  QEL_KWI::PROLOG_EHANDLER_STRUCT closure_{};
};

}  // namespace all
