// View requests of the editing core.  The record keeps the scroll-bar range
// and positions it last set, so a request that changes nothing costs
// nothing; without a window only the record is updated.
#include "view.h"

#include <algorithm>

#include "settings.h"

namespace QEL_EDIT::detail {

void RedrawLines(EditorRecord* ed, int32_t from, int32_t to) {
  if (!ed->window) return;
}

void RedrawFrom(EditorRecord* ed, int32_t line) { RedrawLines(ed, line, ed->topLine + ed->visibleRows); }

void InvalidateAll(EditorRecord* ed) {
  if (!ed->window) return;
}

void ScrollRows(EditorRecord* ed, int32_t fromRow, int32_t dy) {
  if (!ed->window) return;
}

void InvalidateStatus(EditorRecord* ed) {
  if (!ed->statusWindow) return;
}

void RefreshStatusPos(EditorRecord* ed) {
  if (!ed->statusWindow) return;
}

void SetVScrollRange(EditorRecord* ed, int32_t max) {
  if (ed->vScrollMax == max) return;
  ed->vScrollMax = max;
}

void SetVScrollPos(EditorRecord* ed, int32_t pos) {
  if (ed->vScrollPos == pos) return;
  ed->vScrollPos = pos;
}

void SetHScrollPos(EditorRecord* ed, int32_t pos) {
  if (ed->hScrollPos == pos) return;
  ed->hScrollPos = pos;
}

void UpdateVScrollRange(EditorRecord* ed) {
  SetVScrollRange(ed, std::max(0, ed->LineCount() - static_cast<int32_t>(ed->visibleRows)));
}

int32_t TextWidth(EditorRecord* ed, const wchar_t* text, int32_t count) {
  int32_t col = 0;
  bool inRun = false;
  for (int32_t i = 0; i < count && text[i]; ++i) {
    if (ed->hyperMode && HiddenStep(text[i], &inRun)) continue;
    col = text[i] == L'\t' ? (col / settings.tabSize + 1) * settings.tabSize : col + 1;
  }
  return col * ed->charWidth;
}

int32_t ClientWidth(EditorRecord* ed) { return ed->clientWidth; }

}  // namespace QEL_EDIT::detail
