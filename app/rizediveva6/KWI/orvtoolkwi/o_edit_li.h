// o_edit_li: the in-place cell editor of a list box: a one-line edit control
// laid over one cell, which hands Enter to the list and gives its text to
// the list's send-back when committed.
//
// Invariants:
//  - db_win is the edit control while it exists; get_edit and destroy_win
//    take it away before destroying it, so it is destroyed once.
//  - A collected editor destroys a window left behind (errors dropped).
#pragma once

#include "KWI/orvtoolkwi/libox.h"

namespace rizediveva6 {

class o_edit_li {
 public:
  static constexpr int kControlId = 901;

  static o_edit_li* new_(LONG_PTR parent, uint32_t row, uint32_t col, rect_struct r, const wchar_t* text);

  // Takes the text, destroys the window and calls the send-back with (text,
  // row, column); "empty" when the window was gone already.  A failing
  // send-back is ignored.
  virtual const wchar_t* get_edit(edit_sendback cb, uint32_t* row, uint32_t* col);
  virtual void focus_on_it();
  // Destroys the window without calling any send-back.
  virtual void destroy_win();

  uint32_t row() const { return xrow_; }
  LONG_PTR window() const { return db_win_; }

 private:
  static LONG_PTR _e_eh(void* object, LONG_PTR window, QEL_KWI::event_struct* e);

  uint32_t xrow_ = 0;
  uint32_t xcol_ = 0;
  LONG_PTR db_win_ = 0;
};

}  // namespace rizediveva6
