// o_text and o_note: a read-only text and an editable note, each in a
// resizable modal dialog filled by one control that follows its size.
//
// Invariants:
//  - o_text keeps its text 10 pixels inside every side of the client area.
//  - o_note's edit control fills the client area; xstring follows every
//    change of the control, so the note is returned however the dialog
//    closes.
//  - Strings kept in facts are heap copies: the handlers' global stack is
//    released when they return.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"

namespace rizediveva6 {

class o_text {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr int kText = 10017;

  static o_text* new_();
  // Shows the text modally under the title; returns once closed.
  virtual void show_text(LONG_PTR parent, const wchar_t* title, const wchar_t* text);

 private:
  LONG_PTR on_event(LONG_PTR w, QEL_KWI::event_struct* e);

  LONG_PTR thiswin_ = 0;
  const wchar_t* xstr_ = L"";
  const wchar_t* xtitle_ = L"";
};

class o_note {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr int kNote = 10046;

  static o_note* new_();
  // Lets the user edit the text under the heading; the text as last edited.
  virtual const wchar_t* show_note(LONG_PTR parent, const wchar_t* heading, const wchar_t* text);

 private:
  LONG_PTR on_event(LONG_PTR w, QEL_KWI::event_struct* e);
  void resize();

  LONG_PTR thiswin_ = 0;
  const wchar_t* xstring_ = L"";
  const wchar_t* xhead_ = L"";
};

}  // namespace rizediveva6
