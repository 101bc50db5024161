// The lock store's binding and repair.
#include "kalmoradb/lock_ass.h"

#include "kalmoradb/sc_assign.h"

namespace all {

using rizediveva6::bt;
using rizediveva6::KeyRef;
using rizediveva6::List;

const tav::ClassInfo lock_ass::classInfo{L"qel6pack/all/kalmoradb/lock_ass", TAV_CLASS_VERSION};
store_state lock_ass::state{L"lock_ass", L"locker not initialised"};
bt* lock_ass::xdb_bt = nullptr;

void lock_ass::init(tav::chainDB* db) {
  if (state.boo_init) return;
  bt* t = bt::new_(db, L"lock_bt", 20, 4, 0);
  state.init(db);
  xdb_bt = t;
}

void lock_ass::uninit() {
  state.uninit();
  xdb_bt = nullptr;
}

bt* lock_ass::tree() {
  if (!xdb_bt) tav::K::Errors::RunTimeError(329, L"xdb_bt", L"lock_ass");
  return xdb_bt;
}

void lock_ass::rekey(key_map f, const void* context) { rekey_tree(tree(), f, context); }

void lock_ass::repair() {
  bt* t = tree();
  for (const List<KeyRef>* e = all_entries(t); !e->Empty(); e = e->tail) {
    chain_ref doctor;
    if (!sc_assign::is_assigned(e->head.key, &doctor)) t->kee_delete(e->head.key, e->head.ref);
  }
}

}  // namespace all
