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
