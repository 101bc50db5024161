// Search and replace on an editor record.  Lines are read from the store into
// malloc'd buffers and the joined text lives on the heap, so nothing here
// allocates on the global stack while searching; frames that may raise or
// fail hold nothing with a destructor, and the buffers are released before
// every raise or fail.
#include "find.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "changeall.h"
#include "core.h"
#include "hyper.h"
#include "qel6kernel.h"
#include "search.h"
#include "settings.h"
#include "view.h"
#include "wrap.h"

namespace QEL_EDIT::detail {

namespace {

namespace K = Qel::RunTime::Kernel;

bool Reserve(wchar_t** buffer, size_t* capacity, size_t units) {
  if (units <= *capacity) return true;
  size_t grown = std::max(units, *capacity * 2);
  auto* p = static_cast<wchar_t*>(realloc(*buffer, grown * sizeof(wchar_t)));
  if (!p) return false;
  *buffer = p;
  *capacity = grown;
  return true;
}

// The rows of a word-wrap editor as logical lines: the first row of each
// (its chunk reference, which a rewrite of another logical line never moves,
// and its row number) in malloc'd arrays.
struct LogicalIndex {
  ChunkRef* first = nullptr;
  int32_t* row = nullptr;
  int32_t count = 0;
  size_t capacity = 0;

  bool Build(TextStore& s) {
    count = 0;
    bool startsLine = true;
    int32_t n = 1;
    for (ChunkRef r = s.textHead; !r.IsEnd(); r = s.NextLine(r), ++n) {
      if (startsLine) {
        if (static_cast<size_t>(count) == capacity) {
          size_t grown = std::max<size_t>(1024, capacity * 2);
          auto* f = static_cast<ChunkRef*>(realloc(first, grown * sizeof(ChunkRef)));
          if (f) first = f;
          auto* w = f ? static_cast<int32_t*>(realloc(row, grown * sizeof(int32_t))) : nullptr;
          if (w) row = w;
          if (!f || !w) return false;
          capacity = grown;
        }
        first[count] = r;
        row[count++] = n;
      }
      bool hard = true;
      s.StoredLength(r, &hard);
      startsLine = hard;
    }
    return true;
  }
  // The logical line holding row r.
  int32_t LineOfRow(int32_t r) const {
    return static_cast<int32_t>(std::upper_bound(row, row + count, r) - row);
  }
  void Free() {
    free(first);
    free(row);
    first = nullptr;
    row = nullptr;
    count = 0;
    capacity = 0;
  }
};

// Row lengths a logical line breaks into at the editor's row width.
struct RowBreaks {
  uint32_t* length = nullptr;
  size_t count = 0, capacity = 0;

