// Recording undo entries for an editor and applying them in either
// direction, with the modified flag that follows the ring's clean state.
//
// Applying an entry records nothing; a text change applied sets `modified`
// unless the text is back at the clean state.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "core.h"
#include "find.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"
#include "wrap.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

void RecordUndo(EditorRecord* ed, UndoEntry& e, int32_t lineBefore, int32_t colBefore,
                int32_t lineAfter, int32_t colAfter) {
  e.lineBefore = lineBefore;
  e.colBefore = colBefore;
  e.lineAfter = lineAfter;
  e.colAfter = colAfter;
  if (!ed->modified && e.kind != uk_selection) {
    ed->modified = 1;
    InvalidateStatus(ed);
  }
  ed->undoRing.Add(e);
}

void RecordSelectionChange(EditorRecord* ed, const Selection& before, int32_t lineBefore,
                           int32_t colBefore) {
  if (lineBefore == ed->CurrentLine() && colBefore == ed->caretCol) return;
  UndoEntry e{};
  e.kind = uk_selection;
  e.selBefore = before;
  e.selAfter = ed->selection;
  e.lineNo = -1;
  RecordUndo(ed, e, lineBefore, colBefore, ed->CurrentLine(), ed->caretCol);
}

void EmptyUndoRing(EditorRecord* ed) {
  ed->undoRing.Reset();
  if (ed->modified) ed->undoRing.cleanIndex = NoClean;
}

