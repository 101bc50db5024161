// aboutDialog: the modal "About" box: the program's icon, name, version,
// build number and the maker's notice; "WebPage" shows the update page and
// leaves the box open; "OK" and the close box end it.
//
// Invariants:
//  - thiswin holds the dialog while it exists.
//  - The definition is a window-definition list built on the global stack
//    for the one modal call that uses it.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"
#include "stream/stream.h"

namespace kalmora {

class aboutDialog {
 public:
  static const tav::ClassInfo classInfo;
  enum : int { kOk = 1, kCancel = 2, kWebPage = 10077, kBuildText = 10078 };

  static aboutDialog* new_();
  // Runs the box over `parent`; returns when it has been destroyed.
  virtual void show(LONG_PTR parent);

  LONG_PTR thiswin = 0;

 private:
  aboutDialog() = default;
  template <class C, class... A>
  friend C* tav::NewObject(A&&... args);
  static LONG_PTR _eventhandler(void* self, LONG_PTR window, QEL_KWI::event_struct* event);
};

}  // namespace kalmora
