// The assignment store's binding, look-up and doctor repair.
#include "kalmoradb/sc_assign.h"

#include <cwchar>

namespace all {

using rizediveva6::bt;
using rizediveva6::KeyRef;
using rizediveva6::List;
using rizediveva6::ListBuilder;

const tav::ClassInfo sc_assign::classInfo{L"qel6pack/all/kalmoradb/sc_assign", TAV_CLASS_VERSION};
store_state sc_assign::state{L"sc_assign", L"assign not initialised"};
bt* sc_assign::xdb_bt = nullptr;
bool sc_assign::boo_repair = false;

void sc_assign::init(tav::chainDB* db) {
  if (state.boo_init) return;
  bt* tree = bt::new_(db, L"assign_bt", 20, 4, 0);
  state.init(db);
  xdb_bt = tree;
}

void sc_assign::uninit() {
  state.uninit();
  xdb_bt = nullptr;
}

bt* sc_assign::tree() {
  if (!xdb_bt) tav::K::Errors::RunTimeError(329, L"xdb_bt", L"sc_assign");
  return xdb_bt;
}

bool sc_assign::is_assigned(const wchar_t* key, chain_ref* doctor) {
  return tree()->kee_search(key, doctor);
}

void sc_assign::must_be_repaired() { boo_repair = true; }

void sc_assign::repair_after_person_deleted(chain_ref doctor) {
  bt* t = tree();
  for (const List<KeyRef>* e = all_entries(t); !e->Empty(); e = e->tail)
    if (e->head.ref == doctor) t->kee_delete(e->head.key);
}

bool sc_assign::tie_start(const TieDomTerm* tie, const wchar_t** key, chain_ref* doctor) {
  for (const wchar_t* end : {tie->dat->first, tie->dat->second})
    if (is_assigned(end, doctor)) {
      *key = end;
      return true;
    }
  return false;
}

void sc_assign::fix_after_add_tie(const TieDomTerm* tie) {
  const wchar_t* key;
  chain_ref doctor;
  tie_start(tie, &key, &doctor);
}

void sc_assign::rekey(key_map f, const void* context) { rekey_tree(tree(), f, context); }

void rekey_tree(bt* tree, key_map f, const void* context) {
  ListBuilder<KeyRef> moved(true);
  for (const List<KeyRef>* e = all_entries(tree); !e->Empty(); e = e->tail) {
    const wchar_t* key = f(e->head.key, context);
    if (key && wcscmp(key, e->head.key) == 0) continue;
    tree->kee_delete(e->head.key, e->head.ref);
    if (key) moved.Add(KeyRef{tav::HeapCopy(key), e->head.ref});
  }
  for (const List<KeyRef>* e = moved.Finish(); !e->Empty(); e = e->tail) tree->kee_insert(e->head.key, e->head.ref);
}

const List<KeyRef>* all_entries(bt* tree) {
  ListBuilder<KeyRef> entries(true);  // heap cells: they outlive each solution
  int32_t first;
  if (tree->kee_first(&first))
    tree->nd_kee1([&](KeyRef e) {
      entries.Add(KeyRef{tav::HeapCopy(e.key), e.ref});
      tav::K::Fail();
    });
  return entries.Finish();
}

}  // namespace all
