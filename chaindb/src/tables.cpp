// Growable tables and name trees: heap blocks in their stored form.  A tree
// node's children always lie behind it (nodes are appended and linked into
// older ones), which the checks of a loaded tree rely on to bound walks.
#include <cstring>
#include <initializer_list>

#include "collate.h"
#include "db.h"
#include "qel6kernel.h"

namespace chainDB::detail {

namespace Memory = Qel::RunTime::Kernel::Memory;

uint8_t* CopyBlock(const uint8_t* block, uint32_t size) {
  auto* copy = static_cast<uint8_t*>(Memory::AllocAtomicHeap(size));
  memcpy(copy, block, size);
  return copy;
}

static uint8_t* NewBlock(uint64_t size) {
  if (size > 0x7FFFFFF0u) RaiseTooLarge();
  auto* b = static_cast<uint8_t*>(Memory::AllocAtomicHeap(static_cast<uint32_t>(size)));
  memset(b, 0, size);
  return b;
}

uint8_t* NewTable(uint32_t entrySize, uint32_t capacity, uint32_t growth, uint32_t count) {
  uint64_t size = uint64_t{entrySize} * capacity + kTableHead;
  uint8_t* t = NewBlock(size);
  Put32(t, static_cast<uint32_t>(size));
  Put32(t + 4, capacity);
  Put32(t + 8, count);
  Put32(t + 12, growth);
  Put32(t + 16, entrySize);
  return t;
}

uint32_t TableAppend(uint8_t** table) {
  uint8_t* t = *table;
  uint32_t index = TableCount(t);
  if (index == 0xFFFFFFFFu) RaiseTooLarge();
  if (index >= TableCapacity(t)) {
    uint32_t growth = Get32(t + 12) ? Get32(t + 12) : 1;
    uint64_t capacity = uint64_t{index} + growth;
    if (capacity > 0xFFFFFFFFu) RaiseTooLarge();
    uint8_t* n = NewTable(TableEntrySize(t), static_cast<uint32_t>(capacity), Get32(t + 12), index);
    memcpy(n + kTableHead, t + kTableHead, uint64_t{index} * TableEntrySize(t));
    *table = t = n;
  }
  Put32(t + 8, index + 1);
  memset(TableEntry(t, index), 0, TableEntrySize(t));
  return index;
}

void CheckTable(const uint8_t* t, uint32_t size, uint32_t entrySize) {
  if (size < kTableHead || TableSize(t) != size || TableEntrySize(t) != entrySize ||
      uint64_t{entrySize} * TableCapacity(t) + kTableHead != size || TableCount(t) > TableCapacity(t))
    Raise(1326);
}

// --- Name trees ---

uint32_t NameBytes(const FILEDESCR* d, const void* name) {
  return d->wide ? 2 * (static_cast<uint32_t>(lstrlenW(static_cast<const wchar_t*>(name))) + 1)
                 : static_cast<uint32_t>(lstrlenA(static_cast<const char*>(name))) + 1;
}

int CompareNames(const FILEDESCR* d, const void* a, const void* b) {
  return d->wide ? CompareW(static_cast<const wchar_t*>(a), static_cast<const wchar_t*>(b))
                 : CompareA(static_cast<const char*>(a), static_cast<const char*>(b));
}

uint8_t* NewTree() {
  uint8_t* t = NewBlock(kTreeHead);
  Put32(t, kTreeHead);
  Put32(t + 4, kTreeHead);
  Put32(t + 8, 64);
  return t;
}

int64_t TreeSearch(const FILEDESCR* d, const uint8_t* tree, const void* name, uint32_t* link) {
  uint32_t word = 12;
  for (uint32_t node = Get32(tree + 12); node; node = Get32(tree + word)) {
    int c = CompareNames(d, name, NodeName(tree, node));
    if (c == 0) return NodeValue(tree, node);
    word = c < 0 ? node : node + 4;
  }
  if (link) *link = word;
  return -1;
}

void TreeInsert(const FILEDESCR* d, uint8_t** tree, const void* name, uint32_t value) {
  uint32_t link = 12;
  if (TreeSearch(d, *tree, name, &link) >= 0) return;
  uint8_t* t = *tree;
  uint32_t bytes = NameBytes(d, name);
  uint64_t used = Get32(t + 4), need = used + 12 + bytes;
  if (need > Get32(t)) {
    uint64_t size = uint64_t{Get32(t)} + Get32(t + 8);
    if (size < need) size = need;
    uint8_t* n = NewBlock(size);
    memcpy(n, t, used);
    Put32(n, static_cast<uint32_t>(size));
    *tree = t = n;
  }
  uint8_t* node = t + used;
  Put32(node, 0);
  Put32(node + 4, 0);
  Put32(node + 8, value);
  memcpy(node + 12, name, bytes);
  Put32(t + 4, static_cast<uint32_t>(need));
  Put32(t + link, static_cast<uint32_t>(used));
}

uint32_t TreeInOrder(const uint8_t* tree, uint32_t* out, uint32_t max) {
  // Explicit stack; children lie behind their parent, so depth < nodes.
  uint32_t used = Get32(tree + 4);
  uint32_t capacity = (used - kTreeHead) / 13 + 1;
  auto* stack = reinterpret_cast<uint32_t*>(Memory::AllocGStack(4 * capacity));
  uint32_t top = 0, n = 0;
  uint32_t node = Get32(tree + 12);
  while ((node || top) && n < max) {
    while (node && top < capacity) {
      stack[top++] = node;
      node = Get32(tree + node);
    }
    node = stack[--top];
    out[n++] = node;
    node = Get32(tree + node + 4);
  }
  return n;
}

void TreeDelete(const FILEDESCR* d, uint8_t** tree, const void* name, uint32_t capacity) {
  uint8_t* old = *tree;
  int64_t found = TreeSearch(d, old, name, nullptr);
  if (found < 0) return;
  uint8_t* mark = Memory::MarkGStack();
  uint32_t maxNodes = (Get32(old + 4) - kTreeHead) / 13 + 1;
  auto* nodes = reinterpret_cast<uint32_t*>(Memory::AllocGStack(4 * maxNodes));
  uint32_t count = TreeInOrder(old, nodes, maxNodes), kept = 0;
  for (uint32_t i = 0; i < count; ++i)
    if (NodeValue(old, nodes[i]) != static_cast<uint32_t>(found)) nodes[kept++] = nodes[i];
  uint8_t* t = NewTree();
  Put32(t + 8, Get32(old + 8));
  // Middle first, then the two halves: the least height the names allow.
  struct Range { uint32_t lo, hi; };
  auto* ranges = reinterpret_cast<Range*>(Memory::AllocGStack(sizeof(Range) * (kept + 1)));
  uint32_t top = 0;
  ranges[top++] = {0, kept};
  while (top) {
    Range r = ranges[--top];
    if (r.lo >= r.hi) continue;
    uint32_t mid = (r.lo + r.hi) / 2;
    TreeInsert(d, &t, NodeName(old, nodes[mid]), NodeValue(old, nodes[mid]));
    ranges[top++] = {mid + 1, r.hi};
    ranges[top++] = {r.lo, mid};
  }
  (void)capacity;
  *tree = t;
  Memory::ReleaseGStack(mark);
}

void CheckTree(const FILEDESCR* d, const uint8_t* tree, uint32_t size, uint32_t limit) {
  uint32_t used = Get32(tree + 4);
  if (size < kTreeHead || Get32(tree) != size || used < kTreeHead || used > size) Raise(1326);
  uint32_t root = Get32(tree + 12);
  uint32_t capacity = (used - kTreeHead) / 13 + 1;
  uint8_t* mark = Memory::MarkGStack();
  auto* stack = reinterpret_cast<uint32_t*>(Memory::AllocGStack(4 * capacity));
  uint32_t top = 0, seen = 0;
  if (root) {
    if (root < kTreeHead) Raise(1326);
    stack[top++] = root;
  }
  while (top) {
    uint32_t node = stack[--top];
    if (++seen > capacity || uint64_t{node} + 12 >= used) Raise(1326);
    const uint8_t* name = tree + node + 12;
    uint32_t room = used - node - 12;
    bool terminated = false;
    if (d->wide) {
      for (uint32_t i = 0; i + 1 < room; i += 2)
        if (name[i] == 0 && name[i + 1] == 0) { terminated = true; break; }
    } else {
      terminated = memchr(name, 0, room) != nullptr;
    }
    if (!terminated || NodeValue(tree, node) >= limit) Raise(1326);
    for (uint32_t child : {Get32(tree + node), Get32(tree + node + 4)}) {
      if (!child) continue;
      if (child <= node || top >= capacity) Raise(1326);
      stack[top++] = child;
    }
  }
  Memory::ReleaseGStack(mark);
}

}  // namespace chainDB::detail
