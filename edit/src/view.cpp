// View requests of the editing core, through the GUI layer.  The record
// keeps the scroll-bar range and positions it last set, so a request that
// changes nothing costs nothing (the layer redraws a visible bar on every
// set); without a window only the record is updated.
#include "view.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "lexer.h"
#include "qel6kernel.h"
#include "settings.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;

namespace {

int32_t Bottom(EditorRecord* ed) { return ed->clientHeight; }

bool Batched(EditorRecord* ed) {
  if (!ed->batchDepth) return false;
  ed->batchInvalid = 1;
  return true;
}

}  // namespace

void BeginBatch(EditorRecord* ed) { ++ed->batchDepth; }

void EndBatch(EditorRecord* ed) {
  if (--ed->batchDepth > 0) return;
  FlushScrollBars(ed);
  // A hidden window is painted whole when it is shown.
  if (ed->batchInvalid && ed->window && IsWindowVisible(reinterpret_cast<HWND>(ed->window)))
    win_Invalidate_0(ed->window);
  ed->batchInvalid = 0;
}

void Recolour(EditorRecord* ed, int32_t from, int32_t to) {
  if (ed->wrappable || !ed->colorBuffer || !ed->window) return;
  from = std::max(from, 1);
  if (from > ed->LineCount()) return;
  uint32_t state = from > 1 ? ed->store.GetLineState(ed->store.FindLine(from - 1)) : 0;
  for (int32_t l = from; l <= ed->LineCount(); ++l) {
    uint8_t* mark = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, l);
    ColourLine(ed, t.text, static_cast<ColourRun*>(ed->colorBuffer), &state, true);
    const uint32_t old = ed->store.GetLineState(t.ref);
    ed->store.SetLineState(t.ref, state);
    K::Memory::ReleaseGStack(mark);
    if (l >= to && state == old) break;
  }
}

void RedrawLines(EditorRecord* ed, int32_t from, int32_t to) {
  if (from > to) std::swap(from, to);
  Recolour(ed, from, to);
  if (!ed->window || Batched(ed)) return;
  rect_struct r{ed->bookmarksShown ? 16 : 0, ed->lineHeight * (from - ed->topLine) + ed->topMargin - 2,
                ed->clientWidth, ed->lineHeight * (to - ed->topLine + 1) + ed->topMargin};
  r.top = std::max(r.top, 0);
  r.bottom = std::min(r.bottom, Bottom(ed));
  if (r.bottom <= r.top) return;
  win_Invalidate_1(ed->window, &r);
}

void RedrawFrom(EditorRecord* ed, int32_t line) { RedrawLines(ed, line, ed->topLine + ed->visibleRows); }

void InvalidateAll(EditorRecord* ed) {
  if (!ed->window || Batched(ed)) return;
  win_Invalidate_0(ed->window);
}

void ScrollRows(EditorRecord* ed, int32_t fromRow, int32_t dy) {
  if (!ed->window || Batched(ed)) return;
  rect_struct r{0, ed->topMargin + (fromRow - 1) * ed->lineHeight, ed->clientWidth, Bottom(ed)};
  if (r.bottom <= r.top) return;
  win_Scroll(ed->window, &r, 0, dy);
}

// The status line is drawn whole when a hidden editor is shown, so only a
// visible one is invalidated (each invalidation is a round trip).
bool StatusShown(EditorRecord* ed) {
  return ed->statusWindow && IsWindowVisible(reinterpret_cast<HWND>(ed->window));
}

void InvalidateStatus(EditorRecord* ed) {
  if (!StatusShown(ed)) return;
  win_Invalidate_0(ed->statusWindow);
}

void RefreshStatusPos(EditorRecord* ed) {
  if (!ed->topMargin || ed->suspended || !StatusShown(ed)) return;
  int bx = 0, by = 0;
  kwi_GetBaseUnits(&bx, &by);
  rect_struct r{0, 0, ed->leftMargin + 15 * bx, ed->topMargin};
  win_Invalidate_1(ed->statusWindow, &r);
}

