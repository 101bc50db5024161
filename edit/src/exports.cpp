// The exported editor functions: each reaches the record through the
// window (6900 otherwise), refuses edits of a read-only editor (6910), runs
// the core operation and leaves the caret placed.  Results are on the
// caller's global stack.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "core.h"
#include "lineops.h"
#include "paintruns.h"
#include "qel6edit.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"
#include "wrap.h"
#include "window.h"

namespace QEL_EDIT {

using namespace detail;
using namespace QEL_KWI;
namespace K = Qel::RunTime::Kernel;

namespace {

EditorRecord* Editable(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  if (ed->readOnly) Raise(err_readOnly);
  return ed;
}

// A caller's text in store form on the global stack.
wchar_t* StoreForm(EditorRecord* ed, const u16* text) {
  uint64_t n = StoreTextLength(text);
  if (n > 0x7FFFFFF0u / sizeof(wchar_t)) Raise(err_storeFull);
  auto* out = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack(static_cast<uint32_t>(n * sizeof(wchar_t))));
  ToStoreText(text, out, ed->hyperMode);
  return out;
}

// Columns [from, to) of a line's visible text, terminated, on the global stack.
u16* LinePiece(EditorRecord* ed, int32_t line, int32_t from, int32_t to) {
  const auto n = static_cast<uint32_t>(to - from);
  auto* out = reinterpret_cast<u16*>(K::Memory::AllocGStack((n + 1) * static_cast<uint32_t>(sizeof(u16))));
  out[n] = 0;
  if (n == 0) return out;
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  MaskMarkup(ed, &t);
  wmemcpy(out, t.text + from - 1, n);
  K::Memory::ReleaseGStack(mark);
  return out;
}

// Runs a command with the caret hidden, then places it and refreshes the
// status line's position.
template <class F>
void Command(EditorRecord* ed, F&& f) {
  HideCaret(ed);
  f();
  PlaceCaret(ed);
  RefreshStatusPos(ed);
}

// A movement with its selection-change entry.
template <class F>
void Movement(LONG_PTR window, bool record, F&& f) {
  EditorRecord* ed = EditorData(window);
  const Selection before = ed->selection;
  const int32_t lb = ed->CurrentLine(), cb = ed->caretCol;
  Command(ed, [&] { f(ed); });
  if (record) RecordSelectionChange(ed, before, lb, cb);
}

void Key(LONG_PTR window, int32_t code) {
  EditorRecord* ed = Editable(window);
  if (ed->active) Command(ed, [&] { DispatchKey(ed, code, 2); });
}

RecordParams Params(int32_t type, const u16* title, int32_t readOnly, int32_t indent, int32_t wrap,
                    int32_t wrappable, rect_struct* rect, PROLOG_EHANDLER_STRUCT* handler) {
  RecordParams p{};
  p.windowType = type;
  p.readOnly = readOnly;
  p.indent = indent;
  p.wrap = wrap;
  p.wrappable = wrappable;
  p.rightEdge = rect ? rect->right : 0;
  p.title = title;
  p.handler = handler;
  return p;
}

}  // namespace

// --- Creation and handler ------------------------------------------------------

LONG_PTR edit_Create(int32_t type, rect_struct* rect, const u16* title, menu_struct* menu, LONG_PTR parent,
                     wsflags_struct* flags, uint8_t* font, int32_t readOnly, int32_t indent,
                     const u16* text, uint32_t position, PROLOG_EHANDLER_STRUCT* handler) {
  return CreateEditor(Params(type, title, readOnly, indent, 0, 0, rect, handler), rect, menu, parent,
                      flags, font, text, position);
}

LONG_PTR edit_CreateWrap(int32_t type, rect_struct* rect, const u16* title, menu_struct* menu,
                         LONG_PTR parent, wsflags_struct* flags, uint8_t* font, int32_t readOnly,
                         int32_t indent, int32_t wrap, const u16* text, uint32_t position,
                         PROLOG_EHANDLER_STRUCT* handler) {
  return CreateEditor(Params(type, title, readOnly, indent, wrap, 1, rect, handler), rect, menu, parent,
                      flags, font, text, position);
}

