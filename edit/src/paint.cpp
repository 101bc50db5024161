// Painting the plain layout's rows: the window background, each line's
// text with tabs expanded, and the selection in the highlight colours
// (filled to the right edge on lines the selection runs through).
//
// Every row that meets the rectangle is filled completely, so nothing of an
// earlier paint stays behind it.
#include <algorithm>

#include "colors.h"
#include "core.h"
#include "lexer.h"
#include "margin.h"
#include "paintruns.h"
#include "qel6edit.h"
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

// Draws `n` raw characters of a line from display column `col` at x; tabs
// become spaces to their stops.  Returns the display column after them.
int32_t DrawPiece(EditorRecord* ed, const wchar_t* text, int32_t n, int32_t col, int32_t x, int32_t base) {
  uint8_t* mark = K::Memory::MarkGStack();
  const int32_t cols = ExpandedColumns(ed, text, n) + settings.tabSize;
  auto* buf = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((cols + col % settings.tabSize + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  int32_t k = 0, c = col;
  for (int32_t i = 0; i < n; ++i) {
    if (text[i] == L'\t') {
      const int32_t stop = (c / settings.tabSize + 1) * settings.tabSize;
      while (c < stop) {
        buf[k++] = L' ';
        ++c;
      }
    } else {
      buf[k++] = text[i];
      ++c;
    }
  }
  if (k > 0) draw_Text(ed->window, x, base, buf, k);
  K::Memory::ReleaseGStack(mark);
  return c;
}

// With the brush and pen the application has set.
void FillWithTools(EditorRecord* ed, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (right <= left || bottom <= top) return;
  rect_struct r{left, top, right + 1, bottom + 1};
  draw_Rect(ed->window, &r);
}

// Asked before each run of a line: non-zero when the application has set the
// brush, pen and colours itself.
bool AppColours(EditorRecord* ed, int32_t line) {
  event_struct e{};
  e.kind = e_user;
  e.w[0] = 10004;
  e.w[1] = line;
  return win_SendEvent(ed->window, &e) != 0;
}

// The application colours the row's margin itself.
void SendMarginEvent(EditorRecord* ed, int32_t top, int32_t line) {
  auto* m = reinterpret_cast<margin_event_struct*>(K::Memory::AllocGStack(sizeof(margin_event_struct)));
  *m = {1, top, -ed->scrollX, line};
  event_struct e{};
  e.kind = e_user;
  e.w[0] = 10005;
  e.w[1] = reinterpret_cast<LONG_PTR>(m);
  win_SendEvent(ed->window, &e);
}

}  // namespace

void PaintRows(EditorRecord* ed, const rect_struct& r) {
  if (!ed->window || ed->suspended || !ed->active) return;
  const int32_t h = ed->lineHeight;
  const int32_t right = std::max<int32_t>(r.right, ed->clientWidth);
  const SystemColours system = CurrentSystemColours();
  const int32_t scheme = ed->wrappable ? 4 : ed->colorScheme;
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
  auto* runs = static_cast<ColourRun*>(ed->colorBuffer);
  win_SetBackMode(ed->window, 1);
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    const int32_t top = ed->topMargin + (row - 1) * h;
    const int32_t line = ed->topLine + row - 1;
    if (line > ed->LineCount() || !runs) {
      Fill(ed, r.left, top, right, top + h - 1, LookOf(scheme, cc_fill, system).back);
      continue;
    }
    uint8_t* mark = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, line);
    uint32_t state = line > 1 ? ed->store.GetLineState(ed->store.FindLine(line - 1)) : 0;
    ColourLine(ed, t.text, runs, &state, true);
    int32_t selStart = 0, selEnd = 0;
    if (selected && line >= l1 && line <= l2) {
      selStart = line == l1 ? static_cast<int32_t>(ed->store.RawIndexOfVisible(t.text, c1)) + 1 : 1;
      selEnd = line == l2 ? static_cast<int32_t>(ed->store.RawIndexOfVisible(t.text, c2)) + 1
                          : static_cast<int32_t>(t.length) + 2;
    }
    const int32_t base = top + h - 1 - ed->fontDescent;
    int32_t x = ed->leftMargin - ed->scrollX, col = 0, pos = 0;
    Fill(ed, r.left, top, x, top + h - 1, LookOf(scheme, cc_fill, system).back);
    if (ed->lineColorEnabled) SendMarginEvent(ed, top, line);
    for (ColourRun* run = PaintRuns(runs, scheme, static_cast<int32_t>(t.length) + 1, selStart, selEnd);
         run->length > 0; ++run) {
      const Look look = LookOf(scheme, run->code, system);
      if (run->code == cc_fill || run->code == cc_selectedFill) continue;  // behind the text: below
      const int32_t n = std::min<int32_t>(run->length, static_cast<int32_t>(t.length) - pos);
      if (n <= 0) continue;
      const int32_t w = PieceWidth(ed, t.text + pos, n, col);
      if (ed->lineColorEnabled && AppColours(ed, line) && run->code != cc_selection) {
        FillWithTools(ed, x, top, x + w, top + h - 1);
      } else {
        Fill(ed, x, top, x + w, top + h - 1, look.back);
        win_SetForeColor(ed->window, look.fore);
      }
      col = DrawPiece(ed, t.text + pos, n, col, x, base);
      x += w;
      pos += n;
    }
    // Behind the text: a line the selection runs through is selected to the
    // window's edge.
    const bool runsOn = selected && line >= l1 && line < l2;
    if (ed->lineColorEnabled && AppColours(ed, line) && !runsOn)
      FillWithTools(ed, x, top, right, top + h - 1);
    else
      Fill(ed, x, top, right, top + h - 1, LookOf(scheme, runsOn ? cc_selectedFill : cc_fill, system).back);
    K::Memory::ReleaseGStack(mark);
  }
  PaintMargin(ed, firstRow, lastRow);
}

}  // namespace QEL_EDIT::detail
