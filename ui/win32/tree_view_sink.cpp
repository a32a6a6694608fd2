#include "ui/win32/tree_view_sink.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "model/labels.h"
#include "model/size_text.h"
#include "platform/wide_text_win32.h"
#include "ui/win32/label_text.h"

namespace sizewalk {

namespace {

// The locale's digit group separator, as UTF-8 ("," where none is known).
std::string LocaleGroupSeparator(const std::wstring& locale) {
    wchar_t text[8] = {};
    const int n = ::GetLocaleInfoEx(locale.empty() ? LOCALE_NAME_USER_DEFAULT : locale.c_str(),
                                    LOCALE_STHOUSAND, text, 8);
    return n > 1 ? Utf8FromWide(std::wstring_view(text, static_cast<std::size_t>(n - 1))) : ",";
}

// Orders two items by their place in the ranks that lParam points to, by id.
int CALLBACK CompareRanks(LPARAM a, LPARAM b, LPARAM ranks) {
    const auto* rank = reinterpret_cast<const std::uint32_t*>(ranks);
    const std::uint32_t ra = rank[a], rb = rank[b];
    return ra < rb ? -1 : ra > rb ? 1 : 0;
}

}  // namespace

CTreeViewSink::CTreeViewSink(HWND tree, std::wstring locale)
    : m_hTree(tree), m_strGroupSeparator(LocaleGroupSeparator(locale)), m_order(std::move(locale)) {
    // Notifications in UTF-16, whatever the owner window is.
    ::SendMessageW(m_hTree, TVM_SETUNICODEFORMAT, TRUE, 0);
    // The warning sign as a state image: the control leaves room for one
    // only on the items that have it. Image 0 is never shown.
    const int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
    m_hStateImages = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 2, 0);
    if (HICON warning = static_cast<HICON>(::LoadImageW(
            nullptr, MAKEINTRESOURCEW(32515 /* OIC_WARNING */), IMAGE_ICON, cx, cy, LR_SHARED));
        m_hStateImages && warning) {
        ImageList_AddIcon(m_hStateImages, warning);
        ImageList_AddIcon(m_hStateImages, warning);
        ::SendMessageW(m_hTree, TVM_SETIMAGELIST, TVSIL_STATE,
                       reinterpret_cast<LPARAM>(m_hStateImages));
    }
}