LONG_PTR edit_CreateHyper(int32_t type, rect_struct* rect, const u16* title, menu_struct* menu,
                          LONG_PTR parent, wsflags_struct* flags, uint8_t* font, int32_t readOnly,
                          int32_t indent, int32_t wrap, const u16* text, uint32_t position,
                          PROLOG_EHANDLER_STRUCT* handler) {
  CheckMarkupOrRaise(text ? text : L"");
  RecordParams p = Params(type, title, readOnly, indent, wrap, 1, rect, handler);
  p.hyperMode = 1;
  return CreateEditor(p, rect, menu, parent, flags, font, text, position);
}

void edit_CreateSubClass(LONG_PTR window, const u16* title, uint8_t* font, int32_t readOnly, int32_t indent,
                         int32_t wrap, const u16* text, uint32_t position, PROLOG_EHANDLER_STRUCT* handler) {
  SubclassEditor(window, Params(0, title, readOnly, indent, wrap, wrap != 0, nullptr, handler), font, text,
                 position);
}

PROLOG_EHANDLER_STRUCT* edit_GetHandler(LONG_PTR window) { return &EditorData(window)->userHandler; }

void edit_SetHandler(LONG_PTR window, PROLOG_EHANDLER_STRUCT* handler) {
  EditorData(window)->userHandler = *handler;
}

void edit_SetWrap(LONG_PTR window, int32_t on) {
  EditorRecord* ed = EditorData(window);
  if (!ed->wrappable) K::Fail();
  HideCaret(ed);
  ed->wrapMode = on != 0;
  ed->wrapWidth = WindowWrapWidth(ed);
  RelayoutText(ed);
  InvalidateStatus(ed);
  PlaceCaret(ed);
}

// --- Whole text ----------------------------------------------------------------

void edit_PasteStr_1(LONG_PTR window, const u16* text) {
  EditorRecord* ed = EditorData(window);
  if (ed->hyperMode) CheckMarkupOrRaise(text ? text : L"");
  HideCaret(ed);
  LoadEditorText(ed, text ? text : L"");
  InvalidateAll(ed);
  PlaceCaret(ed);
}

void edit_AppendStr_0(LONG_PTR window, const u16* text) { edit_AppendStr_1(window, text, 0); }

void edit_AppendStr_1(LONG_PTR window, const u16* text, int32_t maxLines) {
  EditorRecord* ed = EditorData(window);
  if (maxLines != 0 && maxLines < ed->visibleRows) maxLines = ed->visibleRows;
  // Bars, repaint and caret once, where the append leaves them (nothing is
  // drawn meanwhile, so the caret need not be hidden).
  BeginBatch(ed);
  ed->selection.active = 0;
  MoveTextEnd(ed, false);
  if (maxLines > 1 && ed->LineCount() > maxLines) {
    while (ed->LineCount() > maxLines) {
      ed->store.FreeLine(ed->store.textHead);
      if (ed->topLine > 1) --ed->topLine;
    }
    // Undo entries hold line numbers that no longer hold.
    EmptyUndoRing(ed);
    UpdateVScrollRange(ed);
    InvalidateAll(ed);
    MoveTextEnd(ed, false);
  }
  uint8_t* mark = K::Memory::MarkGStack();
  InsertText(ed, false, true, StoreForm(ed, text ? text : L""));
  K::Memory::ReleaseGStack(mark);
  ed->selection.active = 0;
  UpdateVScrollRange(ed);
  MoveTextEnd(ed, false);
  EndBatch(ed);
  RefreshStatusPos(ed);
  PlaceCaret(ed);
}

u16* edit_GetText_0(LONG_PTR window) { return TextGet(EditorData(window)); }

u16* edit_GetText_1(LONG_PTR window, uint32_t a, uint32_t b) {
  EditorRecord* ed = EditorData(window);
  const uint32_t lo = std::min(a, b), hi = std::max(a, b);
  const uint32_t length = TextLength(ed);
  if (lo == 0 || hi > length + 1) Raise(err_position);
  wchar_t* all = TextGet(ed);
  std::memmove(all, all + lo - 1, (hi - lo) * sizeof(wchar_t));
  all[hi - lo] = 0;
  return all;
}

int32_t edit_GetNumberOfLines(LONG_PTR window) { return EditorData(window)->LineCount(); }

// --- Positions and selection ---------------------------------------------------

uint32_t edit_GetPos_0(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  uint32_t p = ed->store.PositionOf(ed->CurrentLine(), ed->caretCol);
  if (!p) Raise(err_unformable);
  return p;
}

