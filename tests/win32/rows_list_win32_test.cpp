// The row list over a real scanned tree: the texts and count a list view
// reads from the table, the header's sort mark, the tip's exact size, the
// order of the selected rows and the choices it reports; and the Find
// dialog's fields there and back.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "model/largest_files.h"
#include "model/row_table.h"
#include "platform/wide_text_win32.h"
#include "scan/dir_scanner.h"
#include "ui/win32/find_dialog.h"
#include "ui/win32/rows_list.h"
#include "win_temp_tree.h"

namespace sizewalk {
namespace {

using test::WinTempTree;

CRowsList* g_list = nullptr;

// The list's parent hands its notifications to the list, as the dialog does.
LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && g_list) {
        LRESULT result = 0;
        if (g_list->OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

std::string CellText(HWND list, int row, int column) {
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
    return Utf8FromWide(text);
}

class RowsListTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_tree = new WinTempTree();
        s_tree->File("zeta.bin", 300000);
        s_tree->Dir("sub");
        s_tree->File("sub\\alpha.bin", 20000);
        s_tree->File("sub\\m\xc3\xa9tro.txt", 5);  // a name beyond ASCII
        s_tree->Dir("empty");
        s_scanner = new CDirScanner();
        ASSERT_EQ(s_scanner->Scan(s_tree->Root()), ScanStatus::Complete);
    }
    static void TearDownTestSuite() {
        delete s_scanner;
        delete s_tree;
    }
    void SetUp() override {
        const CScanList& list = s_scanner->GetList();
        m_table = CRowTable(list, LargestFiles(list, 0, SizeMode::Apparent), SizeMode::Apparent);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &FrameProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SizewalkRowsTestFrame";
        ::RegisterClassW(&wc);
        m_frame = ::CreateWindowExW(0, wc.lpszClassName, L"Rows test", WS_OVERLAPPEDWINDOW, 0, 0,
                                    600, 400, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(m_frame);
        g_list = &m_rows;
        ASSERT_TRUE(m_rows.Create(m_frame, 1016, 1017,
                                  static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT))));
        m_rows.SetEvents({[this](RowColumn c, bool up) { m_sorts.emplace_back(c, up); },
                          [this](CScanTree::Item item) { m_chosen.push_back(item); },
                          [this](CScanTree::Item item) { m_activated.push_back(item); }});
        m_rows.SetRows(&m_table, "Largest files in the scan");
        m_rows.Show(true);
        ::ShowWindow(m_frame, SW_SHOWNOACTIVATE);
        ::EndDeferWindowPos(m_rows.Place(::BeginDeferWindowPos(2), 0, 0, 580, 360));
    }
    void TearDown() override {
        g_list = nullptr;
        ::DestroyWindow(m_frame);
    }
    int SortMark(int column) const {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        ::SendMessageW(ListView_GetHeader(m_rows.Window()), HDM_GETITEMW,
                       static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
    }
    void SetState(int row, UINT state) const {
        ListView_SetItemState(m_rows.Window(), row, state, LVIS_SELECTED | LVIS_FOCUSED);
    }

    static WinTempTree* s_tree;
    static CDirScanner* s_scanner;
    CRowTable m_table;
    CRowsList m_rows;
    HWND m_frame = nullptr;
    std::vector<std::pair<RowColumn, bool>> m_sorts;
    std::vector<CScanTree::Item> m_chosen, m_activated;
};

WinTempTree* RowsListTest::s_tree = nullptr;
CDirScanner* RowsListTest::s_scanner = nullptr;

TEST_F(RowsListTest, ShowsTheTablesTextsCountAndOrder) {
    HWND list = m_rows.Window();
    ASSERT_EQ(m_table.RowCount(), 3u);  // the files only, the largest first
    EXPECT_EQ(ListView_GetItemCount(list), 3);
    wchar_t title[64] = {};
    ::GetWindowTextW(m_rows.Title(), title, 64);
    EXPECT_STREQ(title, L"Largest files in the scan");
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(CellText(list, row, column),
                      m_table.Text(static_cast<std::size_t>(row), static_cast<RowColumn>(column)))
                << row << "," << column;
    EXPECT_EQ(CellText(list, 0, 0), "zeta.bin");
    EXPECT_EQ(CellText(list, 2, 0), "m\xc3\xa9tro.txt");
    EXPECT_EQ(CellText(list, 1, 1), s_tree->Path("sub"));
    LVCOLUMNW size{};
    size.mask = LVCF_FMT;
    ::SendMessageW(list, LVM_GETCOLUMNW, 2, reinterpret_cast<LPARAM>(&size));
    EXPECT_EQ(size.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);
    EXPECT_EQ(SortMark(2), HDF_SORTDOWN);
    EXPECT_EQ(SortMark(0), 0);

    // The exact size in the tip.
    wchar_t tip[128] = {};
    NMLVGETINFOTIPW info{};
    info.hdr = {list, 1016, LVN_GETINFOTIPW};
    info.dwFlags = LVGIT_UNFOLDED;
    info.pszText = tip;
    info.cchTextMax = 128;
    info.iItem = 0;
    LRESULT result = 0;
    EXPECT_TRUE(m_rows.OnNotify(info.hdr, result));
    EXPECT_STREQ(tip, L"300,000 bytes");

    // A header click asks; the list shows the table's order once re-sorted.
    ::SendMessageW(m_frame, WM_NOTIFY, 1016, [&] {
        static NMLISTVIEW click{};
        click.hdr = {list, 1016, LVN_COLUMNCLICK};
        click.iSubItem = 0;
        return reinterpret_cast<LPARAM>(&click);
    }());
    ASSERT_EQ(m_sorts.size(), 1u);
    EXPECT_EQ(m_sorts[0], std::make_pair(RowColumn::Name, true));
    EXPECT_EQ(ListView_GetItemCount(list), 3);  // the list sorts nothing itself
    EXPECT_EQ(CellText(list, 0, 0), "zeta.bin");
    m_table.Sort(RowColumn::Name, true);
    m_rows.SetRows(&m_table, "Largest files in the scan");
    EXPECT_EQ(CellText(list, 0, 0), "alpha.bin");
    EXPECT_EQ(SortMark(0), HDF_SORTUP);
    EXPECT_EQ(SortMark(2), 0);

    m_rows.SetRows(nullptr, "");
    EXPECT_EQ(ListView_GetItemCount(list), 0);
    EXPECT_TRUE(m_rows.SelectedItems().empty());
}

TEST_F(RowsListTest, SelectedRowsComeFocusedFirstAndChoicesAreReported) {
    const CScanTree::Item zeta = m_table.ItemAt(0), alpha = m_table.ItemAt(1),
                          metro = m_table.ItemAt(2);
    // Shown from outside: that row alone, no choice reported.
    m_rows.Select(alpha);
    EXPECT_EQ(m_rows.SelectedItems(), std::vector<CScanTree::Item>{alpha});
    EXPECT_TRUE(m_chosen.empty());
    // The user's: the focused row is the current one and comes first.
    SetState(0, LVIS_SELECTED);
    SetState(2, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(m_chosen, std::vector<CScanTree::Item>{metro});
    EXPECT_EQ(m_rows.SelectedItems(), (std::vector<CScanTree::Item>{metro, zeta, alpha}));
    m_rows.ActivateCurrent();
    EXPECT_EQ(m_activated, std::vector<CScanTree::Item>{metro});
    // None, or an item that has no row: nothing selected.
    m_rows.Select(CScanTree::kNoItem);
    EXPECT_TRUE(m_rows.SelectedItems().empty());
    m_rows.Select(0);  // the scan's root directory is no row
    EXPECT_TRUE(m_rows.SelectedItems().empty());
    EXPECT_EQ(m_chosen.size(), 1u);
}

// Drives the Find dialog once it is up: checks what it shows, then types
// and presses (or cancels).
struct FindDriver {
    static inline std::function<void(HWND)> s_act;
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
        HWND dialog = ::FindWindowW(L"#32770", L"Find");
        if (!dialog || !::IsWindowVisible(dialog) || !s_act) return;
        ::KillTimer(nullptr, timer);
        std::exchange(s_act, nullptr)(dialog);
    }
};

std::string ItemText(HWND dialog, int id) {
    wchar_t text[256] = {};
    ::GetDlgItemTextW(dialog, id, text, 256);
    return Utf8FromWide(text);
}

TEST(FindDialog, ShowsTheFieldsAndReturnsWhatWasTyped) {
    FindFields fields{"*.iso", "10 MB", "2026-01-01", "", FindKinds::Files};
    const std::vector<std::string> history{"*.iso", "/b[ae]d/"};
    for (const bool press : {false, true}) {
        SCOPED_TRACE(press ? "Find" : "Cancel");
        static bool s_press;
        s_press = press;
        FindDriver::s_act = [](HWND d) {
            EXPECT_EQ(ItemText(d, IDC_FIND_NAME), "*.iso");
            EXPECT_EQ(::SendDlgItemMessageW(d, IDC_FIND_NAME, CB_GETCOUNT, 0, 0), 2);
            wchar_t older[32] = {};
            ::SendDlgItemMessageW(d, IDC_FIND_NAME, CB_GETLBTEXT, 1,
                                  reinterpret_cast<LPARAM>(older));
            EXPECT_STREQ(older, L"/b[ae]d/");
            EXPECT_EQ(ItemText(d, IDC_FIND_MIN_SIZE), "10 MB");
            EXPECT_EQ(ItemText(d, IDC_FIND_AFTER), "2026-01-01");
            EXPECT_EQ(ItemText(d, IDC_FIND_BEFORE), "");
            EXPECT_EQ(ItemText(d, IDC_FIND_KINDS), "Files");
            // Each box is named by the label just before it.
            HWND before = ::GetWindow(::GetDlgItem(d, IDC_FIND_AFTER), GW_HWNDPREV);
            wchar_t label[32] = {};
            ::GetWindowTextW(before, label, 32);
            EXPECT_STREQ(label, L"Modified after:");
            ::SetDlgItemTextW(d, IDC_FIND_NAME, L"r\u00e9sum\u00e9*");
            ::SetDlgItemTextW(d, IDC_FIND_MIN_SIZE, L"");
            ::SetDlgItemTextW(d, IDC_FIND_BEFORE, L"2026-12-31");
            ::SendDlgItemMessageW(d, IDC_FIND_KINDS, CB_SETCURSEL, 2, 0);
            // Enter presses Find, the default; Escape cancels.
            ::PostMessageW(::GetDlgItem(d, IDC_FIND_MIN_SIZE), WM_KEYDOWN,
                           s_press ? VK_RETURN : VK_ESCAPE, 1);
        };
        ::SetTimer(nullptr, 0, 50, &FindDriver::OnTimer);
        const FindFields before = fields;
        const bool found = AskFindFields(nullptr, fields, history);
        EXPECT_EQ(found, press);
        if (!press) {
            EXPECT_EQ(fields, before);  // cancelled: nothing taken
            continue;
        }
        EXPECT_EQ(fields.strPattern, "r\xc3\xa9sum\xc3\xa9*");
        EXPECT_EQ(fields.strMinSize, "");
        EXPECT_EQ(fields.strAfter, "2026-01-01");
        EXPECT_EQ(fields.strBefore, "2026-12-31");
        EXPECT_EQ(fields.eKinds, FindKinds::Directories);
    }
}

}  // namespace
}  // namespace sizewalk
