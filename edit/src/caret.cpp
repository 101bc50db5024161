// Caret movement, bringing into view and vertical scrolling of the plain
// layout.
//
// Every operation leaves the caret inside the text (current line 1 ..
// lineCount, column 1 .. visible length + 1), `topLine` >= 1 and the caret
// row inside the window; scroll positions follow `topLine` and `scrollX`.
#include <algorithm>

#include "core.h"
#include "paintruns.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

namespace {

int32_t CaretXOf(EditorRecord* ed, int32_t line, int32_t col) {
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  int32_t x = TextWidth(ed, t.text, static_cast<int32_t>(ed->store.RawIndexOfVisible(t.text, col)));
  K::Memory::ReleaseGStack(mark);
  return x;
}

// Invalidates the window when the view moved since (top, scrollX).
void InvalidateIfMoved(EditorRecord* ed, int32_t top, int32_t scrollX) {
  if (ed->topLine != top || ed->scrollX != scrollX) InvalidateAll(ed);
}

}  // namespace

void BringIntoView(EditorRecord* ed, int32_t line, int32_t col, int32_t preferredRow) {
  const int32_t lc = ed->LineCount();
  const int32_t vr = ed->visibleRows;
  int32_t row;
  if (lc < vr) {
    line = std::clamp(line, 1, lc);
    row = line;
  } else if (line > lc) {
    line = lc;
    row = vr;
  } else {
    line = std::max(line, 1);
    preferredRow = std::clamp(preferredRow, 1, std::min(line, vr));
    row = line >= ed->topLine && line < ed->topLine + vr ? line - ed->topLine + 1 : preferredRow;
  }
  const int32_t oldTop = ed->topLine;
  ed->topLine = line - row + 1;
  if (lc >= vr && ed->topLine + vr - 1 > lc) {
    int32_t excess = ed->topLine + vr - 1 - lc;
    ed->topLine -= excess;
    row += excess;
  }
  ed->caretRow = row;
  if (ed->topLine != oldTop) SetVScrollPos(ed, ed->topLine - 1);
  col = std::clamp(col, 1, ed->store.VisibleLength(line) + 1);
  ed->caretX = CaretXOf(ed, line, col);
  const int32_t w = ClientWidth(ed) - ed->leftMargin;
  const int32_t oldStep = ed->scrollX / 8;
  if (ed->scrollX > 0 && ed->caretX - ed->charWidth < ed->scrollX) {
    while (ed->scrollX > 0 && ed->caretX - ed->charWidth < ed->scrollX) ed->scrollX = std::max(0, ed->scrollX - 8);
  } else {
    while (ed->scrollX + w < ed->caretX + ed->charWidth) ed->scrollX += 8;
  }
  ed->caretCol = col;
  if (ed->scrollX / 8 != oldStep) {
    SetHScrollPos(ed, ed->scrollX / 8);
    InvalidateAll(ed);
  }
}

void MoveCaretTo(EditorRecord* ed, int32_t line, int32_t col) {
  BringIntoView(ed, line, col, ed->caretRow);
}

void MoveRight(EditorRecord* ed, bool select) {
  BeginSelection(ed, select);
  const int32_t top = ed->topLine, sx = ed->scrollX, cl = ed->CurrentLine();
  int32_t line = cl, col = ed->caretCol + 1, row = ed->caretRow;
  if (ed->caretCol > ed->store.VisibleLength(cl)) {
    if (cl == ed->LineCount()) {
      ExtendSelection(ed, select);
      return;
    }
    ed->scrollX = 0;
    SetHScrollPos(ed, 0);
    line = cl + 1;
    col = 1;
    row = std::min(row + 1, static_cast<int32_t>(ed->visibleRows));
  }
  BringIntoView(ed, line, col, row);
  InvalidateIfMoved(ed, top, sx);
  ExtendSelection(ed, select);
}

void MoveLeft(EditorRecord* ed, bool select) {
  BeginSelection(ed, select);
  const int32_t top = ed->topLine, sx = ed->scrollX, cl = ed->CurrentLine();
  if (cl == 1 && ed->caretCol == 1) {
    ExtendSelection(ed, select);
    return;
  }
  if (ed->caretCol == 1)
    BringIntoView(ed, cl - 1, ed->store.VisibleLength(cl - 1) + 1, std::max(1, ed->caretRow - 1));
  else
    BringIntoView(ed, cl, ed->caretCol - 1, ed->caretRow);
  InvalidateIfMoved(ed, top, sx);
  ExtendSelection(ed, select);
}

