// The database descriptor and the storage of one chain database.
//
// Invariants:
//  - References and positions are u32 types of their own.  A position is a
//    file offset, or an offset into the database's arena for a memory
//    database; 0 is never a block.
//  - Tables are collected, pointer-free heap blocks in their stored form
//    (their first word is their size); the descriptor is written to and read
//    from the header field by field (header.cpp).
//  - A file database's update mark is on disk before its first change; a
//    flush writes the tables, syncs, then writes the clean header and syncs.
//  - `changing` is set while a change is half done; an error that leaves it
//    set marks the descriptor damaged: it is never flushed as clean again.
//  - A descriptor opened invalid never clears the update mark: its flush
//    writes the tables and a marked header only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "os.h"

namespace chainDB::detail {

enum class Ref : uint32_t {};
enum class Pos : uint32_t {};
constexpr Ref kNoRef{0};
constexpr Pos kNoPos{0};
inline uint32_t V(Ref r) { return static_cast<uint32_t>(r); }
inline uint32_t V(Pos p) { return static_cast<uint32_t>(p); }
inline Pos operator+(Pos p, uint32_t n) { return Pos{V(p) + n}; }
inline uint32_t RefBlockOf(Ref r) { return V(r) & 0xFFFF; }
inline uint32_t RefSlotOf(Ref r) { return V(r) >> 16; }
inline Ref MakeRef(uint32_t block, uint32_t slot) { return Ref{block | slot << 16}; }

constexpr uint8_t kPlaceMemory = 1, kPlaceFile = 3;
constexpr uint32_t kVersion = 303, kVersion302 = 302;
constexpr uint32_t kWideHeader = 320, kNarrowHeader = 312, kLockArea = 256;
constexpr uint32_t kClasses = 1280, kFreeTableBytes = kClasses * 4;
constexpr uint32_t kRefBlockBytes = 4096, kRefSlots = 1024;
constexpr uint32_t kTableHead = 20, kTreeHead = 16;
constexpr uint32_t kBtreeDescriptorBytes = 248;
constexpr uint32_t kPendingReleases = 8;

// A 96-bit change stamp, low word first.
struct Stamp {
  uint32_t w[3];
  void Next() {
    if (++w[0] == 0 && ++w[1] == 0) ++w[2];
  }
  bool operator==(const Stamp&) const = default;
};

struct TableGroup {
  uint8_t* table;  // stored form, or null
  uint8_t dirty;
  Stamp stamp;
  Pos position;
  uint32_t storedSize;  // bytes of the block at `position` (not stored)
};

// A memory database's blocks: reserved address space, committed as it
// grows, never moved; offsets are positions.
struct Arena {
  uint8_t* base;
  uint64_t committed;
};

}  // namespace chainDB::detail

namespace chainDB {

// The descriptor of an open database (the header's in-memory form).
struct FILEDESCR {
  using Pos = detail::Pos;
  using Ref = detail::Ref;
  using Stamp = detail::Stamp;
  using TableGroup = detail::TableGroup;
  using Arena = detail::Arena;
  uint8_t place;
  HANDLE fileHandle;
  uint32_t version;
  uint32_t openFlags;
  uint8_t accessMode, denyMode;
  uint32_t retryCount, retryDelay;
  uint8_t readTransaction, readerSlot, tablesLoaded, accessOpen, updated;
  void* fileName;  // UTF-16, or 8-bit text in the 8-bit variant
  uint32_t drive;
  uint8_t updateMark;
  Stamp headerStamp;
  TableGroup chainNames, chains, btreeNames, btrees;
  uint32_t freeBtreeHead;
  uint8_t* selectors;  // unused: selectors live in btreeState
  uint32_t freeSelectorHead;
  TableGroup refs;
  uint8_t refPaged;
  uint32_t refBlock, refSlot;
  Pos refBlockPosition;
  Ref freeRefHead;
  Ref cachedRef;
  uint32_t cachedHead[3];  // size, previous, next
  Pos cachedPos;           // position of cachedRef's record (not stored)
  TableGroup freeSpace;
  uint32_t termCount, bytesInUse, freeChainHead, topClass;
  uint8_t noRefReuse, blockCacheOn;
  uint8_t** blockCache;
  uint32_t blockCacheCapacity;
  Pos endOfFile;

  // Not stored.
  bool wide;
  bool changing;   // a change is half done
  bool damaged;    // an error interrupted a change
  bool openedInvalid;  // opened by OpenInvalid: the file may be inconsistent
  Arena arena;
  Pos cursor;      // sequential cursor of a memory database
  void* btreeState;  // open counts, updated bytes and selectors of this process
  // Blocks whose release failed in a flush: given back by the next flush.
  uint32_t pendingCount;
  Pos pendingPos[8];
  uint32_t pendingSize[8];
  // The read cache (filecache.cpp) of a file this process holds alone, or
  // null: every read goes to the file.
  void* fileCache;
};

}  // namespace chainDB