CTreeViewSink::~CTreeViewSink() {
    if (::IsWindow(m_hTree)) {
        ::SendMessageW(m_hTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        ::SendMessageW(m_hTree, TVM_SETIMAGELIST, TVSIL_STATE, 0);
    }
    if (m_hStateImages) ImageList_Destroy(m_hStateImages);
}

void CTreeViewSink::DeleteAllItems() {
    ::SendMessageW(m_hTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    std::vector<std::pair<HTREEITEM, CScanTree::Item>>().swap(m_created);
    m_pTree.reset();
}

void CTreeViewSink::ShowList(const CScanList& list, Units units, Files files) {
    DeleteAllItems();
    m_pTree = std::make_unique<CScanTree>(list, files, m_order);
    m_pTree->SetOrder(m_sortOrder, m_mode);
    m_eUnits = units;
    CreateChildren(TVI_ROOT, CScanTree::kNoItem);
}

void CTreeViewSink::CreateChildren(HTREEITEM parent, CScanTree::Item item) {
    static constexpr CScanTree::Item kTop[] = {0};
    const std::span<const CScanTree::Item> children = item == CScanTree::kNoItem
                                                          ? std::span<const CScanTree::Item>(kTop)
                                                          : m_pTree->Children(item);
    if (parent != TVI_ROOT) m_created.reserve(m_created.size() + 1);

    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    // Last to first, each in front: one step per item in every tree-view
    // implementation (appending may walk the siblings, or check the item
    // inserted after against all items).
    insert.hInsertAfter = TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = LPSTR_TEXTCALLBACKW;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        // lParam 0 means no item: items are kept one up.
        insert.item.lParam = static_cast<LPARAM>(*it) + 1;
        insert.item.cChildren = m_pTree->ChildCount(*it) > 0 ? 1 : 0;
        // A directory not read carries the warning sign.
        const bool unread =
            m_pTree->Entry(*it).IsDirectory() && m_pTree->List().ReadErrorOf(*it) != 0;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | (unread ? TVIF_STATE : 0u);
        insert.item.state = unread ? INDEXTOSTATEIMAGEMASK(kWarningImage) : 0;
        insert.item.stateMask = unread ? TVIS_STATEIMAGEMASK : 0;
        // The control fails only when it cannot allocate the item: leave
        // none of the children rather than some.
        if (!::SendMessageW(m_hTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert))) {
            if (parent == TVI_ROOT) {
                ::SendMessageW(m_hTree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
            } else {
                ::SendMessageW(m_hTree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET,
                               reinterpret_cast<LPARAM>(parent));
            }
            throw std::bad_alloc();
        }
    }
    if (parent != TVI_ROOT) m_created.emplace_back(parent, item);  // room reserved above
}

void CTreeViewSink::Resort() {
    if (m_created.empty() || !m_pTree) return;
    // Ranks by item: each parent's children are written before it is sorted.
    // No WM_SETREDRAW around it: turning drawing back on has some tree views
    // measure every open item's label again.
    std::vector<std::uint32_t> rank(m_pTree->List().Count() + 1);
    for (const auto& [control, item] : m_created) {
        const std::span<const CScanTree::Item> children = m_pTree->Children(item);
        for (std::size_t i = 0; i < children.size(); ++i)
            rank[children[i] + 1] = static_cast<std::uint32_t>(i);
        TVSORTCB sort{};
        sort.hParent = control;
        sort.lpfnCompare = &CompareRanks;
        sort.lParam = reinterpret_cast<LPARAM>(rank.data());
        ::SendMessageW(m_hTree, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
    }
}

bool CTreeViewSink::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != m_hTree) return false;
    result = 0;
    switch (header.code) {
        case TVN_GETDISPINFOW:
            OnGetDispInfo(*reinterpret_cast<NMTVDISPINFOW*>(const_cast<NMHDR*>(&header)));
            return true;
        case NM_CUSTOMDRAW:
            result = OnCustomDraw(*reinterpret_cast<NMTVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
            return true;
        case TVN_GETINFOTIPW:
            OnGetInfoTip(*reinterpret_cast<NMTVGETINFOTIPW*>(const_cast<NMHDR*>(&header)));
            return true;
        case TVN_ITEMEXPANDINGW: {
            const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
            const CScanTree::Item item = ItemOfParam(change.itemNew.lParam);
            if ((change.action & TVE_EXPAND) && item != CScanTree::kNoItem &&
                !::SendMessageW(m_hTree, TVM_GETNEXTITEM, TVGN_CHILD,
                                reinterpret_cast<LPARAM>(change.itemNew.hItem)))
                CreateChildren(change.itemNew.hItem, item);
            return true;
        }
    }
    return false;
}

void CTreeViewSink::OnGetDispInfo(NMTVDISPINFOW& info) {
    if (!(info.item.mask & TVIF_TEXT)) return;
    const CScanTree::Item item = ItemOfParam(info.item.lParam);
    std::wstring& shown = m_shown[m_nNextShown];
    m_nNextShown = (m_nNextShown + 1) % 3;
    shown.clear();
    if (item != CScanTree::kNoItem) {
        FormatItemLabel(m_label, *m_pTree, item, m_eUnits, m_mode);
        AppendLabelText(shown, m_label);
    }
    if (info.item.pszText && info.item.cchTextMax > 0 &&
        shown.size() < static_cast<std::size_t>(info.item.cchTextMax)) {
        std::memcpy(info.item.pszText, shown.c_str(), (shown.size() + 1) * sizeof(wchar_t));
    } else {
        info.item.pszText = shown.data();
    }
}

void CTreeViewSink::SetSizeMode(SizeMode mode) {
    if (mode == m_mode) return;
    m_mode = mode;
    if (m_pTree) m_pTree->SetOrder(m_sortOrder, m_mode);
    // By name the order stays; only the labels change.
    if (m_sortOrder == SortOrder::Size) Resort();
    ::InvalidateRect(m_hTree, nullptr, TRUE);
}

void CTreeViewSink::SetSortOrder(SortOrder order) {
    if (order == m_sortOrder) return;
    m_sortOrder = order;
    if (m_pTree) m_pTree->SetOrder(m_sortOrder, m_mode);
    Resort();
    ::InvalidateRect(m_hTree, nullptr, TRUE);
}

CScanTree::Item CTreeViewSink::ItemOfParam(LPARAM param) const {
    if (!m_pTree || param <= 0 || static_cast<std::size_t>(param) > m_pTree->List().Count())
        return CScanTree::kNoItem;
    return static_cast<CScanTree::Item>(param - 1);
}

CScanTree::Item CTreeViewSink::ItemOf(HTREEITEM item) const {
    if (!item) return CScanTree::kNoItem;
    TVITEMW tv{};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    if (!::SendMessageW(m_hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv)))
        return CScanTree::kNoItem;
    return ItemOfParam(tv.lParam);
}