namespace {

// After a vertical move: the first column of the current line whose left
// edge is at or right of the remembered x, kept row, x restored.
void PlaceByX(EditorRecord* ed, int32_t top, int32_t sx) {
  const int32_t wantedX = ed->caretX;
  const int32_t line = ed->CurrentLine();
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  int32_t len = ed->store.VisibleLength(line);
  int32_t lo = 1, hi = len + 1;  // first column with left edge >= wantedX
  while (lo < hi) {
    int32_t mid = (lo + hi) / 2;
    int32_t x = TextWidth(ed, t.text, static_cast<int32_t>(ed->store.RawIndexOfVisible(t.text, mid)));
    if (x >= wantedX) hi = mid;
    else lo = mid + 1;
  }
  K::Memory::ReleaseGStack(mark);
  BringIntoView(ed, line, lo, ed->caretRow);
  ed->caretX = wantedX;
  InvalidateIfMoved(ed, top, sx);
}

}  // namespace

void VerticalScroll(EditorRecord* ed, int32_t code, int32_t position) {
  const bool key = position == -1;
  const int32_t top = ed->topLine, sx = ed->scrollX;
  const int32_t vr = ed->visibleRows, lc = ed->LineCount();
  const int32_t rowHeight = ed->lineHeight;
  switch (code) {
    case 1:
      if (ed->topLine >= 2) {
        --ed->topLine;
        SetVScrollPos(ed, ed->topLine - 1);
        ScrollRows(ed, 1, rowHeight);
        if (!key) ++ed->caretRow;
      }
      break;
    case 2:
      if (lc >= vr + ed->topLine) {
        ++ed->topLine;
        SetVScrollPos(ed, ed->topLine - 1);
        ScrollRows(ed, 1, -rowHeight);
        if (!key) --ed->caretRow;
      }
      break;
    case 3:
      if (ed->topLine == 1) {
        ed->caretRow = 1;
      } else if (ed->topLine > vr + 1) {
        ed->topLine -= vr;
        if (!key) ed->caretRow += vr;
      } else {
        if (!key) ed->caretRow += ed->topLine - 1;
        ed->topLine = 1;
      }
      SetVScrollPos(ed, ed->topLine - 1);
      InvalidateAll(ed);
      break;
    case 4: {
      const int32_t cl = ed->CurrentLine();
      const bool caretVisible = ed->caretRow >= 1 && ed->caretRow <= vr;
      if (caretVisible && (cl == lc || ed->topLine + vr - 1 >= lc)) break;
      if (ed->topLine + 2 * vr - 1 < lc) {
        ed->topLine += vr;
        if (!key) ed->caretRow -= vr;
      } else {
        int32_t newTop = std::max(1, lc - vr + 1);
        if (key) ed->caretRow = lc - newTop + 1;
        else ed->caretRow -= newTop - ed->topLine;
        ed->topLine = newTop;
      }
      SetVScrollPos(ed, ed->topLine - 1);
      InvalidateAll(ed);
      break;
    }
    case 5:
    case 6:
      position = std::clamp(position, 0, std::max(0, lc - vr));
      ed->caretRow += ed->topLine - position - 1;
      ed->topLine = position + 1;
      SetVScrollPos(ed, position);
      InvalidateAll(ed);
      break;
    default: return;
  }
  // The caret keeps inside the text and the window.
  int32_t line = std::clamp(ed->CurrentLine(), 1, lc);
  ed->caretRow = std::clamp(line - ed->topLine + 1, 1, static_cast<int32_t>(vr));
  PlaceByX(ed, top, sx);
  RefreshStatusPos(ed);
}

void MoveUp(EditorRecord* ed, bool select) {
  BeginSelection(ed, select);
  const int32_t top = ed->topLine, sx = ed->scrollX;
  if (ed->caretRow > 1) {
    --ed->caretRow;
    PlaceByX(ed, top, sx);
  } else if (ed->topLine > 1) {
    VerticalScroll(ed, 1, -1);
  }
  ExtendSelection(ed, select);
}

