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