void edit_GetPos_1(LONG_PTR window, int32_t* line, int32_t* column) {
  EditorRecord* ed = EditorData(window);
  *line = ed->CurrentLine();
  *column = ed->caretCol;
}

int32_t edit_GotoPos(LONG_PTR window, uint32_t position) {
  EditorRecord* ed = EditorData(window);
  HideCaret(ed);
  const int32_t lb = ed->CurrentLine(), cb = ed->caretCol;
  bool ok = GotoPosition(ed, position, true);
  if (ok && (lb != ed->CurrentLine() || cb != ed->caretCol) && ed->selection.active) {
    ed->selection.active = 0;
    InvalidateAll(ed);
  }
  PlaceCaret(ed);
  RefreshStatusPos(ed);
  return ok;
}

uint32_t edit_CoordToPos(LONG_PTR window, uint32_t line, uint32_t column) {
  EditorRecord* ed = EditorData(window);
  if (line < 1 || line > static_cast<uint32_t>(ed->LineCount())) return 0;
  if (column < 1 || column > static_cast<uint32_t>(ed->store.VisibleLength(static_cast<int32_t>(line))) + 1)
    return 0;
  return ed->store.PositionOf(static_cast<int32_t>(line), static_cast<int32_t>(column));
}

int32_t edit_GotoLinePos(LONG_PTR window, int32_t line, int32_t column) {
  if (line < 1 || column < 1) return 0;
  uint32_t p = edit_CoordToPos(window, static_cast<uint32_t>(line), static_cast<uint32_t>(column));
  return p ? edit_GotoPos(window, p) : 0;
}

int32_t edit_GotoLine(LONG_PTR window, int32_t line) { return edit_GotoLinePos(window, line, 1); }

int32_t edit_SetSelection(LONG_PTR window, uint32_t from, uint32_t to) {
  EditorRecord* ed = EditorData(window);
  if (from > to) std::swap(from, to);
  const Selection before = ed->selection;
  const int32_t lb = ed->CurrentLine(), cb = ed->caretCol;
  if (from == to) {
    if (!ed->selection.active) return 0;
    ed->selection.active = 0;
    InvalidateAll(ed);
  } else {
    int32_t l1, c1, l2, c2;
    if (!ed->store.LineColOf(from, &l1, &c1) || !ed->store.LineColOf(to, &l2, &c2)) return 0;
    ed->selection = {1, c1, l1, c2, l2};
    HideCaret(ed);
    BringIntoView(ed, l2, c2, ed->caretRow);
    InvalidateAll(ed);
    PlaceCaret(ed);
  }
  UndoEntry e{};
  e.kind = uk_selection;
  e.selBefore = before;
  e.selAfter = ed->selection;
  RecordUndo(ed, e, lb, cb, ed->CurrentLine(), ed->caretCol);
  return 1;
}

void edit_GetSelection(LONG_PTR window, uint32_t* from, uint32_t* to) {
  EditorRecord* ed = EditorData(window);
  const Selection& s = ed->selection;
  *from = *to = 0;
  if (!s.active) return;
  uint32_t a = ed->store.PositionOf(s.anchorLine, s.anchorCol);
  uint32_t c = ed->store.PositionOf(s.caretLine, s.caretCol);
  if (!a || !c) Raise(err_unformable);
  *from = std::min(a, c);
  *to = std::max(a, c);
}

int32_t edit_SelectWord(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  HideCaret(ed);
  const bool found = SelectWordAt(ed, ed->CurrentLine(), ed->caretCol);
  PlaceCaret(ed);
  return found;
}

void edit_BoundWord(LONG_PTR window, uint32_t line, uint32_t column, uint32_t* start, uint32_t* end) {
  EditorRecord* ed = EditorData(window);
  if (line < 1 || line > static_cast<uint32_t>(ed->LineCount())) Raise(err_line);
  const auto n = static_cast<int32_t>(line);
  int32_t c1, c2;
  if (column > INT32_MAX || !WordAt(ed, n, static_cast<int32_t>(column), &c1, &c2)) K::Fail();
  const uint32_t p1 = ed->store.PositionOf(n, c1), p2 = ed->store.PositionOf(n, c2);
  if (!p1 || !p2) Raise(err_unformable);
  *start = p1;
  *end = p2;
}

