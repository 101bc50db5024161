// kwiEditor: the editor control's process-wide options (tab and indent size,
// search options, the token colours of the five colouring schemes) and the
// modal "Token Coloring" dialog.  The dialog collects changes per scheme and
// token kind and applies them to the editor only on "&OK"; they are
// forgotten when it closes.  The scheme and token kind shown last are kept
// for the next opening.
#pragma once

#include "core/core.h"
#include "qel6edit.h"

namespace tav {

// coloroption(Scheme, Type, Settings); a token kind is the editor's colour
// type: 1 + its position among the 22 kinds (another value is out of range).
struct ColorOption {
  int32_t scheme;
  QEL_EDIT::color_type_struct type;
  QEL_EDIT::color_settings_struct settings;
};
struct coloroption_list {
  uintptr_t functor;
  ColorOption* value;
  coloroption_list* next;
};

struct EditorOptions {
  int32_t tabSize;
  int32_t indentSize;
  int32_t wholeWords, caseSensitive, forward;
  coloroption_list* colors;  // 110 options: scheme by scheme, kinds in order
};

class kwiEditor {
 public:
  static const ClassInfo classInfo;
  static constexpr int32_t kSchemes = 5;
  static constexpr int32_t kKinds = 22;
  // The colour that stands for "the default colour".
  static constexpr uint32_t kDefaultColour = 0x1000000;

  static void getoptions(EditorOptions* out);
  // Applied in order; the editor's 6911 or 6912 stops at the failing element.
  static void setoptions(int32_t tabSize, int32_t indentSize, int32_t wholeWords,
                         int32_t caseSensitive, int32_t forward, const coloroption_list* colors);
  static void settabsize(LONG_PTR window, int32_t size);
  static LONG_PTR optionsdialog(LONG_PTR parent, int32_t scheme);

  // Dialog controls.
  enum : int32_t {
    kOk = 1, kCancel = 2, kHelp = 3, kElementLabel = 1001, kElements = 1002, kSchemeLabel = 1003,
    kSchemeList = 1004, kForeLabel = 1005, kForeSwatch = 1006, kBackLabel = 1007,
    kBackSwatch = 1008, kDefaultFore = 1009, kDefaultBack = 1010, kStyleLabel = 1011,
    kStyleList = 1012, kPreview = 1013
  };
};

}  // namespace tav