namespace {

// Writes zero-terminated saved lines back into lines from..to.
void WriteSavedLines(EditorRecord* ed, const wchar_t* saved, int32_t from, int32_t to) {
  const wchar_t* p = saved;
  for (int32_t l = from; l <= to && l <= ed->LineCount(); ++l) {
    uint32_t n = static_cast<uint32_t>(std::wcslen(p));
    const ChunkRef r = ed->store.FindLine(l);
    bool hard;
    ed->store.StoredLength(r, &hard);
    ed->store.WriteRowN(r, p, n, hard);
    p += n + 1;
  }
  InvalidateAll(ed);
}

// Re-creates a deleted line holding `text` as line `lineNo` (-1: the only
// line was emptied).
void RecreateLine(EditorRecord* ed, const wchar_t* text, int32_t lineNo) {
  const uint32_t n = text ? static_cast<uint32_t>(std::wcslen(text)) : 0;
  if (lineNo == -1) {
    ed->store.WriteRowN(ed->store.textHead, text ? text : L"", n, true);
    InvalidateAll(ed);
    return;
  }
  if (!ed->store.HasRoom(ChunksForLength(n) + 1)) Raise(err_storeFull);
  if (lineNo > 1) {
    ChunkRef r = ed->store.InsertLineAfter(ed->store.FindLine(std::min(lineNo - 1, ed->LineCount())));
    ed->store.WriteRowN(r, text ? text : L"", n, true);
  } else {
    // A new first line: line 1's text moves down into a line after it.
    uint8_t* mark = K::Memory::MarkGStack();
    LineText first = ReadLineText(ed, 1);
    if (!ed->store.HasRoom(ChunksForLength(first.length) + ChunksForLength(n))) Raise(err_storeFull);
    ChunkRef r = ed->store.InsertLineAfter(first.ref);
    ed->store.WriteRowN(r, first.text, first.length, first.hardEnd);
    ed->store.WriteRowN(ed->store.textHead, text ? text : L"", n, true);
    K::Memory::ReleaseGStack(mark);
  }
  UpdateVScrollRange(ed);
  InvalidateAll(ed);
}

// A wrapping editor's single-character entries hold the place of the
// character changed, which is the same before and after the change.
void MoveToChange(EditorRecord* ed, const UndoEntry& e, int32_t line, int32_t col) {
  if (!ed->wrappable || e.logicalRow <= 0) {
    MoveCaretTo(ed, line, col);
    return;
  }
  LogicalToRow(ed, {e.logicalRow, static_cast<uint32_t>(e.logicalOffset)}, &line, &col);
  MoveCaretTo(ed, line, col);
}

void Apply(EditorRecord* ed, const UndoEntry& e, bool undoing) {
  const int32_t kind = e.kind;
  const int32_t top = ed->topLine, sx = ed->scrollX;
  const bool selectionShown = ed->selection.HoldsText();
  // The single-step commands would take a selection left by an earlier
  // step (the text an undone cut put back) with them; theirs is set after.
  if (kind >= uk_overwriteChar && kind <= uk_deleteLine) ed->selection.active = 0;
  switch (kind) {
    case uk_selection:
      break;
    case uk_insertText:
      MoveCaretTo(ed, e.lineBefore, e.colBefore);
      ed->selection.active = 0;
      InsertText(ed, false, false, e.savedText);
      break;
    case uk_deleteSelection:
      ed->selection = e.selBefore;
      ed->selection.active = 1;
      TakeSelection(ed, true, false, false, true);
      break;
    case uk_overwriteChar: {
      MoveToChange(ed, e, undoing ? e.lineAfter : e.lineBefore, undoing ? e.colAfter : e.colBefore);
      // Undo of an overwrite that extended the line: the typed character goes.
      if (e.newChar == 0) DeleteChar(ed, false);
      else TypeChar(ed, e.newChar, false, false);
      break;
    }
    case uk_insertChar:
      MoveToChange(ed, e, e.lineBefore, e.colBefore);
      if (e.newChar == 13) NewLine(ed, true, e.indentCopied > 0, false);
      else TypeChar(ed, e.newChar, true, false);
      break;
    case uk_deleteChar:
      MoveToChange(ed, e, e.lineAfter, e.colAfter);
      DeleteChar(ed, false);
      if (e.oldChar == 13)  // the copied indent goes with the line break
        for (int32_t i = 0; i < e.indentCopied; ++i) DeleteChar(ed, false);
      break;
    case uk_replaceAllLine:
      if (e.lineBlock) {  // one whole Change All
        WriteLineBlock(ed, e.newText, e.newLen);
        break;
      }
      [[fallthrough]];
    case uk_replaceLine: {
      int32_t line = e.lineNo > 0 ? e.lineNo : e.lineBefore;
      const wchar_t* t = e.newText ? e.newText : L"";
      uint32_t n = static_cast<uint32_t>(std::wcslen(t));
      if (ed->wrappable && e.logicalRow > 0 && e.logicalOffset == WholeLogicalLine) {
        if (!WriteLogicalLine(ed, e.logicalRow, t, n)) Raise(err_storeFull);
        break;
      }
      ChunkRef r = ed->store.FindLine(line);
      if (r.IsEnd()) break;
      bool hard;
      if (ChunksForLength(n) > ChunksForLength(ed->store.StoredLength(r, &hard)) &&
          !ed->store.HasRoom(ChunksForLength(n)))
        Raise(err_storeFull);
      ed->store.WriteRowN(r, t, n, hard);  // a soft row stays soft
      RedrawLines(ed, line, line);
      break;
    }
    case uk_recreateLine:
      RecreateLine(ed, e.newText, e.lineNo);
      break;
    case uk_deleteLine:
      MoveCaretTo(ed, e.lineBefore, e.colBefore);
      DeleteLine(ed, false);
      break;
    case uk_reverseCase:
      ed->selection = e.selBefore;
      ChangeCase(ed, 2, false);
      break;
    case uk_lowerCase:
    case uk_upperCase:
      if (undoing) {
        const Selection& s = e.selBefore;
        WriteSavedLines(ed, e.savedText, std::min(s.anchorLine, s.caretLine), std::max(s.anchorLine, s.caretLine));
      } else {
        ed->selection = e.selBefore;
        ChangeCase(ed, kind == uk_upperCase ? 0 : 1, false);
      }
      break;
    case uk_moveDrag:
    case uk_copyDrop:
    case uk_copyDropInverse:
      ApplyDragEntry(ed, e);
      return;
    default:
      break;
  }
  MoveCaretTo(ed, e.lineAfter, e.colAfter);
  if (kind != uk_insertText && kind != uk_deleteSelection && kind != uk_replaceAllLine)
    ed->selection = e.selAfter;
  // The single-character commands repaint the rows they change; any other
  // kind, a moved view or a selection shown before or after repaints all.
  const bool oneCharacter = kind == uk_overwriteChar || kind == uk_insertChar || kind == uk_deleteChar;
  if (!oneCharacter || selectionShown || ed->selection.HoldsText() || ed->topLine != top || ed->scrollX != sx)
    InvalidateAll(ed);
}

// Caret row back inside the window before a step.
void CaretIntoWindow(EditorRecord* ed) {
  if (ed->caretRow >= 1 && ed->caretRow <= ed->visibleRows) return;
  int32_t line = std::clamp(ed->CurrentLine(), 1, ed->LineCount());
  ed->caretRow = ed->caretRow < 2 ? 1 : std::max(1, ed->visibleRows - 1);
  BringIntoView(ed, line, ed->caretCol, ed->caretRow);
  InvalidateAll(ed);
}

void AfterStep(EditorRecord* ed, int32_t kind) {
  if (kind != uk_selection) {
    const int32_t modified = ed->undoRing.AtCleanState() ? 0 : 1;
    if (modified != ed->modified) InvalidateStatus(ed);  // the status line shows the flag
    ed->modified = modified;
  }
  RefreshStatusPos(ed);
}

}  // namespace

