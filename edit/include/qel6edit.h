// qel6edit: the editor control's public interface.
//
// An editor is a GUI-layer window whose user data holds its record; every
// function taking a window raises 6900 for a window that is not a live
// editor.  Errors are raised through the kernel with the code alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qel6kwi.h"

#ifdef QEL6EDIT_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_EDIT_API
#else
#define QEL_EDIT_API __declspec(dllimport)
#endif

namespace QEL_EDIT {

using QEL_KWI::u16;
using QEL_KWI::menu_struct;
using QEL_KWI::PROLOG_EHANDLER_STRUCT;
using QEL_KWI::rect_struct;
using QEL_KWI::wsflags_struct;

// Creation: 6903 for a position outside 1 .. length + 1 (no window is
// made), 6902 for a text the store cannot hold (the editor stays inactive).
QEL_EDIT_API LONG_PTR edit_Create(int32_t type, rect_struct* rect, const u16* title, menu_struct* menu,
                                  LONG_PTR parent, wsflags_struct* flags, uint8_t* font,
                                  int32_t readOnly, int32_t indent, const u16* text,
                                  uint32_t position, PROLOG_EHANDLER_STRUCT* handler);
QEL_EDIT_API LONG_PTR edit_CreateWrap(int32_t type, rect_struct* rect, const u16* title,
                                      menu_struct* menu, LONG_PTR parent, wsflags_struct* flags,
                                      uint8_t* font, int32_t readOnly, int32_t indent, int32_t wrap,
                                      const u16* text, uint32_t position,
                                      PROLOG_EHANDLER_STRUCT* handler);
// A word-wrap editor that keeps hyper-field markup (11, text, 14, data, 15)
// hidden in its text: 6901 for malformed markup, then as edit_CreateWrap.
QEL_EDIT_API LONG_PTR edit_CreateHyper(int32_t type, rect_struct* rect, const u16* title,
                                       menu_struct* menu, LONG_PTR parent, wsflags_struct* flags,
                                       uint8_t* font, int32_t readOnly, int32_t indent, int32_t wrap,
                                       const u16* text, uint32_t position,
                                       PROLOG_EHANDLER_STRUCT* handler);
// An existing window of type 1, 2, 4 or 20 made an editor: 6001 for
// another type, 6903 for a bad position.
QEL_EDIT_API void edit_CreateSubClass(LONG_PTR window, const u16* title, uint8_t* font, int32_t readOnly,
                                      int32_t indent, int32_t wrap, const u16* text, uint32_t position,
                                      PROLOG_EHANDLER_STRUCT* handler);
QEL_EDIT_API PROLOG_EHANDLER_STRUCT* edit_GetHandler(LONG_PTR window);
QEL_EDIT_API void edit_SetHandler(LONG_PTR window, PROLOG_EHANDLER_STRUCT* handler);

// Whole text.
QEL_EDIT_API void edit_PasteStr_1(LONG_PTR window, const u16* text);
QEL_EDIT_API void edit_AppendStr_0(LONG_PTR window, const u16* text);
QEL_EDIT_API void edit_AppendStr_1(LONG_PTR window, const u16* text, int32_t maxLines);
QEL_EDIT_API u16* edit_GetText_0(LONG_PTR window);
QEL_EDIT_API u16* edit_GetText_1(LONG_PTR window, uint32_t a, uint32_t b);
QEL_EDIT_API int32_t edit_GetNumberOfLines(LONG_PTR window);

// Positions and selection.
QEL_EDIT_API uint32_t edit_GetPos_0(LONG_PTR window);
QEL_EDIT_API void edit_GetPos_1(LONG_PTR window, int32_t* line, int32_t* column);
QEL_EDIT_API int32_t edit_GotoPos(LONG_PTR window, uint32_t position);
QEL_EDIT_API int32_t edit_GotoLinePos(LONG_PTR window, int32_t line, int32_t column);
QEL_EDIT_API int32_t edit_GotoLine(LONG_PTR window, int32_t line);
QEL_EDIT_API uint32_t edit_CoordToPos(LONG_PTR window, uint32_t line, uint32_t column);
QEL_EDIT_API int32_t edit_SetSelection(LONG_PTR window, uint32_t from, uint32_t to);
QEL_EDIT_API void edit_GetSelection(LONG_PTR window, uint32_t* from, uint32_t* to);
QEL_EDIT_API void edit_SelectCurLine(LONG_PTR window);
QEL_EDIT_API int32_t edit_SelectWord(LONG_PTR window);  // 0 when no word at the caret
// The positions [start, end) of the word at (line, column): 6909 for a line
// outside 1 .. line count, 6908 unformable; fails when there is no word.
QEL_EDIT_API void edit_BoundWord(LONG_PTR window, uint32_t line, uint32_t column, uint32_t* start,
                                 uint32_t* end);
// The word at the caret, and the word just before a "::" in front of it
// (empty without one); fails when there is no word at the caret.
QEL_EDIT_API void edit_GetWordWithClass(LONG_PTR window, u16** classPart, u16** word);
// Position under a point (6903 above the text, 6908 unformable) and the
// position of a line's first non-blank (6908).
QEL_EDIT_API uint32_t edit_GetPointPos(LONG_PTR window, QEL_KWI::pnt_struct* point, int32_t* column,
                                       int32_t* line);
QEL_EDIT_API uint32_t edit_GetLineOffset(LONG_PTR window, int32_t line);
QEL_EDIT_API int32_t edit_PasteStr_0(LONG_PTR window, uint32_t position, const u16* text);

// Editing commands: 6910 in a read-only editor.
QEL_EDIT_API void edit_Char(LONG_PTR window, uint16_t ch);
QEL_EDIT_API void edit_Enter(LONG_PTR window);
QEL_EDIT_API void edit_Del(LONG_PTR window);
QEL_EDIT_API void edit_Backspace(LONG_PTR window);
QEL_EDIT_API void edit_DelLeftWord(LONG_PTR window);
QEL_EDIT_API void edit_DelRightWord(LONG_PTR window);
QEL_EDIT_API void edit_DelToStartOfLine(LONG_PTR window);
QEL_EDIT_API void edit_DelToEndOfLine(LONG_PTR window);
QEL_EDIT_API void edit_DeleteLine(LONG_PTR window);
QEL_EDIT_API void edit_Delete(LONG_PTR window);
QEL_EDIT_API void edit_Cut(LONG_PTR window);
QEL_EDIT_API void edit_Copy(LONG_PTR window);  // no read-only check
QEL_EDIT_API void edit_Paste(LONG_PTR window);
QEL_EDIT_API void edit_Undo(LONG_PTR window);
QEL_EDIT_API void edit_Redo(LONG_PTR window);
QEL_EDIT_API void edit_UpperCase(LONG_PTR window);
QEL_EDIT_API void edit_LowerCase(LONG_PTR window);
QEL_EDIT_API void edit_ReverseCase(LONG_PTR window);

// Caret movement (a selection-change undo entry when the caret moved).
QEL_EDIT_API void edit_Left(LONG_PTR window);
QEL_EDIT_API void edit_Right(LONG_PTR window);
QEL_EDIT_API void edit_Up(LONG_PTR window);
QEL_EDIT_API void edit_Down(LONG_PTR window);
QEL_EDIT_API void edit_PgUp(LONG_PTR window);
QEL_EDIT_API void edit_PgDn(LONG_PTR window);
QEL_EDIT_API void edit_WordLeft(LONG_PTR window);
QEL_EDIT_API void edit_WordRight(LONG_PTR window);
QEL_EDIT_API void edit_LineHome(LONG_PTR window);
QEL_EDIT_API void edit_LineEnd(LONG_PTR window);
QEL_EDIT_API void edit_FileHome(LONG_PTR window);
QEL_EDIT_API void edit_FileEnd(LONG_PTR window);

// Modes.
QEL_EDIT_API void edit_SetReadOnly_0(LONG_PTR window, int32_t on);
QEL_EDIT_API void edit_SetReadOnly_1(LONG_PTR window, int32_t* on);
// Turns word wrap on or off; fails for an editor without word-wrap support.
QEL_EDIT_API void edit_SetWrap(LONG_PTR window, int32_t on);
QEL_EDIT_API void edit_SetInsert(LONG_PTR window, int32_t on);
QEL_EDIT_API int32_t edit_GetInsert(LONG_PTR window);
QEL_EDIT_API void edit_SetIndent(LONG_PTR window, int32_t on);
QEL_EDIT_API int32_t edit_GetIndent(LONG_PTR window);
QEL_EDIT_API void edit_Suspend(LONG_PTR window);
QEL_EDIT_API void edit_Resume(LONG_PTR window);

// Status line.
QEL_EDIT_API void edit_StatusLineShow(LONG_PTR window, int32_t show);
QEL_EDIT_API void edit_SetStatusLineCaptions(LONG_PTR window, const u16* insert, const u16* overwrite,
                                             const u16* indent, const u16* noIndent, const u16* wrap,
                                             const u16* unWrap, const u16* modified, const u16* readOnly);
QEL_EDIT_API void edit_SetStatusLineCaptionsOffsets(LONG_PTR window, uint32_t insertX, uint32_t indentX,
                                                    uint32_t wrapX, uint32_t stateX);
QEL_EDIT_API void edit_SetStatusLineColor(LONG_PTR window, int32_t fore, int32_t back);
QEL_EDIT_API void edit_SetStatusLineFont(LONG_PTR window, uint8_t* font);

// Caret and view.
QEL_EDIT_API void edit_CaretShow(LONG_PTR window, int32_t on);
QEL_EDIT_API void edit_CaretHighlight(LONG_PTR window);
QEL_EDIT_API void edit_InvalidateLine(LONG_PTR window, int32_t line);
QEL_EDIT_API QEL_KWI::pnt_struct* edit_GetCaretPoint(LONG_PTR window);
QEL_EDIT_API int32_t edit_GetLineHeight(LONG_PTR window);
QEL_EDIT_API int32_t edit_GetLastLineHeight(LONG_PTR window);
QEL_EDIT_API void edit_SetTitle(LONG_PTR window, const u16* text);

// Undo state.
QEL_EDIT_API void edit_PossibleUnDoReDo(LONG_PTR window, int32_t* undo, int32_t* redo);
QEL_EDIT_API int32_t edit_IsModified(LONG_PTR window);
QEL_EDIT_API void edit_ClearModified(LONG_PTR window);
QEL_EDIT_API void edit_SetModified(LONG_PTR window);
QEL_EDIT_API void edit_ClearUndoList(LONG_PTR window);

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
// The font chooser started from the window's font; the chosen font becomes
// the window's (the editor measures it anew).  Fails when cancelled.
QEL_EDIT_API void edit_SetFontDlg(LONG_PTR window);

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
// The resource for a bookmark type (low 16 bits): a bitmap of the
// application module, stretched into the row's mark, or an icon drawn at its
// top left; 0 or any other id for the default mark.
using BookmarkHandler = uint32_t (*)(uint32_t type);
QEL_EDIT_API void edit_BookmarkSetTypeForLine(LONG_PTR window, int32_t line, uint16_t type);
QEL_EDIT_API uint16_t edit_BookmarkGetTypeForLine(LONG_PTR window, int32_t line);
// Every line whose type holds all bits of mask (0: every line), in line order.
QEL_EDIT_API bmlist_struct* edit_BookmarkGetList(LONG_PTR window, uint16_t mask);
QEL_EDIT_API void edit_BookmarkClearAll(LONG_PTR window);
QEL_EDIT_API void edit_BookmarkSetHandler(BookmarkHandler handler);
// The left margin: `margin` pixels plus 4 before the text; the bookmark
// strip shown (margin 16) or hidden (margin 0); the strip repainted now.
QEL_EDIT_API void edit_SetLeftMargin(LONG_PTR window, uint32_t margin);
QEL_EDIT_API void edit_UpdateLeftMargin(LONG_PTR window);
QEL_EDIT_API void edit_BookmarkShow(LONG_PTR window);
QEL_EDIT_API void edit_BookmarkHide(LONG_PTR window);
QEL_EDIT_API void edit_SetCursorToLine(LONG_PTR window, int32_t line, int32_t color);
QEL_EDIT_API void edit_SetCursorNone(LONG_PTR window);

// Line colours by the application: while on, each painted row sends user
// event 10005 with a margin_event_struct (the margin filled with the
// background before), then 10004 with its line number before each run and
// before the fill behind the text; a non-zero answer means the application
// has set the brush, pen and text colour for it (selected text keeps the
// editor's).  The window is repainted on every change.
struct margin_event_struct {
  int32_t kind;     // 1
  int32_t top;      // the row's top y
  int32_t xOffset;  // where the text's x starts relative to the margin: -scrollX
  int32_t line;
};
static_assert(sizeof(margin_event_struct) == 16 && offsetof(margin_event_struct, line) == 12);
QEL_EDIT_API void edit_EnableSetLineColor(LONG_PTR window, int32_t on);

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

// Colouring.  A colour type is a colour code plus 1 (1..22); a scheme 0..4.
// Either out of range raises 6912 and changes nothing.  A colour of
// 0x1000000 stands for the system colour.
struct color_type_struct {
  int32_t type;
};
struct color_settings_struct {
  uint32_t fore;
  uint32_t back;
  uint32_t style;  // font styles: 1 bold, 2 italic, 4 underline
};
QEL_EDIT_API color_settings_struct* edit_GetColorSettings(const color_type_struct* type, int32_t scheme);
QEL_EDIT_API void edit_SetColorSettings(const color_type_struct* type, int32_t scheme,
                                        const color_settings_struct* settings);
// File extensions and their schemes.  Merging stops at the table's 127th
// entry or at an extension longer than 127 characters; a scheme outside
// 0..4 raises 6912 (the elements before it stay merged).  The list read
// back names every entry whose scheme is not 4, the newest first.
struct assoc_struct {
  const u16* extension;
  int32_t scheme;
};
struct _assoc_list {
  uintptr_t functor;
  assoc_struct* value;
  _assoc_list* next;
};
QEL_EDIT_API void edit_SetAssociations(const _assoc_list* list);
QEL_EDIT_API _assoc_list* edit_GetAssociations();
// An editor's scheme (6912 unless 0..4); its keywords are rebuilt.
QEL_EDIT_API void edit_SetColoring(LONG_PTR window, int32_t scheme);
// The keyword list of scheme 3: up to 51 words, each cut to 14 characters.
QEL_EDIT_API void edit_SetKeyWords(const QEL_KWI::slist_struct* words, int32_t exact);

}  // namespace QEL_EDIT
