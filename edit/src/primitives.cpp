// Selection, text insertion, taking the selection and case changes (the
// word-wrap twins lay the rows they wrote out again).
//
// A change checks the store's room before it writes, so a refused change
// (6902) leaves the text as it was; temporary line buffers live on the
// global stack between a mark and its release.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cstdlib>
#include <cwctype>

#include "core.h"
#include "hyper.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"
#include "wrap.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

bool PositionNotBefore(int32_t col1, int32_t line1, int32_t col2, int32_t line2) {
  return line1 > line2 || (line1 == line2 && col1 >= col2);
}

void BeginSelection(EditorRecord* ed, bool enabled) {
  if (!enabled) return;
  Selection& s = ed->selection;
  const int32_t cl = ed->CurrentLine();
  if (s.active && s.caretLine == cl && s.caretCol == ed->caretCol) return;
  if (s.active) RedrawLines(ed, s.anchorLine, s.caretLine);
  s = {1, ed->caretCol, cl, ed->caretCol, cl};
}

void ExtendSelection(EditorRecord* ed, bool extend) {
  Selection& s = ed->selection;
  if (extend) {
    int32_t old = s.caretLine;
    s.caretCol = ed->caretCol;
    s.caretLine = ed->CurrentLine();
    RedrawLines(ed, old, s.caretLine);
  } else if (s.active) {
    s.active = 0;
    RedrawLines(ed, s.anchorLine, s.caretLine);
  }
}

void ClearSelection(EditorRecord* ed) {
  Selection& s = ed->selection;
  if (!s.active) return;
  s.active = 0;
  RedrawLines(ed, std::min(s.anchorLine, s.caretLine), std::max(s.anchorLine, s.caretLine));
}

namespace {

struct Range {
  int32_t l1, c1, l2, c2;
};

// The selection's ends in order, columns limited to their lines.
Range Ordered(EditorRecord* ed) {
  const Selection& s = ed->selection;
  Range r{s.anchorLine, s.anchorCol, s.caretLine, s.caretCol};
  if (PositionNotBefore(r.c1, r.l1, r.c2, r.l2)) {
    std::swap(r.l1, r.l2);
    std::swap(r.c1, r.c2);
  }
  const int32_t lc = ed->LineCount();
  r.l1 = std::clamp(r.l1, 1, lc);
  r.l2 = std::clamp(r.l2, 1, lc);
  r.c1 = std::clamp(r.c1, 1, ed->store.VisibleLength(r.l1) + 1);
  r.c2 = std::clamp(r.c2, 1, ed->store.VisibleLength(r.l2) + 1);
  return r;
}

wchar_t* AllocText(uint64_t n) {
  if (n > 0x7FFFFFF0u / sizeof(wchar_t)) Raise(err_storeFull);
  return reinterpret_cast<wchar_t*>(K::Memory::AllocGStack(static_cast<uint32_t>(n * sizeof(wchar_t))));
}

// Whether the caret (raw index) lies inside a hyper field: an 11 passed
// that no hidden run has closed again.
bool InsideField(const wchar_t* text, uint32_t raw) {
  bool inField = false;
  for (uint32_t i = 0; i < raw && text[i]; ++i) {
    if (text[i] == HiddenChar) inField = true;
    else if (text[i] == HiddenClose) inField = false;
  }
  return inField;
}

// The stored column (1-based) of a selection end at visible column `col` of
// `line`: on a field's start mark when the end is on the field's first
// character; false when it lies further inside a field's visible text.
bool RawSelectionEnd(EditorRecord* ed, int32_t line, int32_t col, int32_t* raw) {
  *raw = col;
  if (!ed->hyperMode) return true;
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  const MarkupLine m(t.text, static_cast<int32_t>(t.length));
  K::Memory::ReleaseGStack(mark);
  if (!m.HasFields()) return true;
  const int32_t field = m.FieldAtColumn(col, true);
  if (field == 1) return false;
  *raw = m.RawIndexOf(col) - (field == 2 ? 1 : 0);
  return true;
}

wchar_t PieceChar(wchar_t c, bool hyperMode) {
  if ((c >= 32 && c < 127) || c == L'\t' || !std::iswcntrl(c)) return c;
  if (hyperMode && (c == HiddenChar || c == HiddenOpen || c == HiddenClose)) return c;
  return L' ';
}

}  // namespace