void edit_GetWordWithClass(LONG_PTR window, u16** classPart, u16** word) {
  EditorRecord* ed = EditorData(window);
  const int32_t line = ed->CurrentLine();
  int32_t w1, w2, c1 = 0, c2 = 0;
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  MaskMarkup(ed, &t);
  const bool found = TokenBounds(t.text, ed->caretCol, &w1, &w2);
  // "::" at columns w1 - 2 and w1 - 1, and text before them.
  if (found && w1 > 3 && t.text[w1 - 3] == L':' && t.text[w1 - 2] == L':') TokenBounds(t.text, w1 - 3, &c1, &c2);
  K::Memory::ReleaseGStack(mark);
  if (!found) K::Fail();
  *word = LinePiece(ed, line, w1, w2);
  *classPart = LinePiece(ed, line, c1, c2);
}

void edit_SelectCurLine(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  const Selection before = ed->selection;
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol;
  if (cl < ed->LineCount())
    ed->selection = {1, 1, cl + 1, 1, cl};
  else
    ed->selection = {1, ed->store.VisibleLength(cl) + 1, cl, 1, cl};
  InvalidateAll(ed);
  UndoEntry e{};
  e.kind = uk_selection;
  e.selBefore = before;
  e.selAfter = ed->selection;
  RecordUndo(ed, e, cl, col, cl, col);
  PlaceCaret(ed);
}

int32_t edit_PasteStr_0(LONG_PTR window, uint32_t position, const u16* text) {
  EditorRecord* ed = Editable(window);
  if (position == 0) return 0;
  if (ed->hyperMode) CheckMarkupOrRaise(text ? text : L"");
  if (!GotoPosition(ed, position, true)) return 0;
  uint8_t* mark = K::Memory::MarkGStack();
  HideCaret(ed);
  InsertText(ed, true, false, StoreForm(ed, text ? text : L""));
  K::Memory::ReleaseGStack(mark);
  ed->selection.active = 0;
  InvalidateAll(ed);
  PlaceCaret(ed);
  return 1;
}

// --- Editing commands ----------------------------------------------------------

void edit_Char(LONG_PTR window, uint16_t ch) {
  EditorRecord* ed = Editable(window);
  Command(ed, [&] { TypeChar(ed, static_cast<wchar_t>(ch), ed->insertMode, true); });
}
void edit_Enter(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  Command(ed, [&] { NewLine(ed, ed->insertMode, ed->indentMode, true); });
}
void edit_Del(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  Command(ed, [&] { DeleteChar(ed, true); });
}
void edit_Backspace(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  Command(ed, [&] { BackspaceChar(ed, true); });
}
void edit_DelLeftWord(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  Command(ed, [&] { DeleteWord(ed, false); });
}
void edit_DelRightWord(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  Command(ed, [&] { DeleteWord(ed, true); });
}
void edit_DelToStartOfLine(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  Command(ed, [&] { DeleteToLineEdge(ed, true); });
}
void edit_DelToEndOfLine(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  Command(ed, [&] { DeleteToLineEdge(ed, false); });
}
void edit_DeleteLine(LONG_PTR window) { Key(window, 25); }
void edit_UpperCase(LONG_PTR window) { Key(window, 21); }
void edit_LowerCase(LONG_PTR window) { Key(window, 12); }
void edit_ReverseCase(LONG_PTR window) { Key(window, 16); }

void edit_Cut(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  HideCaret(ed);
  CutToClipboard(ed);
  PlaceCaret(ed);
}

void edit_Copy(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  CopyToClipboard(ed);
}

void edit_Paste(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  HideCaret(ed);
  PasteFromClipboard(ed);
  PlaceCaret(ed);
}

void edit_Delete(LONG_PTR window) {
  EditorRecord* ed = Editable(window);
  HideCaret(ed);
  TakeSelection(ed, true, true, false, true);
  PlaceCaret(ed);
}

void edit_Undo(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  HideCaret(ed);
  UndoStep(ed);
  PlaceCaret(ed);
}

void edit_Redo(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  HideCaret(ed);
  RedoStep(ed);
  PlaceCaret(ed);
}

// --- Caret movement ------------------------------------------------------------

