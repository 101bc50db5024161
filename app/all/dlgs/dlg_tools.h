// dlg_tools: window-definition lists of the roster dialogs built from
// constant tables (the dialog first, then one `ctl` per control in table
// order, which is the creation and tab order), and the control operations
// the dialogs share.
//
// Invariants:
//  - A built list is made once per table and never freed or changed; it
//    holds only static texts and its own records, no collected pointer.
//  - Rectangles are left, top, right, bottom in dialog units (unit 2).
//  - A flag list ends at the first 0 (flag 0 would make the rest raw styles).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "qel6kwi.h"

namespace all {

struct dlg_ctl {
  int32_t id;
  int32_t type;  // QEL_KWI::WinType
  const wchar_t* text;
  QEL_KWI::rect_struct rect;
  std::array<int32_t, 6> flags;  // 0-terminated
};

struct dlg_form {
  int32_t type;  // wt_modal or wt_modeless
  const wchar_t* title;
  QEL_KWI::rect_struct rect;
  const wchar_t* font;
  int32_t size;
  std::array<int32_t, 4> flags;  // 0-terminated
};

// The list `dlgfont(form), ctl(c1), ctl(c2), ...`.
QEL_KWI::windef_list_struct* BuildWindef(const dlg_form& form, const dlg_ctl* ctls, size_t count);

template <size_t N>
QEL_KWI::windef_list_struct* BuildWindef(const dlg_form& form, const std::array<dlg_ctl, N>& ctls) {
  return BuildWindef(form, ctls.data(), N);
}

// Marks control `id` of `dialog` and clears the other controls of `group`
// (up to eight).
void CheckRadio(LONG_PTR dialog, int32_t id, std::initializer_list<int32_t> group);
// Enables (state 13) or disables (state 12) control `id`.
void EnableCtl(LONG_PTR dialog, int32_t id, bool on);
void SetCtlText(LONG_PTR dialog, int32_t id, const wchar_t* text);

}  // namespace all