void InsertText(EditorRecord* ed, bool recordUndo, bool keepView, const wchar_t* text, wchar_t* heapText) {
  const Selection selBefore = ed->selection;
  if (ed->selection.active) {
    if (recordUndo) TakeSelection(ed, true, true, keepView, true);
    ed->selection.active = 0;
  }
  if (heapText && !recordUndo) {  // nothing keeps it: work from a copy on the stack
    const uint64_t n = std::wcslen(heapText) + 1;
    wchar_t* copy = AllocText(n);
    std::memcpy(copy, heapText, n * sizeof(wchar_t));
    std::free(heapText);
    text = copy;
    heapText = nullptr;
  }
  if (!text || !*text) {
    std::free(heapText);
    return;
  }
  uint8_t* mark = K::Memory::MarkGStack();
  const int32_t cl = ed->CurrentLine(), colBefore = ed->caretCol;
  LineText line = ReadLineText(ed, cl);
  // A caret on a field's first character inserts before its start mark.
  const bool beforeField = FieldTest(ed, cl, ed->caretCol, true) == 2;
  const uint32_t raw = ed->store.RawIndexOfVisible(line.text, ed->caretCol) - (beforeField ? 1 : 0);
  if (ed->hyperMode && InsideField(line.text, raw)) {
    K::Memory::ReleaseGStack(mark);
    std::free(heapText);
    return;
  }
  // Rows move when they are laid out again: the insertion point as a place
  // in its logical line.
  LogicalPos at = ed->wrappable ? RowToLogical(ed, cl, colBefore) : LogicalPos{};
  if (beforeField && ed->wrappable) --at.offset;
  // Pieces: split at CR, an LF right after it skipped.
  uint64_t total = 0, pieces = 1, longest = 0, cur = 0;
  for (const wchar_t* p = text; *p; ++p) {
    if (*p == L'\r') {
      ++pieces;
      longest = std::max(longest, cur);
      cur = 0;
      if (p[1] == L'\n') ++p;
    } else {
      ++total;
      ++cur;
    }
  }
  longest = std::max(longest, cur);
  const uint32_t tailLen = line.length - raw;
  if (!ed->store.HasRoom(ChunksForLength(raw + total + tailLen) + pieces)) {
    K::Memory::ReleaseGStack(mark);
    std::free(heapText);
    Raise(err_storeFull);
  }
  wchar_t* saved = heapText ? heapText
                   : recordUndo ? CopyUndoText(text, static_cast<uint32_t>(std::wcslen(text)))
                                : nullptr;
  // One buffer big enough for any line built: head or tail plus the longest piece.
  wchar_t* buf = AllocText(static_cast<uint64_t>(line.length) + longest + 1);
  std::memcpy(buf, line.text, raw * sizeof(wchar_t));
  uint32_t n = raw;
  ChunkRef r = line.ref;
  int32_t endLine = cl;
  const wchar_t* tail = line.text + raw;
  // The tail is kept in the line buffer past its end while pieces are built
  // in `buf`; copy it aside first.
  wchar_t* tailCopy = AllocText(tailLen + 1);
  std::memcpy(tailCopy, tail, tailLen * sizeof(wchar_t));
  uint32_t endCol = 0;
  for (const wchar_t* p = text;; ++p) {
    if (*p == L'\r' || !*p) {
      if (!*p) {
        endCol = n;
        std::memcpy(buf + n, tailCopy, tailLen * sizeof(wchar_t));
        n += tailLen;
      }
      // The row holding the old tail keeps its end kind.
      ed->store.WriteRowN(r, buf, n, *p ? true : line.hardEnd);
      ed->store.SetLineState(r, 0);
      if (!*p) break;
      if (p[1] == L'\n') ++p;
      r = ed->store.InsertLineAfter(r);
      ++endLine;
      n = 0;
      continue;
    }
    buf[n++] = PieceChar(*p, ed->hyperMode);
  }
  int32_t endVisible = ed->store.VisibleIndexOfRaw(buf, endCol);
  K::Memory::ReleaseGStack(mark);
  RedrawFrom(ed, cl);
  int32_t startRow = cl, startCol = colBefore;
  if (ed->wrappable) {
    // The written logical lines laid out again; the inserted text's ends
    // found from its logical places.
    RebreakRows(ed, cl, endLine);
    LogicalToRow(ed, at, &startRow, &startCol);
    LogicalPos end{at.firstRow, at.offset + endCol - raw};
    if (endLine > cl) end = {NextLogicalLine(ed, at.firstRow, endLine - cl), endCol};
    LogicalToRow(ed, end, &endLine, &endVisible);
  }
  if (!keepView) {
    UpdateVScrollRange(ed);
    BringIntoView(ed, endLine, endVisible, std::min<int32_t>(ed->caretRow + (endLine - cl), ed->visibleRows));
  }
  ed->selection = {1, startCol, startRow, endVisible, endLine};
  if (!keepView) RefreshStatusPos(ed);
  if (recordUndo) {
    UndoEntry e{};
    e.kind = uk_insertText;
    e.savedText = saved;
    e.savedLen = saved ? static_cast<int32_t>(std::wcslen(saved)) + 1 : 0;
    e.selBefore = selBefore;
    e.selAfter = ed->selection;
    RecordUndo(ed, e, cl, colBefore, endLine, endVisible);
  }
}

