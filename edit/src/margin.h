// The left margin's bookmark strip and marks.
#pragma once

#include "record.h"

namespace QEL_EDIT::detail {

// Draws the strip and the marks of rows firstRow..lastRow (nothing unless
// the strip is shown).
void PaintMargin(EditorRecord* ed, int32_t firstRow, int32_t lastRow);

}  // namespace QEL_EDIT::detail
