// draw_ties: the duties layer with the ties of one kind (global, a group's
// or a doctor's) drawn as lines between their duties, "S" at the second
// end; a line dragged from one duty to another proposes a tie in the tie
// definition dialog; the pop-up menu deletes all ties of the kind in view.
//
// Invariants: nothing is drawn before a selection was accepted; a tie end
// is always inside its duty's rectangle (stored relative ends outside 0..1
// or not finite are clamped); a label record exists only for a drawn tie.
#pragma once

#include "KWI/drag/drag_line.h"
#include "mycal/draw_dtbd.h"
#include "SYSTEM/orv_list/orv_list.h"

namespace all {

// One drawn tie label.
struct tie_rec {
  const TieDomTerm* tie;
  rect_struct label;
  chain_ref ref;
};

class draw_ties {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kMenu = 10109, kDeleteAll = 10104;

  static draw_ties* new_ties(LONG_PTR window);

  // The kind of ties by the selection's title and names; draws.
  virtual void drew_ties(const wchar_t* title, const rizediveva6::SList* names);
  // The ordered rows; false: not handled.
  virtual bool _ties_eh(LONG_PTR window, const event_struct* e);
  virtual void delete_pic2();

  QEL_KWI::PROLOG_EHANDLER_STRUCT* closure();
  const rizediveva6::HeapArray<tie_rec>& ties() const { return ndb_tie_; }
  bool dragging() const { return db_drag_line_ != nullptr; }

  draw_dtbd dtbd;

 private:
  void drawing_ties();
  void draw_tie(const TieDomTerm* tie);
  void make_tie(pnt_struct end, pnt_struct start);
  bool delete_all();

  WhichTieTerm xdb_which_tie_{0, nullptr};  // functor 0: not set
  bool boo_all_set_ = false;
  rizediveva6::drag_line* db_drag_line_ = nullptr;
  rizediveva6::HeapArray<tie_rec> ndb_tie_;
  QEL_KWI::PROLOG_EHANDLER_STRUCT closure_{};
};

}  // namespace all
