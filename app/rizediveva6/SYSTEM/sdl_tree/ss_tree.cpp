// ss_tree: see the header.
#include "SYSTEM/sdl_tree/ss_tree.h"

#include <cwchar>

#include "stream/stream.h"

namespace rizediveva6 {

namespace K = Qel::RunTime::Kernel;

const tav::ClassInfo ss_tree::classInfo{L"qel6pack/sdl_tree/ss_tree", TAV_CLASS_VERSION};

namespace {

constexpr uint64_t kNullSTreeWord = 2;

bool Same(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b) == 0; }
bool Is(const STree* t, const wchar_t* text) { return !t->Null() && Same(t->text, text); }

const STree* Node(const wchar_t* text, const STrees* children) {
  auto* t = static_cast<STree*>(K::Memory::AllocHeap(sizeof(STree)));
  *t = {1, text, children};
  return t;
}

const STrees* HeapCons(const STree* head, const STrees* tail) {
  auto* cell = static_cast<STrees*>(K::Memory::AllocHeap(sizeof(STrees)));
  *cell = {1, head, tail};
  return cell;
}

const STree* CopyToHeap(const STree* t) {
  if (t->Null()) return NullSTree();
  ListBuilder<const STree*> children(true);
  for (const STrees* c = t->children; !c->Empty(); c = c->tail) children.Add(CopyToHeap(c->head));
  return Node(K::Memory::CopyStringToHeap(t->text), children.Finish());
}

const STree* Add(const STree* t, const wchar_t* text, const wchar_t* parent) {
  if (t->Null()) return t;
  if (Same(t->text, parent)) return Node(t->text, HeapCons(Node(text, Nil<const STree*>()), t->children));
  if (t->children->Empty()) return t;
  ListBuilder<const STree*> children(true);
  for (const STrees* c = t->children; !c->Empty(); c = c->tail) children.Add(Add(c->head, text, parent));
  return Node(t->text, children.Finish());
}

// Without the child subtrees rooted at `text` and the null children.
const STree* Prune(const STree* t, const wchar_t* text) {
  ListBuilder<const STree*> children(true);
  for (const STrees* c = t->children; !c->Empty(); c = c->tail)
    if (!c->head->Null() && !Same(c->head->text, text)) children.Add(Prune(c->head, text));
  return Node(t->text, children.Finish());
}

void Texts(const STree* t, ListBuilder<const wchar_t*>& out) {
  if (t->Null()) return;
  out.Add(t->text);
  for (const STrees* c = t->children; !c->Empty(); c = c->tail) Texts(c->head, out);
}

// k for each text of t in pre-order; true when k succeeded.
bool EachText(const STree* t, const tav::Each<const wchar_t*>& k) {
  if (t->Null()) return false;
  if (tav::TrySolution(k, t->text)) return true;
  for (const STrees* c = t->children; !c->Empty(); c = c->tail)
    if (EachText(c->head, k)) return true;
  return false;
}

const STree* FirstWith(const STree* t, const wchar_t* text) {
  if (t->Null()) return nullptr;
  if (Same(t->text, text)) return t;
  for (const STrees* c = t->children; !c->Empty(); c = c->tail)
    if (const STree* found = FirstWith(c->head, text)) return found;
  return nullptr;
}

const STree* ParentOf(const STree* t, const wchar_t* text) {
  if (t->Null()) return nullptr;
  for (const STrees* c = t->children; !c->Empty(); c = c->tail)
    if (Is(c->head, text)) return t;
  for (const STrees* c = t->children; !c->Empty(); c = c->tail)
    if (const STree* found = ParentOf(c->head, text)) return found;
  return nullptr;
}

}  // namespace

const STree* NullSTree() { return reinterpret_cast<const STree*>(&kNullSTreeWord); }

ss_tree* ss_tree::new_stree(const STree* tree) {
  ss_tree* s = tav::NewObject<ss_tree>();
  s->tree = CopyToHeap(tree);
  return s;
}

void ss_tree::add_string(const wchar_t* text, const wchar_t* parent) {
  tree = Add(tree, K::Memory::CopyStringToHeap(text), parent);
}

const SList* ss_tree::list_strings() {
  ListBuilder<const wchar_t*> out;
  Texts(tree, out);
  return out.Finish();
}

bool ss_tree::nd_tree_strings(tav::Each<const wchar_t*> k) { return EachText(tree, k); }

bool ss_tree::nd_sons(const wchar_t* text, tav::Each<const wchar_t*> k) {
  const STree* found = FirstWith(tree, text);
  return found && EachText(found, k);
}

bool ss_tree::del_string(const wchar_t* text) {
  if (tree->Null() || Same(tree->text, text)) return false;
  tree = Prune(tree, text);
  return true;
}

void ss_tree::del_string_tree() { tree = NullSTree(); }

const STree* ss_tree::get_string_tree() { return tree; }

bool ss_tree::str_parent(const wchar_t* text, const wchar_t** parent) {
  const STree* found = ParentOf(tree, text);
  if (!found) return false;
  *parent = found->text;
  return true;
}

}  // namespace rizediveva6