  bool Add(uint32_t n) {
    if (count == capacity) {
      size_t grown = std::max<size_t>(64, capacity * 2);
      auto* p = static_cast<uint32_t*>(realloc(length, grown * sizeof(uint32_t)));
      if (!p) return false;
      length = p;
      capacity = grown;
    }
    length[count++] = n;
    return true;
  }
  // Appends the rows of text (stored characters); the chunks they take.
  bool Break(EditorRecord* ed, const wchar_t* text, uint32_t n, uint64_t* chunks) {
    const int32_t w = RowWidth(ed);
    uint32_t off = 0;
    do {
      const uint32_t len = FindBreak(ed, text + off, n - off, w);
      if (!Add(len)) return false;
      *chunks += ChunksForLength(len);
      off += len;
    } while (off < n);
    return true;
  }
  void Free() {
    free(length);
    length = nullptr;
    count = capacity = 0;
  }
};

// Chunks and rows of the logical line whose first row is r.
uint64_t LogicalChunks(TextStore& s, ChunkRef r, int32_t* rows) {
  uint64_t chunks = 0;
  *rows = 0;
  for (bool hard = false; !hard && !r.IsEnd(); r = s.NextLine(r)) {
    chunks += ChunksForLength(s.StoredLength(r, &hard));
    ++*rows;
  }
  return chunks;
}

// Writes a logical line from its first row r as the rows `b` gives (from
// `from` on), reusing its old rows, inserting or freeing the difference.
// The caller has checked room.  Returns the change in rows.
int32_t StoreBroken(EditorRecord* ed, ChunkRef r, const wchar_t* text, const RowBreaks& b, size_t from,
                    size_t rows) {
  TextStore& s = ed->store;
  int32_t old = 0;
  LogicalChunks(s, r, &old);
  int32_t left = old;  // old rows from r on, r included
  uint32_t off = 0;
  for (size_t i = 0; i < rows; ++i) {
    if (i > 0) {
      if (left > 0) {
        r = s.NextLine(r);
      } else {
        r = s.InsertLineAfter(r);
      }
    }
    --left;
    const uint32_t len = b.length[from + i];
    s.WriteRowN(r, text + off, len, i + 1 == rows);
    off += len;
  }
  for (; left > 0; --left) s.FreeLine(s.NextLine(r));
  return static_cast<int32_t>(rows) - old;
}

// Rewrites the logical line whose first row is r as `text`, broken at the
// row width; false (nothing changed) when memory or the store is short.
bool RewriteLogical(EditorRecord* ed, ChunkRef r, const wchar_t* text, uint32_t n) {
  RowBreaks b;
  uint64_t chunks = 0;
  int32_t rows = 0;
  const uint64_t old = LogicalChunks(ed->store, r, &rows);
  bool ok = b.Break(ed, text, n, &chunks) && (chunks <= old || ed->store.HasRoom(chunks - old));
  if (ok) StoreBroken(ed, r, text, b, 0, b.count);
  b.Free();
  return ok;
}

// The record's lines as a line source, and the sink that writes Change All's
// lines back, keeping the old and new texts as blocks for one undo entry.
// In a hyper editor the lines are given as they show (`visible`, for
// finding: columns are visible columns), or raw with only matches in plain
// text allowed (for Change All, which writes raw lines back).  A word-wrap
// editor's lines are its logical lines (rows joined up to a hard end); a
// changed one is broken into rows again.
class StoreLines : public LineSource, public ChangeSink {
 public:
  explicit StoreLines(EditorRecord* ed, bool visible = false)
      : ed_(ed), visible_(visible && ed->hyperMode), logical_(ed->wrappable) {}
  bool Logical() const { return logical_; }
  int32_t LineCount() override { return logical_ ? Index().count : ed_->LineCount(); }
  const wchar_t* Line(int32_t n, int32_t* length) override {
    *length = logical_ ? ReadLogical(n, &buffer_, &capacity_) : ReadRow(n, &buffer_, &capacity_);
    if (*length < 0) {
      *length = 0;
      return L"";
    }
    if (visible_) {
      std::wstring shown = MarkupLine(buffer_, *length).Stripped();
      wmemcpy(buffer_, shown.c_str(), shown.size() + 1);
      *length = static_cast<int32_t>(shown.size());
    }
    return buffer_;
  }
  bool MatchAllowed(int32_t line, int32_t column, int32_t length) override {
    if (!ed_->hyperMode || visible_) return true;
    int32_t n = logical_ ? ReadLogical(line, &old_, &oldCapacity_) : Read(ed_->store.FindLine(line), &old_, &oldCapacity_);
    return n >= 0 && MarkupLine(old_, n).RawRangePlain(column, length);
  }
  // Every stored character sits in a used chunk, 117 to a chunk.
  int64_t JoinedBound() override {
    int64_t chunks = static_cast<int64_t>(ed_->store.lastPage + 1) * ChunksPerPage -
                     static_cast<int64_t>(ed_->store.FreeChunks());
    return chunks * ChunkChars + ed_->LineCount();
  }
  int32_t LineLength(int32_t n) override {
    if (visible_) {
      int32_t length = 0;
      Line(n, &length);
      return length;
    }
    if (logical_) {
      if (n < 1 || n > Index().count) return 0;
      uint32_t total = 0;
      bool hard = false;
      for (ChunkRef r = index_.first[n - 1]; !hard && !r.IsEnd(); r = ed_->store.NextLine(r))
        total += ed_->store.StoredLength(r, &hard);
      return static_cast<int32_t>(total);
    }
    ref_ = line_ > 0 && n == line_ + 1 ? ed_->store.NextLine(ref_) : ed_->store.FindLine(n);
    line_ = n;
    return static_cast<int32_t>(ed_->store.StoredLength(ref_));
  }
  bool ChangedLine(int32_t n, const wchar_t* text, int32_t length) override {
    if (failed_) return false;
    if (logical_) {
      int32_t oldLength = ReadLogical(n, &old_, &oldCapacity_);
      if (oldLength < 0 || !oldBlock.Append(n, old_, oldLength) || !newBlock.Append(n, text, length))
        return !(failed_ = true);
      if (!RewriteLogical(ed_, index_.first[n - 1], text, static_cast<uint32_t>(length)))
        return !(full_ = failed_ = true);
      rowsMoved_ = true;
      return true;
    }
    ChunkRef r = ed_->store.FindLine(n);
    int32_t oldLength = Read(r, &old_, &oldCapacity_);
    if (oldLength < 0 || !oldBlock.Append(n, old_, oldLength) || !newBlock.Append(n, text, length))
      return !(failed_ = true);
    if (ChunksForLength(length) > ChunksForLength(oldLength) &&
        !ed_->store.HasRoom(ChunksForLength(length)))
      return !(full_ = failed_ = true);
    bool hard = true;
    ed_->store.StoredLength(r, &hard);
    ed_->store.WriteRowN(r, text, static_cast<uint32_t>(length), hard);  // the row keeps its end
    line_ = 0;  // the walk's reference may have moved
    return true;
  }
  // A logical (line, column) as a row and a column in it (identity in the
  // plain layout).  A column on a soft break is the end of the earlier row;
  // in a hyper editor columns are visible ones.
  void ToRow(int32_t line, int32_t col, int32_t* row, int32_t* rowCol) {
    *row = line;
    *rowCol = col;
    int32_t n = logical_ ? RowNumber(line) : 0;
    if (n == 0) return;
    bool hard = false;
    for (ChunkRef r = index_.first[line - 1]; !r.IsEnd(); r = ed_->store.NextLine(r), ++n) {
      ed_->store.StoredLength(r, &hard);
      const int32_t len = ed_->hyperMode ? ed_->store.VisibleLength(n) : static_cast<int32_t>(ed_->store.StoredLength(r));
      if (col <= len + 1 || hard) {
        *row = n;
        *rowCol = std::min(col, len + 1);
        return;
      }
      col -= len;
    }
  }
  // A row and a column in it as a logical (line, column).
  void ToLogical(int32_t row, int32_t rowCol, int32_t* line, int32_t* col) {
    *line = row;
    *col = rowCol;
    if (!logical_ || RowNumber(1) == 0) return;
    row = std::clamp(row, 1, ed_->LineCount());
    *line = index_.LineOfRow(row);
    for (int32_t n = RowNumber(*line); n < row; ++n)
      *col += ed_->hyperMode ? ed_->store.VisibleLength(n) : static_cast<int32_t>(ed_->store.StoredLength(ed_->store.FindLine(n)));
  }
  int32_t VisibleLength(int32_t n) {
    int32_t length = 0;
    const wchar_t* t = Line(n, &length);
    return ed_->hyperMode && !visible_ ? static_cast<int32_t>(MarkupLine(t, length).Stripped().size()) : length;
  }
  bool Full() const { return full_; }
  bool Failed() const { return failed_; }
  void Release() {
    free(buffer_);
    free(old_);
    buffer_ = old_ = nullptr;
    oldBlock.Release();
    newBlock.Release();
    index_.Free();
  }
  LineBlock oldBlock, newBlock;

