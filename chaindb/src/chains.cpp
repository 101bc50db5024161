// Chains of terms.  The head cache (cachedRef, cachedHead) always holds the
// true head of cachedRef or is empty; `cachedPos` is its position.
#include "chains.h"

#include <cstring>

#include "qel6kernel.h"
#include "qel6run_db.h"

namespace chainDB::detail {

namespace Memory = Qel::RunTime::Kernel::Memory;
namespace Terms = Qel::RunTime::Terms;

uint32_t g_codePage8 = 0;

namespace {

struct Image {
  const uint8_t* bytes;
  uint32_t length;
};

Image MakeImage(FILEDESCR* d, const IDomainDefinition* dom, term t) {
  Terms::TBinary b = d->wide ? Terms::ToBinary(dom, t) : Terms::ToBinaryCodePage(dom, t, g_codePage8);
  uint32_t size = Get32(b - 4);
  if (size < 4 || size - 4 > 0xFFFFFFFFu - 12) RaiseTooLarge();
  return {b, size - 4};
}

void EmptyCache(FILEDESCR* d) { d->cachedRef = kNoRef; }

void WriteLink(FILEDESCR* d, Pos p, uint32_t offset, Ref value) {
  uint8_t word[4];
  Put32(word, V(value));
  WriteAt(d, p + offset, word, 4);
}

uint8_t* ChainEntry(FILEDESCR* d, uint32_t index) { return TableEntry(d->chains.table, index); }

}  // namespace

void WriteRecord(FILEDESCR* d, Pos p, const uint32_t head[3], const uint8_t* image, uint32_t length) {
  if (!IsFile(d)) {
    uint8_t bytes[12];
    for (int i = 0; i < 3; ++i) Put32(bytes + 4 * i, head[i]);
    WriteAt(d, p, bytes, 12);
    WriteNext(d, image, length);
    return;
  }
  // One transfer for head and image.
  uint8_t* mark = Memory::MarkGStack();
  uint8_t* record = Memory::AllocGStack(12 + length);
  for (int i = 0; i < 3; ++i) Put32(record + 4 * i, head[i]);
  memcpy(record + 12, image, length);
  WriteAt(d, p, record, 12 + length);
  Memory::ReleaseGStack(mark);
}

namespace {

// Writes a new record and gives it a reference.
Ref StoreRecord(FILEDESCR* d, const Image& image, Ref prev, Ref next) {
  uint32_t size = 12 + image.length;
  Pos p = Allocate(d, size);
  uint32_t head[3] = {size, V(prev), V(next)};
  WriteRecord(d, p, head, image.bytes, image.length);
  return NewRef(d, p);
}

uint32_t FindOrCreateChain(FILEDESCR* d, const void* chain) {
  int64_t found = TreeSearch(d, d->chainNames.table, chain, nullptr);
  if (found >= 0) return static_cast<uint32_t>(found);
  uint32_t index;
  if (d->freeChainHead && d->freeChainHead < TableCount(d->chains.table)) {
    index = d->freeChainHead;
    d->freeChainHead = Get32(ChainEntry(d, index));
  } else {
    index = TableAppend(&d->chains.table);
  }
  Put32(ChainEntry(d, index), 0);
  Put32(ChainEntry(d, index) + 4, 0);
  d->chains.dirty = 1;
  d->chainNames.dirty = 1;
  TreeInsert(d, &d->chainNames.table, chain, index);
  return index;
}

// The chain's entry, or 1320 when the name is unknown.
uint32_t ExistingChain(FILEDESCR* d, const void* chain) {
  int64_t found = ChainIndex(d, chain);
  if (found < 0) Raise(1320);
  return static_cast<uint32_t>(found);
}

Ref Insert(FILEDESCR* d, const IDomainDefinition* dom, const void* chain, term t, bool front) {
  Image image = MakeImage(d, dom, t);
  if (d->readTransaction) Raise(1331);
  int64_t known = ChainIndex(d, chain);
  Ref neighbour = kNoRef;
  Pos neighbourPos{0};
  if (known >= 0) {
    neighbour = Ref{Get32(ChainEntry(d, static_cast<uint32_t>(known)) + (front ? 0 : 4))};
    if (neighbour != kNoRef) neighbourPos = LookupRef(d, neighbour, true);
  }
  BeginChange(d);
  uint32_t index = FindOrCreateChain(d, chain);
  Ref r = front ? StoreRecord(d, image, kNoRef, neighbour) : StoreRecord(d, image, neighbour, kNoRef);
  uint8_t* entry = ChainEntry(d, index);
  if (front) {
    Put32(entry, V(r));
    if (!Get32(entry + 4)) Put32(entry + 4, V(r));
  } else {
    Put32(entry + 4, V(r));
    if (!Get32(entry)) Put32(entry, V(r));
  }
  d->chains.dirty = 1;
  if (neighbour != kNoRef) WriteLink(d, neighbourPos, front ? 4 : 8, r);
  EmptyCache(d);
  EndChange(d);
  return r;
}

}  // namespace

int64_t ChainIndex(FILEDESCR* d, const void* chain) {
  int64_t found = TreeSearch(d, d->chainNames.table, chain, nullptr);
  if (found >= TableCount(d->chains.table)) Raise(1334);
  return found;
}

Pos RecordHead(FILEDESCR* d, Ref r, uint32_t head[3]) {
  if (r != kNoRef && r == d->cachedRef) {
    memcpy(head, d->cachedHead, 12);
    return d->cachedPos;
  }
  Pos p = LookupRef(d, r, true);
  uint8_t bytes[12];
  ReadAt(d, p, bytes, 12);
  for (int i = 0; i < 3; ++i) head[i] = Get32(bytes + 4 * i);
  if (head[0] < 12 || uint64_t{V(p)} + head[0] > V(d->endOfFile)) Raise(1319);
  d->cachedRef = r;
  memcpy(d->cachedHead, head, 12);
  d->cachedPos = p;
  return p;
}

uint8_t* RecordImage(FILEDESCR* d, Ref r) {
  uint32_t head[3];
  bool cached = r == d->cachedRef;
  Pos p = RecordHead(d, r, head);
  uint32_t length = head[0] - 12;
  uint8_t* block = Memory::AllocGStack(length + 4);
  Put32(block, length + 4);
  if (cached || !IsFile(d))
    ReadAt(d, p + 12, block + 4, length);
  else
    ReadNext(d, block + 4, length);
  return block + 4;
}

Ref ChainInsertFront(FILEDESCR* d, const IDomainDefinition* dom, const void* chain, term t) {
  return Insert(d, dom, chain, t, true);
}

Ref ChainInsertEnd(FILEDESCR* d, const IDomainDefinition* dom, const void* chain, term t) {
  return Insert(d, dom, chain, t, false);
}

Ref ChainInsertAfter(FILEDESCR* d, const IDomainDefinition* dom, const void* chain, Ref a, term t) {
  Image image = MakeImage(d, dom, t);
  if (d->readTransaction) Raise(1331);
  uint32_t head[3];
  Pos aPos = RecordHead(d, a, head);
  Ref n{head[2]};
  uint32_t index = ExistingChain(d, chain);
  uint8_t* entry = ChainEntry(d, index);
  if (n == kNoRef && Get32(entry + 4) != V(a)) Raise(1334);
  Pos nPos{0};
  if (n != kNoRef) nPos = LookupRef(d, n, true);
  BeginChange(d);
  Ref r = StoreRecord(d, image, a, n);
  entry = ChainEntry(d, index);
  if (Get32(entry + 4) == V(a)) {
    Put32(entry + 4, V(r));
    d->chains.dirty = 1;
  }
  WriteLink(d, aPos, 8, r);
  if (n != kNoRef) WriteLink(d, nPos, 4, r);
  head[2] = V(r);
  d->cachedRef = a;
  memcpy(d->cachedHead, head, 12);
  d->cachedPos = aPos;
  EndChange(d);
  return r;
}

term RefTerm(FILEDESCR* d, const IDomainDefinition* dom, Ref r) {
  uint8_t* image = RecordImage(d, r);
  return d->wide ? Terms::FromBinary(dom, image) : Terms::FromBinaryCodePage(dom, image, g_codePage8);
}

void TermReplace(FILEDESCR* d, const IDomainDefinition* dom, Ref r, term t) {
  Image image = MakeImage(d, dom, t);
  if (d->readTransaction) Raise(1331);
  uint32_t head[3];
  Pos p = RecordHead(d, r, head);
  BeginChange(d);
  uint32_t size = 12 + image.length;
  if (size == head[0]) {
    WriteAt(d, p + 12, image.bytes, image.length);
  } else {
    // The new record first: the old one is given back only once it exists.
    Pos fresh = Allocate(d, size);
    uint32_t fields[3] = {size, head[1], head[2]};
    WriteRecord(d, fresh, fields, image.bytes, image.length);
    SetRef(d, r, fresh);
    Release(d, p, head[0]);
    head[0] = size;
    d->cachedRef = r;
    memcpy(d->cachedHead, head, 12);
    d->cachedPos = fresh;
  }
  EndChange(d);
}

namespace {

// Removes a checked term; the caller has begun the change.
void RemoveTerm(FILEDESCR* d, uint32_t index, Ref r, Pos p, const uint32_t head[3], Pos prevPos,
                Pos nextPos, const void* chain) {
  Ref prev{head[1]}, next{head[2]};
  uint8_t* entry = ChainEntry(d, index);
  if (prev == kNoRef) Put32(entry, V(next));
  if (next == kNoRef) Put32(entry + 4, V(prev));
  d->chains.dirty = 1;
  if (d->termCount) --d->termCount;
  if (Get32(entry) == 0) {
    TreeDelete(d, &d->chainNames.table, chain, TableCount(d->chains.table));
    d->chainNames.dirty = 1;
    if (index != 0) {
      Put32(ChainEntry(d, index), d->freeChainHead);
      d->freeChainHead = index;
    }
  }
  EmptyCache(d);
  Release(d, p, head[0]);
  if (prev != kNoRef) WriteLink(d, prevPos, 8, next);
  if (next != kNoRef) WriteLink(d, nextPos, 4, prev);
  ReleaseRef(d, r);
}

// Checks that r can leave chain `index`: links agree with the chain's ends
// and lead to live references.
Pos CheckRemoval(FILEDESCR* d, uint32_t index, Ref r, uint32_t head[3], Pos* prevPos, Pos* nextPos) {
  Pos p = RecordHead(d, r, head);
  Ref prev{head[1]}, next{head[2]};
  uint8_t* entry = ChainEntry(d, index);
  Ref first{Get32(entry)}, last{Get32(entry + 4)};
  if (prev == kNoRef && first != r) Raise(1334);
  if (next == kNoRef && last != r) Raise(1334);
  if (prev == r || next == r) Raise(1334);
  *prevPos = prev != kNoRef ? LookupRef(d, prev, true) : Pos{0};
  *nextPos = next != kNoRef ? LookupRef(d, next, true) : Pos{0};
  return p;
}

}  // namespace

void TermDelete(FILEDESCR* d, const void* chain, Ref r) {
  if (d->readTransaction) Raise(1331);
  uint32_t index = ExistingChain(d, chain);
  uint32_t head[3];
  Pos prevPos, nextPos;
  Pos p = CheckRemoval(d, index, r, head, &prevPos, &nextPos);
  BeginChange(d);
  RemoveTerm(d, index, r, p, head, prevPos, nextPos, chain);
  EndChange(d);
}

bool ChainDelete(FILEDESCR* d, const void* chain) {
  Ref r = ChainFirst(d, chain);
  if (r == kNoRef) return false;
  if (d->readTransaction) Raise(1331);
  uint32_t index = static_cast<uint32_t>(ChainIndex(d, chain));
  BeginChange(d);
  uint64_t budget = uint64_t{d->termCount} + 1;
  while (r != kNoRef) {
    if (!budget--) Raise(1334);
    uint32_t head[3];
    Pos prevPos, nextPos;
    Pos p = CheckRemoval(d, index, r, head, &prevPos, &nextPos);
    Ref next{head[2]};
    RemoveTerm(d, index, r, p, head, prevPos, nextPos, chain);
    r = next;
  }
  EndChange(d);
  return true;
}

Ref ChainFirst(FILEDESCR* d, const void* chain) {
  int64_t index = ChainIndex(d, chain);
  if (index < 0) return kNoRef;
  uint8_t* entry = ChainEntry(d, static_cast<uint32_t>(index));
  return Get32(entry + 4) ? Ref{Get32(entry)} : kNoRef;
}

Ref ChainLast(FILEDESCR* d, const void* chain) {
  int64_t index = ChainIndex(d, chain);
  if (index < 0) return kNoRef;
  return Ref{Get32(ChainEntry(d, static_cast<uint32_t>(index)) + 4)};
}

Ref ChainNext(FILEDESCR* d, Ref r) {
  uint32_t head[3];
  RecordHead(d, r, head);
  return Ref{head[2]};
}

Ref ChainPrev(FILEDESCR* d, Ref r) {
  uint32_t head[3];
  RecordHead(d, r, head);
  return Ref{head[1]};
}

}  // namespace chainDB::detail
