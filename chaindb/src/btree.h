// B+tree indexes: descriptors, nodes, selectors and cursors.
#pragma once

#include "db.h"

namespace chainDB::detail {

constexpr int kMaxLevels = 25;

// A selector's copy of a tree descriptor.  Its stored form is 248 bytes,
// written field by field (database and buffer pointers as 4 zero bytes).
struct BTree {
  FILEDESCR* db;
  uint8_t dirty;
  uint32_t keyUnits;  // key length + 1
  uint32_t order;
  uint8_t duplicates;
  uint32_t nodeSize;
  uint32_t root;
  struct Step {
    uint32_t node;
    int32_t index;
  } path[kMaxLevels];
  int32_t level;  // -1 before the first entry, -2 after the last
  uint8_t* buffer;
  uint32_t buffered;
  uint32_t keyCount, nodeCount;
  // Not stored.
  uint32_t slot;
  uint32_t entrySize, keyBytes;  // keyBytes: the key field's width
  uint8_t gone;                  // another process deleted the tree
};

// Keys and names are the variant's text (UTF-16 or 8-bit).
void BtCreate(FILEDESCR* d, const void* name, int32_t* selector, int32_t keyLength, int32_t order, bool dup);
void BtOpen(FILEDESCR* d, const void* name, int32_t* selector);
void BtClose(FILEDESCR* d, int32_t selector);
void BtDelete(FILEDESCR* d, const void* name);
void BtCopySelector(FILEDESCR* d, int32_t selector, int32_t* out);
void BtStatistics(FILEDESCR* d, int32_t selector, uint32_t out[6]);
void KeyInsert(FILEDESCR* d, int32_t selector, const void* key, int32_t ref);
void KeyDelete(FILEDESCR* d, int32_t selector, const void* key, int32_t ref);
// False: not found (the caller fails).
bool KeySearch(FILEDESCR* d, int32_t selector, const void* key, int32_t* ref, bool given);
bool KeyFirst(FILEDESCR* d, int32_t selector, int32_t* ref);
bool KeyLast(FILEDESCR* d, int32_t selector, int32_t* ref);
bool KeyNext(FILEDESCR* d, int32_t selector, int32_t* ref);
bool KeyPrev(FILEDESCR* d, int32_t selector, int32_t* ref);
// The current key (the variant's text on the global stack) and reference.
bool KeyCurrent(FILEDESCR* d, int32_t selector, const void** key, int32_t* ref);
bool BtUpdated(FILEDESCR* d, int32_t selector);
// The number of selector slots (statistics).
uint32_t SelectorSlots(FILEDESCR* d);
// Writes changed copies (memory) and drops every selector of a closing database.
void CloseTrees(FILEDESCR* d);
// A transaction start found a new B+tree table: selectors of trees whose
// stamp changed read their descriptor anew and their updated byte is set;
// a tree deleted meanwhile leaves its selectors raising 1321.
void ReloadTrees(FILEDESCR* d, const uint8_t* fresh);
void ClearTreeUpdates(FILEDESCR* d);
// Installs the flush and copy hooks of the storage layer.
void InstallTreeHooks();

}  // namespace chainDB::detail
