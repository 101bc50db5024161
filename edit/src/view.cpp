// View requests of the editing core, through the GUI layer.  The record
// keeps the scroll-bar range and positions it last set, so a request that
// changes nothing costs nothing (the layer redraws a visible bar on every
// set); without a window only the record is updated.
#include "view.h"

#include <algorithm>

#include "qel6kernel.h"
#include "settings.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;

namespace {

int32_t Bottom(EditorRecord* ed) { return ed->clientHeight; }

}  // namespace

void RedrawLines(EditorRecord* ed, int32_t from, int32_t to) {
  if (!ed->window) return;
  if (from > to) std::swap(from, to);
  rect_struct r{ed->bookmarksShown ? 16 : 0, ed->lineHeight * (from - ed->topLine) + ed->topMargin - 2,
                ed->clientWidth, ed->lineHeight * (to - ed->topLine + 1) + ed->topMargin};
  r.top = std::max(r.top, 0);
  r.bottom = std::min(r.bottom, Bottom(ed));
  if (r.bottom <= r.top) return;
  win_Invalidate_1(ed->window, &r);
}

void RedrawFrom(EditorRecord* ed, int32_t line) { RedrawLines(ed, line, ed->topLine + ed->visibleRows); }

void InvalidateAll(EditorRecord* ed) {
  if (!ed->window) return;
  win_Invalidate_0(ed->window);
}

void ScrollRows(EditorRecord* ed, int32_t fromRow, int32_t dy) {
  if (!ed->window) return;
  rect_struct r{0, ed->topMargin + (fromRow - 1) * ed->lineHeight, ed->clientWidth, Bottom(ed)};
  if (r.bottom <= r.top) return;
  win_Scroll(ed->window, &r, 0, dy);
}

void InvalidateStatus(EditorRecord* ed) {
  if (!ed->statusWindow) return;
  win_Invalidate_0(ed->statusWindow);
}

void RefreshStatusPos(EditorRecord* ed) {
  if (!ed->statusWindow || !ed->topMargin || ed->suspended) return;
  win_Invalidate_0(ed->statusWindow);
}

void SetVScrollRange(EditorRecord* ed, int32_t max) {
  if (ed->vScrollMax == max) return;
  ed->vScrollMax = max;
  if (ed->window) win_SetScrollRange(ed->window, 1, 0, max);
}

void SetVScrollPos(EditorRecord* ed, int32_t pos) {
  if (ed->vScrollPos == pos) return;
  ed->vScrollPos = pos;
  if (ed->window) win_SetScrollPos(ed->window, 1, pos);
}

void SetHScrollPos(EditorRecord* ed, int32_t pos) {
  if (ed->hScrollPos == pos) return;
  ed->hScrollPos = pos;
  if (ed->window && ed->hasHScroll) win_SetScrollPos(ed->window, 0, pos);
}

void UpdateVScrollRange(EditorRecord* ed) {
  SetVScrollRange(ed, std::max(0, ed->LineCount() - static_cast<int32_t>(ed->visibleRows)));
}

int32_t ExpandedColumns(EditorRecord* ed, const wchar_t* text, int32_t count) {
  int32_t col = 0;
  bool inRun = false;
  for (int32_t i = 0; i < count && text[i]; ++i) {
    if (ed->hyperMode && HiddenStep(text[i], &inRun)) continue;
    col = text[i] == L'\t' ? (col / settings.tabSize + 1) * settings.tabSize : col + 1;
  }
  return col;
}

int32_t TextWidth(EditorRecord* ed, const wchar_t* text, int32_t count) {
  const int32_t cols = ExpandedColumns(ed, text, count);
  if (!ed->window || !ed->proportional || cols == 0) return cols * ed->charWidth;
  uint8_t* mark = K::Memory::MarkGStack();
  auto* buf = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((cols + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  int32_t n = 0;
  bool inRun = false;
  for (int32_t i = 0; i < count && text[i]; ++i) {
    if (ed->hyperMode && HiddenStep(text[i], &inRun)) continue;
    if (text[i] == L'\t') {
      const int32_t stop = (n / settings.tabSize + 1) * settings.tabSize;
      while (n < stop) buf[n++] = L' ';
    } else {
      buf[n++] = text[i];
    }
  }
  int w = 0, h = 0;
  win_GetTextExtent(ed->window, buf, n, &w, &h);
  K::Memory::ReleaseGStack(mark);
  return w;
}

int32_t ClientWidth(EditorRecord* ed) { return ed->clientWidth; }

void HideCaret(EditorRecord* ed) {
  if (!ed->window || !ed->caretVisible) return;
  if (GetFocus() != reinterpret_cast<HWND>(ed->window)) return;
  caret_Off(ed->window);
}

void PlaceCaret(EditorRecord* ed) {
  if (!ed->window || !ed->caretVisible || !ed->active) return;
  if (GetFocus() != reinterpret_cast<HWND>(ed->window)) return;
  if (ed->caretRow < 1 || ed->caretRow > ed->visibleRows) {
    caret_Off(ed->window);
    return;
  }
  const int32_t x = ed->leftMargin + ed->caretX - ed->scrollX;
  const int32_t y = ed->lineHeight * ed->caretRow + ed->topMargin;
  caret_Set(ed->window, x, y, ed->insertMode ? 2 : std::max(2, ed->charWidth), ed->lineHeight);
}

void MeasureFont(EditorRecord* ed) {
  if (!ed->window) return;
  int w = 0, h = 0;
  win_GetTextExtent(ed->window, L"W", 1, &w, &h);
  int wi = 0;
  win_GetTextExtent(ed->window, L"i", 1, &wi, &h);
  ed->charWidth = std::max(1, (w + wi) / 2);
  ed->proportional = 1;
  int acquired = 0;
  if (HDC dc = win_GetNativeGraphicContext(ed->window, &acquired)) {
    TEXTMETRICW tm;
    if (GetTextMetricsW(dc, &tm) && !(tm.tmPitchAndFamily & TMPF_FIXED_PITCH)) ed->proportional = 0;
    win_ReleaseNativeGraphicContext(ed->window, dc, acquired);
  }
  int leading = 0, ascent = 0, descent = 0;
  win_GetFontMetrics(ed->window, &leading, &ascent, &descent);
  ed->fontDescent = descent;
  // In 32 bits and at least 1: rows, paint rectangles and point-to-row divide by it.
  ed->lineHeight = std::max<int32_t>(1, ascent + descent + 1);
}

bool ComputeRows(EditorRecord* ed) {
  if (!ed->window) return false;
  rect_struct* r = win_GetClientRect(ed->window);
  ed->clientWidth = r->right - r->left;
  ed->clientHeight = r->bottom - r->top;
  const int32_t rows = std::max(0, ed->clientHeight - ed->topMargin) / ed->lineHeight;
  if (rows == 0) return false;
  const bool changed = rows != ed->visibleRows;
  ed->visibleRows = static_cast<uint16_t>(std::min(rows, 65535));
  const int32_t lc = ed->LineCount();
  if (lc < rows || lc >= ed->topLine + rows - 1) {
    while (lc < ed->topLine + rows - 1 && ed->topLine > 1) {
      --ed->topLine;
      ++ed->caretRow;
    }
  } else {
    const int32_t top = lc - rows + 1;
    ed->caretRow += ed->topLine - top;
    ed->topLine = top;
  }
  UpdateVScrollRange(ed);
  SetVScrollPos(ed, ed->topLine - 1);
  return changed;
}

}  // namespace QEL_EDIT::detail
