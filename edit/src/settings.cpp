// Process-wide settings: tab size, indent size and tab mode (sizes stay
// positive).
#include "settings.h"

#include "qel6edit.h"
#include "qel6kernel.h"

namespace QEL_EDIT {
namespace detail {

Settings settings;

void Raise(ErrorCode code) { Qel::RunTime::Kernel::Errors::Qel_ErrorExit(code); }

}  // namespace detail

using namespace detail;

void edit_SetTabSize_0(int32_t size) {
  if (size <= 0) Raise(err_size);
  settings.tabSize = size;
}
int32_t edit_GetTabSize() { return settings.tabSize; }
void edit_IndentSize_0(int32_t size) {
  if (size <= 0) Raise(err_size);
  settings.indentSize = size;
}
void edit_IndentSize_1(int32_t* size) { *size = settings.indentSize; }
void edit_TabMode_0(int32_t mode) { settings.tabMode = mode != 0; }
void edit_TabMode_1(int32_t* mode) { *mode = settings.tabMode; }

}  // namespace QEL_EDIT
