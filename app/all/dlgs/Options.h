// options: the modal "Options" dialog.  Every control acts when it is used
// and stores at once: the drawing style ("simple"), the list font, the
// command tree's statistics and title panes, the "Tessaro folder" and the
// web-page folder, the document's description; it also opens the export
// dialog and publishes the roster.  "Close" only closes the window.
//
// Invariants:
//  - thiswin holds the dialog while it exists.
//  - The radio buttons and check boxes start unmarked; a mark only ever
//    shows the answer of the click that set it.
//  - The description is stored only when the box's text differs from the
//    description last read or stored, so visiting the box changes nothing.
//  - boo_holidays_are_weekends lives in memory only, absent at start.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"
#include "stream/stream.h"

namespace all {

class options {
 public:
  static const tav::ClassInfo classInfo;
  // The control ids.
  enum : int {
    kClose = 1, kSetFont = 10024, kPretty = 10026, kSimple = 10027, kHolidays = 10029,
    kStatsContinuously = 10032, kShowTitle = 10034, kPublishFolder = 10037, kTessaroFolder = 10038,
    kExport = 10039, kPublish = 10042, kDescription = 10043, kTessaroText = 10040, kPublishText = 10041,
  };

  static options* new_();
  // Runs the dialog over `parent`; returns when it has closed.
  void show(LONG_PTR parent);
  static bool holidays_are_weekends();

 private:
  options() = default;
  template <class C, class... A>
  friend C* tav::NewObject(A&&... args);
  static LONG_PTR OnEvent(void* self, LONG_PTR window, QEL_KWI::event_struct* event);
  void update_txts();
  // The control's action; false when it is not one of the dialog's.
  bool act(int id);
  void description_changed();
  LONG_PTR control(int id) const;

  LONG_PTR thiswin_ = 0;
  const wchar_t* lastDesc_ = nullptr;  // the description last read or stored
  static bool boo_holidays_are_weekends;
};

}  // namespace all
