// treeview_tools: see the header.
#include "KWI/treeview_tools_pack/treeview_tools.h"

#include <cwchar>

#include "unit.h"

namespace rizediveva6 {

using tav::BitmapIdTerm;
using tav::ItemStateFlag;
using tav::ItemStateList;
using tav::kwiTreeView;
using tav::TreeList;
using tav::TreeTerm;

const tav::ClassInfo treeview_tools::classInfo{L"qel6pack/treeview_tools_pack/treeview_tools",
                                               TAV_CLASS_VERSION};

namespace {

using Trees = List<const TreeTerm*>;
static_assert(sizeof(Trees) == sizeof(TreeList));
const TreeList* AsTreeList(const Trees* l) { return reinterpret_cast<const TreeList*>(l); }
bool Cell(const TreeList* l) { return (l->functor & 0xFF) == 1; }

// The last id convert_tree gave out.
uint32_t g_lastId = 0;

const BitmapIdTerm kBitmap{1, 10183};
const BitmapIdTerm kSelectedBitmap{1, 10182};
const ItemStateList kNoFlags{2, ItemStateFlag{}, nullptr};
const ItemStateList kExpanded{1, ItemStateFlag::expanded, &kNoFlags};

const TreeTerm* Item(uint32_t id, const ItemStateList* state, const wchar_t* text,
                     const TreeList* children) {
  auto* t = static_cast<TreeTerm*>(tav::GStackAlloc(sizeof(TreeTerm)));
  *t = {1, id, state, &kBitmap, &kSelectedBitmap, text, children};
  return t;
}

// The first node of `t` in pre-order that `match` accepts; `path` (when
// given) the texts from t down to it.
template <class Match>
const TreeTerm* Drill(const TreeTerm* t, const Match& match, const SList** path) {
  if (match(t)) {
    if (path) *path = Cons<const wchar_t*>(t->text, Nil<const wchar_t*>());
    return t;
  }
  for (const TreeList* c = t->children; Cell(c); c = c->next)
    if (const TreeTerm* found = Drill(c->head, match, path)) {
      if (path) *path = Cons<const wchar_t*>(t->text, *path);
      return found;
    }
  return nullptr;
}

template <class Match>
const TreeTerm* DrillList(const TreeList* trees, const Match& match, const SList** path) {
  for (; Cell(trees); trees = trees->next)
    if (const TreeTerm* found = Drill(trees->head, match, path)) return found;
  return nullptr;
}

auto WithId(uint32_t id) {
  return [id](const TreeTerm* t) { return t->id == id; };
}
auto WithText(const wchar_t* text) {
  return [text](const TreeTerm* t) { return wcscmp(t->text, text) == 0; };
}

const TreeTerm* Convert(const STree* s);

const TreeList* ConvertList(const STrees* trees) {
  ListBuilder<const TreeTerm*> out;
  for (; !trees->Empty(); trees = trees->tail) out.Add(Convert(trees->head));
  return AsTreeList(out.Finish());
}

const TreeTerm* Convert(const STree* s) {
  if (s->Null()) return Item(0, &kNoFlags, L"Null Stree", AsTreeList(Nil<const TreeTerm*>()));
  const TreeList* children = ConvertList(s->children);
  return Item(++g_lastId, &kExpanded, s->text, children);
}

}  // namespace

bool treeview_tools::drill_for_item(uint32_t id, const TreeTerm* tree, const SList** path,
                                    const TreeList** children) {
  const TreeTerm* found = Drill(tree, WithId(id), path);
  if (found) *children = found->children;
  return found;
}

bool treeview_tools::drill_for_item_list(uint32_t id, const TreeList* trees, const SList** path,
                                         const TreeList** children) {
  const TreeTerm* found = DrillList(trees, WithId(id), path);
  if (found) *children = found->children;
  return found;
}

bool treeview_tools::drill_for_str_item(const wchar_t* text, const TreeTerm* tree, uint32_t* id,
                                        const TreeList** children) {
  const TreeTerm* found = Drill(tree, WithText(text), nullptr);
  if (found) *id = found->id, *children = found->children;
  return found;
}

bool treeview_tools::drill_for_str_item_list(const wchar_t* text, const TreeList* trees, uint32_t* id,
                                             const TreeList** children) {
  const TreeTerm* found = DrillList(trees, WithText(text), nullptr);
  if (found) *id = found->id, *children = found->children;
  return found;
}

bool treeview_tools::immediate_sons(const wchar_t* text, const TreeTerm* tree, const SList** sons) {
  const TreeTerm* found = Drill(tree, WithText(text), nullptr);
  if (!found) return false;
  ListBuilder<const wchar_t*> out;
  for (const TreeList* c = found->children; Cell(c); c = c->next) out.Add(c->head->text);
  *sons = out.Finish();
  return true;
}

const SList* treeview_tools::get_parents(LONG_PTR window, uint32_t id, const SList* tail) {
  for (;;) {
    if (id == 0) return tail;
    volatile uint32_t parent = 0;
    const wchar_t* volatile text = nullptr;
    const uint32_t code = TrapAndForget([&] {
      parent = kwiTreeView::get_parent(window, id);
      const wchar_t* t;
      const ItemStateList* state;
      const BitmapIdTerm *bitmap, *selected;
      kwiTreeView::get_item(window, id, &t, &state, &bitmap, &selected);
      text = t;
    });
    if (code != 0) return tail;
    tail = Cons<const wchar_t*>(text, tail);
    id = parent;
  }
}

const TreeList* treeview_tools::slist_tree(uint32_t start, const SList* strings) {
  ListBuilder<const TreeTerm*> out;
  uint32_t id = start;
  for (; !strings->Empty(); strings = strings->tail) {
    if (__builtin_add_overflow(id, 1u, &id)) RaiseRangeError();
    out.Add(Item(id, &kNoFlags, strings->head, AsTreeList(Nil<const TreeTerm*>())));
  }
  return AsTreeList(out.Finish());
}

void treeview_tools::delete_tree(LONG_PTR window, const TreeTerm* tree) {
  delete_tree_list(window, tree->children);
  kwiTreeView::delete_item(window, tree->id);
}

void treeview_tools::delete_tree_list(LONG_PTR window, const TreeList* trees) {
  for (; Cell(trees); trees = trees->next) delete_tree(window, trees->head);
}

const TreeTerm* treeview_tools::convert_tree(const STree* tree) {
  g_lastId = 1;
  return Convert(tree);
}

const TreeList* treeview_tools::convert_trees(const STrees* trees) { return ConvertList(trees); }

}  // namespace rizediveva6