int32_t FieldTest(EditorRecord* ed, int32_t line, int32_t col, bool first) {
  if (!ed->hyperMode || line < 1 || line > ed->LineCount()) return 0;
  uint8_t* mark = K::Memory::MarkGStack();
  LineText t = ReadLineText(ed, line);
  const int32_t field = MarkupLine(t.text, static_cast<int32_t>(t.length)).FieldAtColumn(col, first);
  K::Memory::ReleaseGStack(mark);
  return field;
}

wchar_t* TakeSelection(EditorRecord* ed, bool del, bool keepCopy, bool keepView, bool noResult) {
  const Selection& s = ed->selection;
  if (!s.HoldsText()) return nullptr;
  const Selection selBefore = ed->selection;
  const int32_t lineBefore = ed->CurrentLine(), colBefore = ed->caretCol;
  const Range r = Ordered(ed);
  if (r.l1 == r.l2 && r.c1 == r.c2) return nullptr;
  // The ends as stored columns; an end inside a field cancels.
  int32_t c1, c2;
  if (!RawSelectionEnd(ed, r.l1, r.c1, &c1) || !RawSelectionEnd(ed, r.l2, r.c2, &c2)) return nullptr;
  // Result length: pieces of the lines plus CR LF between them.
  uint64_t len = 0;
  for (int32_t l = r.l1; l <= r.l2; ++l) {
    bool hard;
    uint32_t ll = ed->store.StoredLength(ed->store.FindLine(l), &hard);
    uint32_t from = l == r.l1 ? static_cast<uint32_t>(c1 - 1) : 0;
    uint32_t to = l == r.l2 ? static_cast<uint32_t>(c2 - 1) : ll;
    len += to - from + (l < r.l2 && hard ? 2 : 0);
  }
  wchar_t* result = noResult ? nullptr : AllocText(len + 1);
  uint8_t* mark = K::Memory::MarkGStack();
  wchar_t* copy = AllocText(len + 1);
  uint64_t n = 0;
  LineText first{}, last{};
  for (int32_t l = r.l1; l <= r.l2; ++l) {
    uint8_t* lineMark = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, l);
    uint32_t from = l == r.l1 ? static_cast<uint32_t>(c1 - 1) : 0;
    uint32_t to = l == r.l2 ? static_cast<uint32_t>(c2 - 1) : t.length;
    std::memcpy(copy + n, t.text + from, (to - from) * sizeof(wchar_t));
    n += to - from;
    if (l < r.l2 && t.hardEnd) {  // a soft row end is no line break
      copy[n++] = L'\r';
      copy[n++] = L'\n';
    }
    if (l == r.l1) {
      first = t;
    } else if (l == r.l2) {
      last = t;
    } else {
      K::Memory::ReleaseGStack(lineMark);
    }
  }
  copy[n] = 0;
  if (result) std::memcpy(result, copy, (n + 1) * sizeof(wchar_t));
  wchar_t* saved = keepCopy && del ? CopyUndoText(copy, static_cast<uint32_t>(n)) : nullptr;
  // The selection's start as a place in its logical line (rows move when
  // they are laid out again).
  LogicalPos start{};
  if (del && ed->wrappable) {
    start.firstRow = LogicalFirstRow(ed, r.l1);
    for (int32_t n = start.firstRow; n < r.l1; ++n) start.offset += ed->store.StoredLength(ed->store.FindLine(n));
    start.offset += static_cast<uint32_t>(c1 - 1);
  }
  if (del) {
    const LineText& tail = r.l1 == r.l2 ? first : last;
    const uint32_t headLen = static_cast<uint32_t>(c1 - 1);
    const uint32_t restFrom = static_cast<uint32_t>(c2 - 1);
    wchar_t* joined = AllocText(static_cast<uint64_t>(headLen) + tail.length - restFrom + 1);
    std::memcpy(joined, first.text, headLen * sizeof(wchar_t));
    std::memcpy(joined + headLen, tail.text + restFrom, (tail.length - restFrom) * sizeof(wchar_t));
    ed->store.WriteRowN(first.ref, joined, headLen + tail.length - restFrom, tail.hardEnd);
    for (int32_t l = r.l2; l > r.l1; --l) ed->store.FreeLine(ed->store.FindLine(l));
  }
  K::Memory::ReleaseGStack(mark);
  if (del) {
    int32_t row = r.l1, col = r.c1;
    if (ed->wrappable) {
      RebreakRows(ed, r.l1, r.l1);
      LogicalToRow(ed, start, &row, &col);
      InvalidateAll(ed);
    }
    if (keepView) {
      BringIntoView(ed, row, col, std::max(1, ed->caretRow - (lineBefore - row)));
      RedrawFrom(ed, row);
    } else {
      BringIntoView(ed, row, col, ed->visibleRows / 2 + 1);
      UpdateVScrollRange(ed);
      InvalidateAll(ed);
      RefreshStatusPos(ed);
    }
    ed->selection.active = 0;
    if (keepCopy) {
      UndoEntry e{};
      e.kind = uk_deleteSelection;
      e.savedText = saved;
      e.savedLen = static_cast<int32_t>(n) + 1;
      e.selBefore = selBefore;
      e.selAfter = ed->selection;
      RecordUndo(ed, e, lineBefore, colBefore, row, col);
    }
  }
  return result;
}

