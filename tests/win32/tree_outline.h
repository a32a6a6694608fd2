#pragma once
// Reads a tree-view control back as an outline: one line per item in the
// control's own order, indented two spaces per level. Directories are opened
// to reach their children (which the program creates only then) and closed
// again if they were closed, so reading changes nothing a user sees. Walking
// uses only item handles, so it works on another process's control too; the
// item text comes from `readText`, which knows how to reach the control's
// memory.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/wide_text_win32.h"

namespace sizewalk::test {

inline HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

inline bool IsExpanded(HWND tree, HTREEITEM item) {
    return (::SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
}

template <typename ReadText>
void AppendOutline(HWND tree, HTREEITEM first, int level, ReadText& readText, std::string& out) {
    for (HTREEITEM item = first; item; item = NextItem(tree, item, TVGN_NEXT)) {
        out.append(static_cast<std::size_t>(level) * 2, ' ');
        out += readText(item);
        out += '\n';
        const bool wasExpanded = IsExpanded(tree, item);
        if (!wasExpanded)
            ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        AppendOutline(tree, NextItem(tree, item, TVGN_CHILD), level + 1, readText, out);
        if (!wasExpanded && IsExpanded(tree, item))
            ::SendMessageW(tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
    }
}

template <typename ReadText>
std::string TreeOutline(HWND tree, ReadText&& readText) {
    std::string out;
    AppendOutline(tree, NextItem(tree, nullptr, TVGN_ROOT), 0, readText, out);
    return out;
}

// The text of an item of a control in this process, read as UTF-16 and
// given back as UTF-8.
inline std::string LocalItemText(HWND tree, HTREEITEM item) {
    wchar_t text[1024] = {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text / sizeof text[0];
    if (!::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv)))
        return "<TVM_GETITEMW failed>";
    return Utf8FromWide(tv.pszText ? tv.pszText : L"");
}

inline std::string LocalTreeOutline(HWND tree) {
    return TreeOutline(tree, [tree](HTREEITEM item) { return LocalItemText(tree, item); });
}

}  // namespace sizewalk::test
