// tie_definition: the modal "Tie definition" dialog that edits who does the
// two ends of a drawn tie, its repetition and its scope, and describes it.
//
// Invariants:
//  - xtie_dat is a record on the collected heap, replaced whole by every
//    change; its end keys, names and drawn points are never changed.
//  - thiswin is the dialog while it exists, else 0.
//  - The answer is true from `new` on; only the close box makes it false.
//  - Radio buttons are marked only by this code; "Must be done by the same
//    doctor" changes its enabled state only through the scope radios.
#pragma once

#include "core/core.h"
#include "kalmoradb/roster_types.h"
#include "qel6kwi.h"

namespace all {

class tie_definition {
 public:
  static const tav::ClassInfo classInfo;
  // Control ids.
  enum : int32_t {
    kOk = 1, kHelp = 3, kSameDoctor = 10006, kDifferentDoctors = 10007, kPairOnly = 10008,
    kEveryWeek = 10009, kEveryDay = 10010, kDuties = 10011, kDaySlot = 10012, kDay = 10013,
    kWeek = 10015, kDescription = 10017
  };

  static tie_definition* new_();
  // Shows the dialog modally over `parent` on `in`; after it closed, the
  // edited record (on the collected heap) and the answer.
  virtual bool show_tie_def(LONG_PTR parent, const TieDatTerm* in, const TieDatTerm** out);

  // The window definition (for its test).
  static QEL_KWI::windef_list_struct* windef_list();

 private:
  static LONG_PTR OnEvent(void* self, LONG_PTR window, QEL_KWI::event_struct* event);
  bool act(int32_t id);
  void update_dlg();
  void update_repetition();
  void update_applies();
  void update_same_doc();
  void update_desc();
  void enable_applies(bool on);
  void enable_must_do(bool on);

  LONG_PTR thiswin_ = 0;
  const TieDatTerm* xtie_dat_ = nullptr;
  bool return_ = true;
};

}  // namespace all
