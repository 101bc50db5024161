// The chunk store: chain upkeep, line reads and writes, positions.
//
// Keeps the invariants of store.h: a write checks room before it takes any
// chunk, so a refused write leaves the line as it was; the line marks are
// shifted when a line of known number is inserted or freed, and dropped when
// the number is unknown.
#include "store.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

namespace QEL_EDIT::detail {

namespace {

// Index of the first end mark among a chunk's characters, or ChunkChars.
inline int32_t EndIn(const wchar_t* t) {
  for (int32_t i = 0; i < ChunkChars; ++i)
    if (t[i] <= SoftEnd) return i;
  return ChunkChars;
}

inline uint32_t Kind(const Chunk* c) { return c->flags & 0xF; }

}  // namespace

bool TextStore::Init(bool hyperMarkup) {
  std::memset(pageTable, 0, sizeof pageTable);
  hyperMode = hyperMarkup;
  lastPage = 0;
  freeCount_ = 0;
  DropMarks();
  pageTable[0] = static_cast<Page*>(pages_.Take(sizeof(Page)));
  if (!pageTable[0]) return false;
  InitPage(0, true);
  textHead = {0, 0};
  freeHead = {0, 1};
  freeCount_ = ChunksPerPage - 1;
  currentLineRef = textHead;
  lineCount = 1;
  return true;
}

void TextStore::FreeAll() {
  std::memset(pageTable, 0, sizeof pageTable);
  pages_.ReleaseAll();
  lastPage = 0;
  lineCount = 0;
  freeCount_ = 0;
  textHead = freeHead = currentLineRef = EndRef;
  DropMarks();
}

void TextStore::InitPage(int32_t index, bool isFirstPage) {
  Page* p = pageTable[index];
  for (int32_t i = 0; i < ChunksPerPage; ++i) {
    Chunk& c = p->chunks[i];
    c.flags = 0;
    c.prevPage = NoPage;
    c.prevChunk = NoChunk;
    c.nextPage = i + 1 < ChunksPerPage ? index : NoPage;
    c.nextChunk = i + 1 < ChunksPerPage ? i + 1 : NoChunk;
    c.unused = 0;
    c.text[0] = HardEnd;
  }
  if (isFirstPage) {
    Chunk& line1 = p->chunks[0];
    line1.flags = KindFirst;
    line1.nextPage = NoPage;
    line1.nextChunk = NoChunk;
  }
}

bool TextStore::AddPage() {
  if (lastPage + 1 >= MaxPages) return false;
  Page* p = static_cast<Page*>(pages_.Take(sizeof(Page)));
  if (!p) return false;
  pageTable[++lastPage] = p;
  InitPage(lastPage, false);
  freeHead = {lastPage, 0};
  freeCount_ += ChunksPerPage;
  return true;
}

bool TextStore::HasRoom(uint64_t chunks) const {
  uint64_t pagesLeft = static_cast<uint64_t>(MaxPages - 1 - lastPage);
  return freeCount_ + pagesLeft * ChunksPerPage >= chunks;
}

bool TextStore::AllocChunkAfter(bool kindIsFirst, ChunkRef at, ChunkRef* out) {
  if (freeHead.IsEnd() && !AddPage()) return false;
  ChunkRef r = freeHead;
  Chunk* c = At(r);
  freeHead = {c->nextPage, c->nextChunk};
  --freeCount_;
  ChunkRef next = Next(at);
  c->prevPage = at.page;
  c->prevChunk = at.chunk;
  c->nextPage = next.page;
  c->nextChunk = next.chunk;
  Chunk* a = At(at);
  a->nextPage = r.page;
  a->nextChunk = r.chunk;
  if (!next.IsEnd()) {
    At(next)->prevPage = r.page;
    At(next)->prevChunk = r.chunk;
  }
  c->flags = kindIsFirst ? KindFirst : KindContinuation;
  c->unused = 0;
  c->text[0] = HardEnd;
  *out = r;
  return true;
}

void TextStore::FreeChunk(ChunkRef r) {
  Chunk* c = At(r);
  ChunkRef prev{c->prevPage, c->prevChunk};
  ChunkRef next{c->nextPage, c->nextChunk};
  if (r == textHead) {
    textHead = next;
    if (!next.IsEnd()) {
      At(next)->prevPage = NoPage;
      At(next)->prevChunk = NoChunk;
    }
  } else {
    At(prev)->nextPage = next.page;
    At(prev)->nextChunk = next.chunk;
    if (!next.IsEnd()) {
      At(next)->prevPage = prev.page;
      At(next)->prevChunk = prev.chunk;
    }
  }
  if (r == currentLineRef) currentLineRef = EndRef;
  c->flags = 0;
  c->prevPage = NoPage;
  c->prevChunk = NoChunk;
  c->nextPage = freeHead.page;
  c->nextChunk = freeHead.chunk;
  freeHead = r;
  ++freeCount_;
}

// ---------------------------------------------------------------------------
// Line marks.

void TextStore::DropMarks() {
  for (LineMark& m : marks_) m.line = 0;
}

int32_t TextStore::LineOfMark(ChunkRef first) const {
  if (first == textHead) return 1;
  for (const LineMark& m : marks_)
    if (m.line && m.ref == first) return m.line;
  return 0;
}

void TextStore::Remember(int32_t line, ChunkRef ref) {
  if (line == 1) return;  // the head is always known
  for (LineMark& m : marks_)
    if (m.line == line) {
      m.ref = ref;
      return;
    }
  // An unused slot, else the mark farthest from this line: marks gather
  // where the editing happens.
  int victim = 0;
  int64_t worst = -1;
  for (int i = 0; i < MarkCount; ++i) {
    int64_t d = marks_[i].line ? std::llabs(static_cast<int64_t>(marks_[i].line) - line) : INT64_MAX;
    if (d > worst) {
      worst = d;
      victim = i;
    }
  }
  marks_[victim] = {line, ref};
}

ChunkRef TextStore::NextLine(ChunkRef first) {
  ChunkRef r = Next(first);
  while (!r.IsEnd() && Kind(At(r)) == KindContinuation) r = Next(r);
  return r;
}

ChunkRef TextStore::PrevLine(ChunkRef first) {
  ChunkRef r = Prev(first);
  while (!r.IsEnd() && Kind(At(r)) == KindContinuation) r = Prev(r);
  return r;
}

ChunkRef TextStore::FindLine(int32_t n) {
  if (n < 1 || n > lineCount) return EndRef;
  int32_t line = 1;
  ChunkRef r = textHead;
  int32_t best = n - 1;
  for (const LineMark& m : marks_) {
    if (!m.line) continue;
    int32_t d = m.line > n ? m.line - n : n - m.line;
    if (d < best) {
      best = d;
      line = m.line;
      r = m.ref;
    }
  }
  for (; line < n; ++line) r = NextLine(r);
  for (; line > n; --line) r = PrevLine(r);
  Remember(n, r);
  return r;
}

ChunkRef TextStore::InsertLineAfter(ChunkRef first) {
  int32_t k = LineOfMark(first);
  ChunkRef last = first;
  for (ChunkRef n = Next(last); !n.IsEnd() && Kind(At(n)) == KindContinuation; n = Next(n)) last = n;
  ChunkRef r;
  if (!AllocChunkAfter(true, last, &r)) return FailedRef;
  ++lineCount;
  if (k) {
    for (LineMark& m : marks_)
      if (m.line > k) ++m.line;
    Remember(k + 1, r);
  } else {
    DropMarks();
  }
  return r;
}

void TextStore::FreeLine(ChunkRef first) {
  if (lineCount <= 1) return;  // the text keeps one line
  int32_t k = LineOfMark(first);
  for (ChunkRef n = Next(first); !n.IsEnd() && Kind(At(n)) == KindContinuation;) {
    ChunkRef after = Next(n);
    FreeChunk(n);
    n = after;
  }
  FreeChunk(first);
  --lineCount;
  if (k) {
    for (LineMark& m : marks_) {
      if (m.line == k) m.line = 0;
      else if (m.line > k) --m.line;
    }
  } else {
    DropMarks();
  }
}

// ---------------------------------------------------------------------------
// Reading and writing lines.

bool TextStore::WriteRow(ChunkRef first, const wchar_t* text, bool hardEnd) {
  return WriteRowN(first, text, static_cast<uint32_t>(std::wcslen(text)), hardEnd);
}

bool TextStore::WriteRowN(ChunkRef first, const wchar_t* text, uint32_t length, bool hardEnd) {
  uint64_t have = 1;
  for (ChunkRef n = Next(first); !n.IsEnd() && Kind(At(n)) == KindContinuation; n = Next(n)) ++have;
  uint64_t need = ChunksForLength(length);
  if (need > have && !HasRoom(need - have)) return false;
  ChunkRef cur = first;
  uint32_t pos = 0;
  for (;;) {
    Chunk* c = At(cur);
    uint32_t rest = length - pos;
    if (rest >= static_cast<uint32_t>(ChunkChars)) {
      std::memcpy(c->text, text + pos, ChunkChars * sizeof(wchar_t));
      pos += ChunkChars;
      ChunkRef next = Next(cur);
      if (next.IsEnd() || Kind(At(next)) != KindContinuation) {
        if (!AllocChunkAfter(false, cur, &next)) return false;  // room was checked
      }
      cur = next;
      continue;
    }
    std::memcpy(c->text, text + pos, rest * sizeof(wchar_t));
    c->text[rest] = hardEnd ? HardEnd : SoftEnd;
    for (ChunkRef n = Next(cur); !n.IsEnd() && Kind(At(n)) == KindContinuation;) {
      ChunkRef after = Next(n);
      FreeChunk(n);
      n = after;
    }
    return true;
  }
}

uint32_t TextStore::StoredLength(ChunkRef first, bool* hardEnd) {
  uint32_t n = 0;
  for (ChunkRef r = first;;) {
    const Chunk* c = At(r);
    int32_t e = EndIn(c->text);
    n += e;
    if (e < ChunkChars) {
      if (hardEnd) *hardEnd = c->text[e] == HardEnd;
      return n;
    }
    r = Next(r);
    if (r.IsEnd()) {  // never for a sound store; read as a hard end
      if (hardEnd) *hardEnd = true;
      return n;
    }
  }
}

namespace {

// Calls f(character) for each stored character of the line at `first`;
// f returns false to stop.  Returns the end reference of the walk: the
// chunk after the line's last chunk.
template <class F>
ChunkRef WalkLine(TextStore& s, ChunkRef first, bool* hardEnd, F&& f) {
  for (ChunkRef r = first;;) {
    const Chunk* c = s.At(r);
    for (int32_t i = 0; i < ChunkChars; ++i) {
      wchar_t ch = c->text[i];
      if (ch <= SoftEnd) {
        if (hardEnd) *hardEnd = ch == HardEnd;
        return {c->nextPage, c->nextChunk};
      }
      if (!f(ch)) {
        if (hardEnd) *hardEnd = true;
        return EndRef;
      }
    }
    r = {c->nextPage, c->nextChunk};
    if (r.IsEnd()) {
      if (hardEnd) *hardEnd = true;
      return r;
    }
  }
}

}  // namespace

ChunkRef TextStore::ReadRow(ChunkRef first, wchar_t* buffer, bool expandTabs, int tabSize,
                            bool* hardEnd) {
  currentLineRef = first;
  bool hard = true;
  ChunkRef after;
  if (!expandTabs) {
    wchar_t* out = buffer;
    ChunkRef r = first;
    for (;;) {
      const Chunk* c = At(r);
      int32_t e = EndIn(c->text);
      std::memcpy(out, c->text, e * sizeof(wchar_t));
      out += e;
      if (e < ChunkChars) {
        hard = c->text[e] == HardEnd;
        after = {c->nextPage, c->nextChunk};
        break;
      }
      r = {c->nextPage, c->nextChunk};
      if (r.IsEnd()) {
        after = r;
        break;
      }
    }
    *out = 0;
  } else {
    wchar_t* out = buffer;
    int32_t col = 0;
    bool inRun = false;
    after = WalkLine(*this, first, &hard, [&](wchar_t ch) {
      if (ch == L'\t') {
        int32_t stop = (col / tabSize + 1) * tabSize;
        while (col < stop) {
          *out++ = L' ';
          ++col;
        }
      } else {
        *out++ = ch;
        if (!(hyperMode && HiddenStep(ch, &inRun))) ++col;
      }
      return true;
    });
    *out = 0;
  }
  if (hardEnd) *hardEnd = hard;
  // The walk returns the chunk after the line: skip continuation chunks of
  // an unsound chain so the result is always a first chunk or the end.
  while (!after.IsEnd() && Kind(At(after)) == KindContinuation) after = Next(after);
  return after;
}

ChunkRef TextStore::ReadLine(ChunkRef first, wchar_t* buffer, bool expandTabs, int tabSize) {
  return ReadRow(first, buffer, expandTabs, tabSize, nullptr);
}

uint32_t TextStore::LineBufferLength(ChunkRef first, bool expandTabs, int tabSize) {
  if (first.IsEnd() || first.page == NoPage) return 0;
  if (!expandTabs) return StoredLength(first) + 1;
  uint32_t col = 0, n = 0;
  bool inRun = false;
  WalkLine(*this, first, nullptr, [&](wchar_t ch) {
    if (ch == L'\t') {
      uint32_t stop = (col / tabSize + 1) * tabSize;
      n += stop - col;
      col = stop;
    } else {
      ++n;
      if (!(hyperMode && HiddenStep(ch, &inRun))) ++col;
    }
    return true;
  });
  return n + 1;
}

// ---------------------------------------------------------------------------
// Positions.

int32_t TextStore::VisibleLength(int32_t n) {
  ChunkRef r = FindLine(n);
  if (r.IsEnd()) return 0;
  int32_t count = 0;
  bool inRun = false;
  WalkLine(*this, r, nullptr, [&](wchar_t ch) {
    if (!(hyperMode && HiddenStep(ch, &inRun))) ++count;
    return true;
  });
  return count;
}

int32_t TextStore::ColumnOfChar(int32_t n, int32_t k, int tabSize) {
  ChunkRef r = FindLine(n);
  if (r.IsEnd()) return 1;
  int32_t col = 0, i = 1;
  bool inRun = false;
  WalkLine(*this, r, nullptr, [&](wchar_t ch) {
    if (i >= k) return false;
    if (hyperMode && HiddenStep(ch, &inRun)) return true;
    col = ch == L'\t' ? (col / tabSize + 1) * tabSize : col + 1;
    ++i;
    return true;
  });
  return col + 1;
}

uint32_t TextStore::PositionOf(int32_t n, int32_t k) {
  if (n < 1 || n > lineCount) return 0;
  uint32_t p = 1;
  ChunkRef r = textHead;
  ChunkRef target = FindLine(n);
  while (!(r == target)) {
    bool hard;
    p += StoredLength(r, &hard) + (hard ? 1 : 0);
    r = NextLine(r);
  }
  uint32_t stored = 0;
  int32_t vis = 1;
  bool inRun = false;
  WalkLine(*this, r, nullptr, [&](wchar_t ch) {
    bool hidden = hyperMode && HiddenStep(ch, &inRun);
    if (!hidden) {
      if (vis >= k) return false;
      ++vis;
    }
    ++stored;
    return true;
  });
  return p + stored;
}

bool TextStore::LineColOf(uint32_t p, int32_t* n, int32_t* k) {
  int32_t line = 1;
  uint32_t start = 1;
  ChunkRef r = textHead;
  bool hard;
  uint32_t len = StoredLength(r, &hard);
  for (;;) {
    uint32_t nextStart = start + len + (hard ? 1 : 0);
    ChunkRef next = NextLine(r);
    if (next.IsEnd() || nextStart > p) break;
    start = nextStart;
    r = next;
    ++line;
    len = StoredLength(r, &hard);
  }
  *n = line;
  if (p < start) {
    *k = 1;
    return false;
  }
  uint32_t off = p - start;
  bool inside = off <= len;
  if (!inside) off = len;
  int32_t vis = 1;
  uint32_t stored = 0;
  bool inRun = false;
  WalkLine(*this, r, nullptr, [&](wchar_t ch) {
    if (stored >= off) return false;
    ++stored;
    if (!(hyperMode && HiddenStep(ch, &inRun))) ++vis;
    return true;
  });
  *k = vis;
  return inside;
}

bool TextStore::RowContinues(int32_t n, uint32_t* length) {
  if (n <= 1 || n > lineCount + 1) return false;
  bool hard;
  *length = StoredLength(FindLine(n - 1), &hard);
  return !hard;
}

uint32_t TextStore::RawIndexOfVisible(const wchar_t* text, int32_t k) const {
  int32_t vis = 1;
  bool inRun = false;
  uint32_t i = 0;
  for (; text[i]; ++i) {
    if (hyperMode && HiddenStep(text[i], &inRun)) continue;
    if (vis >= k) return i;
    ++vis;
  }
  return i;
}

int32_t TextStore::VisibleIndexOfRaw(const wchar_t* text, uint32_t raw) const {
  int32_t vis = 1;
  bool inRun = false;
  for (uint32_t i = 0; i < raw && text[i]; ++i)
    if (!(hyperMode && HiddenStep(text[i], &inRun))) ++vis;
  return vis;
}

void TextStore::SetLineState(ChunkRef first, uint32_t state) {
  Chunk* c = At(first);
  c->flags = (c->flags & ~0xF0u) | ((state & 0xF) << 4);
}

uint32_t TextStore::GetLineState(ChunkRef first) { return (At(first)->flags >> 4) & 0xF; }

// ---------------------------------------------------------------------------
// Invariant check (tests).

const char* TextStore::Check() {
  const int32_t total = (lastPage + 1) * ChunksPerPage;
  std::vector<char> seen(total, 0);
  auto index = [](ChunkRef r) { return r.page * ChunksPerPage + r.chunk; };
  auto valid = [&](ChunkRef r) {
    return r.page >= 0 && r.page <= lastPage && r.chunk >= 0 && r.chunk < ChunksPerPage;
  };
  int32_t lines = 0, used = 0;
  ChunkRef prev = EndRef;
  bool lineOpen = false;  // previous chunk was full, so this one continues it
  for (ChunkRef r = textHead; !r.IsEnd(); r = Next(r)) {
    if (!valid(r)) return "text chain leaves the pages";
    if (seen[index(r)]) return "text chain loops";
    seen[index(r)] = 1;
    ++used;
    const Chunk* c = At(r);
    if (!(ChunkRef{c->prevPage, c->prevChunk} == prev)) return "previous link does not mirror next";
    uint32_t kind = Kind(c);
    if (lineOpen && kind != KindContinuation) return "full chunk not followed by a continuation";
    if (!lineOpen && kind != KindFirst) return "continuation chunk after a line end";
    if (kind == KindFirst) ++lines;
    lineOpen = EndIn(c->text) == ChunkChars;
    prev = r;
  }
  if (lineOpen) return "last chunk has no end mark";
  if (lines != lineCount) return "lineCount differs from the first chunks";
  if (lines < 1) return "text has no line";
  int32_t free = 0;
  for (ChunkRef r = freeHead; !r.IsEnd(); r = Next(r)) {
    if (!valid(r)) return "free list leaves the pages";
    if (seen[index(r)]) return "chunk both free and in the text, or free list loops";
    seen[index(r)] = 1;
    ++free;
  }
  if (static_cast<uint64_t>(free) != freeCount_) return "free count wrong";
  if (used + free != total) return "chunk lost";
  for (const LineMark& m : marks_) {
    if (!m.line) continue;
    ChunkRef r = textHead;
    for (int32_t i = 1; i < m.line && !r.IsEnd(); ++i) r = NextLine(r);
    if (!(r == m.ref)) return "line mark points at the wrong line";
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Store conversion.

uint64_t StoreTextLength(const wchar_t* text) {
  uint64_t n = 1;
  for (; *text; ++text) n += *text == L'\n' ? 2 : 1;
  return n;
}

void ToStoreText(const wchar_t* text, wchar_t* out, bool keepMarkup) {
  for (; *text; ++text) {
    if (*text == L'\n') {
      *out++ = L'\r';
      *out++ = L'\n';
    } else {
      *out++ = StoreChar(*text, keepMarkup);
    }
  }
  *out = 0;
}

}  // namespace QEL_EDIT::detail
