// The four search and go-to dialogs as window definition lists of the GUI
// layer, for applications without the dialog resources.  The lists are
// built on the caller's global stack from constant tables.
#pragma once

#include <cstdint>

#include "qel6kwi.h"

namespace QEL_EDIT::detail {

// Resource ids, also the ids of the user events announcing the dialogs.
enum DialogId : int32_t {
  dlg_find = 9100, dlg_replace = 9101, dlg_goToPosition = 9102, dlg_goToLine = 9103
};

// Control ids.
enum DialogControl : int32_t {
  ctl_ok = 1, ctl_close = 2, ctl_help = 3, ctl_findText = 4, ctl_label = 5, ctl_replaceText = 6,
  ctl_options = 7, ctl_caseSensitive = 8, ctl_wholeWords = 9, ctl_direction = 10,
  ctl_forward = 11, ctl_backward = 12, ctl_origin = 13, ctl_fromCursor = 14,
  ctl_entireScope = 15, ctl_changeAll = 17, ctl_newTextLabel = 18, ctl_selectedText = 19,
  ctl_findNext = 20, ctl_regex = 21
};

struct ControlSpec {
  int32_t id;
  int32_t type;
  const wchar_t* text;  // null: the dialog's label
  QEL_KWI::rect_struct rect;
  const int64_t* flags;  // GUI-layer style flags, ended by 0
};

struct DialogSpec {
  int32_t id;
  int32_t type;  // 6 modal, 7 modeless
  const wchar_t* title;
  QEL_KWI::rect_struct rect;
  const ControlSpec* controls;
  int32_t count;
  const wchar_t* label;  // text of the controls without one
};

// The table of a dialog id; nullptr for another id.
const DialogSpec* FindDialogSpec(int32_t id);
const wchar_t* ControlText(const DialogSpec& d, const ControlSpec& c);
// The definition list of a dialog: the dialog with its font, then the
// controls in tab order.
QEL_KWI::windef_list_struct* BuildDialogList(const DialogSpec& spec);

}  // namespace QEL_EDIT::detail
