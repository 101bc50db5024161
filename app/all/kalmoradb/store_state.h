// One store's binding to the open document: its chain database and its open
// mark, both absent while no document is open.
//
// Invariants:
//  - init records the database and the mark and does nothing when the store
//    is already open; uninit forgets both; the chains stay in the document.
//    Both call forget, when given, so nothing held in memory outlives the
//    document it was read from.
//  - db() while closed raises the runtime's error 329 naming the store's
//    fact, as reading an absent single fact does.
//  - is_initialised shows the store's note when closed and goes on.
#pragma once

#include "chainDB/chainDb.h"

namespace all {

struct store_state {
  const wchar_t* store;  // class name, named by error 329
  const wchar_t* note;   // the open check's note
  void (*forget)() = nullptr;  // drops what the store holds in memory
  tav::chainDB* xdb = nullptr;
  bool boo_init = false;

  void init(tav::chainDB* db) {
    if (boo_init) return;
    if (forget) forget();
    xdb = db;
    boo_init = true;
  }
  void uninit() {
    if (forget) forget();
    xdb = nullptr;
    boo_init = false;
  }
  tav::chainDB* db() const;
  void is_initialised() const;
};

}  // namespace all
