// Selects the tree item with this text, as a click on it would (test code only).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <vector>

namespace kor::test {

inline bool SelectTreeItem(HWND tree, const char* wanted) {
  std::vector<HTREEITEM> todo = {TreeView_GetRoot(tree)};
  while (!todo.empty()) {
    HTREEITEM h = todo.back();
    todo.pop_back();
    if (!h) continue;
    char buf[64] = {};
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = h;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    SendMessageA(tree, TVM_GETITEMA, 0, LPARAM(&item));
    if (std::strcmp(buf, wanted) == 0) {
      SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(h));
      return true;
    }
    todo.push_back(TreeView_GetNextSibling(tree, h));
    todo.push_back(TreeView_GetChild(tree, h));
  }
  return false;
}

}  // namespace kor::test
