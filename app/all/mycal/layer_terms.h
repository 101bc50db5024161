// layer_terms: what the calendar layers share to call the stores and to
// write a cell's text: a duty as a term, and the text flags of a cell.
//
// Invariants: a duty_term's parts live as long as the holder; the flags
// list (centred horizontally, word wrap) is constant data.
#pragma once

#include "kalmoradb/roster_types.h"
#include "qel6kwi.h"

namespace all {

// The duty as a term, living as long as the holder.
struct duty_term {
  explicit duty_term(const duty_dat& d)
      : at{1, d.at.day, d.at.period, d.at.slot}, dat{1, &at, d.where, d.task, d.changed ? &kTrue : &kFalse} {}
  SpTerm at;
  DutyDatTerm dat;

 private:
  static constexpr tav::BooleanTerm kFalse{1}, kTrue{2};
};

// Text flags 2 (centred horizontally) and 13 (word wrap).
inline QEL_KWI::ilist_struct* CentredWrap() {
  static QEL_KWI::ilist_struct end{QEL_KWI::ListNil, 0, nullptr}, wrap{QEL_KWI::ListCons, 13, &end},
      centred{QEL_KWI::ListCons, 2, &wrap};
  return &centred;
}

}  // namespace all
