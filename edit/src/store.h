// The editor's text store: lines as chains of fixed 256-byte chunks in pages
// of 256 chunks, with a free list, and the four ways of counting positions.
//
// Invariants: every chunk of the allocated pages is either in the text chain
// (from `textHead`, following next links; previous links mirror them) or on
// the free list (next links only), never both; a line is a first chunk (kind
// 1) followed by its continuation chunks (kind 2); a chunk holding 117
// characters with no end mark is always followed by a continuation chunk;
// `lineCount` is the number of first chunks; the text has at least one line.
// The line marks cache (line number, first chunk) pairs for `FindLine`; each
// mark is exact, or the marks are dropped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pageblocks.h"

namespace QEL_EDIT::detail {

constexpr int32_t ChunkChars = 117;
constexpr int32_t ChunksPerPage = 256;
constexpr int32_t MaxPages = 4096;
constexpr int32_t PageBytes = 65536;
// Values of a chain reference: the end of a chain, and a failed insertion.
constexpr int32_t NoPage = 4097;
constexpr int32_t NoChunk = 257;
constexpr int32_t FailedChunk = 258;

// Chunk kinds (flags bits 0-3).
constexpr uint32_t KindFirst = 1;
constexpr uint32_t KindContinuation = 2;

// Line end marks.
constexpr wchar_t HardEnd = 0;
constexpr wchar_t SoftEnd = 1;

// Hyper markup: a hidden single character, and the marks of a hidden run.
constexpr wchar_t HiddenChar = 11;
constexpr wchar_t HiddenOpen = 14;
constexpr wchar_t HiddenClose = 15;

struct ChunkRef {
  int32_t page;
  int32_t chunk;
  bool IsEnd() const { return chunk == NoChunk; }
  bool IsFailed() const { return chunk == FailedChunk; }
  bool operator==(const ChunkRef& o) const { return page == o.page && chunk == o.chunk; }
};
constexpr ChunkRef EndRef{NoPage, NoChunk};
constexpr ChunkRef FailedRef{NoPage, FailedChunk};

struct Chunk {
  uint32_t flags;      // kind in bits 0-3, colouring state in bits 4-7
  int32_t prevPage;
  int32_t prevChunk;
  int32_t nextPage;
  int32_t nextChunk;
  uint16_t unused;     // written 0
  wchar_t text[ChunkChars];
};
static_assert(sizeof(Chunk) == 256 && offsetof(Chunk, text) == 22);

struct Page {
  Chunk chunks[ChunksPerPage];
};
static_assert(sizeof(Page) == PageBytes);

// Chunks a line of `length` stored characters takes (a full chunk always has
// a successor, so 117 characters take two).
inline uint64_t ChunksForLength(uint64_t length) { return length / ChunkChars + 1; }

// A store starts zeroed (in a zeroed record, or made by `new TextStore()`).
class TextStore {
 public:
  // Page 0 with one empty line; false when the page cannot be allocated.
  bool Init(bool hyperMarkup);
  // Frees every page; the store is empty until the next Init.
  void FreeAll();

  // Chain operations.
  ChunkRef FindLine(int32_t n);
  bool AllocChunkAfter(bool kindIsFirst, ChunkRef at, ChunkRef* out);
  ChunkRef InsertLineAfter(ChunkRef first);
  void FreeChunk(ChunkRef c);
  void FreeLine(ChunkRef first);
  bool WriteLine(ChunkRef first, const wchar_t* text) { return WriteRow(first, text, true); }
  bool WriteRow(ChunkRef first, const wchar_t* text, bool hardEnd);
  bool WriteRowN(ChunkRef first, const wchar_t* text, uint32_t length, bool hardEnd);
  ChunkRef ReadLine(ChunkRef first, wchar_t* buffer, bool expandTabs, int tabSize = 4);
  ChunkRef ReadRow(ChunkRef first, wchar_t* buffer, bool expandTabs, int tabSize, bool* hardEnd);
  ChunkRef NextLine(ChunkRef first);
  ChunkRef PrevLine(ChunkRef first);
  // Characters ReadLine writes plus one; 0 for an end reference.
  uint32_t LineBufferLength(ChunkRef first, bool expandTabs, int tabSize = 4);
  uint32_t LineBufferLength(int32_t n, bool expandTabs, int tabSize = 4) {
    return LineBufferLength(FindLine(n), expandTabs, tabSize);
  }
  // Stored characters of a line (end mark not counted), and whether it ends hard.
  uint32_t StoredLength(ChunkRef first, bool* hardEnd = nullptr);