 private:
  // First rows keep their chunks when other logical lines are rewritten;
  // only the row numbers move (rebuilt when asked for).
  const LogicalIndex& Index() {
    if (!built_) {
      built_ = true;
      rowsMoved_ = false;
      if (!index_.Build(ed_->store)) {
        failed_ = true;
        index_.count = 0;
      }
    }
    return index_;
  }
  // 0 when the index could not be built.
  int32_t RowNumber(int32_t line) {
    if (rowsMoved_) built_ = false;
    const LogicalIndex& x = Index();
    return line >= 1 && line <= x.count ? x.row[line - 1] : 0;
  }
  int32_t ReadRow(int32_t n, wchar_t** buffer, size_t* capacity) {
    ref_ = line_ > 0 && n == line_ + 1 ? ed_->store.NextLine(ref_) : ed_->store.FindLine(n);
    line_ = n;
    return Read(ref_, buffer, capacity);
  }
  // A logical line's raw text (rows joined); -1 when memory is short or
  // there is no such line.
  int32_t ReadLogical(int32_t n, wchar_t** buffer, size_t* capacity) {
    if (n < 1 || n > Index().count) return -1;
    uint32_t total = 0;
    bool hard = false;
    for (ChunkRef r = index_.first[n - 1]; !hard && !r.IsEnd(); r = ed_->store.NextLine(r)) {
      const uint32_t len = ed_->store.StoredLength(r, &hard);
      if (!Reserve(buffer, capacity, total + len + 1)) {
        failed_ = true;
        return -1;
      }
      ed_->store.ReadLine(r, *buffer + total, false);
      total += len;
    }
    if (!Reserve(buffer, capacity, total + 1)) {
      failed_ = true;
      return -1;
    }
    (*buffer)[total] = 0;
    return static_cast<int32_t>(total);
  }
  // The raw line into a buffer; -1 when memory is short.
  int32_t Read(ChunkRef r, wchar_t** buffer, size_t* capacity) {
    uint32_t n = ed_->store.StoredLength(r);
    if (!Reserve(buffer, capacity, n + 1)) {
      failed_ = true;
      return -1;
    }
    ed_->store.ReadLine(r, *buffer, false);
    (*buffer)[n] = 0;
    return static_cast<int32_t>(n);
  }
  EditorRecord* ed_;
  bool visible_, logical_;
  LogicalIndex index_;
  bool built_ = false, rowsMoved_ = false;
  ChunkRef ref_{};
  int32_t line_ = 0;
  wchar_t *buffer_ = nullptr, *old_ = nullptr;
  size_t capacity_ = 0, oldCapacity_ = 0;
  bool full_ = false, failed_ = false;
};

// The search's scope: the ordered selection ends in selection scope.
struct Scope {
  bool selection;
  int32_t l1, c1, l2, c2;
};

struct Match {
  int32_t line, col, length;
};

Scope OrderedSelection(const EditorRecord* ed, bool on) {
  const Selection& s = ed->selection;
  Scope sc{on, s.anchorLine, s.anchorCol, s.caretLine, s.caretCol};
  if (sc.l1 > sc.l2 || (sc.l1 == sc.l2 && sc.c1 > sc.c2)) {
    std::swap(sc.l1, sc.l2);
    std::swap(sc.c1, sc.c2);
  }
  return sc;
}

// The selection's ends in order, as logical lines in a word-wrap editor.
Scope SelectionScope(EditorRecord* ed, StoreLines& lines, bool on) {
  const Selection& s = ed->selection;
  Scope sc = OrderedSelection(ed, on);
  if (lines.Logical() && s.active) {
    lines.ToLogical(sc.l1, sc.c1, &sc.l1, &sc.c1);
    lines.ToLogical(sc.l2, sc.c2, &sc.l2, &sc.c2);
  }
  return sc;
}

// Where a search starts: false (no search) in selection scope without one.
bool StartPosition(EditorRecord* ed, StoreLines& lines, bool selectionScope, Scope* scope, int32_t* line,
                   int32_t* col) {
  SearchState& st = searchState;
  const bool forward = st.options.forward;
  st.columnShift = 0;
  *scope = SelectionScope(ed, lines, selectionScope);
  if (selectionScope) {
    if (!ed->selection.active) return false;
    *line = forward ? scope->l1 : scope->l2;
    *col = forward ? scope->c1 : scope->c2 - 1;
  } else if (st.options.origin == 0) {
    lines.ToLogical(ed->CurrentLine(), ed->caretCol, line, col);
    *col -= forward ? 0 : 1;
  } else if (forward) {
    *line = *col = 1;
  } else if (lines.Logical()) {
    *line = lines.LineCount();
    *col = lines.VisibleLength(*line);
  } else {
    *line = ed->LineCount();
    *col = ed->store.VisibleLength(*line);
  }
  return true;
}

bool PlainSearch(StoreLines& lines, const wchar_t* find, const Scope& scope, int32_t line,
                 int32_t col, Match* m) {
  SearchState& st = searchState;
  const SearchOptions& o = st.options;
  int32_t n = static_cast<int32_t>(wcslen(find));
  if (n == 0) return false;
  // Frames here hold nothing with a destructor: the variants live on the global stack.
  auto* v = reinterpret_cast<wchar_t*>(K::Memory::AllocGStack(sizeof(wchar_t) * 2 * (n + 1)));
  CaseVariants variants{v, v + n + 1, n};
  BuildCaseVariants(find, n, o.caseSensitive, variants.upper, variants.lower);
  const int32_t end = scope.selection ? (o.forward ? scope.l2 : scope.l1)
                                      : (o.forward ? lines.LineCount() : 1);
  for (int32_t l = line; o.forward ? l <= end : l >= end; l += o.forward ? 1 : -1) {
    int32_t length = 0;
    const wchar_t* text = lines.Line(l, &length);
    int32_t c = col;
    if (l != line) {
      c = o.forward ? 1 : length;
      if (o.forward && l < end) st.columnShift = 0;
    }
    int32_t at = o.forward ? MatchForward(text, length, variants, o.wholeWords, &c)
                           : MatchBackward(text, length, variants, o.wholeWords, &c);
    if (!at) continue;
    if (scope.selection && l == end &&
        (o.forward ? at > scope.c2 - 1 + st.columnShift : at < scope.c1))
      return false;
    *m = {l, at, n};
    st.line = l;
    st.column = c;
    return true;
  }
  return false;
}

bool RememberMatched(const wchar_t* text, int32_t n) {
  SearchState& st = searchState;
  if (!Reserve(&st.lastMatched, &st.lastMatchedCapacity, n + 1)) return false;
  wmemcpy(st.lastMatched, text, n);
  st.lastMatched[n] = 0;
  return true;
}

// The pattern as compiled: bound to word boundaries with whole words.
bool CompileFind(const wchar_t* find) {
  SearchState& st = searchState;
  const wchar_t* pattern = find;
  if (st.options.wholeWords) {
    int32_t n = static_cast<int32_t>(wcslen(find));
    wchar_t* w = K::Memory::AllocGStackString(static_cast<uint32_t>(n + 8));
    WholeWordPattern(find, n, w);
    pattern = w;
  }
  return QEL_re_compile_pattern_case(pattern, &st.record, !st.options.caseSensitive) == 1;
}

bool RegexSearch(StoreLines& lines, const wchar_t* find, const Scope& scope, int32_t line,
                 int32_t col, Match* m) {
  SearchState& st = searchState;
  const bool forward = st.options.forward;
  if (!CompileFind(find)) return false;
  JoinedCopy j;
  bool found = false;
  if (j.Build(lines, 0) && !lines.Failed()) {
    const JoinedText& t = j.text;
    int64_t start = t.OffsetOf(line, col), range;
    if (forward)
      range = (scope.selection ? t.OffsetOf(scope.l2, scope.c2) + st.columnShift : t.length) - start;
    else
      range = (scope.selection ? t.OffsetOf(scope.l1, scope.c1) : 0) - start;
    if (forward ? range < 0 : range > 0) range = 0;
    if (!forward && start == 0 && range == 0) range = -1;
    int32_t s = 0, n = 0;
    if (range != 0 && start >= 0 &&
        RegexFind(st.record, t.text, t.length, forward, static_cast<int32_t>(start),
                  static_cast<int32_t>(range), &s, &n) &&
        RememberMatched(t.text + s, n)) {
      t.LineColumnOf(s, &m->line, &m->col);
      m->length = n;
      st.line = m->line;
      st.column = m->col + n;
      found = true;
    }
  }
  j.Free();
  return found;
}

int32_t PreferredRow(const EditorRecord* ed) {
  return searchState.options.forward ? ed->visibleRows / 2 + 1 : (ed->visibleRows + 1) / 2;
}

// Selects a match and records the selection change; in a word-wrap editor
// its ends go to their rows (a match may run over a soft break).
void SelectMatch(EditorRecord* ed, StoreLines& lines, const Match& m) {
  Selection before = ed->selection;
  int32_t lineBefore = ed->CurrentLine(), colBefore = ed->caretCol;
  int32_t r1, c1, r2, c2;
  lines.ToRow(m.line, m.col, &r1, &c1);
  lines.ToRow(m.line, m.col + m.length, &r2, &c2);
  ClearSelection(ed);
  ed->scrollX = 0;
  if (searchState.options.forward) BringIntoView(ed, r2, c2, PreferredRow(ed));
  else BringIntoView(ed, r1, c1, PreferredRow(ed));
  ed->selection = {1, c1, r1, c2, r2};
  ed->wantedCol = ed->caretCol;
  InvalidateAll(ed);
  RecordSelectionChange(ed, before, lineBefore, colBefore);
}

int32_t Dispatch(EditorRecord* ed, const wchar_t* find, bool selectionScope, bool fromCaret) {
  StoreLines lines(ed, true);
  Scope scope;
  int32_t line = 0, col = 0;
  if (fromCaret) {
    scope = SelectionScope(ed, lines, false);
    lines.ToLogical(ed->CurrentLine(), ed->caretCol, &line, &col);
    col -= searchState.options.forward ? 0 : 1;
  } else if (!StartPosition(ed, lines, selectionScope, &scope, &line, &col)) {
    lines.Release();
    return 0;
  }
  Match m{};
  bool found = searchState.options.regex ? RegexSearch(lines, find, scope, line, col, &m)
                                         : PlainSearch(lines, find, scope, line, col, &m);
  if (found) SelectMatch(ed, lines, m);
  lines.Release();
  return found ? 1 : 0;
}

// The replacement of the last regular-expression match, on the global
// stack; null when the template cannot be filled over the text as it is.
const wchar_t* BuildReplacement(EditorRecord* ed, const wchar_t* tmpl) {
  SearchState& st = searchState;
  if (!tmpl || !st.record || !st.record->matched) return L"";
  StoreLines lines(ed, true);  // the text the search ran on
  JoinedCopy j;
  const wchar_t* filled = nullptr;
  const wchar_t* result = nullptr;
  if (j.Build(lines, 0) && !lines.Failed() &&
      QEL_re_replace_n(j.text.text, j.text.length, tmpl, st.record, &filled))
    result = filled;
  j.Free();
  lines.Release();
  return result ? K::Memory::CopyStringToGStack(result) : nullptr;
}

// The raw span of visible columns c1..c2-1 of a hyper line: false when it
// touches a field.  Nothing here raises.
bool HyperRawSpan(const LineText& old, int32_t c1, int32_t c2, uint32_t* keep, uint32_t* cut) {
  MarkupLine m(old.text, static_cast<int32_t>(old.length));
  if (m.HasFields() && !m.RangeClearOfFields(c1, c2 - 1)) return false;
  *keep = static_cast<uint32_t>(m.RawIndexOf(c1) - 1);
  *cut = static_cast<uint32_t>(m.RawIndexOf(c2 - 1)) - *keep;
  return true;
}

// Visible column and raw index of a hyper line (plain lines: the same);
// `lines` gives raw lines.
int32_t RawColumn(EditorRecord* ed, StoreLines& lines, int32_t line, int32_t col) {
  if (!ed->hyperMode || col < 1) return col;
  int32_t n = 0;
  const wchar_t* t = lines.Line(line, &n);
  return MarkupLine(t, n).RawIndexOf(col);
}
int32_t VisibleColumn(EditorRecord* ed, StoreLines& lines, int32_t line, int32_t raw) {
  if (!ed->hyperMode) return raw;
  int32_t n = 0;
  const wchar_t* t = lines.Line(line, &n);
  return MarkupLine(t, n).VisibleColumnOf(raw);
}

// Replaces the selection (one line) by `text`, as one undo step of kind 10;
// in a hyper editor a selection touching a field is left as it is (false).
// The search goes on behind it either way.
bool ReplaceSelectionInRows(EditorRecord* ed, const wchar_t* text);

bool ReplaceSelection(EditorRecord* ed, const wchar_t* text) {
  if (ed->wrappable) return ReplaceSelectionInRows(ed, text);
  const Selection before = ed->selection;
  Scope s = OrderedSelection(ed, true);
  const bool forward = searchState.options.forward;
  searchState.line = s.l1;
  searchState.column = forward ? s.c2 : s.c1 - 1;
  LineText old = ReadLineText(ed, s.l1);
  uint32_t n = static_cast<uint32_t>(wcslen(text));
  uint32_t keep = static_cast<uint32_t>(s.c1 - 1), cut = static_cast<uint32_t>(s.c2 - s.c1);
  if (ed->hyperMode && !HyperRawSpan(old, s.c1, s.c2, &keep, &cut)) return false;
  if (keep + cut > old.length) return false;  // the line shrank under the selection
  uint32_t length = old.length - cut + n;
  wchar_t* line = K::Memory::AllocGStackString(length);
  wmemcpy(line, old.text, keep);
  wmemcpy(line + keep, text, n);
  wmemcpy(line + keep + n, old.text + keep + cut, old.length - keep - cut);
  line[length] = 0;
  if (ChunksForLength(length) > ChunksForLength(old.length) &&
      !ed->store.HasRoom(ChunksForLength(length)))
    Raise(err_storeFull);
  ClearSelection(ed);
  ed->store.WriteRowN(old.ref, line, length, old.hardEnd);
  int32_t colBefore = forward ? s.c2 : s.c1;
  int32_t colAfter = forward ? s.c1 + static_cast<int32_t>(n) : s.c1;
  UndoEntry e{};
  e.kind = uk_replaceLine;
  e.lineNo = s.l1;
  e.oldText = CopyUndoText(old.text, old.length);
  e.oldLen = static_cast<int32_t>(old.length);
  e.newText = CopyUndoText(line, length);
  e.newLen = static_cast<int32_t>(length);
  e.selBefore = before;
  e.selAfter = ed->selection;
  BringIntoView(ed, s.l1, colAfter, PreferredRow(ed));
  ed->wantedCol = ed->caretCol;
  RedrawLines(ed, s.l1, s.l1);
  RecordUndo(ed, e, s.l1, colBefore, s.l1, colAfter);
  searchState.column = forward ? colAfter : s.c1 - 1;
  return true;
}

// The undo entry of a changed block of lines: the old and new texts the
// sink kept, taken out of it.
UndoEntry BlockEntry(StoreLines& lines, int32_t lineNo, const Selection& before, const Selection& after) {
  UndoEntry e{};
  e.kind = uk_replaceAllLine;
  e.lineBlock = 1;
  e.lineNo = lineNo;
  e.oldLen = static_cast<int32_t>(lines.oldBlock.length);
  e.oldText = lines.oldBlock.Take();
  e.newLen = static_cast<int32_t>(lines.newBlock.length);
  e.newText = lines.newBlock.Take();
  e.selBefore = before;
  e.selAfter = after;
  return e;
}

// The word-wrap twin: the selection lies within one logical line (it may
// run over a soft break); that line is broken into rows again, and the
// step is one undo entry holding the logical line's old and new text.
bool ReplaceSelectionInRows(EditorRecord* ed, const wchar_t* text) {
  const Selection before = ed->selection;
  const bool forward = searchState.options.forward;
  StoreLines lines(ed);
  const Scope s = SelectionScope(ed, lines, true);
  searchState.line = s.l1;
  searchState.column = forward ? s.c2 : s.c1 - 1;
  int32_t oldLength = 0;
  const wchar_t* old = s.l1 == s.l2 ? lines.Line(s.l1, &oldLength) : nullptr;
  uint32_t keep = static_cast<uint32_t>(s.c1 - 1), cut = static_cast<uint32_t>(s.c2 - s.c1);
  bool ok = old && !lines.Failed();
  if (ok && ed->hyperMode) {
    LineText t{const_cast<wchar_t*>(old), static_cast<uint32_t>(oldLength), ChunkRef{}, true};
    ok = HyperRawSpan(t, s.c1, s.c2, &keep, &cut);
  }
  ok = ok && keep + cut <= static_cast<uint32_t>(oldLength);  // the line may have shrunk
  if (!ok) {
    lines.Release();
    return false;
  }
  const uint32_t n = static_cast<uint32_t>(wcslen(text));
  const uint32_t length = static_cast<uint32_t>(oldLength) - cut + n;
  wchar_t* line = K::Memory::AllocGStackString(length);
  wmemcpy(line, old, keep);
  wmemcpy(line + keep, text, n);
  wmemcpy(line + keep + n, old + keep + cut, oldLength - keep - cut);
  line[length] = 0;
  const int32_t colBefore = forward ? s.c2 : s.c1;
  const int32_t colAfter = forward ? s.c1 + static_cast<int32_t>(n) : s.c1;
  int32_t rowBefore, rowColBefore, rowAfter, rowColAfter;
  lines.ToRow(s.l1, colBefore, &rowBefore, &rowColBefore);
  ClearSelection(ed);
  if (!lines.ChangedLine(s.l1, line, static_cast<int32_t>(length))) {
    const bool full = lines.Full();
    lines.Release();
    if (full) Raise(err_storeFull);
    return false;
  }
  lines.ToRow(s.l1, colAfter, &rowAfter, &rowColAfter);
  UndoEntry e = BlockEntry(lines, s.l1, before, ed->selection);
  lines.Release();
  UpdateVScrollRange(ed);
  BringIntoView(ed, rowAfter, rowColAfter, PreferredRow(ed));
  ed->wantedCol = ed->caretCol;
  InvalidateAll(ed);
  RecordUndo(ed, e, rowBefore, rowColBefore, rowAfter, rowColAfter);
  searchState.column = forward ? colAfter : s.c1 - 1;
  return true;
}

// Change All from the start position; one undo entry for the whole pass.
void ChangeAllInEditor(EditorRecord* ed, const wchar_t* find, const wchar_t* replace,
                       bool findOnly) {
  SearchState& st = searchState;
  const SearchOptions& o = st.options;
  st.replacementCount = 0;
  Scope scope;
  int32_t line = 0, col = 0;
  StoreLines lines(ed);
  if (!StartPosition(ed, lines, o.selectionScope, &scope, &line, &col)) {
    lines.Release();
    return;
  }
  // A selected match on the search line that ends at the search column is
  // searched again from its start, so it is replaced first.
  const Scope sel = SelectionScope(ed, lines, true);
  if (!findOnly && o.forward && ed->selection.active && sel.l1 == line && sel.l2 == line && sel.c2 == col)
    col = sel.c1;
  ChangeAllSpec spec{};
  col = RawColumn(ed, lines, line, col);
  spec.find = find;
  spec.replacement = replace ? replace : L"";
  spec.regex = o.regex;
  spec.caseSensitive = o.caseSensitive;
  spec.wholeWords = o.wholeWords;
  spec.forward = o.forward;
  spec.line = line;
  spec.column = col;
  if (scope.selection) {
    spec.endLine = o.forward ? scope.l2 : scope.l1;
    spec.endColumn = RawColumn(ed, lines, spec.endLine, o.forward ? scope.c2 : scope.c1);
  }
  const Selection before = ed->selection;
  const int32_t lineBefore = ed->CurrentLine(), colBefore = ed->caretCol;
  ChangeAllResult r = ChangeAll(lines, spec, &st.record, lines);
  st.replacementCount = r.count;
  st.columnShift = r.columnShift;
  const bool full = lines.Full();
  if (lines.newBlock.length > 0) {
    ClearSelection(ed);
    int32_t row, rowCol;
    lines.ToRow(r.lastLine, VisibleColumn(ed, lines, r.lastLine, r.lastColumn), &row, &rowCol);
    if (lines.Logical()) UpdateVScrollRange(ed);
    BringIntoView(ed, row, rowCol, PreferredRow(ed));
    ed->wantedCol = ed->caretCol;
    UndoEntry e = BlockEntry(lines, r.lastLine, before, ed->selection);
    RecordUndo(ed, e, lineBefore, colBefore, ed->CurrentLine(), ed->caretCol);
    InvalidateAll(ed);
  }
  lines.Release();
  if (full) Raise(err_storeFull);
}

// The caret to a place with the preferred row 1, and a selection-change
// entry with undo.
void PlaceWithUndo(EditorRecord* ed, int32_t line, int32_t col, bool withUndo, bool clear) {
  Selection before = ed->selection;
  int32_t lineBefore = ed->CurrentLine(), colBefore = ed->caretCol;
  BringIntoView(ed, line, col, 1);
  ed->wantedCol = ed->caretCol;
  RefreshStatusPos(ed);
  InvalidateAll(ed);
  if (clear) ClearSelection(ed);
  if (withUndo) RecordSelectionChange(ed, before, lineBefore, colBefore);
}

}  // namespace

int32_t SearchStr(EditorRecord* ed, const wchar_t* text) {
  searchState.replacing = false;
  return Dispatch(ed, text, searchState.options.selectionScope, false);
}

int32_t SearchAgain(EditorRecord* ed, const wchar_t* text) {
  searchState.replacing = false;
  return Dispatch(ed, text, false, true);
}

int32_t ReplaceDriver(EditorRecord* ed, const wchar_t* find, const wchar_t* replace,
                      bool findOnly) {
  SearchState& st = searchState;
  st.replacing = true;
  if (st.changeAll) {
    ChangeAllInEditor(ed, find, replace, findOnly);
    return 0;
  }
  const Selection& sel = ed->selection;
  if (!findOnly && sel.active && st.matchPending && (sel.anchorLine == sel.caretLine || ed->wrappable)) {
    const wchar_t* r = st.options.regex ? BuildReplacement(ed, replace) : (replace ? replace : L"");
    if (!r) K::Fail();
    ReplaceSelection(ed, r);
    StoreLines lines(ed, true);
    Scope scope = SelectionScope(ed, lines, false);
    Match m{};
    bool found = st.options.regex
                     ? RegexSearch(lines, find, scope, st.line, st.column, &m)
                     : PlainSearch(lines, find, scope, st.line, st.column, &m);
    if (found) SelectMatch(ed, lines, m);
    lines.Release();
    st.matchPending = found;
    return 1;
  }
  st.matchPending = Dispatch(ed, find, st.options.selectionScope, false) != 0;
  return st.matchPending ? 1 : 0;
}

int32_t GoToLine(EditorRecord* ed, int32_t line) {
  if (line < 1 || line > ed->LineCount()) return 0;
  PlaceWithUndo(ed, line, 1, true, true);
  return 1;
}

int32_t GoToLineColumn(EditorRecord* ed, int32_t line, int32_t column, bool withUndo) {
  int32_t length = ed->store.VisibleLength(line);
  PlaceWithUndo(ed, line, std::clamp(column, 1, length + 1), withUndo, false);
  return 1;
}

int32_t GoToPosition(EditorRecord* ed, uint32_t position, bool withUndo) {
  int32_t line = 0, col = 0;
  if (!ed->store.LineColOf(position, &line, &col) || line < 1 || line > ed->LineCount()) {
    InvalidateAll(ed);
    return 0;
  }
  return GoToLineColumn(ed, line, col, withUndo);
}

int32_t RewriteLines(EditorRecord* ed, int32_t first, int32_t last, LineRewrite& rw, bool* full) {
  StoreLines lines(ed);
  int32_t changed = 0, caretLine = 0, caretCol = 0;
  lines.ToLogical(ed->CurrentLine(), ed->caretCol, &caretLine, &caretCol);
  for (int32_t l = std::max(first, 1); l <= std::min(last, lines.LineCount()); ++l) {
    int32_t n = 0, m = 0;
    const wchar_t* old = lines.Line(l, &n);
    const wchar_t* text = nullptr;
    if (lines.Failed() || !rw.Rewrite(l, old, n, &text, &m)) continue;
    if (!lines.ChangedLine(l, text, m)) break;
    ++changed;
  }
  if (lines.newBlock.length > 0 && lines.Logical()) {  // the caret back on its logical place
    int32_t row, rowCol;
    lines.ToRow(caretLine, caretCol, &row, &rowCol);
    UpdateVScrollRange(ed);
    MoveCaretTo(ed, row, rowCol);
  }
  if (lines.newBlock.length > 0) {
    UndoEntry e = BlockEntry(lines, ed->CurrentLine(), ed->selection, ed->selection);
    RecordUndo(ed, e, ed->CurrentLine(), ed->caretCol, ed->CurrentLine(), ed->caretCol);
    InvalidateAll(ed);
  }
  *full = lines.Full();
  lines.Release();
  return changed;
}

// A block of a word-wrap editor names logical lines; each is broken into
// rows again.  All lines or none: the rows are found first.
void WriteLogicalBlock(EditorRecord* ed, const wchar_t* block, int32_t length) {
  LogicalIndex x;
  RowBreaks b;
  bool ok = x.Build(ed->store);
  uint64_t more = 0;
  ForEachBlockLine(block, static_cast<size_t>(length), [&](int32_t line, const wchar_t* text, int32_t n) {
    if (!ok || line < 1 || line > x.count) return;
    int32_t rows = 0;
    uint64_t chunks = 0;
    const uint64_t old = LogicalChunks(ed->store, x.first[line - 1], &rows);
    ok = b.Break(ed, text, static_cast<uint32_t>(n), &chunks);
    if (chunks > old) more += chunks - old;
  });
  const bool room = ok && (more == 0 || ed->store.HasRoom(more));
  if (room) {
    size_t at = 0;
    ForEachBlockLine(block, static_cast<size_t>(length), [&](int32_t line, const wchar_t* text, int32_t n) {
      if (line < 1 || line > x.count) return;
      size_t rows = 0;
      uint32_t sum = 0;
      do sum += b.length[at + rows++];
      while (sum < static_cast<uint32_t>(n));
      StoreBroken(ed, x.first[line - 1], text, b, at, rows);
      at += rows;
    });
  }
  x.Free();
  b.Free();
  if (!room) Raise(err_storeFull);
  UpdateVScrollRange(ed);
  InvalidateAll(ed);
}

void WriteLineBlock(EditorRecord* ed, const wchar_t* block, int32_t length) {
  if (ed->wrappable) {
    WriteLogicalBlock(ed, block, length);
    return;
  }
  // All lines or none: the chunks the longer lines need are checked first.
  uint64_t more = 0;
  ForEachBlockLine(block, static_cast<size_t>(length), [&](int32_t line, const wchar_t*, int32_t n) {
    ChunkRef r = ed->store.FindLine(line);
    uint64_t now = r.IsEnd() ? 0 : ChunksForLength(ed->store.StoredLength(r));
    if (!r.IsEnd() && ChunksForLength(n) > now) more += ChunksForLength(n) - now;
  });
  if (more && !ed->store.HasRoom(more)) Raise(err_storeFull);
  int32_t first = 0, last = 0;
  ForEachBlockLine(block, static_cast<size_t>(length), [&](int32_t line, const wchar_t* text,
                                                            int32_t n) {
    ChunkRef r = ed->store.FindLine(line);
    if (r.IsEnd()) return;
    bool hard = true;
    ed->store.StoredLength(r, &hard);
    ed->store.WriteRowN(r, text, static_cast<uint32_t>(n), hard);
    first = first ? std::min(first, line) : line;
    last = std::max(last, line);
  });
  if (first) RedrawLines(ed, first, last);
}

}  // namespace QEL_EDIT::detail
