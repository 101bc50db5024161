// The status line of an editor window.
#pragma once

#include "record.h"

namespace QEL_EDIT::detail {

// Creates the status window (first load): colours, field offsets, window.
void MakeStatusLine(EditorRecord* ed);
// Frees the captions set through the export (defaults are not copies).
void FreeStatusCaptions(EditorRecord* ed);

}  // namespace QEL_EDIT::detail
