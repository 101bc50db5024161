// Painting the plain layout's rows: the window background, each line's
// text with tabs expanded, and the selection in the highlight colours
// (filled to the right edge on lines the selection runs through).
//
// Every row that meets the rectangle is filled completely, so nothing of an
// earlier paint stays behind it.
#include <algorithm>

#include "core.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;

namespace {

void Fill(EditorRecord* ed, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) {
  if (right <= left || bottom <= top) return;
  brush_struct b{2, colour};
  pen_struct p{1, 5, colour};
  win_SetBrush(ed->window, &b);
  win_SetPen(ed->window, &p);
  rect_struct r{left, top, right + 1, bottom + 1};
  draw_Rect(ed->window, &r);
}

// The line's text with tabs expanded and hidden markup left out.
wchar_t* Expanded(EditorRecord* ed, const LineText& t, int32_t* n) {
  const int32_t cols = ExpandedColumns(ed, t.text, static_cast<int32_t>(t.length));
  auto* buf = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((cols + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  int32_t k = 0;
  bool inRun = false;
  for (uint32_t i = 0; i < t.length; ++i) {
    if (ed->hyperMode && HiddenStep(t.text[i], &inRun)) continue;
    if (t.text[i] == L'\t') {
      const int32_t stop = (k / settings.tabSize + 1) * settings.tabSize;
      while (k < stop) buf[k++] = L' ';
    } else {
      buf[k++] = t.text[i];
    }
  }
  buf[k] = 0;
  *n = k;
  return buf;
}

// Pixel width of the first `cols` display columns of an expanded text.
int32_t Width(EditorRecord* ed, const wchar_t* expanded, int32_t cols) {
  if (cols <= 0) return 0;
  if (!ed->proportional) return cols * ed->charWidth;
  int w = 0, h = 0;
  win_GetTextExtent(ed->window, expanded, cols, &w, &h);
  return w;
}

}  // namespace

void PaintRows(EditorRecord* ed, const rect_struct& r) {
  if (!ed->window || ed->suspended || !ed->active) return;
  const uint32_t back = static_cast<uint32_t>(kwi_GetAttrVal(121));
  const uint32_t fore = static_cast<uint32_t>(kwi_GetAttrVal(123));
  const uint32_t selBack = static_cast<uint32_t>(kwi_GetAttrVal(113));
  const uint32_t selFore = static_cast<uint32_t>(kwi_GetAttrVal(114));
  const int32_t h = ed->lineHeight;
  const int32_t right = std::max<int32_t>(r.right, ed->clientWidth);
  // Selection ends in order.
  const Selection& s = ed->selection;
  int32_t l1 = s.anchorLine, c1 = s.anchorCol, l2 = s.caretLine, c2 = s.caretCol;
  if (PositionNotBefore(c1, l1, c2, l2)) {
    std::swap(l1, l2);
    std::swap(c1, c2);
  }
  const bool selected = s.active && !(l1 == l2 && c1 == c2);
  const int32_t firstRow = std::max(1, (r.top - ed->topMargin) / h + 1);
  const int32_t lastRow = (r.bottom - ed->topMargin) / h + 1;
  win_SetBackMode(ed->window, 1);
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    const int32_t top = ed->topMargin + (row - 1) * h;
    const int32_t line = ed->topLine + row - 1;
    Fill(ed, r.left, top, right, top + h - 1, back);
    if (line > ed->LineCount()) continue;
    uint8_t* mark = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, line);
    int32_t n = 0;
    wchar_t* text = Expanded(ed, t, &n);
    const int32_t x0 = ed->leftMargin - ed->scrollX;
    const int32_t base = top + h - 1 - ed->fontDescent;
    win_SetForeColor(ed->window, fore);
    if (n > 0) draw_Text(ed->window, x0, base, text, n);
    if (selected && line >= l1 && line <= l2) {
      const int32_t from = line == l1 ? ExpandedColumns(ed, t.text, static_cast<int32_t>(ed->store.RawIndexOfVisible(t.text, c1))) : 0;
      const int32_t to = line == l2 ? ExpandedColumns(ed, t.text, static_cast<int32_t>(ed->store.RawIndexOfVisible(t.text, c2))) : n;
      const int32_t xs = x0 + Width(ed, text, from);
      const int32_t xe = line == l2 ? x0 + Width(ed, text, to) : right;
      Fill(ed, xs, top, xe, top + h - 1, selBack);
      if (to > from) {
        win_SetForeColor(ed->window, selFore);
        draw_Text(ed->window, xs, base, text + from, to - from);
      }
    }
    K::Memory::ReleaseGStack(mark);
  }
}

}  // namespace QEL_EDIT::detail
