// Dropping a dragged selection: moving it (kind 4) or copying it (kind 5)
// to a drop point, and applying those entries again.
//
// Positions of a move entry: before = the selection's start, after = the
// drop point, both in the text with the selection taken out; its selection
// before is the dragged one, after is the inserted text.  A copy entry's
// before is the drop point, after the end of the copy.
#include <algorithm>

#include "core.h"
#include "qel6kernel.h"
#include "view.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

namespace {

struct Ends {
  int32_t l1, c1, l2, c2;
};

Ends OrderedEnds(const Selection& s) {
  Ends r{s.anchorLine, s.anchorCol, s.caretLine, s.caretCol};
  if (PositionNotBefore(r.c1, r.l1, r.c2, r.l2)) {
    std::swap(r.l1, r.l2);
    std::swap(r.c1, r.c2);
  }
  return r;
}

// Inserts the dragged text at (line, col), releases the text's mark and
// shows the result; the drop point as the caret found it comes back.
void InsertAtDrop(EditorRecord* ed, int32_t line, int32_t col, const wchar_t* text, uint8_t* mark,
                  int32_t* dropLine, int32_t* dropCol) {
  MoveCaretTo(ed, line, col);
  *dropLine = ed->CurrentLine();
  *dropCol = ed->caretCol;
  InsertText(ed, false, true, text);
  K::Memory::ReleaseGStack(mark);
  BringIntoView(ed, ed->selection.caretLine, ed->selection.caretCol, ed->caretRow);
  UpdateVScrollRange(ed);
  InvalidateAll(ed);
}

void RecordDrop(EditorRecord* ed, int kind, const Selection& dragged, int32_t l1, int32_t c1, int32_t l2,
                int32_t c2, uint32_t from = 0, uint32_t to = 0) {
  UndoEntry e{};
  e.kind = kind;
  e.dragFrom = static_cast<int32_t>(from);
  e.dragTo = static_cast<int32_t>(to);
  e.selBefore = dragged;
  e.selAfter = ed->selection;
  e.lineNo = -1;
  RecordUndo(ed, e, l1, c1, l2, c2);
}

}  // namespace

bool DropInsideSelection(const Selection& s, int32_t line, int32_t col) {
  const Ends r = OrderedEnds(s);
  return PositionNotBefore(col, line, r.c1, r.l1) && PositionNotBefore(r.c2, r.l2, col, line);
}

void MoveDrop(EditorRecord* ed, const Selection& dragged, int32_t line, int32_t col, bool record) {
  if (FieldTest(ed, line, col, false)) return;  // a drop onto a field changes nothing
  const Ends r = OrderedEnds(dragged);
  // Text positions of the selection's ends and of the drop (wrapping
  // editors); an end that is none ends the drop.
  uint32_t from = 0, to = 0, drop = 0;
  if (ed->wrappable) {
    // An end on a field's first character takes the field's start mark.
    from = ed->store.PositionOf(r.l1, r.c1) - (FieldTest(ed, r.l1, r.c1, true) == 2 ? 1 : 0);
    to = ed->store.PositionOf(r.l2, r.c2) - (FieldTest(ed, r.l2, r.c2, true) == 2 ? 1 : 0);
    drop = ed->store.PositionOf(line, col);
    if (!from || !to || !drop) return;
    // A drop onto the dragged text, its ends included, moves nothing; any
    // other drop point is still in the text once the selection is out.
    if (drop >= from && drop <= to) return;
  } else if (DropInsideSelection(dragged, line, col)) {
    return;
  }
  ed->selection = dragged;
  ed->selection.active = 1;
  uint8_t* mark = K::Memory::MarkGStack();
  wchar_t* text = TakeSelection(ed, true, false, true, false);
  if (!text) {
    K::Memory::ReleaseGStack(mark);
    return;
  }
  if (ed->wrappable) {
    // Rows are laid out again when the text leaves: the drop point as a
    // text position, moved back by the selection's length when behind it.
    if (drop > to) drop -= to - from;
    if (!ed->store.LineColOf(drop, &line, &col)) {
      K::Memory::ReleaseGStack(mark);
      return;
    }
  } else {
    // The drop point in the text without the selection: the lines taken out
    // come off a later line, and on the last line the tail now starts at the
    // selection's start column.
    const bool behindEnd = line == r.l2 && col > r.c2;
    if (line >= r.l2) line -= r.l2 - r.l1;
    if (behindEnd) col = r.c1 + (col - r.c2);
  }
  int32_t dropLine, dropCol;
  InsertAtDrop(ed, line, col, text, mark, &dropLine, &dropCol);
  if (record) RecordDrop(ed, uk_moveDrag, dragged, r.l1, r.c1, dropLine, dropCol, from, drop);
}

void CopyDrop(EditorRecord* ed, const Selection& dragged, int32_t line, int32_t col, bool record) {
  if (FieldTest(ed, line, col, false)) return;  // a drop onto a field changes nothing
  ed->selection = dragged;
  ed->selection.active = 1;
  uint8_t* mark = K::Memory::MarkGStack();
  wchar_t* text = TakeSelection(ed, false, false, true, false);
  if (!text) {
    K::Memory::ReleaseGStack(mark);
    return;
  }
  ed->selection.active = 0;
  const uint32_t drop = ed->wrappable ? ed->store.PositionOf(line, col) : 0;
  int32_t dropLine, dropCol;
  InsertAtDrop(ed, line, col, text, mark, &dropLine, &dropCol);
  if (record)
    RecordDrop(ed, uk_copyDrop, dragged, dropLine, dropCol, ed->selection.caretLine, ed->selection.caretCol, 0, drop);
}

void ApplyDragEntry(EditorRecord* ed, const UndoEntry& e) {
  switch (e.kind) {
    case uk_moveDrag: {
      // The selection comes out; the caret goes to the entry's after
      // position in the text without it, and the text goes in there.
      ed->selection = e.selBefore;
      ed->selection.active = 1;
      uint8_t* mark = K::Memory::MarkGStack();
      wchar_t* text = TakeSelection(ed, true, false, true, false);
      if (text) {
        int32_t line = e.lineAfter, col = e.colAfter;
        if (ed->wrappable) ed->store.LineColOf(static_cast<uint32_t>(e.dragTo), &line, &col);
        MoveCaretTo(ed, line, col);
        InsertText(ed, false, true, text);
        BringIntoView(ed, ed->selection.caretLine, ed->selection.caretCol, ed->caretRow);
      }
      K::Memory::ReleaseGStack(mark);
      break;
    }
    case uk_copyDrop: {
      int32_t line = e.selAfter.anchorLine, col = e.selAfter.anchorCol;
      if (ed->wrappable) ed->store.LineColOf(static_cast<uint32_t>(e.dragTo), &line, &col);
      CopyDrop(ed, e.selBefore, line, col, false);
      break;
    }
    case uk_copyDropInverse:
      ed->selection = e.selBefore;
      ed->selection.active = 1;
      TakeSelection(ed, true, false, true, true);
      MoveCaretTo(ed, e.lineAfter, e.colAfter);
      break;
    default:
      break;
  }
  UpdateVScrollRange(ed);
  InvalidateAll(ed);
}

}  // namespace QEL_EDIT::detail