void CopyToClipboard(EditorRecord* ed) {
  uint8_t* mark = K::Memory::MarkGStack();
  if (wchar_t* text = TakeSelection(ed, false, false, true, false)) QEL_KWI::cb_PutString(text);
  K::Memory::ReleaseGStack(mark);
}

void CutToClipboard(EditorRecord* ed) {
  uint8_t* mark = K::Memory::MarkGStack();
  // The text goes to the clipboard before it leaves the editor.
  if (wchar_t* text = TakeSelection(ed, false, false, true, false)) {
    QEL_KWI::cb_PutString(text);
    TakeSelection(ed, true, true, false, true);
  }
  K::Memory::ReleaseGStack(mark);
}

void PasteFromClipboard(EditorRecord* ed) {
  uint8_t* mark = K::Memory::MarkGStack();
  wchar_t* volatile text = nullptr;
  if (K::Succeeds([] { QEL_KWI::cb_StringAvailable(); })) text = QEL_KWI::cb_GetString();
  // A hyper editor takes whole fields only: malformed markup is not pasted.
  if (text && ed->hyperMode && !CheckMarkup(text, std::wcslen(text))) text = nullptr;
  if (text && *text) {
    // Lines ending in CR LF are already in store form (InsertText turns the
    // other control codes into spaces); a lone LF or CR needs the conversion,
    // after which CR LF must not become a space and a break.
    bool storeForm = true;
    for (const wchar_t* p = text; *p && storeForm; ++p)
      if (*p == L'\r') storeForm = p[1] == L'\n' && (++p, true);
      else storeForm = *p != L'\n';
    wchar_t* store = text;
    wchar_t* owned = nullptr;
    if (!storeForm) {
      uint64_t n = 1;
      for (const wchar_t* p = text; *p; ++p) n += *p == L'\n' && (p == text || p[-1] != L'\r') ? 2 : 1;
      // On the heap: the converted text is also the undo entry's copy.
      if (n > 0x7FFFFFF0u / sizeof(wchar_t)) Raise(err_storeFull);
      owned = static_cast<wchar_t*>(std::malloc(n * sizeof(wchar_t)));
      store = owned ? owned : AllocText(n);
      wchar_t* to = store;
      for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\n' && (p == text || p[-1] != L'\r')) *to++ = L'\r';
        else if (*p == L'\r' && p[1] != L'\n') {
          *to++ = L' ';  // a lone CR is a control code like the others
          continue;
        }
        *to++ = *p;
      }
      *to = 0;
    }
    InsertText(ed, true, false, store, owned);
  }
  ed->selection.active = 0;
  InvalidateAll(ed);
  K::Memory::ReleaseGStack(mark);
}

