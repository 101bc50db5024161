// The single-step editing commands and their word-wrap twins.
//
// A command that changes text checks the store's room first (6902, text
// unchanged), records one undo entry when asked and nothing when it finds
// nothing to do; typed codes are stored as inserted text is (codes below 32
// but TAB become spaces), so no end mark can be typed into a line.
//
// In hyper editors the caret's column is visible (markup takes none): a
// command with the caret inside a field's visible text does nothing, one on
// a field's first character types or breaks the line in front of the field,
// and characters leave a row only through the markup-aware removal, which
// takes a field whole or refuses.  So no command leaves broken markup.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "core.h"
#include "hyper.h"
#include "paintruns.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"
#include "wrap.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

namespace {

// Deletes a non-empty selection with undo; true when there was one.
bool DeleteSelection(EditorRecord* ed, bool record) {
  if (!ed->selection.HoldsText()) {
    ed->selection.active = 0;
    return false;
  }
  TakeSelection(ed, true, record, false, true);
  return true;
}

void NeedRoom(EditorRecord* ed, uint64_t oldLength, uint64_t newLength) {
  uint64_t have = ChunksForLength(oldLength), need = ChunksForLength(newLength);
  if (need > have && !ed->store.HasRoom(need - have)) Raise(err_storeFull);
}

// Writes a row; `hard` is its end kind (a soft row of the word-wrap layout
// keeps ending soft, so an edit adds no line break to the text).
void WriteLine(EditorRecord* ed, ChunkRef r, const wchar_t* text, uint32_t n, bool hard) {
  ed->store.WriteRowN(r, text, n, hard);
}

// `at`: in a wrapping editor the place of the changed character (kinds 7
// to 9), which holds both before and after the change while row positions
// may not.
void Record(EditorRecord* ed, bool record, int32_t kind, int32_t lb, int32_t cb, int32_t la, int32_t ca,
            wchar_t oldChar = 0, wchar_t newChar = 0, int32_t indent = 0, const LogicalPos* at = nullptr) {
  if (!record) return;
  UndoEntry e{};
  e.kind = kind;
  if (at) {
    e.logicalRow = at->firstRow;
    e.logicalOffset = static_cast<int32_t>(at->offset);
  }
  e.oldChar = oldChar;
  e.newChar = newChar;
  e.indentCopied = indent;
  e.selBefore = e.selAfter = ed->selection;
  e.lineNo = -1;
  RecordUndo(ed, e, lb, cb, la, ca);
}

void AdjustLineCount(EditorRecord* ed) {
  UpdateVScrollRange(ed);
  if (ed->vScrollMax == 0 && ed->topLine > 1) {
    ed->caretRow += ed->topLine - 1;
    ed->topLine = 1;
    SetVScrollPos(ed, 0);
    InvalidateAll(ed);
  }
}

// Wrapping editors: lays out again the rows an edit wrote (`from` to `to`)
// and puts the caret on a logical place, keeping its window row where it
// can; the window is invalidated when the view moved.
void PlaceCaretLogical(EditorRecord* ed, LogicalPos caret) {
  const int32_t top = ed->topLine, sx = ed->scrollX;
  int32_t row, col;
  LogicalToRow(ed, caret, &row, &col);
  int32_t preferred = ed->caretRow;
  if (row < ed->topLine) preferred = 1;
  else if (row >= ed->topLine + ed->visibleRows) preferred = ed->visibleRows;
  BringIntoView(ed, row, col, preferred);
  if (ed->topLine != top || ed->scrollX != sx) InvalidateAll(ed);
}

void CaretAfterRebreak(EditorRecord* ed, int32_t from, int32_t to, LogicalPos caret) {
  RebreakRows(ed, from, to);
  PlaceCaretLogical(ed, caret);
}

bool Wraps(EditorRecord* ed) { return ed->wrappable != 0; }

bool RowEndsHard(EditorRecord* ed, int32_t row) {
  bool hard = true;
  if (row >= 1 && row <= ed->LineCount()) ed->store.StoredLength(ed->store.FindLine(row), &hard);
  return hard;
}

// A kind-10 entry of a wrapping editor: the logical line's whole text
// before and after, found by its first row.
void RecordLogicalLine(EditorRecord* ed, int32_t firstRow, const wchar_t* oldText, int32_t lb, int32_t cb) {
  uint8_t* mark = K::Memory::MarkGStack();
  uint32_t n;
  int32_t rows;
  const wchar_t* now = ReadLogicalLine(ed, firstRow, &n, &rows);
  UndoEntry e{};
  e.kind = uk_replaceLine;
  e.oldText = const_cast<wchar_t*>(oldText);
  e.oldLen = oldText ? static_cast<int32_t>(std::wcslen(oldText)) + 1 : 0;
  e.newText = CopyUndoText(now, n);
  e.newLen = static_cast<int32_t>(n) + 1;
  e.lineNo = firstRow;
  e.logicalRow = firstRow;
  e.logicalOffset = WholeLogicalLine;
  e.selBefore = e.selAfter = ed->selection;
  K::Memory::ReleaseGStack(mark);
  RecordUndo(ed, e, lb, cb, ed->CurrentLine(), ed->caretCol);
}

// The text of the logical line from `firstRow` as an undo text.
wchar_t* LogicalUndoText(EditorRecord* ed, int32_t firstRow) {
  uint8_t* mark = K::Memory::MarkGStack();
  uint32_t n;
  int32_t rows;
  const wchar_t* t = ReadLogicalLine(ed, firstRow, &n, &rows);
  wchar_t* copy = CopyUndoText(t, n);
  K::Memory::ReleaseGStack(mark);
  return copy;
}

// Writes a new text into row `cl` and puts the caret on colAfter, recording
// kind 10 with both texts: of the row, or in a wrapping editor of the
// logical line, which is laid out again.
void ReplaceLine(EditorRecord* ed, int32_t cl, const LineText& old, const wchar_t* text, uint32_t n,
                 int32_t colBefore, int32_t colAfter, bool record) {
  NeedRoom(ed, old.length, n);
  if (Wraps(ed)) {
    const int32_t first = LogicalFirstRow(ed, cl);
    wchar_t* before = record ? LogicalUndoText(ed, first) : nullptr;
    WriteLine(ed, old.ref, text, n, old.hardEnd);
    RedrawLines(ed, cl, cl);
    CaretAfterRebreak(ed, cl, cl, RowToLogical(ed, cl, colAfter));
    if (record) RecordLogicalLine(ed, first, before, cl, colBefore);
    return;
  }
  WriteLine(ed, old.ref, text, n, old.hardEnd);
  RedrawLines(ed, cl, cl);
  MoveCaretTo(ed, cl, colAfter);
  if (!record) return;
  UndoEntry e{};
  e.kind = uk_replaceLine;
  e.oldText = CopyUndoText(old.text, old.length);
  e.oldLen = static_cast<int32_t>(old.length) + 1;
  e.newText = CopyUndoText(text, n);
  e.newLen = static_cast<int32_t>(n) + 1;
  e.selBefore = e.selAfter = ed->selection;
  e.lineNo = cl;
  RecordUndo(ed, e, cl, colBefore, cl, colAfter);
}

// A column of a row as the single-key commands see it: the field test
// (hyper editors: 1 inside a field's visible text, 2 on its first
// character), the raw index (0-based) of the character there (the row's raw
// length past its visible end) and the row's visible length.
struct RowColumn {
  int32_t field;
  uint32_t raw;
  int32_t visible;
};

RowColumn ColumnOnRow(EditorRecord* ed, const LineText& t, int32_t col) {
  if (!ed->hyperMode)
    return {0, std::min(static_cast<uint32_t>(col - 1), t.length), static_cast<int32_t>(t.length)};
  const MarkupLine m(t.text, static_cast<int32_t>(t.length));
  return {m.FieldAtColumn(col, true), static_cast<uint32_t>(m.RawIndexOf(col) - 1), m.VisibleLength()};
}

// A hyper row without its visible columns from..to, removed with their
// markup (a field goes whole when the range holds all of its text), on the
// global stack; null when the range cuts into a field.
wchar_t* WithoutColumns(const LineText& t, int32_t from, int32_t to, uint32_t* n) {
  auto* out = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((t.length + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  MarkupLine m(t.text, static_cast<int32_t>(t.length));
  if (!m.DeleteVisibleRange(from, to, nullptr)) return nullptr;
  *n = static_cast<uint32_t>(m.RawLength());
  std::wmemcpy(out, m.Raw().data(), *n);
  out[*n] = 0;
  return out;
}

}  // namespace

// A soft row end is no character: the caret at the end of a soft row
// stands before the next row's first character (forward), at column 1
// after a soft row it stands after that row's last one (back).  Moves the
// caret there so the deleting commands remove a character, never the break.
void StepOverSoftEnd(EditorRecord* ed, bool forward) {
  if (!ed->wrappable) return;
  const int32_t cl = ed->CurrentLine();
  if (forward) {
    if (!RowEndsHard(ed, cl) && ed->caretCol > ed->store.VisibleLength(cl) && cl < ed->LineCount())
      MoveCaretTo(ed, cl + 1, 1);
  } else if (ed->caretCol == 1 && cl > 1 && !RowEndsHard(ed, cl - 1)) {
    MoveCaretTo(ed, cl - 1, ed->store.VisibleLength(cl - 1) + 1);
  }
}

void DeleteChar(EditorRecord* ed, bool record) {
  if (DeleteSelection(ed, record)) return;
  StepOverSoftEnd(ed, true);
  uint8_t* mark = K::Memory::MarkGStack();
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol;
  LineText t = ReadLineText(ed, cl);
  const RowColumn c = ColumnOnRow(ed, t, col);
  if (c.field == 1) {  // inside a field's text
    K::Memory::ReleaseGStack(mark);
    return;
  }
  const bool wrap = Wraps(ed);
  const LogicalPos at = wrap ? RowRawToLogical(ed, cl, c.raw) : LogicalPos{};
  if (col <= c.visible) {
    if (c.field == 2) {  // a field's first character: a one-character field goes whole
      uint32_t n;
      if (const wchar_t* text = WithoutColumns(t, col, col, &n)) ReplaceLine(ed, cl, t, text, n, col, col, record);
      K::Memory::ReleaseGStack(mark);
      return;
    }
    wchar_t removed = t.text[c.raw];
    std::memmove(t.text + c.raw, t.text + c.raw + 1, (t.length - c.raw) * sizeof(wchar_t));
    WriteLine(ed, t.ref, t.text, t.length - 1, t.hardEnd);
    RedrawLines(ed, cl, cl);
    K::Memory::ReleaseGStack(mark);
    if (wrap) CaretAfterRebreak(ed, cl, cl, at);
    Record(ed, record, uk_deleteChar, cl, col, ed->CurrentLine(), ed->caretCol, removed, 0, 0, wrap ? &at : nullptr);
    return;
  }
  if (cl == ed->LineCount()) {
    K::Memory::ReleaseGStack(mark);
    return;
  }
  LineText next = ReadLineText(ed, cl + 1);
  wchar_t* joined = reinterpret_cast<wchar_t*>(
      K::Memory::AllocGStack((t.length + next.length + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  std::memcpy(joined, t.text, t.length * sizeof(wchar_t));
  std::memcpy(joined + t.length, next.text, next.length * sizeof(wchar_t));
  NeedRoom(ed, t.length, t.length + next.length);
  ed->store.FreeLine(next.ref);
  WriteLine(ed, ed->store.FindLine(cl), joined, t.length + next.length, next.hardEnd);
  K::Memory::ReleaseGStack(mark);
  if (wrap) {
    AdjustLineCount(ed);
    InvalidateAll(ed);
    CaretAfterRebreak(ed, cl, cl, at);
  } else {
    ScrollRows(ed, ed->caretRow + 1, -ed->lineHeight);
    AdjustLineCount(ed);
    RedrawLines(ed, cl, cl);
    MoveCaretTo(ed, cl, col);
  }
  Record(ed, record, uk_deleteChar, cl, col, ed->CurrentLine(), ed->caretCol, 13, 0, 0, wrap ? &at : nullptr);
}

void BackspaceChar(EditorRecord* ed, bool record) {
  if (DeleteSelection(ed, record)) return;
  StepOverSoftEnd(ed, false);
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol;
  if (cl == 1 && col == 1) return;
  const bool wrap = Wraps(ed);
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, cl);
  if (col > 1) {
    const RowColumn c = ColumnOnRow(ed, t, col - 1);
    if (c.field) {
      // The character before the caret is a field's: inside the field
      // nothing goes, behind it only a one-character field, whole.
      uint32_t n = 0;
      const wchar_t* text = ColumnOnRow(ed, t, col).field == 1 ? nullptr : WithoutColumns(t, col - 1, col - 1, &n);
      if (text) ReplaceLine(ed, cl, t, text, n, col, col - 1, record);
      K::Memory::ReleaseGStack(mark);
      return;
    }
    const LogicalPos at = wrap ? RowRawToLogical(ed, cl, c.raw) : LogicalPos{};
    wchar_t removed = t.text[c.raw];
    std::memmove(t.text + c.raw, t.text + c.raw + 1, (t.length - c.raw) * sizeof(wchar_t));
    WriteLine(ed, t.ref, t.text, t.length - 1, t.hardEnd);
    K::Memory::ReleaseGStack(mark);
    RedrawLines(ed, cl, cl);
    if (wrap) CaretAfterRebreak(ed, cl, cl, at);
    else MoveCaretTo(ed, cl, col - 1);
    Record(ed, record, uk_deleteChar, cl, col, ed->CurrentLine(), ed->caretCol, removed, 0, 0, wrap ? &at : nullptr);
    return;
  }
  LineText prev = ReadLineText(ed, cl - 1);
  const int32_t prevEnd = ed->store.VisibleLength(cl - 1) + 1;  // the caret's column after the join
  wchar_t* joined = reinterpret_cast<wchar_t*>(
      K::Memory::AllocGStack((t.length + prev.length + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  std::memcpy(joined, prev.text, prev.length * sizeof(wchar_t));
  std::memcpy(joined + prev.length, t.text, t.length * sizeof(wchar_t));
  NeedRoom(ed, prev.length, t.length + prev.length);
  ed->store.FreeLine(t.ref);
  WriteLine(ed, ed->store.FindLine(cl - 1), joined, t.length + prev.length, t.hardEnd);
  K::Memory::ReleaseGStack(mark);
  const int32_t top = ed->topLine;
  if (wrap) {
    const LogicalPos at = RowRawToLogical(ed, cl - 1, prev.length);
    AdjustLineCount(ed);
    InvalidateAll(ed);
    if (ed->caretRow > 1) --ed->caretRow;
    CaretAfterRebreak(ed, cl - 1, cl - 1, at);
    Record(ed, record, uk_deleteChar, cl, col, ed->CurrentLine(), ed->caretCol, 13, 0, 0, &at);
    return;
  }
  if (ed->caretRow == 1) InvalidateAll(ed);
  else ScrollRows(ed, ed->caretRow, -ed->lineHeight);
  AdjustLineCount(ed);
  BringIntoView(ed, cl - 1, prevEnd, std::max(1, ed->caretRow - 1));
  if (ed->topLine != top) InvalidateAll(ed);
  Record(ed, record, uk_deleteChar, cl, col, cl - 1, prevEnd, 13);
}

namespace {

// New line of a wrapping editor (split set): the logical line ends at the
// caret and the rest, after the copied indent of the logical line, starts
// the next; at the end of a soft row the row only ends hard.
void NewLineWrap(EditorRecord* ed, bool copyIndent, bool record) {
  StepOverSoftEnd(ed, false);
  uint8_t* mark = K::Memory::MarkGStack();
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol;
  LineText t = ReadLineText(ed, cl);
  const RowColumn c = ColumnOnRow(ed, t, col);
  if (c.field == 1) {  // inside a field's text
    K::Memory::ReleaseGStack(mark);
    return;
  }
  const uint32_t from = c.raw - (c.field == 2 ? 1 : 0);  // in front of a field
  const LogicalPos at = RowRawToLogical(ed, cl, from);
  uint32_t indent = 0;
  if (from == t.length && !t.hardEnd) {
    WriteLine(ed, t.ref, t.text, t.length, true);
  } else {
    const wchar_t* line = nullptr;
    if (copyIndent) {
      uint32_t n;
      int32_t rows;
      line = ReadLogicalLine(ed, at.firstRow, &n, &rows);
      while (indent < at.offset && (line[indent] == L' ' || line[indent] == L'\t')) ++indent;
    }
    const uint32_t newLen = indent + (t.length - from);
    if (!ed->store.HasRoom(ChunksForLength(newLen))) {
      K::Memory::ReleaseGStack(mark);
      Raise(err_storeFull);
    }
    wchar_t* nl = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((newLen + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
    if (indent) std::memcpy(nl, line, indent * sizeof(wchar_t));
    std::memcpy(nl + indent, t.text + from, (t.length - from) * sizeof(wchar_t));
    ChunkRef r = ed->store.InsertLineAfter(t.ref);
    WriteLine(ed, r, nl, newLen, t.hardEnd);
    WriteLine(ed, ed->store.FindLine(cl), t.text, from, true);
    AdjustLineCount(ed);
  }
  K::Memory::ReleaseGStack(mark);
  InvalidateAll(ed);
  if (ed->indentMode) {
    ed->scrollX = 0;
    SetHScrollPos(ed, 0);
  }
  // The new logical line starts after the row that now ends the old one.
  RebreakRows(ed, cl, cl + 1);
  int32_t endRow, endCol;
  LogicalToRow(ed, at, &endRow, &endCol);
  PlaceCaretLogical(ed, {endRow + 1, indent});
  Record(ed, record, uk_insertChar, cl, col, ed->CurrentLine(), ed->caretCol, 0, 13, static_cast<int32_t>(indent), &at);
}

}  // namespace

void NewLine(EditorRecord* ed, bool split, bool copyIndent, bool record) {
  DeleteSelection(ed, record);
  if (split && Wraps(ed)) {
    NewLineWrap(ed, copyIndent, record);
    return;
  }
  uint8_t* mark = K::Memory::MarkGStack();
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol, lc = ed->LineCount();
  LineText t = ReadLineText(ed, cl);
  const RowColumn c = ColumnOnRow(ed, t, col);
  if (c.field == 1) {  // inside a field's text
    K::Memory::ReleaseGStack(mark);
    return;
  }
  const bool atEnd = col > c.visible;
  bool inserted = false;
  uint32_t indent = 0;
  if (split || (cl == lc && atEnd)) {
    if (copyIndent) {
      while (indent < t.length && indent + 1 < static_cast<uint32_t>(col) &&
             (t.text[indent] == L' ' || t.text[indent] == L'\t'))
        ++indent;
    }
    const uint32_t from = c.raw - (c.field == 2 ? 1 : 0);  // in front of a field
    const uint32_t newLen = indent + (t.length - from);
    if (!ed->store.HasRoom(ChunksForLength(newLen))) {
      K::Memory::ReleaseGStack(mark);
      Raise(err_storeFull);
    }
    wchar_t* nl = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((newLen + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
    std::memcpy(nl, t.text, indent * sizeof(wchar_t));
    std::memcpy(nl + indent, t.text + from, (t.length - from) * sizeof(wchar_t));
    ChunkRef r = ed->store.InsertLineAfter(t.ref);
    WriteLine(ed, r, nl, newLen, t.hardEnd);
    if (!atEnd || !t.hardEnd) WriteLine(ed, ed->store.FindLine(cl), t.text, from, true);
    if (ed->caretRow < ed->visibleRows) ScrollRows(ed, ed->caretRow + 1, ed->lineHeight);
    RedrawLines(ed, cl, cl + 1);
    AdjustLineCount(ed);
    inserted = true;
  } else {
    indent = 0;
  }
  K::Memory::ReleaseGStack(mark);
  if (ed->indentMode) ed->scrollX = 0;
  const int32_t top = ed->topLine;
  BringIntoView(ed, cl + 1, static_cast<int32_t>(indent) + 1, ed->caretRow + 1);
  if (ed->topLine != top) InvalidateAll(ed);
  // Overwrite mode's move to the next line changes no text; a line added
  // at the end of the text is a line break like a split.
  if (inserted)
    Record(ed, record, uk_insertChar, cl, col, cl + 1, static_cast<int32_t>(indent) + 1, 0, 13,
           static_cast<int32_t>(indent));
  else
    Record(ed, record, uk_selection, cl, col, cl + 1, 1);
}

namespace {

// Delete line on a row that is part of a longer logical line: the row's
// text leaves the logical line, which is laid out again; kind 10.
void DeleteRowWrap(EditorRecord* ed, bool record, bool prevSoft, bool hard) {
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol;
  const int32_t first = LogicalFirstRow(ed, cl);
  wchar_t* old = record ? LogicalUndoText(ed, first) : nullptr;
  uint8_t* mark = K::Memory::MarkGStack();
  int32_t from = cl;
  if (prevSoft && hard) {  // the last row: the one before ends the line
    ed->store.FreeLine(ed->store.FindLine(cl));
    LineText prev = ReadLineText(ed, cl - 1);
    WriteLine(ed, prev.ref, prev.text, prev.length, true);
    from = cl - 1;
  } else if (!prevSoft) {  // the first row
    ed->store.FreeLine(ed->store.FindLine(cl));
  } else {  // a middle row: emptied, the rows around it close up
    WriteLine(ed, ed->store.FindLine(cl), L"", 0, false);
  }
  K::Memory::ReleaseGStack(mark);
  AdjustLineCount(ed);
  InvalidateAll(ed);
  RebreakRows(ed, from, from);
  const int32_t line = std::min(cl, ed->LineCount());
  const int32_t top = ed->topLine;
  BringIntoView(ed, line, std::min(col, ed->store.VisibleLength(line) + 1), ed->caretRow);
  if (ed->topLine != top) InvalidateAll(ed);
  if (record) RecordLogicalLine(ed, first, old, cl, col);
}

}  // namespace

void DeleteLine(EditorRecord* ed, bool record) {
  ed->selection.active = 0;
  if (Wraps(ed)) {
    const int32_t cl = ed->CurrentLine();
    const bool prevSoft = cl > 1 && !RowEndsHard(ed, cl - 1), hard = RowEndsHard(ed, cl);
    if (prevSoft || !hard) {
      DeleteRowWrap(ed, record, prevSoft, hard);
      return;
    }
  }
  uint8_t* mark = K::Memory::MarkGStack();
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol, lc = ed->LineCount();
  LineText t = ReadLineText(ed, cl);
  if (lc == 1 && t.length == 0) {
    K::Memory::ReleaseGStack(mark);
    return;
  }
  wchar_t* old = record ? CopyUndoText(t.text, t.length) : nullptr;
  int32_t lineNo = -1, newLine = 1, newCol = 1;
  if (lc == 1) {
    WriteLine(ed, t.ref, L"", 0, true);
    InvalidateAll(ed);
  } else {
    ed->store.FreeLine(t.ref);
    lineNo = cl;
    newLine = std::min(cl, lc - 1);
    newCol = std::min(col, ed->store.VisibleLength(newLine) + 1);
    ScrollRows(ed, ed->caretRow, -ed->lineHeight);
    AdjustLineCount(ed);
  }
  K::Memory::ReleaseGStack(mark);
  const int32_t top = ed->topLine;
  BringIntoView(ed, newLine, newCol, ed->caretRow);
  if (ed->topLine != top) InvalidateAll(ed);
  if (record) {
    UndoEntry e{};
    e.kind = uk_deleteLine;
    e.newText = old;
    e.newLen = static_cast<int32_t>(t.length) + 1;
    e.lineNo = lineNo;
    e.selBefore = e.selAfter = ed->selection;
    RecordUndo(ed, e, cl, col, newLine, newCol);
  }
}

void DeleteToLineEdge(EditorRecord* ed, bool toStart) {
  ed->selection.active = 0;
  uint8_t* mark = K::Memory::MarkGStack();
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol;
  LineText t = ReadLineText(ed, cl);
  const RowColumn c = ColumnOnRow(ed, t, col);
  if (c.field == 1) {  // inside a field's text
    K::Memory::ReleaseGStack(mark);
    return;
  }
  const int32_t sx = ed->scrollX;
  const wchar_t* text = t.text;
  uint32_t n = t.length;
  if (ed->hyperMode) {  // fields in the removed part go with their markup
    const int32_t from = toStart ? 1 : col, to = toStart ? col - 1 : c.visible;
    if (from <= to) text = WithoutColumns(t, from, to, &n);
  } else {
    wchar_t* kept = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((t.length + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
    n = toStart ? t.length - c.raw : c.raw;
    std::memcpy(kept, t.text + (toStart ? c.raw : 0), n * sizeof(wchar_t));
    text = kept;
  }
  if (text) {
    if (toStart) {
      ed->scrollX = 0;
      SetHScrollPos(ed, 0);
    }
    ReplaceLine(ed, cl, t, text, n, col, toStart ? 1 : col, true);
  }
  K::Memory::ReleaseGStack(mark);
  if (ed->scrollX != sx) InvalidateAll(ed);
}

void TypeChar(EditorRecord* ed, wchar_t ch, bool insert, bool record) {
  ch = StoreChar(ch, false);  // a typed 11, 14 or 15 would break the markup
  DeleteSelection(ed, record);
  const bool wrap = Wraps(ed);
  // Overwriting at the end of a soft row overwrites the next row's first character.
  if (!insert) StepOverSoftEnd(ed, true);
  uint8_t* mark = K::Memory::MarkGStack();
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol;
  LineText t = ReadLineText(ed, cl, 1);
  const RowColumn c = ColumnOnRow(ed, t, col);
  if (c.field == 1) {  // inside a field's text
    K::Memory::ReleaseGStack(mark);
    return;
  }
  // On a field's first character the character goes in front of the field;
  // overwriting there replaces nothing, as past the end of the row.
  const uint32_t at = c.raw - (c.field == 2 ? 1 : 0);
  const int32_t vcol = std::min(col, c.visible + 1);
  const LogicalPos place = wrap ? RowRawToLogical(ed, cl, at) : LogicalPos{};
  wchar_t old = 0;
  uint32_t n = t.length;
  if (insert || at >= t.length || c.field == 2) {
    NeedRoom(ed, t.length, t.length + 1);
    std::memmove(t.text + at + 1, t.text + at, (t.length - at) * sizeof(wchar_t));
    ++n;
  } else {
    old = t.text[at];
  }
  t.text[at] = ch;
  WriteLine(ed, t.ref, t.text, n, t.hardEnd);
  K::Memory::ReleaseGStack(mark);
  RedrawLines(ed, cl, cl);
  const int32_t top = ed->topLine, sx = ed->scrollX;
  if (wrap) CaretAfterRebreak(ed, cl, cl, {place.firstRow, place.offset + 1});
  else BringIntoView(ed, cl, vcol + 1, ed->caretRow);
  if (ed->topLine != top || ed->scrollX != sx) InvalidateAll(ed);
  Record(ed, record, insert ? uk_insertChar : uk_overwriteChar, cl, vcol, ed->CurrentLine(), ed->caretCol, old, ch, 0,
         wrap ? &place : nullptr);
}

// ---------------------------------------------------------------------------
// Words.

bool WordAt(EditorRecord* ed, int32_t line, int32_t col, int32_t* start, int32_t* end) {
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  MaskMarkup(ed, &t);
  const bool found = TokenBounds(t.text, col, start, end);
  K::Memory::ReleaseGStack(mark);
  return found;
}

bool SelectWordAt(EditorRecord* ed, int32_t line, int32_t col) {
  int32_t start, end;
  if (!WordAt(ed, line, col, &start, &end)) return false;
  const Selection before = ed->selection;
  const int32_t lb = ed->CurrentLine(), cb = ed->caretCol;
  ed->selection = {1, start, line, end, line};
  BringIntoView(ed, line, end, ed->caretRow);
  RedrawLines(ed, line, line);
  RecordSelectionChange(ed, before, lb, cb);
  return true;
}

void DeleteWord(EditorRecord* ed, bool right) {
  ed->selection.active = 0;
  // A soft break is passed by moving, not by joining rows.
  StepOverSoftEnd(ed, right);
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol;
  int32_t line = cl, result = col;
  FindWordBoundary(ed, right, &line, &result);
  if (!right && line != cl && col > 1) {
    line = cl;  // deleting left inside a line stops at its start
    result = 1;
  }
  if (line != cl) {
    if (right) DeleteChar(ed, true);
    else BackspaceChar(ed, true);
    return;
  }
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, cl);
  const RowColumn c = ColumnOnRow(ed, t, col);
  const int32_t end = c.visible + 1;
  const int32_t from = std::min(std::min(col, result), end), to = std::min(std::max(col, result), end);
  if (c.field == 1 || from == to) {  // inside a field's text, or nothing to delete
    K::Memory::ReleaseGStack(mark);
    if (c.field != 1 && !right) Record(ed, true, uk_selection, cl, col, cl, col);
    return;
  }
  uint32_t n = t.length - (to - from);
  wchar_t* text;
  if (ed->hyperMode) {  // fields go whole with their markup, or nothing goes
    text = WithoutColumns(t, from, to - 1, &n);
  } else {
    text = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((t.length + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
    std::memcpy(text, t.text, (from - 1) * sizeof(wchar_t));
    std::memcpy(text + from - 1, t.text + to - 1, (t.length - to + 1) * sizeof(wchar_t));
  }
  if (text) ReplaceLine(ed, cl, t, text, n, col, right ? col : from, true);
  K::Memory::ReleaseGStack(mark);
}

}  // namespace QEL_EDIT::detail