namespace chainDB::detail {

using chainDB::FILEDESCR;

inline bool IsFile(const FILEDESCR* d) { return d->place == kPlaceFile; }
inline uint32_t HeaderSize(const FILEDESCR* d) { return d->wide ? kWideHeader : kNarrowHeader; }

// Little-endian words in byte buffers.
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// --- header.cpp ---
void EncodeHeader(const FILEDESCR* d, uint8_t* out);  // HeaderSize bytes
// Reads the persistent fields; 1326 or 1317 for signature and version.
void DecodeHeader(FILEDESCR* d, const uint8_t* in);

// --- tables.cpp: growable tables and name trees ---
uint8_t* NewTable(uint32_t entrySize, uint32_t capacity, uint32_t growth, uint32_t count);
inline uint32_t TableSize(const uint8_t* t) { return Get32(t); }
inline uint32_t TableCapacity(const uint8_t* t) { return Get32(t + 4); }
inline uint32_t TableCount(const uint8_t* t) { return Get32(t + 8); }
inline uint32_t TableEntrySize(const uint8_t* t) { return Get32(t + 16); }
inline uint8_t* TableEntry(uint8_t* t, uint32_t i) { return t + kTableHead + i * TableEntrySize(t); }
// Appends an entry (zeroed); the table may move.
uint32_t TableAppend(uint8_t** table);
uint8_t* CopyBlock(const uint8_t* block, uint32_t size);
// Checks a growable table read from a file: 1326 when it is inconsistent.
void CheckTable(const uint8_t* t, uint32_t size, uint32_t entrySize);

uint8_t* NewTree();
// The value of the name, or -1.  `link` receives the offset of the word that
// would take a new node.
int64_t TreeSearch(const FILEDESCR* d, const uint8_t* tree, const void* name, uint32_t* link);
void TreeInsert(const FILEDESCR* d, uint8_t** tree, const void* name, uint32_t value);
void TreeDelete(const FILEDESCR* d, uint8_t** tree, const void* name, uint32_t capacity);
// Writes the offsets of the nodes in ascending name order (at most `max`);
// returns their number.
uint32_t TreeInOrder(const uint8_t* tree, uint32_t* out, uint32_t max);
inline const uint8_t* NodeName(const uint8_t* tree, uint32_t node) { return tree + node + 12; }
inline uint32_t NodeValue(const uint8_t* tree, uint32_t node) { return Get32(tree + node + 8); }
// 1326 when the tree is inconsistent; values must lie below `limit`.
void CheckTree(const FILEDESCR* d, const uint8_t* tree, uint32_t size, uint32_t limit);
uint32_t NameBytes(const FILEDESCR* d, const void* name);  // with terminator
int CompareNames(const FILEDESCR* d, const void* a, const void* b);

// --- filecache.cpp: pages of a file kept for reading ---
void CacheOpen(FILEDESCR* d);  // d->fileHandle open
void CacheClose(FILEDESCR* d);
void CacheRead(FILEDESCR* d, uint32_t p, void* buffer, uint32_t n);
// Writes to the file (also without a cache) and updates the kept pages.
void CacheWriteAt(FILEDESCR* d, uint32_t p, const void* buffer, uint32_t n);
// A cache holding every write of a file not yet created (named `name`).
void CacheHoldNew(FILEDESCR* d, FileName name);
// Creates a held file and writes its image; then it is an ordinary cache.
void CacheWriteBack(FILEDESCR* d);

// --- store.cpp: primitives, allocator, update mark, flush ---
void ReadAt(FILEDESCR* d, Pos p, void* buffer, uint32_t n);
void WriteAt(FILEDESCR* d, Pos p, const void* buffer, uint32_t n);
void ReadNext(FILEDESCR* d, void* buffer, uint32_t n);
void WriteNext(FILEDESCR* d, const void* buffer, uint32_t n);
// The address of a memory database's block (bounds checked).
uint8_t* ArenaAt(FILEDESCR* d, Pos p, uint32_t n);
Pos Allocate(FILEDESCR* d, uint32_t n);
void Release(FILEDESCR* d, Pos p, uint32_t n);
uint32_t Rounded(const FILEDESCR* d, uint32_t n);
void ArenaCreate(FILEDESCR* d);
void ArenaFree(FILEDESCR* d);
// Starts a change: 1331 in a read transaction, the update mark set durably.
void BeginChange(FILEDESCR* d);
inline void EndChange(FILEDESCR* d) { d->changing = false; }
void MarkUpdate(FILEDESCR* d);
uint32_t MarkOffset(const FILEDESCR* d);
void FlushTables(FILEDESCR* d);
// Writes held bytes back, then syncs the file.
void Sync(FILEDESCR* d);
// Writes the changed descriptors of open B+trees (set by the B+tree part).
extern void (*g_flushTrees)(FILEDESCR* d);
void Flush(FILEDESCR* d);
void CollectGarbage(FILEDESCR* d);
[[noreturn]] void RaiseTooLarge();

// The references a repairing Copy gave a record (one bit each, by block
// and slot); a plain Copy has none.
struct RefSet {
  uint8_t* bits;  // collected
  uint64_t size;  // bits
  static uint64_t Index(Ref r) { return uint64_t{RefBlockOf(r)} * kRefSlots + RefSlotOf(r); }
  bool Has(Ref r) const { return Index(r) < size && (bits[Index(r) >> 3] >> (Index(r) & 7) & 1); }
  void Add(Ref r);  // grows as needed
};

// --- refs.cpp ---
Ref NewRef(FILEDESCR* d, Pos p);
Pos LookupRef(FILEDESCR* d, Ref r, bool mustExist);
void SetRef(FILEDESCR* d, Ref r, Pos p);
void ReleaseRef(FILEDESCR* d, Ref r);
void LoadBlockCache(FILEDESCR* d);

}  // namespace chainDB::detail