void edit_Left(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveLeft(ed, false); }); }
void edit_Right(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveRight(ed, false); }); }
void edit_Up(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveUp(ed, false); }); }
void edit_Down(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveDown(ed, false); }); }
void edit_PgUp(LONG_PTR w) { Movement(w, false, [](EditorRecord* ed) { VerticalScroll(ed, 3, -1); }); }
void edit_PgDn(LONG_PTR w) { Movement(w, false, [](EditorRecord* ed) { VerticalScroll(ed, 4, -1); }); }
void edit_WordLeft(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveWord(ed, false, false); }); }
void edit_WordRight(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveWord(ed, true, false); }); }
void edit_LineHome(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveLineHome(ed, false); }); }
void edit_LineEnd(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveLineEnd(ed, false); }); }
void edit_FileHome(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveTextHome(ed, false); }); }
void edit_FileEnd(LONG_PTR w) { Movement(w, true, [](EditorRecord* ed) { MoveTextEnd(ed, false); }); }

// --- Modes -----------------------------------------------------------------------

void edit_SetReadOnly_0(LONG_PTR window, int32_t on) {
  EditorRecord* ed = EditorData(window);
  if ((on != 0) == (ed->readOnly != 0)) return;
  ed->readOnly = on != 0;
  edit_ClearUndoList(window);
  InvalidateStatus(ed);
}
void edit_SetReadOnly_1(LONG_PTR window, int32_t* on) { *on = EditorData(window)->readOnly; }
void edit_SetInsert(LONG_PTR window, int32_t on) {
  EditorRecord* ed = EditorData(window);
  ed->insertMode = on != 0;
  InvalidateStatus(ed);
}
int32_t edit_GetInsert(LONG_PTR window) { return EditorData(window)->insertMode; }
void edit_SetIndent(LONG_PTR window, int32_t on) {
  EditorRecord* ed = EditorData(window);
  ed->indentMode = on != 0;
  InvalidateStatus(ed);
}
int32_t edit_GetIndent(LONG_PTR window) { return EditorData(window)->indentMode; }
void edit_Suspend(LONG_PTR window) { EditorData(window)->suspended = 1; }
void edit_Resume(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  ed->suspended = 0;
  InvalidateAll(ed);
  RefreshStatusPos(ed);
}

void edit_CaretShow(LONG_PTR window, int32_t on) {
  EditorRecord* ed = EditorData(window);
  ed->caretVisible = on != 0;
  if (on) PlaceCaret(ed);
  else
    DropCaret(ed);
}

void edit_CaretHighlight(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  if (ed->window && ed->caretShown) {
    caret_Size(ed->window, ed->charWidth, ed->lineHeight);
    ed->caretSetW = ed->charWidth;  // the size the caret now has
  }
}

void edit_InvalidateLine(LONG_PTR window, int32_t line) {
  EditorRecord* ed = EditorData(window);
  RedrawLines(ed, line, line);
}

pnt_struct* edit_GetCaretPoint(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  auto* p = reinterpret_cast<pnt_struct*>(K::Memory::AllocGStack(sizeof(pnt_struct)));
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, ed->CurrentLine());
  const int32_t x = TextWidth(ed, t.text, static_cast<int32_t>(ed->store.RawIndexOfVisible(t.text, ed->caretCol)));
  K::Memory::ReleaseGStack(mark);
  *p = {ed->leftMargin + x - ed->scrollX, ed->lineHeight * ed->caretRow + ed->topMargin};
  return p;
}

int32_t edit_GetLineHeight(LONG_PTR window) { return EditorData(window)->lineHeight; }

int32_t edit_GetLastLineHeight(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  return ed->clientHeight - ed->topMargin - ed->visibleRows * ed->lineHeight;
}

void edit_SetTitle(LONG_PTR window, const u16* text) {
  EditorRecord* ed = EditorData(window);
  win_SetText(ed->window, text ? text : L"");
}

// --- Undo state --------------------------------------------------------------------

void edit_PossibleUnDoReDo(LONG_PTR window, int32_t* undo, int32_t* redo) {
  EditorRecord* ed = EditorData(window);
  *undo = ed->undoRing.undoCount != 0;
  *redo = ed->undoRing.redoCount != 0;
}
int32_t edit_IsModified(LONG_PTR window) { return EditorData(window)->modified; }
void edit_ClearModified(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  ed->modified = 0;
  ed->undoRing.MarkClean();
  InvalidateStatus(ed);
}
void edit_SetModified(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  ed->modified = 1;
  InvalidateStatus(ed);
}
void edit_ClearUndoList(LONG_PTR window) {
  EditorRecord* ed = EditorData(window);
  ed->undoRing.Reset();
  ed->modified = 0;
  InvalidateStatus(ed);
}

}  // namespace QEL_EDIT
