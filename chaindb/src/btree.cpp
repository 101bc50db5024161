// B+tree indexes.
//
// Invariants:
//  - A node is {u32 leftmost child, u32 count, 2n entries of {u32 reference,
//    u32 right child, key field}}; every node read is checked (count <= 2n,
//    position inside the database) and its key fields are cut at the key
//    length in the copy read; walks are bounded by 25 levels.
//  - Changes write nodes only after the descent that checks them, so 1333,
//    1324 and a 26th level are refused before any node is written; a change
//    that raises after its first write leaves the database damaged.
//  - Selector copies of a tree share root and counts after every change.
#include "btree.h"

#include <cstring>

#include "collate.h"

#include "database.h"
#include "qel6kernel.h"

namespace chainDB::detail {

namespace Memory = Qel::RunTime::Kernel::Memory;
namespace Errors = Qel::RunTime::Kernel::Errors;

namespace {

struct TreeState {
  uint32_t slots;            // room in openCount and updated
  uint32_t* openCount;       // per tree slot; links of the free-slot list
  uint8_t* updated;
  uint8_t* stampPending;     // the descriptor was written: advance the stamp at the flush
  uint32_t selectorCount, selectorRoom;
  uint32_t* selectorSlot;    // tree slot, or the next free selector
  BTree** copies;            // null for a free selector
  int32_t freeSelector;
};

template <class T>
T* Grow(T* old, uint32_t oldCount, uint32_t count, bool pointers) {
  uint32_t bytes = count * sizeof(T);
  T* fresh = static_cast<T*>(pointers ? Memory::AllocHeap(bytes) : Memory::AllocAtomicHeap(bytes));
  memset(static_cast<void*>(fresh), 0, bytes);
  if (old) memcpy(static_cast<void*>(fresh), old, oldCount * sizeof(T));
  return fresh;
}

TreeState* State(FILEDESCR* d) {
  auto* s = static_cast<TreeState*>(d->btreeState);
  if (!s) {
    s = static_cast<TreeState*>(Memory::AllocHeap(sizeof(TreeState)));
    memset(static_cast<void*>(s), 0, sizeof(TreeState));
    s->freeSelector = -1;
    d->btreeState = s;
  }
  uint32_t need = TableCount(d->btrees.table) + 1;
  if (need > s->slots) {
    uint32_t room = need + 8;
    s->openCount = Grow(s->openCount, s->slots, room, false);
    s->updated = Grow(s->updated, s->slots, room, false);
    s->stampPending = Grow(s->stampPending, s->slots, room, false);
    s->slots = room;
  }
  return s;
}

uint8_t* TreeEntry(FILEDESCR* d, uint32_t slot) { return TableEntry(d->btrees.table, slot); }

uint32_t KeyBytes(const FILEDESCR* d, uint32_t units) {
  if (d->wide) return 2 * (IsFile(d) ? units : (units + 1) & ~1u);
  return IsFile(d) ? units : (units + 3) & ~3u;
}

void Layout(BTree* t) {
  t->keyBytes = KeyBytes(t->db, t->keyUnits);
  t->entrySize = 8 + t->keyBytes;
}

// --- Stored descriptor ---

void Encode(const BTree* t, uint8_t* out) {
  memset(out, 0, kBtreeDescriptorBytes);
  out[4] = t->dirty;
  Put32(out + 8, t->keyUnits);
  Put32(out + 12, t->order);
  out[16] = t->duplicates;
  Put32(out + 20, t->nodeSize);
  Put32(out + 24, t->root);
  for (int i = 0; i < kMaxLevels; ++i) {
    Put32(out + 28 + 8 * i, t->path[i].node);
    Put32(out + 32 + 8 * i, static_cast<uint32_t>(t->path[i].index));
  }
  Put32(out + 228, static_cast<uint32_t>(t->level));
  Put32(out + 236, t->buffered);
  Put32(out + 240, t->keyCount);
  Put32(out + 244, t->nodeCount);
}

BTree* NewCopy(FILEDESCR* d) {
  auto* t = static_cast<BTree*>(Memory::AllocHeap(sizeof(BTree)));
  memset(static_cast<void*>(t), 0, sizeof(BTree));
  t->db = d;
  t->level = -1;
  return t;
}

bool InsideDb(const FILEDESCR* d, uint32_t p, uint32_t n) {
  uint32_t first = IsFile(d) ? HeaderSize(d) + kLockArea : 8;
  return p >= first && uint64_t{p} + n <= V(d->endOfFile);
}

// A loaded copy of the tree in `slot`; 1319 when the stored descriptor does
// not fit this database.
// Reads the stored descriptor at p into t (root, counts, layout).
void ReadDescriptor(FILEDESCR* d, uint32_t p, BTree* t) {
  if (!InsideDb(d, p, kBtreeDescriptorBytes)) Raise(1321);
  uint8_t b[kBtreeDescriptorBytes];
  ReadAt(d, Pos{p}, b, kBtreeDescriptorBytes);
  t->keyUnits = Get32(b + 8);
  t->order = Get32(b + 12);
  t->duplicates = b[16];
  t->nodeSize = Get32(b + 20);
  t->root = Get32(b + 24);
  t->keyCount = Get32(b + 240);
  t->nodeCount = Get32(b + 244);
  if (t->keyUnits < 2 || t->keyUnits > 256 || t->order < 1 || t->order > 255) Raise(1319);
  Layout(t);
  if (t->nodeSize != 8 + 2 * t->order * t->entrySize) Raise(1319);
  if (t->root && !InsideDb(d, t->root, t->nodeSize)) Raise(1319);
}

BTree* Load(FILEDESCR* d, uint32_t slot) {
  BTree* t = NewCopy(d);
  t->slot = slot;
  ReadDescriptor(d, Get32(TreeEntry(d, slot) + 12), t);
  t->buffer = static_cast<uint8_t*>(Memory::AllocAtomicHeap(t->nodeSize));
  return t;
}

TreeState* State(FILEDESCR* d);

// Writes the copy's descriptor; the next flush advances the tree's stamp.
void Store(BTree* t) {
  uint8_t b[kBtreeDescriptorBytes];
  Encode(t, b);
  WriteAt(t->db, Pos{Get32(TreeEntry(t->db, t->slot) + 12)}, b, kBtreeDescriptorBytes);
  State(t->db)->stampPending[t->slot] = 1;
}

// --- Nodes ---

uint32_t Count(const uint8_t* n) { return Get32(n + 4); }
uint32_t Left(const uint8_t* n) { return Get32(n); }
uint8_t* Entry(const BTree* t, uint8_t* n, int32_t i) { return n + 8 + static_cast<uint32_t>(i) * t->entrySize; }
uint32_t RefOf(const uint8_t* e) { return Get32(e); }
uint32_t RightOf(const uint8_t* e) { return Get32(e + 4); }

void Check(const BTree* t, uint8_t* n) {
  if (Count(n) > 2 * t->order) Raise(1319);
  uint32_t unit = t->db->wide ? 2 : 1;
  for (uint32_t i = 0; i < Count(n); ++i) {
    uint8_t* key = n + 8 + i * t->entrySize + 8;
    memset(key + (t->keyUnits - 1) * unit, 0, unit);
  }
}

void ReadNode(BTree* t, uint32_t ref, uint8_t* into) {
  if (!InsideDb(t->db, ref, t->nodeSize)) Raise(1319);
  ReadAt(t->db, Pos{ref}, into, t->nodeSize);
  Check(t, into);
}

// A node for walking, through the copy's buffer.
uint8_t* Walk(BTree* t, uint32_t ref) {
  if (t->buffered != ref || !IsFile(t->db)) {
    t->buffered = 0;
    ReadNode(t, ref, t->buffer);
    t->buffered = ref;
  }
  return t->buffer;
}

uint8_t* Scratch(const BTree* t) {
  if (reinterpret_cast<uintptr_t>(Memory::MarkGStack()) & 7) Memory::AllocGStack(4);
  uint8_t* b = Memory::AllocGStack(t->nodeSize);
  memset(b, 0, t->nodeSize);
  return b;
}

uint8_t* Load(BTree* t, uint32_t ref) {
  uint8_t* b = Scratch(t);
  ReadNode(t, ref, b);
  return b;
}

void WriteNode(BTree* t, uint32_t ref, uint8_t* n) {
  if (Count(n) > 2 * t->order) Raise(1319);
  t->db->changing = true;
  WriteAt(t->db, Pos{ref}, n, t->nodeSize);
  if (t->buffered == ref) t->buffered = 0;
}

uint32_t NewNode(BTree* t) {
  t->db->changing = true;
  uint32_t p = V(Allocate(t->db, t->nodeSize));
  ++t->nodeCount;
  return p;
}

void FreeNode(BTree* t, uint32_t ref) {
  t->db->changing = true;
  Release(t->db, Pos{ref}, t->nodeSize);
  if (t->nodeCount) --t->nodeCount;
  if (t->buffered == ref) t->buffered = 0;
}

// --- Keys ---

int CompareKeys(const BTree* t, const uint8_t* a, const uint8_t* b) {
  return t->db->wide ? CompareW(reinterpret_cast<const wchar_t*>(a), reinterpret_cast<const wchar_t*>(b))
                     : CompareA(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}

// Compares entry e with the sought entry s: by key, then (pairs) by signed
// reference.
int Compare(const BTree* t, const uint8_t* e, const uint8_t* s, bool pairs) {
  int c = CompareKeys(t, e + 8, s + 8);
  if (c || !pairs) return c;
  int32_t a = static_cast<int32_t>(RefOf(e)), b = static_cast<int32_t>(RefOf(s));
  return a < b ? -1 : a > b ? 1 : 0;
}

// The sought entry on the global stack: reference, no child, the key cut
// to the key length.
uint8_t* MakeEntry(const BTree* t, const void* key, int32_t ref) {
  uint8_t* e = Memory::AllocGStack(t->entrySize + 8);
  memset(e, 0, t->entrySize + 8);
  Put32(e, static_cast<uint32_t>(ref));
  uint32_t units = NameBytes(t->db, key) / (t->db->wide ? 2 : 1) - 1;
  if (units > t->keyUnits - 1) units = t->keyUnits - 1;
  memcpy(e + 8, key, units * (t->db->wide ? 2 : 1));
  return e;
}

// --- Selectors ---

BTree* Selector(FILEDESCR* d, int32_t selector) {
  TreeState* s = State(d);
  uint32_t i = static_cast<uint32_t>(selector);
  if (i >= s->selectorCount || !s->copies[i]) Raise(1322);
  if (s->copies[i]->gone) Raise(1321);
  return s->copies[i];
}

int32_t TakeSelector(FILEDESCR* d, BTree* t) {
  TreeState* s = State(d);
  int32_t i;
  if (s->freeSelector >= 0) {
    i = s->freeSelector;
    s->freeSelector = static_cast<int32_t>(s->selectorSlot[i]);
  } else {
    if (s->selectorCount == s->selectorRoom) {
      uint32_t room = s->selectorRoom ? 2 * s->selectorRoom : 8;
      s->selectorSlot = Grow(s->selectorSlot, s->selectorCount, room, false);
      s->copies = Grow(s->copies, s->selectorCount, room, true);
      s->selectorRoom = room;
    }
    i = static_cast<int32_t>(s->selectorCount++);
  }
  s->selectorSlot[i] = t->slot;
  s->copies[i] = t;
  return i;
}

template <class F>
void EachCopy(FILEDESCR* d, uint32_t slot, F&& f) {
  TreeState* s = State(d);
  for (uint32_t i = 0; i < s->selectorCount; ++i)
    if (s->copies[i] && s->copies[i]->slot == slot) f(s->copies[i]);
}

void ShareChange(BTree* t) {
  t->dirty = 1;
  t->level = -1;
  t->buffered = 0;
  EachCopy(t->db, t->slot, [&](BTree* o) {
    if (o == t) return;
    o->root = t->root;
    o->keyCount = t->keyCount;
    o->nodeCount = t->nodeCount;
    o->buffered = 0;
    o->level = -1;
    o->dirty = 1;
  });
  t->db->btrees.dirty = 1;
}

// Starts a tree change: the mark is set; `changing` is set by the first write.
void BeginTreeChange(FILEDESCR* d) {
  if (d->readTransaction) Raise(1331);
  if (d->changing) d->damaged = true;
  MarkUpdate(d);
}

// --- Insert ---

bool Insert(BTree* t, uint32_t ref, const uint8_t* e, int depth, bool allFull, uint8_t* up) {
  if (depth >= kMaxLevels) Raise(1319);
  uint8_t* node = Load(t, ref);
  int32_t n = static_cast<int32_t>(t->order), m = static_cast<int32_t>(Count(node));
  allFull = allFull && m == 2 * n;
  int32_t lo = 0, hi = m - 1;
  while (lo <= hi) {
    int32_t mid = (lo + hi) / 2;
    int c = Compare(t, Entry(t, node, mid), e, t->duplicates);
    if (c < 0) lo = mid + 1;
    else if (c > 0) hi = mid - 1;
    else if (!t->duplicates) Raise(1333);
    else lo = mid + 1;
  }
  uint32_t child = hi < 0 ? Left(node) : RightOf(Entry(t, node, hi));
  uint32_t E = t->entrySize;
  uint8_t* emerging = Memory::AllocGStack(E);
  if (child == 0) {
    // A root split here would add a level past the path's 25.
    if (allFull && depth + 2 > kMaxLevels) RaiseTooLarge();
    memcpy(emerging, e, E);
  } else if (!Insert(t, child, e, depth + 1, allFull, emerging)) {
    return false;
  }
  int32_t p = hi + 1;
  if (m < 2 * n) {
    memmove(Entry(t, node, p + 1), Entry(t, node, p), (m - p) * E);
    memcpy(Entry(t, node, p), emerging, E);
    Put32(node + 4, m + 1);
    WriteNode(t, ref, node);
    return false;
  }
  uint32_t rRef = NewNode(t);
  uint8_t* r = Scratch(t);
  if (p < n) {
    memcpy(Entry(t, r, 0), Entry(t, node, n), n * E);
    memcpy(up, Entry(t, node, n - 1), E);
    memmove(Entry(t, node, p + 1), Entry(t, node, p), (n - 1 - p) * E);
    memcpy(Entry(t, node, p), emerging, E);
  } else if (p == n) {
    memcpy(Entry(t, r, 0), Entry(t, node, n), n * E);
    memcpy(up, emerging, E);
  } else {
    memcpy(up, Entry(t, node, n), E);
    memcpy(Entry(t, r, 0), Entry(t, node, n + 1), (n - 1) * E);
    int32_t q = p - n - 1;
    memmove(Entry(t, r, q + 1), Entry(t, r, q), (n - 1 - q) * E);
    memcpy(Entry(t, r, q), emerging, E);
  }
  memset(Entry(t, node, n), 0, n * E);
  Put32(node + 4, n);
  Put32(r + 4, n);
  Put32(r, RightOf(up));
  Put32(up + 4, rRef);
  WriteNode(t, rRef, r);
  WriteNode(t, ref, node);
  return true;
}

// Inserts entry e (1333 for a key a tree without duplicates holds, before
// any write), growing a new root when the old one splits.
void InsertEntry(BTree* t, const uint8_t* e) {
  uint8_t* up = Memory::AllocGStack(t->entrySize);
  if (!t->root) {
    uint8_t* rootNode = Scratch(t);
    uint32_t r = NewNode(t);
    Put32(rootNode + 4, 1);
    memcpy(Entry(t, rootNode, 0), e, t->entrySize);
    WriteNode(t, r, rootNode);
    t->root = r;
  } else if (Insert(t, t->root, e, 0, true, up)) {
    uint8_t* rootNode = Scratch(t);
    uint32_t r = NewNode(t);
    Put32(rootNode, t->root);
    Put32(rootNode + 4, 1);
    memcpy(Entry(t, rootNode, 0), up, t->entrySize);
    WriteNode(t, r, rootNode);
    t->root = r;
  }
  ++t->keyCount;
}

// --- Delete ---

uint32_t ChildAt(const BTree* t, uint8_t* p, int32_t s) { return s < 0 ? Left(p) : RightOf(Entry(t, p, s)); }

// Repairs the short child at position s of parent p (buffer, written by the caller).
void Repair(BTree* t, uint8_t* p, int32_t s) {
  int32_t n = static_cast<int32_t>(t->order), mp = static_cast<int32_t>(Count(p));
  uint32_t E = t->entrySize;
  uint32_t aRef = ChildAt(t, p, s);
  uint8_t* a = Load(t, aRef);
  int32_t ma = static_cast<int32_t>(Count(a));
  if (s < mp - 1) {
    uint8_t* pe = Entry(t, p, s + 1);
    uint32_t bRef = RightOf(pe);
    uint8_t* b = Load(t, bRef);
    int32_t mb = static_cast<int32_t>(Count(b));
    int32_t k = (mb - n + 1) / 2;
    if (k > 0) {
      if (ma + k > 2 * n) Raise(1319);
      memcpy(Entry(t, a, ma), pe, E);
      Put32(Entry(t, a, ma) + 4, Left(b));
      memcpy(Entry(t, a, ma + 1), Entry(t, b, 0), (k - 1) * E);
      uint32_t oldRight = RightOf(Entry(t, b, k - 1));
      memcpy(pe, Entry(t, b, k - 1), E);
      Put32(pe + 4, bRef);
      Put32(b, oldRight);
      memmove(Entry(t, b, 0), Entry(t, b, k), (mb - k) * E);
      memset(Entry(t, b, mb - k), 0, k * E);
      Put32(a + 4, ma + k);
      Put32(b + 4, mb - k);
      WriteNode(t, bRef, b);
      WriteNode(t, aRef, a);
    } else {
      if (ma + 1 + mb > 2 * n) Raise(1319);
      memcpy(Entry(t, a, ma), pe, E);
      Put32(Entry(t, a, ma) + 4, Left(b));
      memcpy(Entry(t, a, ma + 1), Entry(t, b, 0), mb * E);
      Put32(a + 4, ma + 1 + mb);
      memmove(pe, Entry(t, p, s + 2), (mp - s - 2) * E);
      memset(Entry(t, p, mp - 1), 0, E);
      Put32(p + 4, mp - 1);
      WriteNode(t, aRef, a);
      FreeNode(t, bRef);
    }
    return;
  }
  if (s < 0) return;  // no sibling (a damaged parent)
  uint8_t* pe = Entry(t, p, s);
  uint32_t bRef = ChildAt(t, p, s - 1);
  uint8_t* b = Load(t, bRef);
  int32_t mb = static_cast<int32_t>(Count(b));
  int32_t k = (mb + 1 - n) / 2;
  if (k > 0) {
    if (ma + k > 2 * n || k > mb) Raise(1319);
    memmove(Entry(t, a, k), Entry(t, a, 0), ma * E);
    memcpy(Entry(t, a, k - 1), pe, E);
    Put32(Entry(t, a, k - 1) + 4, Left(a));
    memcpy(Entry(t, a, 0), Entry(t, b, mb - k + 1), (k - 1) * E);
    uint32_t oldRight = RightOf(Entry(t, b, mb - k));
    memcpy(pe, Entry(t, b, mb - k), E);
    Put32(pe + 4, aRef);
    Put32(a, oldRight);
    memset(Entry(t, b, mb - k), 0, k * E);
    Put32(b + 4, mb - k);
    Put32(a + 4, ma + k);
    WriteNode(t, aRef, a);
    WriteNode(t, bRef, b);
  } else {
    if (mb + 1 + ma > 2 * n) Raise(1319);
    memcpy(Entry(t, b, mb), pe, E);
    Put32(Entry(t, b, mb) + 4, Left(a));
    memcpy(Entry(t, b, mb + 1), Entry(t, a, 0), ma * E);
    Put32(b + 4, mb + 1 + ma);
    memset(pe, 0, E);
    Put32(p + 4, mp - 1);
    WriteNode(t, bRef, b);
    FreeNode(t, aRef);
  }
}

// Removes the last entry of the subtree's rightmost leaf into `out`.
bool RemoveLast(BTree* t, uint32_t ref, uint8_t* out, int depth) {
  if (depth >= kMaxLevels) Raise(1319);
  uint8_t* node = Load(t, ref);
  int32_t m = static_cast<int32_t>(Count(node));
  if (m == 0) Raise(1319);
  if (Left(node) == 0) {
    memcpy(out, Entry(t, node, m - 1), t->entrySize);
    memset(Entry(t, node, m - 1), 0, t->entrySize);
    Put32(node + 4, m - 1);
    WriteNode(t, ref, node);
    return m - 1 < static_cast<int32_t>(t->order);
  }
  if (RemoveLast(t, RightOf(Entry(t, node, m - 1)), out, depth + 1)) {
    Repair(t, node, m - 1);
    WriteNode(t, ref, node);
  }
  return Count(node) < t->order;
}

bool Remove(BTree* t, uint32_t ref, const uint8_t* e, int depth) {
  if (depth >= kMaxLevels) Raise(1319);
  uint8_t* node = Load(t, ref);
  int32_t m = static_cast<int32_t>(Count(node));
  int32_t lo = 0, hi = m - 1;
  while (lo <= hi) {
    int32_t mid = (lo + hi) / 2;
    int c = Compare(t, Entry(t, node, mid), e, true);
    if (c < 0) lo = mid + 1;
    else if (c > 0) hi = mid - 1;
    else { lo = mid + 1; hi = mid - 1; }
  }
  uint32_t E = t->entrySize;
  if (lo - hi == 2) {
    int32_t k = hi + 1;
    if (Left(node) == 0) {
      memmove(Entry(t, node, k), Entry(t, node, k + 1), (m - k - 1) * E);
      memset(Entry(t, node, m - 1), 0, E);
      Put32(node + 4, m - 1);
      WriteNode(t, ref, node);
      return m - 1 < static_cast<int32_t>(t->order);
    }
    uint8_t* replacement = Memory::AllocGStack(E);
    bool shortChild = RemoveLast(t, ChildAt(t, node, k - 1), replacement, depth + 1);
    Put32(replacement + 4, RightOf(Entry(t, node, k)));
    memcpy(Entry(t, node, k), replacement, E);
    if (shortChild) Repair(t, node, k - 1);
    WriteNode(t, ref, node);
    return Count(node) < t->order;
  }
  uint32_t child = ChildAt(t, node, hi);
  if (child == 0) Raise(1324);
  if (Remove(t, child, e, depth + 1)) {
    Repair(t, node, hi);
    WriteNode(t, ref, node);
  }
  return Count(node) < t->order;
}

void FreeTree(BTree* t, uint32_t ref, int depth, uint64_t* budget) {
  if (!ref) return;
  if (depth >= kMaxLevels || !(*budget)--) Raise(1319);
  uint8_t* mark = Memory::MarkGStack();
  uint8_t* node = Load(t, ref);
  FreeTree(t, Left(node), depth + 1, budget);
  for (uint32_t i = 0; i < Count(node); ++i) FreeTree(t, RightOf(Entry(t, node, i)), depth + 1, budget);
  FreeNode(t, ref);
  Memory::ReleaseGStack(mark);
}

// --- Flush and copy hooks ---

void FlushTrees(FILEDESCR* d) {
  if (!d->btreeState) return;
  TreeState* s = State(d);
  for (uint32_t i = 0; i < s->selectorCount; ++i) {
    BTree* t = s->copies[i];
    if (!t || !t->dirty || t->gone) continue;
    // Stored clean; a failed write leaves it dirty for the retried flush.
    t->dirty = 0;
    uint32_t code = Qel::RunTime::Kernel::RunTrapped([&] { Store(t); });
    if (code) {
      t->dirty = 1;
      Errors::Qel_ErrorExit(code);
    }
  }
  // Every descriptor written since the last flush advances its tree's stamp,
  // so other processes reload the tree.
  uint32_t count = TableCount(d->btrees.table);
  for (uint32_t slot = 0; slot < count && slot < s->slots; ++slot) {
    if (!s->stampPending[slot]) continue;
    s->stampPending[slot] = 0;
    uint8_t* e = TreeEntry(d, slot);
    Stamp stamp{{Get32(e), Get32(e + 4), Get32(e + 8)}};
    stamp.Next();
    for (int w = 0; w < 3; ++w) Put32(e + 4 * w, stamp.w[w]);
    d->btrees.dirty = 1;
  }
}

uint32_t CopyNodes(BTree* from, BTree* to, uint32_t ref, int depth, uint64_t* budget) {
  if (!ref) return 0;
  if (depth >= kMaxLevels || !(*budget)--) Raise(1319);
  uint8_t* mark = Memory::MarkGStack();
  uint8_t* node = Load(from, ref);
  uint8_t* out = Scratch(to);
  Put32(out, CopyNodes(from, to, Left(node), depth + 1, budget));
  uint32_t m = Count(node);
  Put32(out + 4, m);
  uint32_t keyBytes = from->keyBytes < to->keyBytes ? from->keyBytes : to->keyBytes;
  for (uint32_t i = 0; i < m; ++i) {
    uint8_t* e = Entry(from, node, i);
    uint8_t* o = Entry(to, out, i);
    Put32(o, RefOf(e));
    Put32(o + 4, CopyNodes(from, to, RightOf(e), depth + 1, budget));
    memcpy(o + 8, e + 8, keyBytes);
  }
  uint32_t p = V(Allocate(to->db, to->nodeSize));
  WriteAt(to->db, Pos{p}, out, to->nodeSize);
  Memory::ReleaseGStack(mark);
  return p;
}

// A repairing copy's tree: the entries of the source's nodes, in their
// order, inserted anew when they name a reference that was kept; a key met
// again in a tree without duplicates is dropped.
void RebuildNodes(BTree* from, BTree* to, uint32_t ref, int depth, uint64_t* budget, const RefSet& live) {
  if (!ref) return;
  if (depth >= kMaxLevels || !(*budget)--) Raise(1319);
  uint8_t* mark = Memory::MarkGStack();
  uint8_t* node = Load(from, ref);
  RebuildNodes(from, to, Left(node), depth + 1, budget, live);
  uint32_t keyBytes = from->keyBytes < to->keyBytes ? from->keyBytes : to->keyBytes;
  for (uint32_t i = 0; i < Count(node); ++i) {
    uint8_t* e = Entry(from, node, i);
    if (live.Has(Ref{RefOf(e)})) {
      uint8_t* o = Memory::AllocGStack(to->entrySize);
      memset(o, 0, to->entrySize);
      Put32(o, RefOf(e));
      memcpy(o + 8, e + 8, keyBytes);
      uint32_t code = Qel::RunTime::Kernel::RunTrapped([&] { InsertEntry(to, o); });
      if (code && code != 1333) Qel::RunTime::Kernel::Errors::Qel_ErrorExit(code);
    }
    RebuildNodes(from, to, RightOf(e), depth + 1, budget, live);
  }
  Memory::ReleaseGStack(mark);
}

void CopyTrees(FILEDESCR* from, FILEDESCR* to, const RefSet* live) {
  // Open copies that changed are written back to the source first.
  if (from->btreeState) {
    TreeState* s = State(from);
    for (uint32_t i = 0; i < s->selectorCount; ++i)
      if (s->copies[i] && s->copies[i]->dirty) {
        s->copies[i]->dirty = 0;
        Store(s->copies[i]);
      }
  }
  for (uint32_t slot = 0; slot < TableCount(from->btrees.table); ++slot) {
    if (!Get32(TreeEntry(from, slot) + 12)) continue;
    uint8_t* mark = Memory::MarkGStack();
    BTree* src = Load(from, slot);
    BTree* dst = NewCopy(to);
    *dst = *src;
    dst->db = to;
    dst->dirty = 0;
    dst->level = -1;
    dst->buffered = 0;
    Layout(dst);
    dst->nodeSize = 8 + 2 * dst->order * dst->entrySize;
    if (live) {
      // The node walk of a damaged tree is bounded by the database's size.
      uint64_t budget = V(from->endOfFile) / src->nodeSize + 1;
      dst->root = dst->keyCount = dst->nodeCount = 0;
      dst->buffer = static_cast<uint8_t*>(Memory::AllocAtomicHeap(dst->nodeSize));
      RebuildNodes(src, dst, src->root, 0, &budget, *live);
      to->changing = false;
    } else {
      uint64_t budget = uint64_t{src->nodeCount} + 1;
      dst->root = CopyNodes(src, dst, src->root, 0, &budget);
    }
    uint8_t b[kBtreeDescriptorBytes];
    Encode(dst, b);
    uint32_t p = V(Allocate(to, kBtreeDescriptorBytes));
    WriteAt(to, Pos{p}, b, kBtreeDescriptorBytes);
    Put32(TreeEntry(to, slot) + 12, p);
    Memory::ReleaseGStack(mark);
  }
}

int32_t OpenCopy(FILEDESCR* d, BTree* t) {
  ++State(d)->openCount[t->slot];
  return TakeSelector(d, t);
}

}  // namespace

void InstallTreeHooks() {
  g_flushTrees = FlushTrees;
  g_copyTrees = CopyTrees;
}

namespace {
const bool g_hooksInstalled = (InstallTreeHooks(), true);
}  // namespace

void CloseTrees(FILEDESCR* d) {
  if (!d->btreeState) return;
  if (!IsFile(d)) FlushTrees(d);
  d->btreeState = nullptr;
}

uint32_t SelectorSlots(FILEDESCR* d) { return d->btreeState ? State(d)->selectorCount : 0; }

void BtCreate(FILEDESCR* d, const void* name, int32_t* selector, int32_t keyLength, int32_t order, bool dup) {
  if (d->readTransaction) Raise(1331);
  if (d->wide && keyLength == 15) keyLength = 16;
  if (keyLength < 1 || keyLength > 255) Raise(1311);
  if (order < 1 || order > 255) Raise(1310);
  if (TreeSearch(d, d->btreeNames.table, name, nullptr) >= 0) Raise(1306);
  BTree* t = NewCopy(d);
  t->keyUnits = static_cast<uint32_t>(keyLength) + 1;
  t->order = static_cast<uint32_t>(order);
  t->duplicates = dup;
  Layout(t);
  t->nodeSize = 8 + 2 * t->order * t->entrySize;
  t->buffer = static_cast<uint8_t*>(Memory::AllocAtomicHeap(t->nodeSize));
  BeginChange(d);
  TreeState* s = State(d);
  uint32_t slot;
  if (d->freeBtreeHead && d->freeBtreeHead < TableCount(d->btrees.table)) {
    slot = d->freeBtreeHead;
    d->freeBtreeHead = s->openCount[slot];
  } else {
    slot = TableAppend(&d->btrees.table);
    s = State(d);
  }
  t->slot = slot;
  TreeInsert(d, &d->btreeNames.table, name, slot);
  d->btreeNames.dirty = 1;
  uint32_t p = V(Allocate(d, kBtreeDescriptorBytes));
  // A re-created tree goes on with its slot's stamp.
  uint8_t* entry = TreeEntry(d, slot);
  Put32(entry + 12, p);
  s->openCount[slot] = 0;
  Store(t);
  d->btrees.dirty = 1;
  *selector = OpenCopy(d, t);
  EndChange(d);
}

void BtOpen(FILEDESCR* d, const void* name, int32_t* selector) {
  int64_t slot = TreeSearch(d, d->btreeNames.table, name, nullptr);
  if (slot < 0 || slot >= TableCount(d->btrees.table) || !Get32(TreeEntry(d, static_cast<uint32_t>(slot)) + 12))
    Raise(1321);
  uint32_t s = static_cast<uint32_t>(slot);
  // Other copies that changed are written first, so this one sees them.
  EachCopy(d, s, [&](BTree* o) {
    if (o->dirty) Store(o);
  });
  BTree* t = Load(d, s);
  *selector = OpenCopy(d, t);
}

void BtClose(FILEDESCR* d, int32_t selector) {
  TreeState* s = State(d);
  uint32_t i = static_cast<uint32_t>(selector);
  if (i >= s->selectorCount) Raise(1322);
  BTree* t = s->copies[i];
  if (!t) return;
  if (s->openCount[t->slot]) --s->openCount[t->slot];
  if (t->dirty && Get32(TreeEntry(d, t->slot) + 12)) Store(t);
  s->copies[i] = nullptr;
  s->selectorSlot[i] = static_cast<uint32_t>(s->freeSelector);
  s->freeSelector = selector;
}

void BtDelete(FILEDESCR* d, const void* name) {
  if (d->readTransaction) Raise(1331);
  int64_t found = TreeSearch(d, d->btreeNames.table, name, nullptr);
  if (found < 0 || found >= TableCount(d->btrees.table)) return;
  uint32_t slot = static_cast<uint32_t>(found);
  if (!Get32(TreeEntry(d, slot) + 12)) return;
  TreeState* s = State(d);
  if (s->openCount[slot]) Raise(1323);
  BTree* t = Load(d, slot);
  BeginChange(d);
  uint32_t p = Get32(TreeEntry(d, slot) + 12);
  uint64_t budget = uint64_t{t->nodeCount} + 1;
  FreeTree(t, t->root, 0, &budget);
  Release(d, Pos{p}, kBtreeDescriptorBytes);
  Put32(TreeEntry(d, slot) + 12, 0);
  s->stampPending[slot] = 1;
  s->openCount[slot] = d->freeBtreeHead;
  d->freeBtreeHead = slot;
  TreeDelete(d, &d->btreeNames.table, name, TableCount(d->btrees.table));
  d->btreeNames.dirty = 1;
  d->btrees.dirty = 1;
  EndChange(d);
}

void BtCopySelector(FILEDESCR* d, int32_t selector, int32_t* out) {
  BTree* from = Selector(d, selector);
  TreeState* s = State(d);
  if (++s->openCount[from->slot] == 2 && from->dirty) {
    from->dirty = 0;
    Store(from);
  }
  BTree* t = NewCopy(d);
  *t = *from;
  t->buffer = static_cast<uint8_t*>(Memory::AllocAtomicHeap(t->nodeSize));
  memcpy(t->buffer, from->buffer, t->nodeSize);
  *out = TakeSelector(d, t);
}

void BtStatistics(FILEDESCR* d, int32_t selector, uint32_t out[6]) {
  BTree* t = Selector(d, selector);
  uint32_t depth = 0;
  for (uint32_t ref = t->root; ref; ref = Left(Walk(t, ref)))
    if (++depth > kMaxLevels) Raise(1319);
  out[0] = t->keyCount;
  out[1] = t->nodeCount;
  out[2] = depth;
  out[3] = t->keyUnits - 1;
  out[4] = t->order;
  out[5] = t->nodeSize;
}

void KeyInsert(FILEDESCR* d, int32_t selector, const void* key, int32_t ref) {
  BTree* t = Selector(d, selector);
  BeginTreeChange(d);
  uint8_t* mark = Memory::MarkGStack();
  InsertEntry(t, MakeEntry(t, key, ref));
  ShareChange(t);
  Memory::ReleaseGStack(mark);
  EndChange(d);
}

void KeyDelete(FILEDESCR* d, int32_t selector, const void* key, int32_t ref) {
  BTree* t = Selector(d, selector);
  BeginTreeChange(d);
  uint8_t* mark = Memory::MarkGStack();
  uint8_t* e = MakeEntry(t, key, ref);
  if (!t->root) Raise(1324);
  Remove(t, t->root, e, 0);
  uint8_t* rootNode = Load(t, t->root);
  if (Count(rootNode) == 0) {
    uint32_t old = t->root;
    t->root = Left(rootNode);
    FreeNode(t, old);
  }
  if (t->keyCount) --t->keyCount;
  ShareChange(t);
  Memory::ReleaseGStack(mark);
  EndChange(d);
}

bool KeyNext(FILEDESCR* d, int32_t selector, int32_t* ref) {
  BTree* t = Selector(d, selector);
  if (t->level == -2) return false;
  uint32_t child;
  if (t->level == -1) {
    child = t->root;
  } else {
    uint8_t* node = Walk(t, t->path[t->level].node);
    int32_t i = t->path[t->level].index;
    if (i < 0 || static_cast<uint32_t>(i) >= Count(node)) child = Left(node);
    else child = RightOf(Entry(t, node, i));
  }
  while (child) {
    if (t->level + 1 >= kMaxLevels) Raise(1319);
    uint8_t* node = Walk(t, child);
    ++t->level;
    t->path[t->level] = {child, -1};
    child = Left(node);
  }
  for (;;) {
    if (t->level < 0) {
      t->level = -2;
      return false;
    }
    uint8_t* node = Walk(t, t->path[t->level].node);
    if (static_cast<int64_t>(Count(node)) <= int64_t{t->path[t->level].index} + 1) {
      --t->level;
      continue;
    }
    ++t->path[t->level].index;
    *ref = static_cast<int32_t>(RefOf(Entry(t, node, t->path[t->level].index)));
    return true;
  }
}

bool KeyPrev(FILEDESCR* d, int32_t selector, int32_t* ref) {
  BTree* t = Selector(d, selector);
  if (t->level == -1) return false;
  uint32_t child;
  if (t->level == -2) {
    t->level = -1;
    child = t->root;
  } else {
    uint8_t* node = Walk(t, t->path[t->level].node);
    int32_t i = --t->path[t->level].index;
    child = i < 0 || static_cast<uint32_t>(i) >= Count(node) ? Left(node) : RightOf(Entry(t, node, i));
  }
  while (child) {
    if (t->level + 1 >= kMaxLevels) Raise(1319);
    uint8_t* node = Walk(t, child);
    ++t->level;
    int32_t last = static_cast<int32_t>(Count(node)) - 1;
    t->path[t->level] = {child, last};
    child = last < 0 ? Left(node) : RightOf(Entry(t, node, last));
  }
  while (t->level >= 0 && t->path[t->level].index < 0) --t->level;
  if (t->level < 0) {
    t->level = -1;
    return false;
  }
  uint8_t* node = Walk(t, t->path[t->level].node);
  *ref = static_cast<int32_t>(RefOf(Entry(t, node, t->path[t->level].index)));
  return true;
}

bool KeyFirst(FILEDESCR* d, int32_t selector, int32_t* ref) {
  Selector(d, selector)->level = -1;
  return KeyNext(d, selector, ref);
}

bool KeyLast(FILEDESCR* d, int32_t selector, int32_t* ref) {
  Selector(d, selector)->level = -2;
  return KeyPrev(d, selector, ref);
}

bool KeyCurrent(FILEDESCR* d, int32_t selector, const void** key, int32_t* ref) {
  BTree* t = Selector(d, selector);
  if (t->level < 0) return false;
  uint8_t* node = Walk(t, t->path[t->level].node);
  int32_t i = t->path[t->level].index;
  if (i < 0 || static_cast<uint32_t>(i) >= Count(node)) return false;
  uint8_t* e = Entry(t, node, i);
  uint8_t* copy = Memory::AllocGStack(t->keyBytes + 2);
  memcpy(copy, e + 8, t->keyBytes);
  copy[t->keyBytes] = copy[t->keyBytes + 1] = 0;
  *key = copy;
  *ref = static_cast<int32_t>(RefOf(e));
  return true;
}

bool KeySearch(FILEDESCR* d, int32_t selector, const void* key, int32_t* ref, bool given) {
  BTree* t = Selector(d, selector);
  int32_t r = given ? *ref : 0;
  bool pairs = t->duplicates || r != 0;
  uint8_t* mark = Memory::MarkGStack();
  uint8_t* e = MakeEntry(t, key, r);
  t->level = -1;
  uint32_t node = t->root;
  while (node) {
    if (t->level + 1 >= kMaxLevels) Raise(1319);
    uint8_t* n = Walk(t, node);
    ++t->level;
    t->path[t->level].node = node;
    int32_t lo = 0, hi = static_cast<int32_t>(Count(n)) - 1;
    while (lo <= hi) {
      int32_t mid = (lo + hi) / 2;
      int c = Compare(t, Entry(t, n, mid), e, pairs);
      if (c < 0) lo = mid + 1;
      else if (c > 0) hi = mid - 1;
      else {
        t->path[t->level].index = mid;
        if (!given) *ref = static_cast<int32_t>(RefOf(Entry(t, n, mid)));
        Memory::ReleaseGStack(mark);
        return true;
      }
    }
    t->path[t->level].index = hi;
    node = ChildAt(t, n, hi);
  }
  bool found = false;
  if (t->level == -1) {
    t->level = -2;
  } else {
    for (;;) {
      if (t->level < 0) {
        t->level = -2;
        break;
      }
      uint8_t* n = Walk(t, t->path[t->level].node);
      if (static_cast<int64_t>(Count(n)) <= int64_t{t->path[t->level].index} + 1) {
        --t->level;
        continue;
      }
      ++t->path[t->level].index;
      uint8_t* at = Entry(t, n, t->path[t->level].index);
      if (t->duplicates && r == 0 && CompareKeys(t, at + 8, e + 8) == 0) {
        if (!given) *ref = static_cast<int32_t>(RefOf(at));
        found = true;
      }
      break;
    }
  }
  Memory::ReleaseGStack(mark);
  return found;
}

void ReloadTrees(FILEDESCR* d, const uint8_t* fresh) {
  TreeState* s = State(d);
  uint32_t count = TableCount(d->btrees.table);
  for (uint32_t slot = 0; slot < count && slot < s->slots; ++slot) {
    s->updated[slot] = 0;
    if (!s->openCount[slot] || !Get32(TreeEntry(d, slot) + 12)) continue;
    const uint8_t* now = slot < TableCount(fresh) ? fresh + kTableHead + 16 * slot : nullptr;
    uint32_t p = now ? Get32(now + 12) : 0;
    if (now && memcmp(now, TreeEntry(d, slot), 12) == 0) continue;
    EachCopy(d, slot, [&](BTree* t) {
      t->level = -1;
      t->buffered = 0;
      t->dirty = 0;
      if (!p) {
        t->gone = 1;
        return;
      }
      uint32_t size = t->nodeSize;
      ReadDescriptor(d, p, t);
      if (t->nodeSize != size) t->buffer = static_cast<uint8_t*>(Memory::AllocAtomicHeap(t->nodeSize));
    });
    s->updated[slot] = 1;
  }
}

void ClearTreeUpdates(FILEDESCR* d) {
  if (!d->btreeState) return;
  TreeState* s = State(d);
  memset(s->updated, 0, s->slots);
}

bool BtUpdated(FILEDESCR* d, int32_t selector) {
  BTree* t = Selector(d, selector);
  return State(d)->updated[t->slot] != 0;
}

}  // namespace chainDB::detail
