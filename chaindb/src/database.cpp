// Databases as a whole.  A file database's open either hands out a checked
// descriptor or closes the file; a Copy to a file writes a temporary file
// beside the target and renames it over the target only once it is whole
// and synced; a failed Copy removes it.  A Copy of a database opened
// invalid is a repair: the new database is consistent (links, reference
// table, counts, trees) and holds every chain a reader of the source walks.
#include "database.h"

#include <cstring>

#include "btree.h"
#include "chains.h"
#include "qel6kernel.h"

namespace chainDB::detail {

namespace Memory = Qel::RunTime::Kernel::Memory;
namespace Errors = Qel::RunTime::Kernel::Errors;
using Qel::RunTime::Kernel::RunTrapped;

void (*g_copyTrees)(FILEDESCR* from, FILEDESCR* to, const RefSet* live) = nullptr;

namespace {

struct Parked {
  FILEDESCR* d;
  Parked* next;
};
Parked* g_parked[2];  // wide, 8-bit

void Finalize(void* block) {
  auto* d = static_cast<FILEDESCR*>(block);
  CacheClose(d);
  ArenaFree(d);
}

FILEDESCR* NewDescriptor(bool wide) {
  auto* d = static_cast<FILEDESCR*>(Memory::AllocHeapWithFinalization(sizeof(FILEDESCR), Finalize));
  memset(static_cast<void*>(d), 0, sizeof(FILEDESCR));
  d->wide = wide;
  d->freeSelectorHead = 0xFFFFFFFFu;
  return d;
}

void* CopyName(FileName name) {
  uint32_t bytes = name.wide ? 2 * (lstrlenW(static_cast<const wchar_t*>(name.text)) + 1)
                             : lstrlenA(static_cast<const char*>(name.text)) + 1;
  void* copy = Memory::AllocAtomicHeap(bytes);
  memcpy(copy, name.text, bytes);
  return copy;
}

uint32_t DriveOf(FileName name) {
  uint32_t c0, c1;
  if (name.wide) {
    auto* s = static_cast<const wchar_t*>(name.text);
    c0 = s[0];
    c1 = c0 ? s[1] : 0;
  } else {
    auto* s = static_cast<const uint8_t*>(name.text);
    c0 = s[0];
    c1 = c0 ? s[1] : 0;
  }
  if (c1 != ':') return CurrentDrive(name.wide);
  if (c0 >= 'A' && c0 <= 'Z') return c0 - 'A' + 1;
  if (c0 >= 'a' && c0 <= 'z') return c0 - 'a' + 1;
  Raise(1303);
}

bool SameName(bool wide, const void* a, const void* b) {
  return wide ? lstrcmpW(static_cast<const wchar_t*>(a), static_cast<const wchar_t*>(b)) == 0
              : lstrcmpA(static_cast<const char*>(a), static_cast<const char*>(b)) == 0;
}

Parked** FindParked(FileName name) {
  for (Parked** p = &g_parked[name.wide ? 0 : 1]; *p; p = &(*p)->next)
    if (SameName(name.wide, (*p)->d->fileName, name.text)) return p;
  return nullptr;
}

void Park(FILEDESCR* d) {
  auto* node = static_cast<Parked*>(Memory::AllocHeap(sizeof(Parked)));
  node->d = d;
  node->next = g_parked[d->wide ? 0 : 1];
  g_parked[d->wide ? 0 : 1] = node;
}

const Stamp kFirstStamp{{1, 0, 0}};

// The empty tables of a new database.
void EmptyTables(FILEDESCR* d) {
  d->chainNames = {NewTree(), 1, kFirstStamp, kNoPos, 0};
  d->chains = {NewTable(8, 0, 2, 0), 1, kFirstStamp, kNoPos, 0};
  d->btreeNames = {NewTree(), 1, kFirstStamp, kNoPos, 0};
  d->btrees = {NewTable(16, 0, 2, 0), 1, kFirstStamp, kNoPos, 0};
  d->refs = {NewTable(4, 64, 64, 1), 1, kFirstStamp, kNoPos, 0};
  d->selectors = NewTable(8, 0, 1, 0);
  d->freeSpace.table = static_cast<uint8_t*>(Memory::AllocAtomicHeap(kFreeTableBytes));
  memset(d->freeSpace.table, 0, kFreeTableBytes);
  d->freeSpace.dirty = 1;
  d->freeSpace.stamp = kFirstStamp;
}

// The header and the lock area of a new file: blocks at 0 and behind it.
void WriteHeaderAndLockArea(FILEDESCR* d) {
  uint8_t header[kWideHeader];
  Pos h = Allocate(d, HeaderSize(d));
  EncodeHeader(d, header);
  WriteAt(d, h, header, HeaderSize(d));
  uint8_t zeros[kLockArea] = {};
  WriteAt(d, Allocate(d, kLockArea), zeros, kLockArea);
}

// Runs body; on an error runs cleanup (itself trapped) and passes the error on.
template <class Body, class Cleanup>
void OnError(Body&& body, Cleanup&& cleanup) {
  uint32_t code = RunTrapped(body);
  if (!code) return;
  RunTrapped(cleanup);
  Errors::Qel_ErrorExit(code);
}

uint32_t FirstBlock(const FILEDESCR* d) { return HeaderSize(d) + kLockArea; }

// Reads the stored table of a group: size word first, checked against the
// file before anything is allocated.
uint8_t* LoadBlock(FILEDESCR* d, TableGroup* g, uint32_t fileSize, uint32_t minimum) {
  uint32_t p = V(g->position);
  if (p < FirstBlock(d)) Raise(1326);
  uint8_t word[4];
  FileReadAt(d->fileHandle, p, word, 4);
  uint32_t size = Get32(word);
  if (p > fileSize || size > fileSize - p) Raise(1111);
  if (size < minimum || uint64_t{p} + size > V(d->endOfFile)) Raise(1326);
  auto* t = static_cast<uint8_t*>(Memory::AllocAtomicHeap(size));
  memcpy(t, word, 4);
  FileRead(d->fileHandle, t + 4, size - 4);
  g->storedSize = size;
  return t;
}

void CheckRefState(FILEDESCR* d) {
  uint32_t count = TableCount(d->refs.table);
  bool ok = d->refPaged <= 1 && d->refSlot < kRefSlots && count >= 1;
  if (ok && !d->refPaged) ok = d->refBlock == 0 && count <= kRefSlots && d->refSlot < count;
  if (ok && d->refPaged) {
    ok = d->refBlock < count && count <= 0x10000 &&
         V(d->refBlockPosition) == Get32(TableEntry(d->refs.table, d->refBlock));
    for (uint32_t b = 0; ok && b < count; ++b) {
      uint32_t p = Get32(TableEntry(d->refs.table, b));
      ok = p >= FirstBlock(d) && uint64_t{p} + kRefBlockBytes <= V(d->endOfFile);
    }
  }
  uint32_t free = V(d->freeRefHead);
  if (ok && free) {
    uint32_t block = free & 0xFFFF, slot = free >> 16;
    ok = block <= d->refBlock && slot < kRefSlots && (d->refPaged || slot < count);
  }
  if (!ok) Raise(1326);
}

}  // namespace

void RefSet::Add(Ref r) {
  uint64_t i = Index(r);
  if (i >= size) {
    uint64_t grown = size ? size : 8 * kRefSlots;
    while (grown <= i) grown *= 2;
    auto* more = static_cast<uint8_t*>(Memory::AllocAtomicHeap(static_cast<uint32_t>(grown / 8)));
    memset(more, 0, grown / 8);
    if (size) memcpy(more, bits, size / 8);
    bits = more;
    size = grown;
  }
  bits[i >> 3] |= static_cast<uint8_t>(1u << (i & 7));
}

uint8_t InternalPlace(uint8_t place) {
  if (place == 1) return kPlaceMemory;
  if (place == 2) return kPlaceFile;
  Raise(1315);
}

void ReadDatabase(FILEDESCR* d, bool invalidOk) {
  uint8_t header[kWideHeader];
  FileReadAt(d->fileHandle, 0, header, HeaderSize(d));
  d->endOfFile = Pos{HeaderSize(d)};
  DecodeHeader(d, header);
  if (d->updateMark && !invalidOk) Raise(1317);
  uint32_t fileSize = FileSize(d->fileHandle);
  if (V(d->endOfFile) == 0) d->endOfFile = Pos{fileSize};
  // Only the rounding of the last block may lie past the file's end: no
  // allocation is ever sized from beyond it.
  if (V(d->endOfFile) > uint64_t{fileSize} + 255) Raise(1326);
  if (V(d->endOfFile) < FirstBlock(d) || d->topClass >= kClasses) Raise(1326);
  d->chains.table = LoadBlock(d, &d->chains, fileSize, kTableHead);
  CheckTable(d->chains.table, d->chains.storedSize, 8);
  d->chainNames.table = LoadBlock(d, &d->chainNames, fileSize, kTreeHead);
  // Opened invalid, names may lead past their table (checked when used).
  uint32_t noLimit = 0xFFFFFFFFu;
  CheckTree(d, d->chainNames.table, d->chainNames.storedSize, invalidOk ? noLimit : TableCount(d->chains.table));
  d->refs.table = LoadBlock(d, &d->refs, fileSize, kTableHead);
  CheckTable(d->refs.table, d->refs.storedSize, 4);
  if (invalidOk) {
    // A marked header may predate a change whose reference table went to
    // its block in place: entries past the last block (or slot) the header
    // names belong to that change, and may name blocks past its end.
    uint64_t named = uint64_t{d->refPaged ? d->refBlock : d->refSlot} + 1;
    if (named < TableCount(d->refs.table)) Put32(d->refs.table + 8, static_cast<uint32_t>(named));
  }
  d->btrees.table = LoadBlock(d, &d->btrees, fileSize, kTableHead);
  CheckTable(d->btrees.table, d->btrees.storedSize, 16);
  d->btreeNames.table = LoadBlock(d, &d->btreeNames, fileSize, kTreeHead);
  CheckTree(d, d->btreeNames.table, d->btreeNames.storedSize, invalidOk ? noLimit : TableCount(d->btrees.table));
  if (d->freeChainHead >= TableCount(d->chains.table) && d->freeChainHead) Raise(1326);
  CheckRefState(d);
  uint32_t fp = V(d->freeSpace.position);
  if (fp < FirstBlock(d)) Raise(1326);
  if (fp > fileSize || kFreeTableBytes > fileSize - fp) Raise(1111);
  if (uint64_t{fp} + kFreeTableBytes > V(d->endOfFile)) Raise(1326);
  d->freeSpace.table = static_cast<uint8_t*>(Memory::AllocAtomicHeap(kFreeTableBytes));
  FileReadAt(d->fileHandle, fp, d->freeSpace.table, kFreeTableBytes);
  d->freeSpace.storedSize = kFreeTableBytes;
  d->selectors = NewTable(8, 0, 1, 0);
  d->freeSelectorHead = 0xFFFFFFFFu;
  d->blockCacheOn = 0;
  if (d->refPaged && d->denyMode == 3) LoadBlockCache(d);
}

FILEDESCR* CreateDb(FileName name, uint8_t place) {
  uint8_t where = InternalPlace(place);
  FILEDESCR* d = NewDescriptor(name.wide);
  d->place = where;
  d->version = kVersion;
  d->denyMode = 3;
  d->tablesLoaded = 1;
  d->accessOpen = 1;
  d->headerStamp = kFirstStamp;
  EmptyTables(d);
  d->fileName = CopyName(name);
  if (where == kPlaceMemory) {
    ArenaCreate(d);
    d->updateMark = 1;
    return d;
  }
  d->drive = DriveOf(name);
  d->openFlags = kOpenCreate;
  d->updateMark = 1;
  d->fileHandle = FileOpen(name, kOpenCreate, kAttrNormal, kCreateAlways);
  OnError(
      [&] {
        CacheOpen(d);
        WriteHeaderAndLockArea(d);
        Flush(d);
      },
      [&] {
        CacheClose(d);
        FileClose(d->fileHandle);
      });
  return d;
}

FILEDESCR* OpenDb(FileName name, uint8_t place, OpenKind kind) {
  if (InternalPlace(place) == kPlaceMemory) {
    Parked** p = FindParked(name);
    if (!p) Raise(1315);
    FILEDESCR* d = (*p)->d;
    *p = (*p)->next;
    return d;
  }
  FILEDESCR* d = NewDescriptor(name.wide);
  d->drive = DriveOf(name);
  d->place = kPlaceFile;
  d->openFlags = 8354;
  d->denyMode = 3;
  d->accessOpen = 1;
  d->fileName = CopyName(name);
  d->openedInvalid = kind == OpenKind::Invalid;
  d->fileHandle = FileOpen(name, kind == OpenKind::Read ? kOpenRead : kOpenReadWrite, kAttrNormal,
                           kOpenExisting);
  OnError(
      [&] {
        ReadDatabase(d, kind == OpenKind::Invalid);
        CacheOpen(d);
      },
      [&] {
        CacheClose(d);
        FileClose(d->fileHandle);
      });
  return d;
}

FILEDESCR* OpenShareDb(FileName name, uint8_t accessMode, uint8_t denyMode) {
  FILEDESCR* d = NewDescriptor(name.wide);
  d->drive = DriveOf(name);
  uint32_t flags = (denyMode == 1 ? 0x40 : denyMode == 2 ? 0x20 : 0x10) + (accessMode == 1 ? 4 : 2) + 0x2000;
  d->place = kPlaceFile;
  d->accessMode = accessMode;
  d->denyMode = denyMode;
  d->openFlags = flags;
  d->retryCount = 100;
  d->retryDelay = 10;
  d->fileName = CopyName(name);
  d->fileHandle = FileOpen(name, flags, kAttrNormal, kOpenExisting);
  return d;
}

void FlushDb(FILEDESCR* d) { Flush(d); }

void CloseDb(FILEDESCR* d) {
  if (!IsFile(d)) {
    CloseTrees(d);
    return Park(d);
  }
  if (d->updateMark && d->tablesLoaded && !d->damaged && !d->changing) Flush(d);
  d->btreeState = nullptr;
  CacheClose(d);
  FileClose(d->fileHandle);
  d->fileHandle = nullptr;
}

void DeleteDb(FileName name, uint8_t place) {
  if (InternalPlace(place) == kPlaceFile) return FileDelete(name);
  Parked** p = FindParked(name);
  if (!p) Raise(1318);
  FILEDESCR* d = (*p)->d;
  *p = (*p)->next;
  ArenaFree(d);
}

void GarbageCollectDb(FILEDESCR* d) {
  BeginChange(d);
  CollectGarbage(d);
  EndChange(d);
}

namespace {

// Copies record r (its head read into `head`, links as they are to be
// written) into a new block of the target; returns the block.
Pos CopyRecord(FILEDESCR* s, FILEDESCR* t, Ref r, const uint32_t head[3]) {
  uint8_t* m = Memory::MarkGStack();
  uint8_t* image = RecordImage(s, r);
  Pos p = Allocate(t, head[0]);
  WriteRecord(t, p, head, image, head[0] - 12);
  Memory::ReleaseGStack(m);
  return p;
}

// The chains in name order, as node offsets of the chain-name tree (on the
// global stack).
uint32_t ChainNodes(FILEDESCR* s, uint32_t** nodes) {
  uint8_t* names = s->chainNames.table;
  uint32_t maxNodes = (Get32(names + 4) - kTreeHead) / 13 + 1;
  *nodes = reinterpret_cast<uint32_t*>(Memory::AllocGStack(4 * maxNodes));
  return TreeInOrder(names, *nodes, maxNodes);
}

// Copies every record of every chain, checking links as it goes.
void CopyChains(FILEDESCR* s, FILEDESCR* t) {
  uint8_t* mark = Memory::MarkGStack();
  uint32_t* nodes;
  uint32_t count = ChainNodes(s, &nodes);
  uint64_t budget = uint64_t{s->termCount} + 1;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t index = NodeValue(s->chainNames.table, nodes[i]);
    if (index >= TableCount(s->chains.table)) Raise(1334);
    uint8_t* entry = TableEntry(s->chains.table, index);
    Ref r{Get32(entry)}, prev = kNoRef;
    Ref last{Get32(entry + 4)};
    while (r != kNoRef) {
      if (!budget--) Raise(1334);
      uint32_t head[3];
      RecordHead(s, r, head);
      if (Ref{head[1]} != prev) Raise(1334);
      SetRef(t, r, CopyRecord(s, t, r, head));
      prev = r;
      r = Ref{head[2]};
    }
    if (prev != last) Raise(1334);
  }
  Memory::ReleaseGStack(mark);
}

// The chain table of a repaired copy: names of chains that came out empty
// go, every unnamed entry but 0 is on the free list.
void RebuildFreeChains(FILEDESCR* t, const void* const* empty, uint32_t emptyCount) {
  for (uint32_t i = 0; i < emptyCount; ++i)
    TreeDelete(t, &t->chainNames.table, empty[i], TableCount(t->chains.table));
  uint32_t count = TableCount(t->chains.table);
  uint8_t* named = Memory::AllocGStack(count + 1);
  memset(named, 0, count + 1);
  uint32_t* nodes;
  uint32_t names = ChainNodes(t, &nodes);
  for (uint32_t i = 0; i < names; ++i) named[NodeValue(t->chainNames.table, nodes[i])] = 1;
  uint32_t head = 0;
  for (uint32_t index = count; index-- > 0;) {
    if (named[index]) continue;
    Put32(TableEntry(t->chains.table, index), head);
    Put32(TableEntry(t->chains.table, index) + 4, 0);
    if (index) head = index;
  }
  t->freeChainHead = head;
}

// A new reference for a record copied again: past the counter, skipping
// references past it that records already hold.
Ref FreshRef(FILEDESCR* t, Pos p, const RefSet& live) {
  while (t->refPaged && t->refSlot + 1 < kRefSlots && live.Has(MakeRef(t->refBlock, t->refSlot + 1))) ++t->refSlot;
  return NewRef(t, p);
}

// A repairing copy of the chains: forward links alone are followed; each
// record gets its true previous link, each chain its true ends.  A record
// reached again (by a second chain that leads into the first, or a second
// name of one chain) is copied again under a new reference past the
// counter, so every chain holds what a reader of the source walks; a
// chain that comes out empty loses its name.  The references given a
// record are collected in `live`.
void RepairChains(FILEDESCR* s, FILEDESCR* t, RefSet* live) {
  uint8_t* mark = Memory::MarkGStack();
  uint32_t* nodes;
  uint32_t count = ChainNodes(s, &nodes);
  uint8_t* taken = Memory::AllocGStack(TableCount(s->chains.table) + 1);
  memset(taken, 0, TableCount(s->chains.table) + 1);
  auto** empty = reinterpret_cast<const void**>(Memory::AllocGStack(8 * (count + 1)));
  uint32_t emptyCount = 0, copied = 0;
  // A chain longer than the source has references runs in a cycle.
  uint64_t refs = (uint64_t{s->refBlock} + 1) * kRefSlots;
  t->freeRefHead = kNoRef;  // new references go past the counter
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t index = NodeValue(s->chainNames.table, nodes[i]);
    if (index >= TableCount(s->chains.table)) Raise(1334);
    uint32_t to = index;
    if (taken[index]) {
      // The copy's name tree is still the source's, node for node.
      to = TableAppend(&t->chains.table);
      Put32(t->chainNames.table + nodes[i] + 8, to);
    }
    taken[index] = 1;
    Ref r{Get32(TableEntry(s->chains.table, index))}, first = kNoRef, prev = kNoRef;
    Pos prevPos = kNoPos;
    for (uint64_t left = refs; r != kNoRef;) {
      if (!left--) Raise(1334);
      uint32_t head[3];
      RecordHead(s, r, head);
      Ref next{head[2]};
      head[1] = V(prev);
      Pos p = CopyRecord(s, t, r, head);
      Ref own = r;
      if (live->Has(r))
        own = FreshRef(t, p, *live);
      else
        SetRef(t, r, p);
      live->Add(own);
      ++copied;
      if (prev == kNoRef) {
        first = own;
      } else if (own != r) {
        uint8_t link[4];
        Put32(link, V(own));
        WriteAt(t, prevPos + 8, link, 4);
      }
      prev = own;
      prevPos = p;
      r = next;
    }
    Put32(TableEntry(t->chains.table, to), V(first));
    Put32(TableEntry(t->chains.table, to) + 4, V(prev));
    if (first == kNoRef) empty[emptyCount++] = NodeName(s->chainNames.table, nodes[i]);
  }
  RebuildFreeChains(t, empty, emptyCount);
  t->termCount = copied;
  Memory::ReleaseGStack(mark);
}

