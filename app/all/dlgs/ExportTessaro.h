// exportTessaro: the modal "Export Tessaro" dialog, which only says that the
// export is not available; it writes nothing and changes nothing.
//
// Invariants:
//  - thiswin holds the dialog while it exists (set at creation, cleared at
//    destruction); "&OK" and "Cancel" destroy it, the close box closes it.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"
#include "stream/stream.h"

namespace all {

class exportTessaro {
 public:
  static const tav::ClassInfo classInfo;

  static exportTessaro* new_();
  // Runs the dialog over `parent`; returns when it has closed.
  void show(LONG_PTR parent);

 private:
  exportTessaro() = default;
  template <class C, class... A>
  friend C* tav::NewObject(A&&... args);
  static LONG_PTR OnEvent(void* self, LONG_PTR window, QEL_KWI::event_struct* event);

  LONG_PTR thiswin_ = 0;
};

}  // namespace all
