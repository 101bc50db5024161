// ss_tree: an object holding one tree of strings, with adding, listing,
// finding a parent and deleting.
//
// Invariants:
//  - A string tree is s_tree(text, children) (functor 1) or null_stree
//    (functor 2, a one-word block).  Trees are values: a change builds a new
//    tree that shares the unchanged subtrees of the old one.
//  - The object's tree and its texts live on the collected heap (the
//    constructor copies the tree it is given), so they outlive backtracking.
//  - Pre-order: a node, then each child's subtree from first to last.  Text
//    comparisons are of whole strings, case-sensitive.  Siblings are walked
//    in a loop; only descent into a subtree recurses.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"

namespace rizediveva6 {

struct STree;
using STrees = List<const STree*>;
struct STree {
  uint64_t functor;  // 1 s_tree, 2 null_stree
  const wchar_t* text;
  const STrees* children;

  bool Null() const { return (functor & 0xFF) == 2; }
};

// The empty tree: one static word, never written.
const STree* NullSTree();

class ss_tree {
 public:
  static const tav::ClassInfo classInfo;

  static ss_tree* new_stree(const STree* tree);

  // Adds the leaf `text` as first child of each node with `parent`'s text
  // that does not lie inside an already matching subtree.
  virtual void add_string(const wchar_t* text, const wchar_t* parent);
  virtual const SList* list_strings();
  virtual bool nd_tree_strings(tav::Each<const wchar_t*> k);
  // The first node with `text` and its descendants, in pre-order.
  virtual bool nd_sons(const wchar_t* text, tav::Each<const wchar_t*> k);
  // False (nothing changes) for the empty tree or the root's text; else
  // removes every subtree rooted at `text` and every null child.
  virtual bool del_string(const wchar_t* text);
  virtual void del_string_tree();
  virtual const STree* get_string_tree();
  // The first node in pre-order with a direct child of `text`.
  virtual bool str_parent(const wchar_t* text, const wchar_t** parent);

  const STree* tree = nullptr;
};

}  // namespace rizediveva6
