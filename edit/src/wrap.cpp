// Word-wrap layout.  A logical line is a run of rows of which all but the
// last end soft; a row break falls only after a blank run (spaces, TABs)
// or after a 1,000-character run, never inside a hyper field (11 .. 15),
// so the joined rows always give back the line.
#include "wrap.h"

#include <algorithm>
#include <vector>

#include "core.h"
#include "qel6kernel.h"
#include "settings.h"
#include "view.h"
#include "window.h"

namespace QEL_EDIT::detail {

namespace K = Qel::RunTime::Kernel;

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// End of the word run starting at i (a field counts as one word), at most
// MaxWordRun characters long.
uint32_t WordEnd(const wchar_t* text, uint32_t i, uint32_t n, bool hyper) {
  const uint32_t start = i;
  bool inField = false;
  while (i < n && i - start < MaxWordRun) {
    const wchar_t c = text[i];
    if (!inField && IsBlank(c)) break;
    if (hyper && c == HiddenChar) inField = true;
    if (hyper && c == HiddenClose) inField = false;
    ++i;
  }
  return i;
}

// Display columns after `count` characters from column col (tabs to stops,
// hidden markup none).
int32_t AdvanceColumns(EditorRecord* ed, const wchar_t* text, uint32_t count, int32_t col) {
  bool inRun = false;
  for (uint32_t i = 0; i < count; ++i) {
    if (ed->hyperMode && HiddenStep(text[i], &inRun)) continue;
    col = text[i] == L'\t' ? (col / settings.tabSize + 1) * settings.tabSize : col + 1;
  }
  return col;
}

}  // namespace

uint32_t FindBreak(EditorRecord* ed, const wchar_t* text, uint32_t n, int32_t w) {
  if (n == 0) return 0;
  if (!IsBlank(text[0]) && WordEnd(text, 0, n, ed->hyperMode) == MaxWordRun && n > MaxWordRun) return MaxWordRun;
  uint32_t i = 0, candidate = 0;
  int32_t x = 0, col = 0;
  while (i < n) {
    uint32_t j = i;
    if (IsBlank(text[i])) {
      while (j < n && IsBlank(text[j])) ++j;
      if (j < n) {
        candidate = j;
        if (WordEnd(text, j, n, ed->hyperMode) - j == MaxWordRun) return j;
      }
    } else {
      j = WordEnd(text, i, n, ed->hyperMode);
    }
    x += PieceWidth(ed, text + i, static_cast<int32_t>(j - i), col);
    col = AdvanceColumns(ed, text + i, j - i, col);
    i = j;
    if (x >= w && candidate) return candidate;
  }
  return n;
}

int32_t RowWidth(const EditorRecord* ed) { return ed->wrapWidth - ed->leftMargin; }

int32_t WindowWrapWidth(EditorRecord* ed) {
  if (!ed->wrapMode) return 32000;
  if (!ed->window) return ed->wrapWidth;
  return QEL_KWI::win_GetClientRect(ed->window)->right - static_cast<int32_t>(QEL_KWI::kwi_GetAttrVal(204));
}