namespace {

wchar_t CaseOf(wchar_t c, int32_t mode) {
  wchar_t s[2] = {c, 0};
  bool upper = mode == 0 || (mode == 2 && IsCharLowerW(c));
  bool lower = mode == 1 || (mode == 2 && IsCharUpperW(c));
  if (upper) CharUpperW(s);
  else if (lower) CharLowerW(s);
  return s[0];
}

}  // namespace

void ChangeCase(EditorRecord* ed, int32_t mode, bool recordUndo) {
  if (!ed->selection.active) return;
  const Range r = Ordered(ed);
  uint8_t* mark = K::Memory::MarkGStack();
  if (recordUndo && mode != 2) {
    uint64_t total = 0;
    for (int32_t l = r.l1; l <= r.l2; ++l) total += ed->store.StoredLength(ed->store.FindLine(l)) + 1;
    wchar_t* saved = AllocText(total);
    uint64_t n = 0;
    for (int32_t l = r.l1; l <= r.l2; ++l) {
      ChunkRef ref = ed->store.FindLine(l);
      ed->store.ReadRow(ref, saved + n, false, settings.tabSize, nullptr);
      n += ed->store.StoredLength(ref) + 1;
    }
    UndoEntry e{};
    e.kind = mode == 0 ? uk_upperCase : uk_lowerCase;
    e.savedText = static_cast<wchar_t*>(std::malloc(total * sizeof(wchar_t)));
    if (e.savedText) std::memcpy(e.savedText, saved, total * sizeof(wchar_t));
    e.savedLen = static_cast<int32_t>(total);
    e.selBefore = e.selAfter = ed->selection;
    const int32_t cl = ed->CurrentLine();
    RecordUndo(ed, e, cl, ed->caretCol, cl, ed->caretCol);
  }
  for (int32_t l = r.l1; l <= r.l2; ++l) {
    uint8_t* lineMark = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, l);
    uint32_t from = l == r.l1 ? static_cast<uint32_t>(r.c1 - 1) : 0;
    uint32_t to = l == r.l2 ? static_cast<uint32_t>(r.c2 - 1) : t.length;
    for (uint32_t i = from; i < to && i < t.length; ++i) t.text[i] = CaseOf(t.text[i], mode);
    ed->store.WriteRowN(t.ref, t.text, t.length, t.hardEnd);
    K::Memory::ReleaseGStack(lineMark);
  }
  K::Memory::ReleaseGStack(mark);
  InvalidateAll(ed);
}

}  // namespace QEL_EDIT::detail