void MoveDown(EditorRecord* ed, bool select) {
  BeginSelection(ed, select);
  const int32_t top = ed->topLine, sx = ed->scrollX, cl = ed->CurrentLine();
  if (cl == ed->LineCount()) {
    if (select) {
      BringIntoView(ed, cl, ed->store.VisibleLength(cl) + 1, ed->caretRow);
      InvalidateIfMoved(ed, top, sx);
    }
  } else if (ed->caretRow < ed->visibleRows) {
    ++ed->caretRow;
    PlaceByX(ed, top, sx);
  } else {
    VerticalScroll(ed, 2, -1);
  }
  ExtendSelection(ed, select);
}

void MoveLineHome(EditorRecord* ed, bool select) {
  BeginSelection(ed, select);
  ed->caretCol = 1;
  ed->caretX = 0;
  if (ed->scrollX > 0) {
    ed->scrollX = 0;
    SetHScrollPos(ed, 0);
    InvalidateAll(ed);
  }
  ExtendSelection(ed, select);
}

void MoveLineEnd(EditorRecord* ed, bool select) {
  BeginSelection(ed, select);
  const int32_t top = ed->topLine, sx = ed->scrollX, cl = ed->CurrentLine();
  int32_t len = ed->store.VisibleLength(cl);
  if (len > 0) {
    BringIntoView(ed, cl, len + 1, ed->caretRow);
    InvalidateIfMoved(ed, top, sx);
  }
  ExtendSelection(ed, select);
}

void MoveTextHome(EditorRecord* ed, bool select) {
  BeginSelection(ed, select);
  if (!(ed->caretRow == 1 && ed->caretCol == 1 && ed->topLine == 1 && ed->scrollX == 0)) {
    const bool moved = ed->topLine != 1 || ed->scrollX != 0;
    ed->caretRow = ed->caretCol = ed->topLine = 1;
    ed->caretX = 0;
    ed->scrollX = 0;
    if (moved) {
      SetVScrollPos(ed, 0);
      SetHScrollPos(ed, 0);
      InvalidateAll(ed);
    }
  }
  ExtendSelection(ed, select);
}

void MoveTextEnd(EditorRecord* ed, bool select) {
  BeginSelection(ed, select);
  const int32_t top = ed->topLine, sx = ed->scrollX, lc = ed->LineCount();
  const int32_t vr = ed->visibleRows;
  SetHScrollPos(ed, 0);
  ed->caretCol = 1;
  if (lc < ed->topLine + vr) {
    ed->caretRow = lc - ed->topLine + 1;
  } else {
    ed->topLine = lc - vr + 1;
    ed->caretRow = vr;
  }
  ed->scrollX = 0;
  SetVScrollPos(ed, ed->topLine - 1);
  BringIntoView(ed, lc, ed->store.VisibleLength(lc) + 1, ed->caretRow);
  InvalidateIfMoved(ed, top, sx);
  ExtendSelection(ed, select);
}

void FindWordBoundary(EditorRecord* ed, bool right, int32_t* line, int32_t* col) {
  const int32_t lc = ed->LineCount();
  bool crossed = false;
  uint8_t* mark = K::Memory::MarkGStack();
  for (;;) {
    LineText t = ReadLineText(ed, *line);
    MaskMarkup(ed, &t);
    int32_t result = *col;
    if (TokenWordBoundary(t.text, *col, right, false, crossed, &result) == 0) {
      *col = result;
      break;
    }
    if (right ? *line >= lc : *line <= 1) {
      *col = right ? static_cast<int32_t>(t.length) + 1 : 1;
      break;
    }
    *line += right ? 1 : -1;
    *col = right ? 1 : ed->store.VisibleLength(*line) + 1;
    crossed = true;
    K::Memory::ReleaseGStack(mark);
  }
  K::Memory::ReleaseGStack(mark);
}

void MoveWord(EditorRecord* ed, bool right, bool select) {
  BeginSelection(ed, select);
  const int32_t top = ed->topLine, sx = ed->scrollX;
  int32_t line = ed->CurrentLine(), col = ed->caretCol;
  FindWordBoundary(ed, right, &line, &col);
  BringIntoView(ed, line, col, 1);
  InvalidateIfMoved(ed, top, sx);
  ExtendSelection(ed, select);
}

}  // namespace QEL_EDIT::detail
