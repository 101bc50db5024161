// The symbol table: a plain binary search tree of canonical texts, in
// insertion shape, ordered by code units.
//
// Invariants:
//  - Every node's text is canonical: no two nodes hold equal texts.
//  - The lock is never held while the heap is asked for memory, so an error
//    raised by the heap cannot leave the table locked.
#include "ptd.h"

#include <gc.h>

#include <cwchar>
#include <new>

namespace Qel::RunTime::Kernel::Memory {

struct RBinTree::Node {
  Node* left;
  Node* right;
  const wchar_t* text;
};

static_assert(sizeof(CRITICAL_SECTION) <= 40 && alignof(CRITICAL_SECTION) <= 8);

RBinTree::RBinTree() : root_(nullptr) {
  InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(lock_));
}

// The link where `text` is or belongs.
template <class NodePtr>
static NodePtr* Find(NodePtr* link, const wchar_t* text) {
  while (*link) {
    int order = wcscmp(text, (*link)->text);
    if (order == 0) break;
    link = order < 0 ? &(*link)->left : &(*link)->right;
  }
  return link;
}

const wchar_t* RBinTree::Insert(const wchar_t* text, bool copy) {
  if (!text) text = L"";
  auto* lock = reinterpret_cast<CRITICAL_SECTION*>(lock_);
  EnterCriticalSection(lock);
  Node** link = Find(&root_, text);
  const wchar_t* found = *link ? (*link)->text : nullptr;
  LeaveCriticalSection(lock);
  if (found) return found;

  // Not there: build the node outside the lock, then link it unless another
  // thread got there first.
  const wchar_t* canonical = copy ? CopyStringToHeap(text) : text;
  auto* node = static_cast<Node*>(AllocHeap(sizeof(Node)));
  node->left = node->right = nullptr;
  node->text = canonical;
  EnterCriticalSection(lock);
  link = Find(&root_, text);
  if (*link)
    canonical = (*link)->text;
  else
    *link = node;
  LeaveCriticalSection(lock);
  return canonical;
}

// A table on the heap gives its critical section back when it is collected.
static void GC_CALLBACK DeleteTableLock(void* table, void*) {
  DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(table));
}

RBinTree* CreateSymbolsTable() {
  void* block = GC_MALLOC(sizeof(RBinTree));
  if (!block) return nullptr;
  auto* table = new (block) RBinTree();
  GC_register_finalizer_ignore_self(block, DeleteTableLock, nullptr, nullptr, nullptr);
  return table;
}

}  // namespace Qel::RunTime::Kernel::Memory
