// watched_bt: a document tree whose object reports every change it made to
// a watcher, so that a copy kept in memory follows every writer of the tree.
//
// Invariants:
//  - A report follows the change it tells of: a change the database refused
//    (raised) or that found the tree closed is not reported.
//  - Keys are reported as the writer gave them.
//  - reset is reported when the tree was cleared, closed or deleted: the
//    watcher's copy no longer tells the tree's contents.
#pragma once

#include <string_view>

#include "SYSTEM/mychaindb/bt.h"

namespace all {

struct bt_watch {
  void (*inserted)(const wchar_t* key, int32_t ref);
  void (*deleted)(const wchar_t* key);
  void (*reset)();
};

// Keys hashed as views, for the in-memory copies of a tree's keys: a
// look-up copies no text.
struct key_hash {
  using is_transparent = void;
  size_t operator()(std::wstring_view v) const { return std::hash<std::wstring_view>{}(v); }
};

// Whether a key has the duty index's form: only among such keys are equal
// texts the tree's equal keys, so a copy in memory answers only for them.
bool plain_key(const wchar_t* key);

// bt::new_ with no duplicates, its object reporting to watch.
rizediveva6::bt* watched_bt(tav::chainDB* db, const wchar_t* name, uint32_t keyLength, uint32_t order,
                            const bt_watch* watch);

}  // namespace all