// A repairing copy's reference table: the counter covers every reference
// given a record; every other reference is free (on the free list, or 0
// without reuse), slots past the counter are 0.
void RebuildFreeRefs(FILEDESCR* t, const RefSet& live) {
  for (uint32_t slot = kRefSlots - 1; t->refPaged && slot > t->refSlot; --slot)
    if (live.Has(MakeRef(t->refBlock, slot))) {
      t->refSlot = slot;
      break;
    }
  Ref head = kNoRef;
  uint32_t lastSlot = t->refPaged ? kRefSlots - 1 : TableCount(t->refs.table) - 1;
  for (int64_t b = t->refBlock; b >= 0; --b) {
    for (int64_t slot = lastSlot; slot >= 0; --slot) {
      Ref r = MakeRef(static_cast<uint32_t>(b), static_cast<uint32_t>(slot));
      if (r == kNoRef || live.Has(r)) continue;
      bool unused = t->refPaged && b == t->refBlock && slot > t->refSlot;
      if (unused || t->noRefReuse) {
        SetRef(t, r, kNoPos);
        continue;
      }
      SetRef(t, r, Pos{V(head)});
      head = r;
    }
  }
  t->freeRefHead = head;
}

void CopyRefBlocks(FILEDESCR* s, FILEDESCR* t) {
  if (!s->refPaged) return;
  uint8_t block[kRefBlockBytes];
  for (uint32_t b = 0; b <= s->refBlock; ++b) {
    if (s->blockCacheOn)
      memcpy(block, s->blockCache[b], kRefBlockBytes);
    else
      ReadAt(s, Pos{Get32(TableEntry(s->refs.table, b))}, block, kRefBlockBytes);
    Pos p = Allocate(t, kRefBlockBytes);
    WriteAt(t, p, block, kRefBlockBytes);
    Put32(TableEntry(t->refs.table, b), V(p));
  }
  t->refBlockPosition = Pos{Get32(TableEntry(t->refs.table, t->refBlock))};
}