void FlushScrollBars(EditorRecord* ed) {
  if (!ed->window || ed->batchDepth) return;
  if (ed->shownVMax != ed->vScrollMax) {
    ed->shownVMax = ed->vScrollMax;
    win_SetScrollRange(ed->window, 1, 0, ed->vScrollMax);
  }
  if (ed->shownVPos != ed->vScrollPos) {
    ed->shownVPos = ed->vScrollPos;
    win_SetScrollPos(ed->window, 1, ed->vScrollPos);
  }
  if (ed->hasHScroll && ed->shownHPos != ed->hScrollPos) {
    ed->shownHPos = ed->hScrollPos;
    win_SetScrollPos(ed->window, 0, ed->hScrollPos);
  }
}

void SetVScrollRange(EditorRecord* ed, int32_t max) {
  ed->vScrollMax = max;
  FlushScrollBars(ed);
}

void SetVScrollPos(EditorRecord* ed, int32_t pos) {
  ed->vScrollPos = pos;
  FlushScrollBars(ed);
}

void SetHScrollPos(EditorRecord* ed, int32_t pos) {
  ed->hScrollPos = pos;
  FlushScrollBars(ed);
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

int32_t PieceWidth(EditorRecord* ed, const wchar_t* text, int32_t count, int32_t startCol) {
  const bool table = ed->window && ed->proportional && ed->charWidths;
  const int32_t space = table ? ed->charWidths[L' '] : ed->charWidth;
  int32_t col = startCol, x = 0;
  bool inRun = false;
  for (int32_t i = 0; i < count && text[i]; ++i) {
    if (ed->hyperMode && HiddenStep(text[i], &inRun)) continue;
    if (text[i] == L'\t') {
      // A TAB is spaces to its stop.
      const int32_t stop = (col / settings.tabSize + 1) * settings.tabSize;
      x += (stop - col) * space;
      col = stop;
    } else {
      x += table ? ed->charWidths[static_cast<uint16_t>(text[i])] : ed->charWidth;
      ++col;
    }
  }
  return x;
}

int32_t TextWidth(EditorRecord* ed, const wchar_t* text, int32_t count) { return PieceWidth(ed, text, count, 0); }

int32_t ClientWidth(EditorRecord* ed) { return ed->clientWidth; }

// The caret stays created while the editor has the focus: hiding and
// moving it cost the window system a round trip each, making it anew (the
// GUI layer's caret_Set) several.  caretSetW is 0 while none of ours exists.
void HideCaret(EditorRecord* ed) {
  if (!ed->window || !ed->caretShown) return;
  ed->caretShown = 0;
  ::HideCaret(reinterpret_cast<HWND>(ed->window));
}

void DropCaret(EditorRecord* ed) {
  if (!ed->window) return;
  ed->caretShown = 0;
  ed->caretSetW = 0;
  caret_Off(ed->window);
}

void PlaceCaret(EditorRecord* ed) {
  if (!ed->window || !ed->caretVisible || !ed->active || !ed->hasFocus) return;
  if (ed->caretRow < 1 || ed->caretRow > ed->visibleRows) {
    HideCaret(ed);
    return;
  }
  const int32_t x = ed->leftMargin + ed->caretX - ed->scrollX;
  const int32_t y = ed->lineHeight * ed->caretRow + ed->topMargin;
  const int32_t w = ed->insertMode ? 2 : std::max(2, ed->charWidth);
  const HWND hwnd = reinterpret_cast<HWND>(ed->window);
  if (ed->caretSetW == w && ed->caretSetH == ed->lineHeight) {
    if (ed->caretSetX != x || ed->caretSetY != y) SetCaretPos(x, y - ed->lineHeight);
    if (!ed->caretShown) ::ShowCaret(hwnd);
  } else {
    caret_Set(ed->window, x, y, w, ed->lineHeight);
  }
  ed->caretShown = 1;
  ed->caretSetX = x;
  ed->caretSetY = y;
  ed->caretSetW = w;
  ed->caretSetH = ed->lineHeight;
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
    if (ed->proportional) {
      // One table of the font's widths instead of an extent per measure.
      if (!ed->charWidths) ed->charWidths = static_cast<uint16_t*>(std::malloc(65536 * sizeof(uint16_t)));
      std::vector<INT> widths(65536);
      if (ed->charWidths && GetCharWidth32W(dc, 0, 0xFFFF, widths.data())) {
        for (int i = 0; i < 65536; ++i) ed->charWidths[i] = static_cast<uint16_t>(std::clamp(widths[i], 0, 65535));
      } else {
        std::free(ed->charWidths);
        ed->charWidths = nullptr;
      }
    }
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
