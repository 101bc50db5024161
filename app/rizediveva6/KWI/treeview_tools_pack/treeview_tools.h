// treeview_tools: searches over the item trees of kwiTreeView, the path of
// texts to an item of a control, deleting items from a control, and item
// trees built from string lists and string trees.
//
// Invariants:
//  - Searches and builders are pure: inputs are never written; results are
//    new cells on the caller's global stack.
//  - Pre-order: a node, then each child's subtree from first to last; the
//    first match wins.  Siblings are walked in a loop; only descent into a
//    subtree recurses.
//  - Built items carry the program's bitmaps resid(10183) and resid(10182).
//  - The id counter is class state of the GUI thread: convert_tree restarts
//    it at 1, convert_trees continues it; ids are given in post-order.
#pragma once

#include "SYSTEM/orv_list/orv_list.h"
#include "SYSTEM/sdl_tree/ss_tree.h"
#include "kwi/kwitreeview/kwitreeview.h"

namespace rizediveva6 {

class treeview_tools {
 public:
  static const tav::ClassInfo classInfo;

  // The path of texts from `tree`'s root down to the first node with the id
  // (both included) and that node's children; false when none has it.
  static bool drill_for_item(uint32_t id, const tav::TreeTerm* tree, const SList** path,
                             const tav::TreeList** children);
  static bool drill_for_item_list(uint32_t id, const tav::TreeList* trees, const SList** path,
                                  const tav::TreeList** children);
  // The id and children of the first node with the text.
  static bool drill_for_str_item(const wchar_t* text, const tav::TreeTerm* tree, uint32_t* id,
                                 const tav::TreeList** children);
  static bool drill_for_str_item_list(const wchar_t* text, const tav::TreeList* trees, uint32_t* id,
                                      const tav::TreeList** children);
  // The texts of the direct children of the node drill_for_str_item finds.
  static bool immediate_sons(const wchar_t* text, const tav::TreeTerm* tree, const SList** sons);

  // The texts from the item's top-level ancestor down to the item, then
  // `tail`; a walk the control refuses (unknown item) ends with what it has.
  static const SList* get_parents(LONG_PTR window, uint32_t id, const SList* tail);

  // One leaf per string, ids start + 1, start + 2, ...; past the largest
  // unsigned the runtime's range error.
  static const tav::TreeList* slist_tree(uint32_t start, const SList* strings);

  // Deletes every item of the tree from the control, children before their
  // parent; the control's errors pass through.
  static void delete_tree(LONG_PTR window, const tav::TreeTerm* tree);
  static void delete_tree_list(LONG_PTR window, const tav::TreeList* trees);

  static const tav::TreeTerm* convert_tree(const STree* tree);
  static const tav::TreeList* convert_trees(const STrees* trees);
};

}  // namespace rizediveva6
