// qel6edit: the editor control's public interface.
//
// An editor is a GUI-layer window whose user data holds its record; every
// function taking a window raises 6900 for a window that is not a live
// editor.  Errors are raised through the kernel with the code alone.
#pragma once

#include <cstdint>

#include "qel6kwi.h"

#ifdef QEL6EDIT_BUILD
#define QEL_EDIT_API __declspec(dllexport)
#else
#define QEL_EDIT_API __declspec(dllimport)
#endif

namespace QEL_EDIT {

// Process-wide settings: 6911 for a size that is not positive.
QEL_EDIT_API void edit_SetTabSize_0(int32_t size);
QEL_EDIT_API int32_t edit_GetTabSize();
QEL_EDIT_API void edit_IndentSize_0(int32_t size);
QEL_EDIT_API void edit_IndentSize_1(int32_t* size);
QEL_EDIT_API void edit_TabMode_0(int32_t mode);
QEL_EDIT_API void edit_TabMode_1(int32_t* mode);

}  // namespace QEL_EDIT

namespace QEL_EDIT {

// Search options shared by every editor and the search dialogs (each stored
// as 0 or 1).
QEL_EDIT_API void edit_SetSearchOptions(int32_t wholeWords, int32_t caseSensitive, int32_t forward);
QEL_EDIT_API void edit_SetSearchOptions4(int32_t wholeWords, int32_t caseSensitive,
                                         int32_t forward, int32_t regex);
QEL_EDIT_API void edit_GetSearchOptions(int32_t* wholeWords, int32_t* caseSensitive,
                                        int32_t* forward);
QEL_EDIT_API void edit_GetSearchOptions4(int32_t* wholeWords, int32_t* caseSensitive,
                                         int32_t* forward, int32_t* regex);

// Every match of the pattern in a caller's text: the 1-based positions in
// text order, and in *lines the line of the text holding each match (lists
// on the caller's global stack).  The pattern joins the Find history.
QEL_EDIT_API QEL_KWI::ilist_struct* edit_SearchSubStrRE(const wchar_t* pattern,
                                                        const wchar_t* text,
                                                        QEL_KWI::slist_struct** lines,
                                                        int32_t caseSensitive, int32_t wholeWords,
                                                        int32_t regex);
QEL_EDIT_API QEL_KWI::ilist_struct* edit_SearchSubStr(const wchar_t* pattern, const wchar_t* text,
                                                      QEL_KWI::slist_struct** lines,
                                                      int32_t caseSensitive, int32_t wholeWords);

}  // namespace QEL_EDIT

namespace QEL_EDIT {

// One search with the current options, origin and scope; the match is
// selected.  1 found, 0 not.
QEL_EDIT_API int32_t edit_SearchStr(LONG_PTR window, const wchar_t* text);

// The search and go-to dialogs of an editor: Find Text (modal), Replace Text
// (modeless; 6910 in a read-only editor), find next, Go To Line Number and
// Go To Position (modal).
QEL_EDIT_API void edit_SearchDlg(LONG_PTR window);
QEL_EDIT_API void edit_SearchAgain(LONG_PTR window);
QEL_EDIT_API void edit_ReplaceDlg(LONG_PTR window);
QEL_EDIT_API void edit_GotoLineDlg(LONG_PTR window);
QEL_EDIT_API void edit_GotoPosDlg(LONG_PTR window);

// The text, after trimming trailing blanks and expanding tabs in the editor
// itself when asked (6910 for those in a read-only editor).
QEL_EDIT_API wchar_t* edit_GetTextOpt(LONG_PTR window, int32_t expandTabs, int32_t trim);
QEL_EDIT_API void edit_ExpandTabs(LONG_PTR window);
QEL_EDIT_API void edit_TrimTrailingSpaces(LONG_PTR window);

// Bookmarks: a 16-bit type per line, travelling with the line.
struct bookmark_struct {
  int32_t line;
  uint16_t type;
};
struct bmlist_struct {
  uintptr_t functor;
  bookmark_struct* value;
  bmlist_struct* next;
};
// The icon resource for a bookmark type (low 16 bits); 0 for the default mark.
using BookmarkHandler = uint32_t (*)(uint32_t type);
QEL_EDIT_API void edit_BookmarkSetTypeForLine(LONG_PTR window, int32_t line, uint16_t type);
QEL_EDIT_API uint16_t edit_BookmarkGetTypeForLine(LONG_PTR window, int32_t line);
// Every line whose type holds all bits of mask (0: every line), in line order.
QEL_EDIT_API bmlist_struct* edit_BookmarkGetList(LONG_PTR window, uint16_t mask);
QEL_EDIT_API void edit_BookmarkClearAll(LONG_PTR window);
QEL_EDIT_API void edit_BookmarkSetHandler(BookmarkHandler handler);
QEL_EDIT_API void edit_SetCursorToLine(LONG_PTR window, int32_t line, int32_t color);
QEL_EDIT_API void edit_SetCursorNone(LONG_PTR window);

// Hyper fields (hyper-mode editors; 6910 when read-only).  Deleting sends
// user event 10002 with {1, data} and removes the field's markup when the
// event's result is 0.
struct hyper_event_struct {
  int32_t kind;  // 1 about to be deleted, 2 activated
  const wchar_t* data;
};
QEL_EDIT_API void edit_CreateHyperField_0(LONG_PTR window);
QEL_EDIT_API void edit_CreateHyperField_1(LONG_PTR window, const wchar_t* data);
QEL_EDIT_API void edit_DeleteHyperField(LONG_PTR window);

}  // namespace QEL_EDIT