void CloneGroup(TableGroup* g) {
  g->table = CopyBlock(g->table, TableSize(g->table));
  g->dirty = 1;
  g->position = kNoPos;
  g->storedSize = 0;
}

// The copy's descriptor: the source's persistent state with fresh storage.
FILEDESCR* CloneDescriptor(FILEDESCR* s, FileName name, uint8_t where) {
  FILEDESCR* t = NewDescriptor(s->wide);
  Arena none{};
  *t = *s;
  t->arena = none;
  t->place = where;
  t->fileHandle = nullptr;
  t->fileCache = nullptr;
  CloneGroup(&t->chainNames);
  CloneGroup(&t->chains);
  CloneGroup(&t->btreeNames);
  CloneGroup(&t->btrees);
  CloneGroup(&t->refs);
  t->freeSpace.table = static_cast<uint8_t*>(Memory::AllocAtomicHeap(kFreeTableBytes));
  memset(t->freeSpace.table, 0, kFreeTableBytes);
  t->freeSpace.dirty = 1;
  t->freeSpace.position = kNoPos;
  t->selectors = NewTable(8, 0, 1, 0);
  t->freeSelectorHead = 0xFFFFFFFFu;
  t->bytesInUse = 0;
  t->endOfFile = kNoPos;
  t->updateMark = 1;
  t->topClass = 0;
  t->accessOpen = 1;
  t->readTransaction = 0;
  t->tablesLoaded = 1;
  t->blockCacheOn = 0;
  t->blockCache = nullptr;
  t->blockCacheCapacity = 0;
  t->cachedRef = kNoRef;
  t->changing = t->damaged = t->openedInvalid = false;
  t->btreeState = nullptr;
  t->pendingCount = 0;
  t->denyMode = 3;
  t->openFlags = kOpenCopy;
  t->fileName = CopyName(name);
  return t;
}

