// The key table: key codes and modifiers to movements and commands, and
// the TAB key's indentation.
//
// Commands that edit do nothing in a read-only editor; movement keys record
// a selection change when the caret moved; `wantedCol` follows the caret
// except after vertical moves.
#include <algorithm>

#include "core.h"
#include "mouse.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

namespace {

enum KeyCode : int32_t {
  key_up = 301, key_down = 302, key_right = 303, key_left = 304, key_pageUp = 305,
  key_pageDown = 306, key_home = 307, key_end = 308, key_textHome = 309, key_textEnd = 310,
  key_insert = 312, key_wordLeft = 313, key_wordRight = 314, key_backspace = 315,
  key_delete = 127, key_altF4 = 65651,
};
constexpr int32_t Shift = 1, Control = 2, Alt = 4;

// Spaces or TABs for the TAB key, inserted at the caret with undo.
void InsertBlanks(EditorRecord* ed, int32_t tabs, int32_t spaces) {
  uint8_t* mark = K::Memory::MarkGStack();
  auto* t = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((tabs + spaces + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  int32_t n = 0;
  for (int32_t i = 0; i < tabs; ++i) t[n++] = L'\t';
  for (int32_t i = 0; i < spaces; ++i) t[n++] = L' ';
  t[n] = 0;
  InsertText(ed, true, false, t);
  ed->selection.active = 0;
  K::Memory::ReleaseGStack(mark);
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Moves the line's indentation to the next indent stop (back: the previous
// one) from its first non-blank.  In test form only when the caret stands in
// the leading blanks or (back) inside a word; true when the key was handled.
bool ReIndent(EditorRecord* ed, bool back, bool testOnly) {
  const int32_t indent = settings.indentSize, tab = settings.tabSize;
  const int32_t cl = ed->CurrentLine(), col = ed->caretCol;
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, cl);
  const int32_t length = static_cast<int32_t>(t.length);
  int32_t blanks = 0;
  while (blanks < length && IsBlank(t.text[blanks])) ++blanks;
  const bool inWord = back && col > 1 && col <= length && !IsBlank(t.text[col - 2]) && !IsBlank(t.text[col - 1]);
  K::Memory::ReleaseGStack(mark);
  if (blanks == 0 && back) return true;
  if (testOnly && col > blanks + 1 && !inWord) return false;
  const int32_t h = ed->store.ColumnOfChar(cl, blanks + 1, tab);
  const int32_t width = back ? h - ((h - 2) % indent + 1) - 1 : h + indent - (h - 1) % indent - 1;
  const int32_t insertMode = ed->insertMode;
  ed->insertMode = 1;
  if (blanks > 0) {
    MoveCaretTo(ed, cl, blanks + 1);
    DeleteToLineEdge(ed, true);
  }
  int32_t tabs = 0, spaces = width;
  if (settings.tabMode)
    for (; spaces > tab; spaces -= tab) ++tabs;
  if (tabs + spaces > 0) {
    MoveCaretTo(ed, cl, 1);
    InsertBlanks(ed, tabs, spaces);
  }
  const int32_t newCol = std::clamp(col + tabs + spaces - blanks, 1, ed->store.VisibleLength(cl) + 1);
  BringIntoView(ed, cl, newCol, ed->caretRow);
  ed->insertMode = insertMode;
  return true;
}

// The TAB key (back: shift held).
void TabKey(EditorRecord* ed, bool back) {
  const int32_t indent = settings.indentSize, tab = settings.tabSize;
  const int32_t cl = ed->CurrentLine();
  const int32_t d = ed->store.ColumnOfChar(cl, ed->caretCol, tab);
  const int32_t n = ((d - 1) / indent + 1) * indent - d + 1;
  if (!settings.tabMode && ReIndent(ed, back, true)) return;
  if (back) {
    uint8_t* mark = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, cl);
    int32_t steps = n == indent ? indent : indent - n;
    int32_t col = ed->caretCol;
    while (steps-- > 0 && col > 1 && t.text[col - 2] != L'\t') --col;
    K::Memory::ReleaseGStack(mark);
    BringIntoView(ed, cl, col, ed->caretRow);
    return;
  }
  if (settings.tabMode) {
    if (tab >= indent) TypeChar(ed, L'\t', ed->insertMode, true);
    else InsertBlanks(ed, indent / tab, indent % tab);
    return;
  }
  // Between two non-blanks the whole line moves instead.
  const int32_t col = ed->caretCol;
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, cl);
  const bool inWord = col > 1 && col <= static_cast<int32_t>(t.length) && !IsBlank(t.text[col - 2]) &&
                      !IsBlank(t.text[col - 1]);
  K::Memory::ReleaseGStack(mark);
  if (inWord) ReIndent(ed, false, false);
  else InsertBlanks(ed, 0, n);
}

bool IsMovement(int32_t code) {
  return (code >= key_up && code <= key_textEnd) || code == key_wordLeft || code == key_wordRight;
}

void Move(EditorRecord* ed, int32_t code, bool select) {
  switch (code) {
    case key_up: MoveUp(ed, select); break;
    case key_down: MoveDown(ed, select); break;
    case key_right: MoveRight(ed, select); break;
    case key_left: MoveLeft(ed, select); break;
    case key_pageUp:
    case key_pageDown:
      BeginSelection(ed, select);
      VerticalScroll(ed, code == key_pageUp ? 3 : 4, -1);
      ExtendSelection(ed, select);
      break;
    case key_home: MoveLineHome(ed, select); break;
    case key_end: MoveLineEnd(ed, select); break;
    case key_textHome: MoveTextHome(ed, select); break;
    case key_textEnd: MoveTextEnd(ed, select); break;
    case key_wordLeft: MoveWord(ed, false, select); break;
    case key_wordRight: MoveWord(ed, true, select); break;
  }
}

}  // namespace

