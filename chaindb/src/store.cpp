// Storage primitives, the space allocator, the update mark and the flush.
//
// Invariants:
//  - A free block is {u32 length, u32 next} at its position; class c holds
//    blocks of exactly c bytes (c <= 1024), of 256-byte steps above, class
//    1279 everything from 65280 bytes on.  A block that does not fit its
//    class or lies outside the file ends its list; walks are bounded.
//  - The update mark reaches the disk (written and synced) before the first
//    change; the in-memory mark is set only once it has.
//  - A flush writes every dirty table into a fresh block before giving the
//    old one back, syncs, writes the new header still marked, syncs, then
//    clears the mark byte alone and syncs again.
#include <algorithm>
#include <cstring>

#include "db.h"
#include "qel6kernel.h"

namespace chainDB::detail {

namespace Memory = Qel::RunTime::Kernel::Memory;
using Qel::RunTime::Kernel::RunTrapped;

namespace {

constexpr uint64_t kArenaReserve = uint64_t{1} << 32;
constexpr uint64_t kCommitStep = uint64_t{1} << 20;
constexpr uint32_t kArenaStart = 8;

uint32_t ClassOf(uint32_t n) { return n <= 1024 ? n : n < 65536 ? (n >> 8) + 1024 : kClasses - 1; }

uint32_t FirstBlock(const FILEDESCR* d) { return IsFile(d) ? HeaderSize(d) + kLockArea : kArenaStart; }

uint32_t Head(const FILEDESCR* d, uint32_t c) { return Get32(d->freeSpace.table + 4 * c); }
void SetHead(FILEDESCR* d, uint32_t c, uint32_t p) {
  Put32(d->freeSpace.table + 4 * c, p);
  d->freeSpace.dirty = 1;
}

void LowerTop(FILEDESCR* d) {
  while (d->topClass > 0 && Head(d, d->topClass) == 0) --d->topClass;
}

bool InFile(const FILEDESCR* d, uint32_t p, uint64_t n) {
  return p >= FirstBlock(d) && p + n <= V(d->endOfFile);
}

// A free block read from a list of class c is believable.
bool FreeBlockFits(const FILEDESCR* d, uint32_t p, uint32_t length, uint32_t c) {
  return length >= 8 && InFile(d, p, length) && ClassOf(length) == c;
}

// Puts a block on its list without touching `bytesInUse`.
void PushFree(FILEDESCR* d, uint32_t p, uint32_t length) {
  uint32_t c = ClassOf(length);
  uint8_t head[8];
  Put32(head, length);
  Put32(head + 4, Head(d, c));
  WriteAt(d, Pos{p}, head, 8);
  SetHead(d, c, p);
  if (c > d->topClass) d->topClass = c;
}

// The physical size of a request.
uint64_t Extent(const FILEDESCR* d, uint32_t n) {
  if (!IsFile(d)) return std::max<uint64_t>(8, (uint64_t{n} + 7) & ~uint64_t{7});
  return Rounded(d, n);
}

uint32_t Charged(const FILEDESCR* d, uint32_t n, uint64_t extent) {
  return IsFile(d) ? static_cast<uint32_t>(extent) : n;
}

void ArenaCommit(FILEDESCR* d, uint64_t end) {
  Arena& a = d->arena;
  if (end <= a.committed) return;
  uint64_t to = std::min(kArenaReserve, (end + kCommitStep - 1) & ~(kCommitStep - 1));
  if (!VirtualAlloc(a.base + a.committed, to - a.committed, MEM_COMMIT, PAGE_READWRITE))
    RaiseLastOs();
  a.committed = to;
}

Pos Append(FILEDESCR* d, uint64_t extent) {
  uint64_t end = uint64_t{V(d->endOfFile)} + extent;
  if (end > 0xFFFFFFFFu) RaiseTooLarge();
  if (!IsFile(d)) ArenaCommit(d, end);
  Pos p = d->endOfFile;
  d->endOfFile = Pos{static_cast<uint32_t>(end)};
  return p;
}

// Takes the block at the head of class c's list, when it is believable.
bool TakeHead(FILEDESCR* d, uint32_t c, uint32_t* out) {
  uint32_t p = Head(d, c);
  uint8_t head[8];
  if (!InFile(d, p, 8)) {
    SetHead(d, c, 0);
    return false;
  }
  ReadAt(d, Pos{p}, head, 8);
  uint32_t next = Get32(head + 4);
  if (!FreeBlockFits(d, p, Get32(head), c)) {
    SetHead(d, c, 0);
    return false;
  }
  if (next == p || (next && !InFile(d, next, 8))) next = 0;
  SetHead(d, c, next);
  *out = p;
  return true;
}

// Makes `next` follow `prev` in class c's list (prev 0: the head).
void Unlink(FILEDESCR* d, uint32_t c, uint32_t prev, uint32_t next) {
  if (!prev) return SetHead(d, c, next);
  uint8_t link[4];
  Put32(link, next);
  WriteAt(d, Pos{prev + 4}, link, 4);
}

// Takes block `cur` (length bytes) of class c's list for a request of ext
// bytes; a remainder of 8 bytes or more becomes free again.  Every write is
// made before any list head changes, so a failed write loses nothing.
void TakeSplit(FILEDESCR* d, uint32_t c, uint32_t prev, uint32_t cur, uint32_t next, uint32_t length,
               uint32_t ext) {
  struct Piece {
    uint32_t at, length, cls, next;
  } pieces[2];
  int n = 0;
  auto headAfter = [&](uint32_t cls) {
    for (int i = n - 1; i >= 0; --i)
      if (pieces[i].cls == cls) return pieces[i].at;
    return cls == c && prev == 0 ? next : Head(d, cls);
  };
  auto piece = [&](uint32_t at, uint32_t len) {
    pieces[n] = {at, len, ClassOf(len), headAfter(ClassOf(len))};
    ++n;
  };
  uint32_t rest = length - ext;
  if (rest >= 8) {
    uint32_t at = cur + ext;
    if (IsFile(d) && rest > 1024 && d->version != kVersion302 && rest % 256) {
      uint32_t t = rest % 256;
      if (t >= 8) piece(at + rest - t, t);
      piece(at, rest - t);
    } else {
      piece(at, rest);
    }
  }
  for (int i = 0; i < n; ++i) {
    uint8_t head[8];
    Put32(head, pieces[i].length);
    Put32(head + 4, pieces[i].next);
    WriteAt(d, Pos{pieces[i].at}, head, 8);
  }
  Unlink(d, c, prev, next);
  for (int i = 0; i < n; ++i) {
    SetHead(d, pieces[i].cls, pieces[i].at);
    if (pieces[i].cls > d->topClass) d->topClass = pieces[i].cls;
  }
}

}  // namespace

[[noreturn]] void RaiseTooLarge() { RaiseOs(ERROR_FILE_TOO_LARGE); }

uint32_t Rounded(const FILEDESCR* d, uint32_t n) {
  if (IsFile(d) && d->version != kVersion302 && n > 1024) {
    uint64_t r = (uint64_t{n} + 255) & ~uint64_t{255};
    if (r > 0xFFFFFFFFu) RaiseTooLarge();
    return static_cast<uint32_t>(r);
  }
  return n;
}

// --- Primitives ---

uint8_t* ArenaAt(FILEDESCR* d, Pos p, uint32_t n) {
  if (V(p) < kArenaStart || uint64_t{V(p)} + n > V(d->endOfFile)) Raise(1319);
  return d->arena.base + V(p);
}

void ReadAt(FILEDESCR* d, Pos p, void* buffer, uint32_t n) {
  if (IsFile(d)) {
    if (!d->fileCache) return FileReadAt(d->fileHandle, V(p), buffer, n);
    CacheRead(d, V(p), buffer, n);
    d->cursor = p + n;
    return;
  }
  memcpy(buffer, ArenaAt(d, p, n), n);
  d->cursor = p + n;
}

void WriteAt(FILEDESCR* d, Pos p, const void* buffer, uint32_t n) {
  if (IsFile(d)) {
    if (!d->fileCache) return FileWriteAt(d->fileHandle, V(p), buffer, n);
    CacheWriteAt(d, V(p), buffer, n);
    d->cursor = p + n;
    return;
  }
  memcpy(ArenaAt(d, p, n), buffer, n);
  d->cursor = p + n;
}

void ReadNext(FILEDESCR* d, void* buffer, uint32_t n) {
  if (IsFile(d) && !d->fileCache) return FileRead(d->fileHandle, buffer, n);
  ReadAt(d, d->cursor, buffer, n);
}

void WriteNext(FILEDESCR* d, const void* buffer, uint32_t n) {
  if (n == 0) return;
  if (IsFile(d) && !d->fileCache) return FileWrite(d->fileHandle, buffer, n);
  WriteAt(d, d->cursor, buffer, n);
}

void ArenaCreate(FILEDESCR* d) {
  void* base = VirtualAlloc(nullptr, kArenaReserve, MEM_RESERVE, PAGE_NOACCESS);
  if (!base) RaiseLastOs();
  d->arena.base = static_cast<uint8_t*>(base);
  d->arena.committed = 0;
  d->endOfFile = Pos{kArenaStart};
  ArenaCommit(d, kCommitStep);
}

void ArenaFree(FILEDESCR* d) {
  if (d->arena.base) VirtualFree(d->arena.base, 0, MEM_RELEASE);
  d->arena.base = nullptr;
  d->arena.committed = 0;
}

// --- Allocator ---

Pos Allocate(FILEDESCR* d, uint32_t n) {
  uint64_t extent = Extent(d, n);
  if (extent > 0xFFFFFFFFu) RaiseTooLarge();
  uint32_t ext = static_cast<uint32_t>(extent);
  uint32_t p = 0;
  if (ext <= 1024 && Head(d, ext) && TakeHead(d, ext, &p)) {
    if (ext == d->topClass) LowerTop(d);
  } else {
    uint32_t start = ClassOf(ext);
    if (ext > 1024 && d->version == kVersion302 && start < kClasses - 1) ++start;
    uint32_t c = start;
    while (c <= d->topClass && c < kClasses && Head(d, c) == 0) ++c;
    if (c <= d->topClass && c < kClasses) {
      // Walk that one list; a block that does not fit its class ends it.
      uint32_t prev = 0, cur = Head(d, c);
      uint64_t steps = V(d->endOfFile) / 8 + 1;
      bool bad = false;
      while (cur) {
        uint8_t head[8];
        if (!steps-- || !InFile(d, cur, 8)) { bad = true; break; }
        ReadAt(d, Pos{cur}, head, 8);
        uint32_t length = Get32(head), next = Get32(head + 4);
        if (!FreeBlockFits(d, cur, length, c)) { bad = true; break; }
        if (next == cur || (next && !InFile(d, next, 8))) next = 0;
        if (length >= ext) {
          p = cur;
          TakeSplit(d, c, prev, cur, next, length, ext);
          if (c == d->topClass && next == 0) LowerTop(d);
          break;
        }
        prev = cur;
        cur = next;
      }
      if (bad) {
        Unlink(d, c, prev, 0);
        LowerTop(d);
      }
    }
    if (!p) p = V(Append(d, ext));
  }
  d->bytesInUse += Charged(d, n, ext);
  if (!IsFile(d)) memset(d->arena.base + p, 0, ext);
  return Pos{p};
}

void Release(FILEDESCR* d, Pos p, uint32_t n) {
  uint64_t extent = Extent(d, n);
  if (extent > 0xFFFFFFFFu || !InFile(d, V(p), extent)) Raise(1319);
  PushFree(d, V(p), static_cast<uint32_t>(extent));
  uint32_t charged = Charged(d, n, extent);
  d->bytesInUse = d->bytesInUse >= charged ? d->bytesInUse - charged : 0;
}

// --- Update mark and flush ---

void MarkUpdate(FILEDESCR* d) {
  if (d->updateMark) return;
  if (IsFile(d)) {
    uint8_t header[kWideHeader];
    d->updateMark = 1;
    EncodeHeader(d, header);
    d->updateMark = 0;
    CacheWriteAt(d, 0, header, HeaderSize(d));
    Sync(d);
  }
  d->updateMark = 1;
}

void Sync(FILEDESCR* d) {
  CacheWriteBack(d);
  FileFlush(d->fileHandle);
}

uint32_t MarkOffset(const FILEDESCR* d) { return d->wide ? 64 : 56; }

void BeginChange(FILEDESCR* d) {
  if (d->readTransaction) Raise(1331);
  if (d->changing) d->damaged = true;
  MarkUpdate(d);
  d->changing = true;
}

namespace {

// Writes a dirty table: in place when its size is unchanged, else into a
// fresh block; the old block is given back only once a header that no
// longer names it is on disk.
void WriteGroup(FILEDESCR* d, TableGroup* g) {
  if (!g->dirty) return;
  uint32_t size = TableSize(g->table);
  if (V(g->position) && g->storedSize == size) {
    WriteAt(d, g->position, g->table, size);
  } else {
    if (V(g->position) && d->pendingCount >= kPendingReleases) Raise(1319);
    Pos fresh = Allocate(d, size);
    uint32_t code = RunTrapped([&] { WriteAt(d, fresh, g->table, size); });
    if (code) {
      RunTrapped([&] { Release(d, fresh, size); });
      Qel::RunTime::Kernel::Errors::Qel_ErrorExit(code);
    }
    if (V(g->position)) {
      d->pendingPos[d->pendingCount] = g->position;
      d->pendingSize[d->pendingCount++] = g->storedSize;
    }
    g->position = fresh;
    g->storedSize = size;
  }
  g->dirty = 0;
  g->stamp.Next();
}

// Writes the header as it stands, still marked, and syncs.
void WriteMarkedHeader(FILEDESCR* d, const Stamp& stamp) {
  uint8_t header[kWideHeader];
  Stamp before = d->headerStamp;
  uint8_t mark = d->updateMark;
  d->headerStamp = stamp;
  d->updateMark = 1;
  EncodeHeader(d, header);
  d->headerStamp = before;
  d->updateMark = mark;
  CacheWriteAt(d, 0, header, HeaderSize(d));
  Sync(d);
}

}  // namespace

void (*g_flushTrees)(FILEDESCR* d) = nullptr;

void FlushTables(FILEDESCR* d) {
  WriteGroup(d, &d->chainNames);
  WriteGroup(d, &d->chains);
  WriteGroup(d, &d->refs);
  if (g_flushTrees) g_flushTrees(d);
  WriteGroup(d, &d->btrees);
  WriteGroup(d, &d->btreeNames);
  if (d->pendingCount) {
    // Tables that moved: a marked header naming the new blocks goes to disk
    // before the old blocks are given back, so the header on disk always
    // names whole tables.
    Sync(d);
    WriteMarkedHeader(d, d->headerStamp);
    while (d->pendingCount) {
      uint32_t i = d->pendingCount - 1;
      Release(d, d->pendingPos[i], d->pendingSize[i]);
      d->pendingCount = i;
    }
  }
  if (d->freeSpace.dirty) {
    if (!V(d->freeSpace.position)) {
      d->freeSpace.position = Allocate(d, kFreeTableBytes);
      d->freeSpace.storedSize = kFreeTableBytes;
    }
    WriteAt(d, d->freeSpace.position, d->freeSpace.table, kFreeTableBytes);
    d->freeSpace.dirty = 0;
    d->freeSpace.stamp.Next();
  }
}

void Flush(FILEDESCR* d) {
  if (!IsFile(d)) return;
  if (d->damaged || d->changing) Raise(1317);
  if (!d->updateMark) return;
  FlushTables(d);
  Sync(d);
  // The new header still marked, synced; then the mark byte alone, so that
  // no torn header write can leave a clean mark over old fields.
  Stamp next = d->headerStamp;
  next.Next();
  WriteMarkedHeader(d, next);
  if (d->openedInvalid) {
    // What was written through an invalid open is no sounder than the file
    // it was read from: only a Copy makes a clean file of it.
    d->headerStamp = next;
    return;
  }
  uint8_t clear = 0;
  CacheWriteAt(d, MarkOffset(d), &clear, 1);
  Sync(d);
  d->updateMark = 0;
  d->headerStamp = next;
}

// --- Garbage collection ---

namespace {

struct FreeBlock {
  uint32_t position, length;
};

// Visits every believable block of every list, each list bounded.
template <class F>
void EachFreeBlock(FILEDESCR* d, F&& visit) {
  for (uint32_t c = 8; c < kClasses; ++c) {
    uint64_t steps = V(d->endOfFile) / 8 + 1;
    for (uint32_t cur = Head(d, c); cur && steps--;) {
      uint8_t head[8];
      if (!InFile(d, cur, 8)) break;
      ReadAt(d, Pos{cur}, head, 8);
      uint32_t length = Get32(head);
      if (!FreeBlockFits(d, cur, length, c)) break;
      visit(FreeBlock{cur, length});
      uint32_t next = Get32(head + 4);
      if (next == cur) break;
      cur = next;
    }
  }
}

}  // namespace

void CollectGarbage(FILEDESCR* d) {
  if (!IsFile(d)) return;
  d->freeSpace.dirty = 1;
  uint64_t count = 0;
  EachFreeBlock(d, [&](FreeBlock) { ++count; });
  if (count == 0) return;
  if (count * sizeof(FreeBlock) > 0x7FFFFFF0u) RaiseTooLarge();
  uint8_t* mark = Memory::MarkGStack();
  auto* blocks = reinterpret_cast<FreeBlock*>(
      Memory::AllocGStack(static_cast<uint32_t>(count * sizeof(FreeBlock))));
  uint64_t n = 0;
  EachFreeBlock(d, [&](FreeBlock b) {
    if (n < count) blocks[n++] = b;
  });
  std::sort(blocks, blocks + n, [](FreeBlock a, FreeBlock b) { return a.position < b.position; });
  // The union of the blocks: overlapping blocks never cover more than they
  // did, so live data stays outside.
  uint64_t merged = 0;
  bool changed = false;
  for (uint64_t i = 0; i < n; ++i) {
    if (merged && uint64_t{blocks[merged - 1].position} + blocks[merged - 1].length >= blocks[i].position) {
      FreeBlock& m = blocks[merged - 1];
      uint64_t end = std::max<uint64_t>(uint64_t{m.position} + m.length,
                                        uint64_t{blocks[i].position} + blocks[i].length);
      m.length = static_cast<uint32_t>(end - m.position);
      changed = true;
    } else {
      blocks[merged++] = blocks[i];
    }
  }
  if (changed) {
    memset(d->freeSpace.table, 0, kFreeTableBytes);
    d->topClass = 0;
    for (uint64_t i = 0; i < merged; ++i) {
      uint32_t p = blocks[i].position, length = blocks[i].length;
      if (length > 1024 && d->version != kVersion302) {
        uint32_t t = length % 256;
        if (t > 8) PushFree(d, p, t);
        if (length - t) PushFree(d, p + t, length - t);
      } else {
        PushFree(d, p, length);
      }
    }
  }
  Memory::ReleaseGStack(mark);
}

}  // namespace chainDB::detail
