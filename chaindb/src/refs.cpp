// The reference table: reference block | slot << 16 to record position.
// Unpaged, slots 1-1023 of block 0 are entries of the first-level table;
// paged, every block is a 4096-byte block of slot positions whose position
// is its first-level entry.  Block numbers stay below 65536.
#include <cstring>

#include "db.h"
#include "qel6kernel.h"

namespace chainDB::detail {

namespace Memory = Qel::RunTime::Kernel::Memory;

namespace {

uint8_t* CacheBlock(FILEDESCR* d, uint32_t block) { return d->blockCache[block]; }

void CacheAdd(FILEDESCR* d, uint32_t block) {
  if (block >= d->blockCacheCapacity) {
    uint32_t capacity = d->blockCacheCapacity ? 2 * d->blockCacheCapacity : 1024;
    while (capacity <= block) capacity *= 2;
    auto** grown = static_cast<uint8_t**>(Memory::AllocHeap(capacity * sizeof(uint8_t*)));
    memset(grown, 0, capacity * sizeof(uint8_t*));
    if (d->blockCache) memcpy(grown, d->blockCache, d->blockCacheCapacity * sizeof(uint8_t*));
    d->blockCache = grown;
    d->blockCacheCapacity = capacity;
  }
  auto* b = static_cast<uint8_t*>(Memory::AllocAtomicHeap(kRefBlockBytes));
  memset(b, 0, kRefBlockBytes);
  d->blockCache[block] = b;
}

Pos BlockPosition(FILEDESCR* d, uint32_t block) { return Pos{Get32(TableEntry(d->refs.table, block))}; }

void CheckRange(FILEDESCR* d, Ref r) {
  uint32_t block = RefBlockOf(r), slot = RefSlotOf(r);
  bool ok = block <= d->refBlock && slot < kRefSlots;
  if (ok && !d->refPaged) ok = block == 0 && slot < TableCount(d->refs.table);
  if (ok && d->refPaged) ok = block < TableCount(d->refs.table);
  if (!ok) Raise(1319);
}

uint32_t ReadSlot(FILEDESCR* d, Ref r) {
  uint32_t block = RefBlockOf(r), slot = RefSlotOf(r);
  if (!d->refPaged) return Get32(TableEntry(d->refs.table, slot));
  if (d->blockCacheOn) return Get32(CacheBlock(d, block) + 4 * slot);
  uint8_t word[4];
  ReadAt(d, BlockPosition(d, block) + 4 * slot, word, 4);
  return Get32(word);
}

void WriteSlot(FILEDESCR* d, Ref r, uint32_t value) {
  uint32_t block = RefBlockOf(r), slot = RefSlotOf(r);
  if (!d->refPaged) {
    Put32(TableEntry(d->refs.table, slot), value);
    d->refs.dirty = 1;
    return;
  }
  uint8_t word[4];
  Put32(word, value);
  WriteAt(d, BlockPosition(d, block) + 4 * slot, word, 4);
  if (d->blockCacheOn) Put32(CacheBlock(d, block) + 4 * slot, value);
}

// Turns the full first-level table into reference block 0.
void Page(FILEDESCR* d) {
  uint8_t block[kRefBlockBytes] = {};
  uint32_t count = TableCount(d->refs.table);
  memcpy(block, TableEntry(d->refs.table, 0), 4 * (count < kRefSlots ? count : kRefSlots));
  Pos p = Allocate(d, kRefBlockBytes);
  WriteAt(d, p, block, kRefBlockBytes);
  uint8_t* first = NewTable(4, 64, 64, 1);
  Put32(TableEntry(first, 0), V(p));
  d->refs.table = first;
  d->refPaged = 1;
  d->refs.dirty = 1;
  d->refBlockPosition = p;
  if (d->blockCacheOn) {
    CacheAdd(d, 0);
    memcpy(CacheBlock(d, 0), block, kRefBlockBytes);
  }
}

}  // namespace

Ref NewRef(FILEDESCR* d, Pos p) {
  // A new block beyond 65535 would wrap into the slot bits: refuse first.
  bool newBlock = d->freeRefHead == kNoRef && d->refSlot >= kRefSlots - 1;
  if (newBlock && d->refPaged && TableCount(d->refs.table) > 0xFFFF) RaiseTooLarge();
  if (d->freeRefHead != kNoRef) {
    Ref r = d->freeRefHead;
    CheckRange(d, r);
    uint32_t next = ReadSlot(d, r);
    d->freeRefHead = Ref{next};
    if (next) {
      // A link that is no reference ends the list.
      uint32_t block = RefBlockOf(Ref{next}), slot = RefSlotOf(Ref{next});
      if (block > d->refBlock || slot >= kRefSlots) d->freeRefHead = kNoRef;
    }
    WriteSlot(d, r, V(p));
    ++d->termCount;
    return r;
  }
  if (!d->refPaged && d->refSlot < kRefSlots - 1) {
    uint32_t i = TableAppend(&d->refs.table);
    Put32(TableEntry(d->refs.table, i), V(p));
    d->refSlot = i;
    d->refs.dirty = 1;
    ++d->termCount;
    return MakeRef(0, i);
  }
  if (!d->refPaged) Page(d);
  if (++d->refSlot >= kRefSlots) {
    uint8_t zeros[kRefBlockBytes] = {};
    Pos b = Allocate(d, kRefBlockBytes);
    WriteAt(d, b, zeros, kRefBlockBytes);
    uint32_t i = TableAppend(&d->refs.table);
    Put32(TableEntry(d->refs.table, i), V(b));
    d->refBlock = i;
    d->refSlot = 0;
    d->refBlockPosition = b;
    d->refs.dirty = 1;
    if (d->blockCacheOn) CacheAdd(d, i);
  }
  Ref r = MakeRef(d->refBlock, d->refSlot);
  WriteSlot(d, r, V(p));
  ++d->termCount;
  return r;
}

Pos LookupRef(FILEDESCR* d, Ref r, bool mustExist) {
  CheckRange(d, r);
  uint32_t p = ReadSlot(d, r);
  if (mustExist && (p == 0 || uint64_t{p} + 12 > V(d->endOfFile))) Raise(1319);
  return Pos{p};
}

void SetRef(FILEDESCR* d, Ref r, Pos p) {
  CheckRange(d, r);
  WriteSlot(d, r, V(p));
}

void ReleaseRef(FILEDESCR* d, Ref r) {
  CheckRange(d, r);
  if (d->noRefReuse) {
    WriteSlot(d, r, 0);
    return;
  }
  WriteSlot(d, r, V(d->freeRefHead));
  d->freeRefHead = r;
}

void LoadBlockCache(FILEDESCR* d) {
  for (uint32_t b = 0; b <= d->refBlock; ++b) {
    CacheAdd(d, b);
    ReadAt(d, BlockPosition(d, b), CacheBlock(d, b), kRefBlockBytes);
  }
  d->blockCacheOn = 1;
}

}  // namespace chainDB::detail