namespace {

// Stores one logical line as rows at width w, the first at r; false when
// the store is full.  *last is the line's last row.
bool StoreRows(EditorRecord* ed, ChunkRef r, const wchar_t* text, uint32_t n, int32_t w, ChunkRef* last) {
  uint8_t* mark = K::Memory::MarkGStack();
  auto* buf = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((n + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  for (uint32_t i = 0; i < n; ++i) buf[i] = StoreChar(text[i], ed->hyperMode);
  buf[n] = 0;
  bool ok = true;
  uint32_t off = 0;
  for (;;) {
    const uint32_t len = FindBreak(ed, buf + off, n - off, w);
    const bool hard = off + len == n;
    if (!ed->store.WriteRowN(r, buf + off, len, hard)) {
      ok = false;
      break;
    }
    off += len;
    if (hard) break;
    r = ed->store.InsertLineAfter(r);
    if (r.IsFailed()) {
      ok = false;
      break;
    }
  }
  *last = r;
  K::Memory::ReleaseGStack(mark);
  return ok;
}

}  // namespace

bool LoadRows(EditorRecord* ed, const wchar_t* text, int32_t w) {
  ed->store.FreeAll();
  bool ok = ed->store.Init(ed->hyperMode);
  if (ok) ResetForText(ed);
  ChunkRef r = ed->store.textHead;
  const wchar_t* p = text;
  while (ok) {
    const wchar_t* e = p;
    while (*e && *e != L'\n') ++e;
    ok = StoreRows(ed, r, p, static_cast<uint32_t>(e - p), w, &r);
    if (!ok || !*e) break;
    p = e + 1;
    r = ed->store.InsertLineAfter(r);
    ok = !r.IsFailed();
  }
  if (!ok) {
    ed->store.FreeAll();
    ed->active = 0;
    return false;
  }
  UpdateVScrollRange(ed);
  SetVScrollPos(ed, 0);
  return true;
}

wchar_t* FlattenText(EditorRecord* ed, uint32_t* length) {
  uint64_t n = 0;
  for (ChunkRef r = ed->store.textHead; !r.IsEnd(); r = ed->store.NextLine(r)) {
    bool hard;
    n += ed->store.StoredLength(r, &hard) + (hard ? 1 : 0);
  }
  auto* out = static_cast<wchar_t*>(K::Memory::AllocAtomicHeap((n + 1) * sizeof(wchar_t)));
  wchar_t* p = out;
  ChunkRef r = ed->store.textHead;
  while (!r.IsEnd()) {
    bool hard;
    const uint32_t len = ed->store.StoredLength(r, &hard);
    ChunkRef next = ed->store.ReadRow(r, p, false, settings.tabSize, nullptr);
    p += len;
    if (hard && !next.IsEnd()) *p++ = L'\n';
    r = next;
  }
  *p = 0;
  *length = static_cast<uint32_t>(p - out);
  return out;
}

bool RelayoutText(EditorRecord* ed) {
  const uint32_t pos = ed->store.PositionOf(ed->CurrentLine(), ed->caretCol);
  const int32_t modified = ed->modified;
  uint32_t length;
  wchar_t* text = FlattenText(ed, &length);
  const bool ok = LoadRows(ed, text, RowWidth(ed));
  K::Memory::ReleaseHeap(text);
  if (!ok) {
    InvalidateAll(ed);
    return false;
  }
  // The emptied ring cannot lead back to the clean text of a modified one.
  ed->modified = modified;
  if (modified) ed->undoRing.cleanIndex = NoClean;
  int32_t line, col;
  if (pos && ed->store.LineColOf(pos, &line, &col)) BringIntoView(ed, line, col, 1);
  ed->wantedCol = ed->caretCol;
  InvalidateAll(ed);
  return true;
}

void RewrapIfNeeded(EditorRecord* ed, bool force) {
  // Nothing before the first load (no store yet) or in an inactive editor.
  if (!ed->wrappable || !ed->wrapMode || !ed->window || !ed->active || !ed->store.pageTable[0]) return;
  // No room for a row: nothing changes.
  if (ed->clientHeight - ed->topMargin < ed->lineHeight) return;
  const int32_t w = WindowWrapWidth(ed);
  if (w == ed->wrapWidth && !force) return;
  ed->wrapWidth = w;
  RelayoutText(ed);
}

int32_t LogicalFirstRow(EditorRecord* ed, int32_t row) {
  row = std::clamp(row, 1, ed->LineCount());
  ChunkRef r = ed->store.FindLine(row);
  while (row > 1) {
    const ChunkRef prev = ed->store.PrevLine(r);
    bool hard;
    ed->store.StoredLength(prev, &hard);
    if (hard) break;
    r = prev;
    --row;
  }
  return row;
}

int32_t NextLogicalLine(EditorRecord* ed, int32_t firstRow, int32_t k) {
  int32_t row = std::clamp(firstRow, 1, ed->LineCount());
  ChunkRef r = ed->store.FindLine(row);
  while (k > 0) {
    bool hard;
    ed->store.StoredLength(r, &hard);
    const ChunkRef next = ed->store.NextLine(r);
    if (next.IsEnd()) break;
    r = next;
    ++row;
    if (hard) --k;
  }
  return row;
}

LogicalPos RowRawToLogical(EditorRecord* ed, int32_t row, uint32_t raw) {
  row = std::clamp(row, 1, ed->LineCount());
  const int32_t first = LogicalFirstRow(ed, row);
  uint32_t off = 0;
  ChunkRef r = ed->store.FindLine(first);
  for (int32_t n = first; n < row; ++n) {
    off += ed->store.StoredLength(r);
    r = ed->store.NextLine(r);
  }
  return {first, off + std::min(raw, ed->store.StoredLength(r))};
}

LogicalPos RowToLogical(EditorRecord* ed, int32_t row, int32_t col) {
  row = std::clamp(row, 1, ed->LineCount());
  uint32_t raw = static_cast<uint32_t>(std::max(col, 1) - 1);
  if (ed->hyperMode) {
    uint8_t* mark = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, row);
    raw = ed->store.RawIndexOfVisible(t.text, col);
    K::Memory::ReleaseGStack(mark);
  }
  return RowRawToLogical(ed, row, raw);
}

void LogicalToRow(EditorRecord* ed, LogicalPos p, int32_t* row, int32_t* col) {
  int32_t n = std::clamp(p.firstRow, 1, ed->LineCount());
  ChunkRef r = ed->store.FindLine(n);
  uint32_t off = p.offset;
  for (;;) {
    bool hard;
    const uint32_t len = ed->store.StoredLength(r, &hard);
    const ChunkRef next = ed->store.NextLine(r);
    if (off <= len || hard || next.IsEnd()) {
      off = std::min(off, len);
      break;
    }
    off -= len;
    r = next;
    ++n;
  }
  *row = n;
  *col = static_cast<int32_t>(off) + 1;
  if (ed->hyperMode) {
    uint8_t* mark = K::Memory::MarkGStack();
    LineText t = ReadLineText(ed, n);
    *col = ed->store.VisibleIndexOfRaw(t.text, off);
    K::Memory::ReleaseGStack(mark);
  }
}

namespace {

struct RowSpan {
  ChunkRef ref;
  uint32_t start, length;
};

// The rows of a logical line from `first` to its end; their total length.
uint32_t LogicalRows(EditorRecord* ed, int32_t first, std::vector<RowSpan>* rows, bool* endsHard) {
  ChunkRef r = ed->store.FindLine(first);
  uint32_t total = 0;
  for (;;) {
    bool hard;
    const uint32_t len = ed->store.StoredLength(r, &hard);
    rows->push_back({r, total, len});
    total += len;
    const ChunkRef next = ed->store.NextLine(r);
    if (hard || next.IsEnd()) {
      *endsHard = hard;
      return total;
    }
    r = next;
  }
}

// The rows' text joined, on the global stack.
wchar_t* ReadRows(EditorRecord* ed, const std::vector<RowSpan>& rows, uint32_t total) {
  auto* text = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((total + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
  for (const RowSpan& s : rows) ed->store.ReadRow(s.ref, text + s.start, false, settings.tabSize, nullptr);
  text[total] = 0;
  return text;
}

// Writes the rows that `cuts` (row starts, then the text's end) make of
// `text` over the first q old rows, which start at row `first`; new rows
// end soft but the last, which ends hard when lastHard.  False when the
// store has no room (nothing written).
bool PutRows(EditorRecord* ed, int32_t first, const std::vector<RowSpan>& rows, size_t q, const wchar_t* text,
             const std::vector<uint32_t>& cuts, bool lastHard) {
  const size_t p = cuts.size() - 1;
  uint64_t have = 0, need = 0;
  for (size_t i = 0; i < q; ++i) have += ChunksForLength(rows[i].length);
  for (size_t i = 0; i < p; ++i) need += ChunksForLength(cuts[i + 1] - cuts[i]);
  if (need > have && !ed->store.HasRoom(need - have)) return false;
  auto put = [&](ChunkRef r, size_t i) {
    ed->store.WriteRowN(r, text + cuts[i], cuts[i + 1] - cuts[i], i + 1 == p ? lastHard : false);
  };
  for (size_t i = 0; i < std::min(p, q); ++i) put(rows[i].ref, i);
  if (p > q) {
    ChunkRef r = ed->store.FindLine(first + static_cast<int32_t>(q) - 1);  // keeps the line marks
    for (size_t i = q; i < p; ++i) {
      r = ed->store.InsertLineAfter(r);
      put(r, i);
    }
  } else {
    for (size_t i = p; i < q; ++i) ed->store.FreeLine(ed->store.FindLine(first + static_cast<int32_t>(p)));
  }
  return true;
}

// Row starts of `text` broken at the row width, from offset 0.
void CutAll(EditorRecord* ed, const wchar_t* text, uint32_t n, std::vector<uint32_t>* cuts) {
  const int32_t w = RowWidth(ed);
  uint32_t off = 0;
  cuts->push_back(0);
  do {
    off += FindBreak(ed, text + off, n - off, w);
    cuts->push_back(std::min(off, n));
  } while (off < n);
}

// How far past a break the text must be read to trust it: a word run's
// cut looks 1,000 characters ahead.
constexpr uint32_t Lookahead = 2 * (MaxWordRun + 24);

// Reads the rows of a logical line from `first` on demand.
struct RowReader {
  RowReader(EditorRecord* e, int32_t first) : ed(e), next(e->store.FindLine(first)) {}
  bool LoadRow() {
    if (done) return false;
    bool hard;
    const uint32_t len = ed->store.StoredLength(next, &hard);
    rows.push_back({next, total, len});
    text.resize(total + len + 1);
    ed->store.ReadRow(next, text.data() + total, false, settings.tabSize, nullptr);
    total += len;
    const ChunkRef after = ed->store.NextLine(next);
    if (hard || after.IsEnd()) {
      done = true;
      endsHard = hard;
    } else {
      next = after;
    }
    return true;
  }
  void LoadRows(int32_t n) {
    while (static_cast<int32_t>(rows.size()) < n && LoadRow()) {
    }
  }
  void LoadText(uint32_t upTo) {
    while (total < upTo && LoadRow()) {
    }
  }
  EditorRecord* ed;
  ChunkRef next;
  std::vector<RowSpan> rows;
  std::vector<wchar_t> text{0};
  uint32_t total = 0;
  bool done = false, endsHard = false;
};

void RepaintRows(EditorRecord* ed, int32_t first, int32_t last, int32_t delta) {
  if (delta) {
    UpdateVScrollRange(ed);
    InvalidateAll(ed);
  } else {
    RedrawLines(ed, first, last);
  }
}

}  // namespace

wchar_t* ReadLogicalLine(EditorRecord* ed, int32_t firstRow, uint32_t* n, int32_t* rowCount) {
  std::vector<RowSpan> rows;
  bool hard;
  *n = LogicalRows(ed, std::clamp(firstRow, 1, ed->LineCount()), &rows, &hard);
  *rowCount = static_cast<int32_t>(rows.size());
  return ReadRows(ed, rows, *n);
}

bool WriteLogicalLine(EditorRecord* ed, int32_t firstRow, const wchar_t* text, uint32_t n) {
  firstRow = std::clamp(firstRow, 1, ed->LineCount());
  std::vector<RowSpan> rows;
  bool hard;
  LogicalRows(ed, firstRow, &rows, &hard);
  std::vector<uint32_t> cuts;
  CutAll(ed, text, n, &cuts);
  if (!PutRows(ed, firstRow, rows, rows.size(), text, cuts, true)) return false;
  const int32_t delta = static_cast<int32_t>(cuts.size() - 1) - static_cast<int32_t>(rows.size());
  RepaintRows(ed, firstRow, firstRow + static_cast<int32_t>(cuts.size()) - 2, delta);
  return true;
}

Rebroken RebreakLine(EditorRecord* ed, int32_t row, int32_t lastEdited) {
  row = std::clamp(row, 1, ed->LineCount());
  int32_t first = row;
  if (row > 1) {
    bool hard;
    ed->store.StoredLength(ed->store.FindLine(row - 1), &hard);
    if (!hard) first = row - 1;
  }
  uint8_t* mark = K::Memory::MarkGStack();
  if (first == row) {
    // A logical line of one row that fits stays as it is.
    const ChunkRef r = ed->store.FindLine(row);
    bool hard;
    const uint32_t len = ed->store.StoredLength(r, &hard);
    if (hard) {
      auto* text = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack((len + 1) * static_cast<uint32_t>(sizeof(wchar_t))));
      ed->store.ReadRow(r, text, false, settings.tabSize, nullptr);
      const bool fits = FindBreak(ed, text, len, RowWidth(ed)) >= len;
      K::Memory::ReleaseGStack(mark);
      if (fits) return {row, row, 0};
      mark = K::Memory::MarkGStack();
    }
  }
  // The rows are read as the breaking needs them: a long logical line
  // settles a few rows after the edit.
  RowReader in(ed, first);
  in.LoadRows(lastEdited - first + 1);
  const int32_t w = RowWidth(ed);
  std::vector<uint32_t> cuts{0};
  size_t q = 0, j = 1;
  bool stopped = false;
  for (uint32_t off = 0;;) {
    in.LoadText(off + Lookahead);
    const uint32_t len = FindBreak(ed, in.text.data() + off, in.total - off, w);
    // A break found near the end of what is read may move with more text.
    if (!in.done && off + len + Lookahead / 2 > in.total) {
      in.LoadText(in.total + Lookahead);
      continue;
    }
    off += len;
    if (off >= in.total) {
      cuts.push_back(in.total);
      break;
    }
    cuts.push_back(off);
    // An old row past the edit that starts here is laid out as it would
    // be now, and so are all after it.
    const std::vector<RowSpan>& rows = in.rows;
    while (j < rows.size() && rows[j].start < off) ++j;
    if (j < rows.size() && rows[j].start == off && rows[j].length > 0 &&
        first + static_cast<int32_t>(j) > lastEdited) {
      q = j;
      stopped = true;
      break;
    }
  }
  const std::vector<RowSpan>& rows = in.rows;
  const bool endsHard = in.endsHard;
  const wchar_t* text = in.text.data();
  if (!stopped) q = rows.size();
  const size_t p = cuts.size() - 1;
  bool same = p == q && (stopped || endsHard);
  for (size_t i = 0; same && i < p; ++i) same = cuts[i] == rows[i].start;
  Rebroken b{first, first + static_cast<int32_t>(q) - 1, 0};
  if (!same && PutRows(ed, first, rows, q, text, cuts, !stopped)) {
    b.delta = static_cast<int32_t>(p) - static_cast<int32_t>(q);
    b.last = first + static_cast<int32_t>(p) - 1;
    RepaintRows(ed, first, b.last, b.delta);
  }
  K::Memory::ReleaseGStack(mark);
  return b;
}

int32_t RebreakRows(EditorRecord* ed, int32_t from, int32_t to) {
  if (!ed->wrappable) return 0;
  int32_t added = 0;
  for (int32_t r = from;;) {
    const Rebroken b = RebreakLine(ed, r, to);
    to += b.delta;
    added += b.delta;
    if (b.last >= to || b.last >= ed->LineCount()) break;
    r = b.last + 1;
  }
  return added;
}

void LoadEditorText(EditorRecord* ed, const wchar_t* text) {
  if (!ed->wrappable) {
    LoadPlainText(ed, text);
    return;
  }
  ed->wrapWidth = WindowWrapWidth(ed);
  if (!LoadRows(ed, text, RowWidth(ed))) Raise(err_storeFull);
}

}  // namespace QEL_EDIT::detail
