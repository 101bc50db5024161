// The items of a native tree-view control found by their texts, for the
// tests and benchmarks that select, click or read command-tree items.
//
// Invariants: a path names items from the root down, root first; texts
// compare exactly; nothing here changes the control.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace alltest {

// An item's text as the control holds it.
inline std::wstring TreeItemText(HWND tree, HTREEITEM h) {
  wchar_t text[256] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = h;
  item.pszText = text;
  item.cchTextMax = 256;
  TreeView_GetItem(tree, &item);
  return text;
}

// The control's item at a text path; null: none.
inline HTREEITEM TreeItem(HWND tree, const std::vector<std::wstring>& path) {
  HTREEITEM h = TreeView_GetRoot(tree);
  for (size_t level = 0; level < path.size(); ++level) {
    for (; h; h = TreeView_GetNextSibling(tree, h))
      if (path[level] == TreeItemText(tree, h)) break;
    if (!h) return nullptr;
    if (level + 1 < path.size()) h = TreeView_GetChild(tree, h);
  }
  return h;
}

}  // namespace alltest