void DispatchKey(EditorRecord* ed, int32_t code, int32_t flags) {
  if (code == 27 || code == 8 || code == key_altF4) return;
  CancelMouse(ed);
  if (ed->caretRow < 1 || ed->caretRow > ed->visibleRows) {
    ed->caretRow = ed->caretRow < 2 ? 1 : ed->visibleRows;
    BringIntoView(ed, std::clamp(ed->CurrentLine(), 1, ed->LineCount()), ed->caretCol, ed->caretRow);
    InvalidateAll(ed);
  }
  const bool shift = flags & Shift, control = flags & Control, alt = flags & Alt;
  const bool edits = !ed->readOnly;
  const Selection selBefore = ed->selection;
  const int32_t lineBefore = ed->CurrentLine(), colBefore = ed->caretCol;
  if (IsMovement(code)) {
    Move(ed, code, shift);
    RecordSelectionChange(ed, selBefore, lineBefore, colBefore);
  } else {
    switch (code) {
      case key_insert:
        if (shift) {
          if (edits) PasteFromClipboard(ed);
        } else if (control) {
          CopyToClipboard(ed);
        } else {
          ed->insertMode = !ed->insertMode;
          InvalidateStatus(ed);
        }
        break;
      case 3:
        CopyToClipboard(ed);
        break;
      case 24:
        if (edits) CutToClipboard(ed);
        break;
      case 22:
        if (edits) PasteFromClipboard(ed);
        break;
      case key_backspace:
        if (!edits) break;
        if (control) {
          MoveWord(ed, false, true);
          RecordSelectionChange(ed, selBefore, lineBefore, colBefore);
          DeleteChar(ed, true);
        } else {
          BackspaceChar(ed, true);
        }
        break;
      case key_delete:
        if (edits) {
          if (shift) CutToClipboard(ed);
          else DeleteChar(ed, true);
        }
        break;
      case 5:
        if (edits) DeleteToLineEdge(ed, false);
        break;
      case 19:
        if (edits) DeleteToLineEdge(ed, true);
        break;
      case 25:
        if (edits) DeleteLine(ed, true);
        break;
      case 12:
        if (edits) ChangeCase(ed, 1, true);
        break;
      case 21:
        if (edits) ChangeCase(ed, 0, true);
        break;
      case 16:
        if (edits && ed->selection.active) {
          ChangeCase(ed, 2, false);
          UndoEntry e{};
          e.kind = uk_reverseCase;
          e.selBefore = e.selAfter = ed->selection;
          RecordUndo(ed, e, lineBefore, colBefore, lineBefore, colBefore);
        }
        break;
      case 9:
        if (!edits) break;
        if (ed->selection.active) {
          const Selection s = ed->selection;
          const int32_t l1 = std::min(s.anchorLine, s.caretLine), l2 = std::max(s.anchorLine, s.caretLine);
          const int32_t lastCol = s.anchorLine > s.caretLine ? s.anchorCol : s.caretLine > s.anchorLine ? s.caretCol : std::max(s.anchorCol, s.caretCol);
          ed->selection.active = 0;
          for (int32_t l = l1; l <= l2; ++l) {
            if (l == l2 && l2 > l1 && lastCol <= 1) break;
            MoveCaretTo(ed, l, 1);
            TabKey(ed, shift);
          }
          // The selection again from its old (line, column) ends.
          ed->selection = s;
          ed->selection.active = 1;
          MoveCaretTo(ed, s.caretLine, s.caretCol);
          InvalidateAll(ed);
        } else {
          TabKey(ed, shift);
        }
        break;
      case 13:
        if (edits) NewLine(ed, ed->insertMode, ed->indentMode, true);
        break;
      case 14:
        if (shift) {
          ed->indentMode = !ed->indentMode;
          InvalidateStatus(ed);
          break;
        }
        [[fallthrough]];
      default:
        if ((alt || control) && code < 32) break;
        if (code > 65535 || code < 0) break;
        if (edits) TypeChar(ed, static_cast<wchar_t>(code), ed->insertMode, true);
        break;
    }
  }
  if (code != key_up && code != key_down && code != key_pageUp && code != key_pageDown)
    ed->wantedCol = ed->caretCol;
  if (ed->CurrentLine() != lineBefore || ed->caretCol != colBefore) RefreshStatusPos(ed);
}

}  // namespace QEL_EDIT::detail