  // Room: can `chunks` more chunks be taken (free ones and pages left)?
  bool HasRoom(uint64_t chunks) const;
  uint64_t FreeChunks() const { return freeCount_; }

  // Positions.
  int32_t VisibleLength(int32_t n);
  int32_t ColumnOfChar(int32_t n, int32_t k, int tabSize);
  uint32_t PositionOf(int32_t n, int32_t k);
  bool LineColOf(uint32_t p, int32_t* n, int32_t* k);
  bool RowContinues(int32_t n, uint32_t* length);
  // Raw (stored) index of visible character k in a line's text, and back.
  uint32_t RawIndexOfVisible(const wchar_t* text, int32_t k) const;
  int32_t VisibleIndexOfRaw(const wchar_t* text, uint32_t raw) const;

  void SetLineState(ChunkRef first, uint32_t state);
  uint32_t GetLineState(ChunkRef first);

  // Test support: a description of the first broken invariant, or nullptr.
  const char* Check();

  Chunk* At(ChunkRef r) { return &pageTable[r.page]->chunks[r.chunk]; }

  Page* pageTable[MaxPages];
  int32_t lastPage;
  int32_t lineCount;
  ChunkRef textHead;
  ChunkRef freeHead;
  ChunkRef currentLineRef;
  bool hyperMode;

 private:
  PageBlocks pages_;
  static constexpr int MarkCount = 8;
  struct LineMark {
    int32_t line;  // 0 = unused
    ChunkRef ref;
  };
  bool AddPage();
  void InitPage(int32_t index, bool isFirstPage);
  ChunkRef Next(ChunkRef r) { Chunk* c = At(r); return {c->nextPage, c->nextChunk}; }
  ChunkRef Prev(ChunkRef r) { Chunk* c = At(r); return {c->prevPage, c->prevChunk}; }
  int32_t LineOfMark(ChunkRef first) const;
  void Remember(int32_t line, ChunkRef ref);
  void DropMarks();

  uint64_t freeCount_;
  LineMark marks_[MarkCount];
};

// Whether a character is hidden markup to a hyperMode-mode walk; `inRun` is the
// walk's state (inside a 14...15 run).
inline bool HiddenStep(wchar_t c, bool* inRun) {
  if (*inRun) {
    if (c == HiddenClose) *inRun = false;
    return true;
  }
  if (c == HiddenOpen) {
    *inRun = true;
    return true;
  }
  return c == HiddenChar;
}

// Store conversion of a caller's text: LF becomes CR LF; every other code
// below 32 but TAB becomes a space (11, 14 and 15 stay when keepMarkup); a CR
// of the input is such a code.  StoreTextLength counts the output plus one.
uint64_t StoreTextLength(const wchar_t* text);
void ToStoreText(const wchar_t* text, wchar_t* out, bool keepMarkup);
// The code a typed or loaded character is stored as (LF excluded by callers).
inline wchar_t StoreChar(wchar_t c, bool keepMarkup) {
  if (c >= 32 || c == 9) return c;
  if (keepMarkup && (c == HiddenChar || c == HiddenOpen || c == HiddenClose)) return c;
  return L' ';
}

}  // namespace QEL_EDIT::detail
