#pragma once
// Reads a tree-view control back as an outline: one line per item in the
// control's own order, indented two spaces per level. Walking uses only item
// handles, so it works on another process's control too; the item text comes
// from `readText`, which knows how to reach the control's memory.

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace sizewalk::test {

inline HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

template <typename ReadText>
void AppendOutline(HWND tree, HTREEITEM first, int level, ReadText& readText, std::string& out) {
    for (HTREEITEM item = first; item; item = NextItem(tree, item, TVGN_NEXT)) {
        out.append(static_cast<std::size_t>(level) * 2, ' ');
        out += readText(item);
        out += '\n';
        AppendOutline(tree, NextItem(tree, item, TVGN_CHILD), level + 1, readText, out);
    }
}

template <typename ReadText>
std::string TreeOutline(HWND tree, ReadText&& readText) {
    std::string out;
    AppendOutline(tree, NextItem(tree, nullptr, TVGN_ROOT), 0, readText, out);
    return out;
}

// The text of an item of a control in this process.
inline std::string LocalItemText(HWND tree, HTREEITEM item) {
    char text[1024] = {};
    TVITEMA tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

inline std::string LocalTreeOutline(HWND tree) {
    return TreeOutline(tree, [tree](HTREEITEM item) { return LocalItemText(tree, item); });
}

}  // namespace sizewalk::test