void UndoStep(EditorRecord* ed) {
  CaretIntoWindow(ed);
  UndoEntry e;
  if (!ed->undoRing.TakeUndo(&e, ed->wrappable)) Raise(err_noUndo);
  Apply(ed, e, true);
  int32_t kind = e.kind;
  // The entries of one replace-all go back together.
  while (kind == uk_replaceAllLine && !e.lineBlock && ed->undoRing.undoCount > 0 &&
         ed->undoRing.slots[ed->undoRing.current].kind == uk_replaceAllLine &&
         !ed->undoRing.slots[ed->undoRing.current].lineBlock) {
    ed->undoRing.TakeUndo(&e, ed->wrappable);
    Apply(ed, e, true);
  }
  AfterStep(ed, kind);
}

void RedoStep(EditorRecord* ed) {
  CaretIntoWindow(ed);
  UndoEntry e;
  if (!ed->undoRing.TakeRedo(&e)) Raise(err_noRedo);
  Apply(ed, e, false);
  int32_t kind = e.kind;
  while (kind == uk_replaceAllLine && !e.lineBlock && ed->undoRing.redoCount > 0 &&
         ed->undoRing.slots[UndoRing::NextIndex(ed->undoRing.current)].kind == uk_replaceAllLine &&
         !ed->undoRing.slots[UndoRing::NextIndex(ed->undoRing.current)].lineBlock) {
    ed->undoRing.TakeRedo(&e);
    Apply(ed, e, false);
  }
  AfterStep(ed, kind);
}

// ---------------------------------------------------------------------------
// The whole text.

uint32_t TextLength(EditorRecord* ed) {
  uint64_t n = 0;
  ChunkRef r = ed->store.textHead;
  for (int32_t l = 1; !r.IsEnd(); ++l) {
    bool hard;
    n += ed->store.StoredLength(r, &hard);
    r = ed->store.NextLine(r);
    if (hard && !r.IsEnd()) ++n;
  }
  return static_cast<uint32_t>(n);
}

wchar_t* TextGet(EditorRecord* ed) {
  uint32_t n = TextLength(ed);
  auto* out = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((n + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  wchar_t* p = out;
  ChunkRef r = ed->store.textHead;
  while (!r.IsEnd()) {
    bool hard;
    uint32_t len = ed->store.StoredLength(r, &hard);
    ChunkRef next = ed->store.ReadRow(r, p, false, settings.tabSize, nullptr);
    p += len;
    if (hard && !next.IsEnd()) *p++ = L'\n';
    r = next;
  }
  *p = 0;
  return out;
}

}  // namespace QEL_EDIT::detail
