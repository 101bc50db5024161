// stop: the small modeless "stop" window that long operations on the GUI
// thread show and poll: a description and a "Stop" button.
//
// Invariants:
//  - The object fact database "stop$db1" holds thiswin (the window, while it
//    exists), db_continue (while the operation may go on) and db_win (while
//    del_win still has to destroy the window).
//  - Pressing "Stop" or destroying the window (its close box) removes
//    db_continue; the next can_continue then destroys what is left and fails,
//    and so does every later one.
//  - set_text before show raises the runtime's error 329 for thiswin; after
//    the window is gone it does nothing.
#pragma once

#include <cstdint>

#include "core/core.h"
#include "stream/stream.h"
#include "qel6kwi.h"
#include "qel6run_db.h"

namespace rizediveva6 {

class stop {
 public:
  static const tav::ClassInfo classInfo;
  // The control ids of the button and the description.
  static constexpr int kStopButton = 10001, kDescription = 10002;

  static stop* new_();
  // Creates the window over `parent` (the create event sets the facts).
  void show(LONG_PTR parent);
  // Lets the GUI layer dispatch the pending messages; fails (false) once
  // "Stop" was pressed, after destroying the window.
  bool can_continue();
  void del_win();
  void set_text(const wchar_t* text);

 private:
  stop() = default;
  template <class C, class... A>
  friend C* tav::NewObject(A&&... args);
  static LONG_PTR OnEvent(void* self, LONG_PTR window, QEL_KWI::event_struct* event);

  // The facts of stop$db1, in declaration order.
  Qel::RunTime::Terms::DBInternal::RFactHead heads_[3];
  bool gone_ = false;  // the window was shown and has been destroyed
};

}  // namespace rizediveva6