const CScanEntry* CTreeViewSink::EntryOf(HTREEITEM item) const {
    const CScanTree::Item shown = ItemOf(item);
    return shown == CScanTree::kNoItem ? nullptr : &m_pTree->Entry(shown);
}

std::string CTreeViewSink::PathOf(HTREEITEM item) const {
    const CScanTree::Item shown = ItemOf(item);
    return shown == CScanTree::kNoItem ? std::string() : m_pTree->Path(shown);
}

std::wstring CTreeViewSink::InfoTipOf(HTREEITEM item) const {
    const CScanTree::Item shown = ItemOf(item);
    if (shown == CScanTree::kNoItem) return std::wstring();
    std::wstring tip;
    for (const std::string& line : DescribeItem(*m_pTree, shown, m_strGroupSeparator)) {
        if (!tip.empty()) tip += L"\r\n";
        AppendLabelText(tip, line);
    }
    return tip;
}

bool CTreeViewSink::IsUnreadable(HTREEITEM item) const {
    const CScanTree::Item shown = ItemOf(item);
    return shown != CScanTree::kNoItem && m_pTree->Entry(shown).IsDirectory() &&
           m_pTree->List().ReadErrorOf(shown) != 0;
}

LRESULT CTreeViewSink::OnCustomDraw(NMTVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return m_pTree && m_pTree->List().UnreadableCount() > 0 ? CDRF_NOTIFYITEMDRAW
                                                                    : CDRF_DODEFAULT;
        case CDDS_ITEMPREPAINT:
            // A selected row keeps the selection's colours, readable on them.
            if (!(draw.nmcd.uItemState & CDIS_SELECTED) &&
                IsUnreadable(reinterpret_cast<HTREEITEM>(draw.nmcd.dwItemSpec))) {
                draw.clrText = kWarningColour;
                return CDRF_NEWFONT;
            }
            return CDRF_DODEFAULT;
    }
    return CDRF_DODEFAULT;
}

void CTreeViewSink::OnGetInfoTip(NMTVGETINFOTIPW& tip) const {
    if (!tip.pszText || tip.cchTextMax <= 0) return;
    const std::wstring text = InfoTipOf(tip.hItem);
    if (text.empty()) return;  // the control's own tip, the label
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
    std::memcpy(tip.pszText, text.data(), n * sizeof(wchar_t));
    tip.pszText[n] = L'\0';
}

}  // namespace sizewalk
