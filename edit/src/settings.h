// Process-wide settings of the editor library, shared by every editor.
#pragma once

#include <cstdint>

namespace QEL_EDIT::detail {

struct Settings {
  int32_t tabSize = 4;
  int32_t indentSize = 4;
  int32_t tabMode = 0;
};
extern Settings settings;

// Error codes of the library.
enum ErrorCode : uint32_t {
  err_notEditor = 6900,
  err_markup = 6901,
  err_storeFull = 6902,
  err_position = 6903,
  err_noUndo = 6904,
  err_noRedo = 6905,
  err_unformable = 6908,
  err_line = 6909,
  err_readOnly = 6910,
  err_size = 6911,
  err_scheme = 6912,
  err_windowType = 6001,
};

[[noreturn]] void Raise(ErrorCode code);

}  // namespace QEL_EDIT::detail
