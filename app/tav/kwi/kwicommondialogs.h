// kwiCommonDialogs: one-call modal dialogs.  Every dialog without an explicit
// parent is owned by the window found from the keyboard focus (a dialog,
// top-level window or the task window up the focus window's parents; the
// task window when nothing has the focus).  A built dialog leaves its
// outcome in class data that its handler sets and the call reads after the
// modal loop; each call resets that data before the dialog opens, so a
// dialog closed without a button never reports an earlier dialog's answer.
#pragma once

#include "core/core.h"
#include "qel6kwi.h"

namespace tav {

class kwiCommonDialogs {
 public:
  static const ClassInfo classInfo;

  static LONG_PTR getparentwindow();

  // Null (fails) when the dialog is left without "&OK".
  static const wchar_t* getstring(const wchar_t* title, const wchar_t* prompt,
                                  const wchar_t* initialText);
  static const wchar_t* getstring(LONG_PTR parent, const wchar_t* title, const wchar_t* prompt,
                                  const wchar_t* initialText);
  // The 0-based position of the pressed button in *answer; false (fails)
  // for more than three buttons, with nothing shown.  A close without a
  // button answers the last button's position (0 when there is none).
  static bool ask(const wchar_t* question, const QEL_KWI::slist_struct* buttons, int32_t* answer);
  static bool ask(const wchar_t* title, const wchar_t* question,
                  const QEL_KWI::slist_struct* buttons, int32_t* answer);
  static bool ask(LONG_PTR parent, const wchar_t* title, const wchar_t* question,
                  const QEL_KWI::slist_struct* buttons, int32_t* answer);
  // Status 1 after a selection (index and string set), 0 after Cancel or
  // close (-1 and "").
  static int32_t listselect(const wchar_t* title, const QEL_KWI::slist_struct* items,
                            int32_t preselection, int32_t* index, const wchar_t** text);
  static int32_t listselect(LONG_PTR parent, const wchar_t* title,
                            const QEL_KWI::slist_struct* items, int32_t preselection,
                            int32_t* index, const wchar_t** text, int32_t sorted);
  static int32_t askbox(const wchar_t* title, const wchar_t* text, int32_t buttonsKind,
                        int32_t defaultButton);
  static void note(const wchar_t* text);
  static void error(const wchar_t* text);
  // Null (fails) when the user cancels.
  static const wchar_t* getfilename(const wchar_t* initialName,
                                    QEL_KWI::slist_struct* fileTypes, const wchar_t* title,
                                    QEL_KWI::ilist_struct* flags, const wchar_t* startDirectory,
                                    QEL_KWI::slist_struct** selectedNames);
  static QEL_KWI::slist_struct* getopenfilenamelist(const wchar_t* initialName,
                                                    QEL_KWI::slist_struct* fileTypes,
                                                    const wchar_t* title);
  // Null (fails) when the user cancels.
  static uint8_t* getfont(uint8_t* font);
  // False (fails) when the user cancels.
  static bool getcolor(LONG_PTR colour, LONG_PTR* chosen);
};

}  // namespace tav
