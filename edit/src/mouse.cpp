// Mouse selection of the plain layout: points to rows and columns, the
// button-down, move and button-up of a selection (shift extends), and the
// point queries.
//
// One mouse action at a time for the whole process: the state names the
// record it serves and the mouse is captured while it runs; a key or a
// destroyed editor ends it.
#include <algorithm>
#include <iterator>

#include "core.h"
#include "mouse.h"
#include "qel6edit.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"

namespace QEL_EDIT {
namespace detail {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;

namespace {

struct MouseState {
  EditorRecord* ed;  // the editor the action serves, nullptr when none
  bool extend;
  bool drag;  // the selected text is being dragged
  LONG_PTR timer;  // the auto-scroll timer, 0 when none
  Selection saved;
  int32_t downLine, downCol, prevLine, prevCol;
};
MouseState mouse{};

constexpr unsigned AutoScrollMs = 40;

// Ends the action: the timer stopped, the state dropped, the mouse released.
void EndAction() {
  if (mouse.timer) timer_Kill(mouse.timer);
  mouse = {};
  win_ReleaseMouse();
}

}  // namespace

extern HINSTANCE moduleHandle;

int32_t RowAt(EditorRecord* ed, int32_t y) {
  int32_t row = (y - ed->topMargin) / ed->lineHeight + 1;
  if (row > ed->visibleRows) --row;
  row = std::max(row, 1);
  if (ed->topLine + row - 1 > ed->LineCount()) row = ed->LineCount() - ed->topLine + 1;
  return std::max(row, 1);
}

int32_t ColumnAt(EditorRecord* ed, int32_t line, int32_t x) {
  const int32_t e = std::max(0, x + ed->scrollX - ed->leftMargin);
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  const int32_t n = ed->store.VisibleLength(line);
  // The column whose left edge is nearest to x.
  int32_t best = 1, bestDist = INT32_MAX;
  int32_t lo = 1, hi = n + 1;
  while (lo < hi) {  // first column with left edge >= e
    int32_t mid = (lo + hi) / 2;
    if (TextWidth(ed, t.text, static_cast<int32_t>(ed->store.RawIndexOfVisible(t.text, mid))) >= e) hi = mid;
    else lo = mid + 1;
  }
  for (int32_t c = std::max(1, lo - 1); c <= std::min(n + 1, lo); ++c) {
    int32_t d = std::abs(TextWidth(ed, t.text, static_cast<int32_t>(ed->store.RawIndexOfVisible(t.text, c))) - e);
    if (d < bestDist) {
      bestDist = d;
      best = c;
    }
  }
  K::Memory::ReleaseGStack(mark);
  return best;
}

namespace {

int32_t LineWidth(EditorRecord* ed, int32_t line) {
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  const int32_t w = TextWidth(ed, t.text, static_cast<int32_t>(t.length));
  K::Memory::ReleaseGStack(mark);
  return w;
}

void CaretToPoint(EditorRecord* ed, const pnt_struct& p) {
  const int32_t row = RowAt(ed, p.y);
  const int32_t line = ed->topLine + row - 1;
  BringIntoView(ed, line, ColumnAt(ed, line, p.x), row);
}

}  // namespace

void CancelMouse(EditorRecord* ed) {
  if (mouse.ed != ed || !ed) return;
  EndAction();
  cursor_Set(ed->window, 1, 1);
  InvalidateAll(ed);
}

void MouseDown(EditorRecord* ed, const pnt_struct& p, bool shift) {
  const int32_t line = ed->CurrentLine(), col = ed->caretCol;
  const Selection before = ed->selection;
  if (p.y < ed->topMargin) return;
  mouse = {};
  mouse.ed = ed;
  mouse.extend = shift;
  mouse.saved = before;
  CaretToPoint(ed, p);
  mouse.downLine = ed->CurrentLine();
  mouse.downCol = ed->caretCol;
  Selection& s = ed->selection;
  const bool hasSelection = before.HoldsText();
  if (hasSelection && !ed->readOnly && DropInsideSelection(before, mouse.downLine, mouse.downCol)) {
    mouse.drag = true;
    s = before;
    if (moduleHandle) K::Succeeds([&] { cursorSet(ed->window, moduleHandle, DragCursorId, 1); });
    InvalidateAll(ed);
  } else if (shift) {
    if (!s.active) s = {1, col, line, col, line};
    s.caretLine = mouse.downLine;
    s.caretCol = mouse.downCol;
    mouse.prevLine = line;
    mouse.prevCol = col;
    InvalidateAll(ed);
  } else {
    ClearSelection(ed);
    RecordSelectionChange(ed, before, line, col);
    s = {1, mouse.downCol, mouse.downLine, mouse.downCol, mouse.downLine};
  }
  win_CaptureMouse(ed->window);
  mouse.timer = timer_Set(ed->window, AutoScrollMs);
  RefreshStatusPos(ed);
}

void MouseTimer(EditorRecord* ed, LONG_PTR id) {
  if (mouse.ed != ed || mouse.timer != id) return;
  uint8_t* mark = K::Memory::MarkGStack();
  const pnt_struct p = *cursor_GetPos(ed->window);
  K::Memory::ReleaseGStack(mark);
  MouseMove(ed, p);
}

void MouseMove(EditorRecord* ed, const pnt_struct& p) {
  if (mouse.ed != ed) return;
  const int32_t line = ed->CurrentLine(), col = ed->caretCol;
  bool inside = true;
  if (p.y < ed->topMargin) {
    VerticalScroll(ed, 1, -1);
    inside = false;
  } else if (p.y >= ed->clientHeight && ed->topLine + ed->visibleRows - 1 < ed->LineCount()) {
    VerticalScroll(ed, 2, -1);
    inside = false;
  }
  // Beside the text: a page left while the view is scrolled, a page right
  // while the current line goes on past the right edge; the caret then
  // takes the column at that edge.
  int32_t edgeX = -1;
  if (p.x < 0) {
    if (ed->scrollX > 0) HorizontalScroll(ed, 3, -1);
    edgeX = ed->leftMargin;
  } else if (p.x > ed->clientWidth && LineWidth(ed, ed->CurrentLine()) + ed->charWidth >= p.x + ed->scrollX) {
    HorizontalScroll(ed, 4, -1);
    edgeX = ed->clientWidth;
  }
  if (edgeX >= 0) {
    inside = false;
    const int32_t cl = std::clamp(ed->CurrentLine(), 1, ed->LineCount());
    const int32_t top = ed->topLine;
    BringIntoView(ed, cl, ColumnAt(ed, cl, edgeX), ed->caretRow);
    if (ed->topLine != top) InvalidateAll(ed);
  } else if (!inside) {
    const int32_t cl = std::clamp(ed->CurrentLine(), 1, ed->LineCount());
    ed->caretCol = std::clamp(ed->caretCol, 1, ed->store.VisibleLength(cl) + 1);
  }
  if (inside) CaretToPoint(ed, p);
  if (mouse.drag) {
    if (line != ed->CurrentLine() || col != ed->caretCol) RefreshStatusPos(ed);
    return;
  }
  if (!inside || line != ed->CurrentLine() || col != ed->caretCol) {
    const int32_t old = ed->selection.caretLine;
    ed->selection.caretLine = ed->CurrentLine();
    ed->selection.caretCol = ed->caretCol;
    RedrawLines(ed, old, ed->selection.caretLine);
    RefreshStatusPos(ed);
  }
}

void MouseUp(EditorRecord* ed, const pnt_struct& p, bool copy) {
  if (mouse.ed != ed) return;
  pnt_struct q = p;
  q.y = std::max(q.y, ed->topMargin);
  CaretToPoint(ed, q);
  Selection& s = ed->selection;
  if (mouse.drag) {
    const int32_t line = ed->CurrentLine(), col = ed->caretCol;
    if (DropInsideSelection(mouse.saved, line, col)) {
      s.active = 0;
      InvalidateAll(ed);
      RecordSelectionChange(ed, mouse.saved, mouse.downLine, mouse.downCol);
    } else if (copy) {
      CopyDrop(ed, mouse.saved, line, col, true);
    } else {
      MoveDrop(ed, mouse.saved, line, col, true);
    }
    RefreshStatusPos(ed);
  } else if (mouse.extend) {
    s.caretLine = ed->CurrentLine();
    s.caretCol = ed->caretCol;
    RecordSelectionChange(ed, mouse.saved, mouse.prevLine, mouse.prevCol);
    InvalidateAll(ed);
  } else if (ed->CurrentLine() == mouse.downLine && ed->caretCol == mouse.downCol) {
    s.active = 0;
  } else {
    s = {1, mouse.downCol, mouse.downLine, ed->caretCol, ed->CurrentLine()};
    RedrawLines(ed, mouse.downLine, ed->CurrentLine());
    RecordSelectionChange(ed, mouse.saved, mouse.downLine, mouse.downCol);
  }
  EndAction();
  cursor_Set(ed->window, 3, 1);
}

namespace {

struct PopupItem {
  const wchar_t* text;  // nullptr: a separator
  int32_t id;
};
constexpr PopupItem PopupItems[] = {
    {L"&Undo", 9060}, {L"Re&do", 9061}, {nullptr, 0},          {L"Cu&t", 9063},
    {L"&Copy", 9064}, {L"&Paste", 9065}, {L"D&elete", 9066},   {nullptr, 0},
    {L"Find", 9077},  {L"Find next", 9079}, {L"&Replace", 9078}, {nullptr, 0},
    {L"&Go to line number", 9081}, {L"G&o to position", 9082}, {L"&Font", 9085}};

bool PopupEnabled(EditorRecord* ed, int32_t id) {
  const Selection& s = ed->selection;
  const bool selection = s.HoldsText();
  switch (id) {
    case 9060: return ed->undoRing.undoCount != 0;
    case 9061: return ed->undoRing.redoCount != 0;
    case 9063:
    case 9066: return selection && !ed->readOnly;
    case 9064: return selection;
    case 9065: return !ed->readOnly && K::Succeeds([] { cb_StringAvailable(); });
    case 9078: return !ed->readOnly;
    default: return true;
  }
}

}  // namespace

void PopupMenu(EditorRecord* ed, const pnt_struct& p) {
  // Items on the global stack, built from the last one backwards.
  uint8_t* mark = K::Memory::MarkGStack();
  auto* list = reinterpret_cast<menu_item_list_struct*>(K::Memory::AllocGStack(sizeof(menu_item_list_struct)));
  *list = {ListNil, nullptr, nullptr};
  for (int i = static_cast<int>(std::size(PopupItems)) - 1; i >= 0; --i) {
    auto* item = reinterpret_cast<menu_item*>(K::Memory::AllocGStack(sizeof(menu_item)));
    *item = {};
    if (!PopupItems[i].text) {
      item->functor = 3;  // separator
    } else {
      auto* subitems = reinterpret_cast<menu_item_list_struct*>(K::Memory::AllocGStack(sizeof(menu_item_list_struct)));
      *subitems = {ListNil, nullptr, nullptr};
      item->functor = 1;  // txt {id, text, accelerator, enabled, flags, subitems}
      item->w[0] = PopupItems[i].id;
      item->w[1] = reinterpret_cast<LONG_PTR>(PopupItems[i].text);
      item->w[2] = 0;
      item->w[3] = PopupEnabled(ed, PopupItems[i].id);
      item->w[4] = 0;
      item->w[5] = reinterpret_cast<LONG_PTR>(subitems);
    }
    auto* cell = reinterpret_cast<menu_item_list_struct*>(K::Memory::AllocGStack(sizeof(menu_item_list_struct)));
    *cell = {ListCons, item, list};
    list = cell;
  }
  menu_struct menu{2, reinterpret_cast<uintptr_t>(list)};
  pnt_struct at = p;
  menu_PopUp(ed->window, &menu, &at, 0);
  K::Memory::ReleaseGStack(mark);
}

void ForgetMouse(EditorRecord* ed) {
  if (mouse.ed != ed) return;
  if (mouse.timer) timer_Kill(mouse.timer);
  mouse = {};
}

}  // namespace detail

using namespace detail;

uint32_t edit_GetPointPos(LONG_PTR window, pnt_struct* point, int32_t* column, int32_t* line) {
  EditorRecord* ed = EditorData(window);
  if (point->y < ed->topMargin) Raise(err_position);
  const int32_t row = RowAt(ed, point->y);
  *line = std::min(ed->topLine + row - 1, ed->LineCount());
  *column = ColumnAt(ed, *line, point->x);
  const uint32_t p = ed->store.PositionOf(*line, *column);
  if (!p) Raise(err_unformable);
  return p;
}

uint32_t edit_GetLineOffset(LONG_PTR window, int32_t line) {
  EditorRecord* ed = EditorData(window);
  line = std::clamp(line, 1, ed->LineCount());
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  uint32_t i = 0;
  while (i < t.length && (t.text[i] == L' ' || t.text[i] == L'\t')) ++i;
  const int32_t col = ed->store.VisibleIndexOfRaw(t.text, i);
  K::Memory::ReleaseGStack(mark);
  const uint32_t p = ed->store.PositionOf(line, col);
  if (!p) Raise(err_unformable);
  return p;
}

}  // namespace QEL_EDIT