// A temporary name beside the target: the target's name and "~cdb".
FileName TempName(FileName name) {
  if (name.wide) {
    auto* s = static_cast<const wchar_t*>(name.text);
    uint32_t n = lstrlenW(s);
    auto* t = static_cast<wchar_t*>(Memory::AllocAtomicHeap(2 * (n + 5)));
    memcpy(t, s, 2 * n);
    memcpy(t + n, L"~cdb", 10);
    return {t, true};
  }
  auto* s = static_cast<const char*>(name.text);
  uint32_t n = lstrlenA(s);
  auto* t = static_cast<char*>(Memory::AllocAtomicHeap(n + 5));
  memcpy(t, s, n);
  memcpy(t + n, "~cdb", 5);
  return {t, false};
}

}  // namespace

void CopyDb(FILEDESCR* s, FileName name, uint8_t place) {
  uint8_t where = InternalPlace(place);
  if (where == kPlaceMemory && FindParked(name)) Raise(1308);
  if (s->damaged || s->changing) Raise(1317);
  FILEDESCR* t = CloneDescriptor(s, name, where);
  if (where == kPlaceFile) t->drive = DriveOf(name);
  // A database opened invalid is copied as a repair.
  RefSet live{};
  RefSet* repair = s->openedInvalid ? &live : nullptr;
  FileName temp = where == kPlaceFile ? TempName(name) : name;
  OnError(
      [&] {
        if (where == kPlaceFile) {
          // A leftover of a Copy that was killed goes first; the new file
          // is made by the first sync of the image held until then.
          FileDelete(temp);
          CacheHoldNew(t, temp);
          WriteHeaderAndLockArea(t);
        } else {
          ArenaCreate(t);
        }
        CopyRefBlocks(s, t);
        if (repair) {
          RepairChains(s, t, repair);
          RebuildFreeRefs(t, live);
        } else {
          CopyChains(s, t);
        }
        if (g_copyTrees) g_copyTrees(s, t, repair);
        if (where == kPlaceFile) {
          Flush(t);
          CacheClose(t);
          HANDLE h = t->fileHandle;
          t->fileHandle = nullptr;
          FileClose(h);
          FileReplace(temp, name);
        }
      },
      [&] {
        if (where == kPlaceFile) {
          CacheClose(t);
          if (t->fileHandle) FileClose(t->fileHandle);
          t->fileHandle = nullptr;
          FileDelete(temp);
        } else {
          ArenaFree(t);
        }
      });
  if (where == kPlaceMemory) {
    t->updateMark = 0;
    Park(t);
  }
}

void LoadDb(FileName file, FileName memory) {
  FILEDESCR* d = OpenDb(file, 2, OpenKind::Read);
  OnError([&] { CopyDb(d, memory, 1); },
          [&] {
            CacheClose(d);
            FileClose(d->fileHandle);
          });
  CacheClose(d);
  FileClose(d->fileHandle);
}

}  // namespace chainDB::detail
