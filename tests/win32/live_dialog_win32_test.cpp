// The Windows dialog's controls wired to the presenter (whose behaviour
// main_presenter_test.cpp holds), with a scanner stand-in that holds each
// scan until the test lets it through: a real command, key or close reaches
// it, and what it tells the window shows in the controls. Also what is the
// dialog's own: the layout, the progress lines, the menu and the info tips.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <string>
#include <vector>

#include "modal_probe.h"
#include "model/detail_columns.h"
#include "model/largest_files.h"
#include "model/row_table.h"
#include "platform/wide_text_win32.h"
#include "res/resource.h"
#include "scan/dir_scanner.h"
#include "tests/core/blocking_source.h"
#include "tree_outline.h"
#include "ui/win32/main_dialog.h"
#include "win_temp_tree.h"

namespace sizewalk {
namespace {

using test::Pump;

std::string WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

std::string Grouped(const std::string& a, const std::string& b) {
    wchar_t separator[8] = {};
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    return a + Utf8FromWide(separator) + b;
}

// Handles what is pending, as the dialog's loop would.
void Drain(HWND dialog) {
    Pump(dialog, [] {
        MSG msg;
        return !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    });
}

// A key pressed on `target`, with Ctrl held when asked, through the loop.
void Key(HWND dialog, HWND target, WPARAM key, bool ctrl = false) {
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    ::SetKeyboardState(state);
    ::PostMessageW(target, WM_KEYDOWN, key, 1);
    ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    Drain(dialog);
    state[VK_CONTROL] = 0;
    ::SetKeyboardState(state);
}

// The names of an item's children, in the control's order.
std::vector<std::string> ChildNames(HWND tree, HTREEITEM parent) {
    std::vector<std::string> names;
    for (HTREEITEM item = test::NextItem(tree, parent, TVGN_CHILD); item;
         item = test::NextItem(tree, item, TVGN_NEXT)) {
        const std::string label = test::LocalItemText(tree, item);
        names.push_back(label.substr(0, label.find(" [")));
    }
    return names;
}

HTREEITEM Child(HWND tree, HTREEITEM parent, const std::string& name) {
    for (HTREEITEM item = test::NextItem(tree, parent, TVGN_CHILD); item;
         item = test::NextItem(tree, item, TVGN_NEXT))
        if (test::LocalItemText(tree, item).rfind(name + " [", 0) == 0) return item;
    return nullptr;
}

// One dialog over a stand-in scanner; each test runs inside its modal loop.
struct Live {
    test::BlockingSource source;
    CKeptScan kept;
    CSizewalkDlg dlg{source, kept};
    HWND hwnd = nullptr;

    void Run(const std::function<void(Live&)>& probe) {
        EXPECT_EQ(test::ModalProbe::Run(dlg,
                                        [&](CSizewalkDlg&, HWND h) {
                                            hwnd = h;
                                            probe(*this);
                                        }),
                  IDCANCEL);
    }
    HWND Item(int id) const { return ::GetDlgItem(hwnd, id); }
    HWND Tree() const { return Item(IDC_TREE); }
    HTREEITEM Top() const { return test::NextItem(Tree(), nullptr, TVGN_ROOT); }
    // Types the path and presses OK (F5 with `rescan`).
    void Press(const std::string& path, int units = IDC_UNITS_BYTES, bool files = true,
               bool rescan = false) const {
        ::SetDlgItemTextW(hwnd, IDC_START_DIR, WideFromUtf8(path).c_str());
        ::CheckRadioButton(hwnd, IDC_UNITS_MB, IDC_UNITS_BYTES, units);
        ::CheckDlgButton(hwnd, IDC_SHOW_FILES, files ? BST_CHECKED : BST_UNCHECKED);
        if (rescan)
            Key(hwnd, Item(IDC_START_DIR), VK_F5);
        else
            ::SendMessageW(hwnd, WM_COMMAND, IDOK, 0);
    }
    // Presses and lets the scan through; true once the tree is filled.
    bool Scan(const std::string& path, int units = IDC_UNITS_BYTES, bool files = true,
              bool rescan = false) {
        Press(path, units, files, rescan);
        if (!source.WaitUntilWaiting()) return false;
        source.Release();
        return Pump(hwnd, [&] { return !dlg.IsScanning(); });
    }
    void Command(int id) const { ::SendMessageW(hwnd, WM_COMMAND, id, 0); }
    void Expand(HTREEITEM item) const { TreeView_Expand(Tree(), item, TVE_EXPAND); }
};

TEST(LiveDialog, TheDialogRunsWhileItScansAndShowsProgress) {
    test::WinTempTree t;
    t.Dir("d");
    static std::string s_dir;
    s_dir = t.Path("d");
    Live live;
    live.Run([](Live& l) {
        HWND counts = l.Item(IDC_PROGRESS_COUNTS), dir = l.Item(IDC_PROGRESS_DIR);
        EXPECT_FALSE(::IsWindowVisible(counts));
        l.Press(s_dir, IDC_UNITS_KB);
        ASSERT_TRUE(l.source.WaitUntilWaiting());
        EXPECT_TRUE(l.dlg.IsScanning());
        EXPECT_NE(l.source.ScanThread(), std::thread::id());
        EXPECT_NE(l.source.ScanThread(), std::this_thread::get_id());
        for (int id :
             {IDOK, IDC_START_DIR, IDC_UNITS_MB, IDC_UNITS_KB, IDC_UNITS_BYTES, IDC_SHOW_FILES})
            EXPECT_FALSE(::IsWindowEnabled(l.Item(id))) << id;
        EXPECT_TRUE(::IsWindowEnabled(l.Item(IDCANCEL)));
        EXPECT_EQ(::GetFocus(), l.Tree());  // Escape still reaches the dialog
        ::SendMessageW(l.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(l.Tree()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_WAIT));
        EXPECT_TRUE(::IsWindowVisible(counts));
        // The counts, then the time taken so far.
        auto withoutClock = [](std::string text) { return text.substr(0, text.rfind(", ")); };
        EXPECT_EQ(withoutClock(WindowText(counts)), "Scanning: 0 entries, 0.00KB");
        EXPECT_NE(WindowText(counts).find(", 0:0"), std::string::npos);
        EXPECT_EQ(WindowText(dir), s_dir);

        // The loop runs: a timer fires, and the progress follows.
        bool fired = false;
        static bool* s_fired;
        s_fired = &fired;
        const UINT_PTR timer =
            ::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { *s_fired = true; });
        EXPECT_TRUE(Pump(l.hwnd, [&] { return fired; }));
        ::KillTimer(nullptr, timer);
        l.source.Report(1234, 3072, 8192, s_dir + "\\deeper");
        EXPECT_TRUE(Pump(l.hwnd, [&] { return WindowText(dir) == s_dir + "\\deeper"; }));
        EXPECT_EQ(withoutClock(WindowText(counts)),
                  "Scanning: " + Grouped("1", "234") + " entries, 3.00KB");
        // A long directory is elided by the control as it paints; its text,
        // which a screen reader reads, stays whole.
        const std::string deep = s_dir + "\\" + std::string(300, 'x') + "\\end";
        l.source.Report(1, 0, 0, deep);
        EXPECT_TRUE(Pump(l.hwnd, [&] { return WindowText(dir) == deep; }));
        EXPECT_TRUE(::GetWindowLongW(dir, GWL_STYLE) & SS_PATHELLIPSIS);

        l.source.Release();
        ASSERT_TRUE(Pump(l.hwnd, [&] { return !l.dlg.IsScanning(); }));
        EXPECT_FALSE(::IsWindowVisible(counts));
        for (int id : {IDOK, IDC_START_DIR, IDC_UNITS_MB, IDC_SHOW_FILES})
            EXPECT_TRUE(::IsWindowEnabled(l.Item(id))) << id;
        EXPECT_EQ(::GetFocus(), l.Item(IDOK));  // back where the press came from
        EXPECT_EQ(::SendMessageW(l.Tree(), TVM_GETCOUNT, 0, 0), 1);
        ::SendMessageW(l.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(l.Tree()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_NE(::GetCursor(), ::LoadCursorA(nullptr, IDC_WAIT));
    });
}

TEST(LiveDialog, CancelAndEscapeStopTheScan) {
    test::WinTempTree t;
    t.Dir("b");
    static std::string s_b;
    s_b = t.Path("b");
    Live live;
    live.Run([](Live& l) {
        for (const bool escape : {false, true}) {
            SCOPED_TRACE(escape ? "Escape" : "Cancel");
            l.Press(s_b);
            ASSERT_TRUE(l.source.WaitUntilWaiting());
            if (escape)
                Key(l.hwnd, ::GetFocus(), VK_ESCAPE);
            else
                ::SendMessageW(l.Item(IDCANCEL), BM_CLICK, 0, 0);
            EXPECT_FALSE(l.dlg.IsScanning());
            EXPECT_TRUE(::IsWindowVisible(l.hwnd));
            EXPECT_EQ(::SendMessageW(l.Tree(), TVM_GETCOUNT, 0, 0), 0);
            EXPECT_TRUE(::IsWindowEnabled(l.Item(IDOK)));
            // The band says so; the worker returns in its own time.
            EXPECT_TRUE(::IsWindowVisible(l.Item(IDC_PROGRESS_COUNTS)));
            EXPECT_EQ(WindowText(l.Item(IDC_PROGRESS_COUNTS)), "Scan stopped");
            EXPECT_TRUE(Pump(l.hwnd, [&] { return !l.dlg.IsStopping(); }));
        }
    });  // with no scan running, Cancel ends the dialog
}

TEST(LiveDialog, TheCloseBoxDuringAScanStopsItAndEnds) {
    test::WinTempTree t;
    static std::string s_root;
    s_root = t.Root();
    Live live;
    live.Run([](Live& l) {
        l.Press(s_root);
        ASSERT_TRUE(l.source.WaitUntilWaiting());
        ::PostMessageW(l.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        Drain(l.hwnd);
        EXPECT_FALSE(l.dlg.IsScanning());
        EXPECT_FALSE(::IsWindowVisible(l.hwnd));  // ended, where Cancel would stay
    });
    EXPECT_FALSE(live.dlg.IsScanning());
    EXPECT_EQ(live.source.Scanned().size(), 1u);
}

TEST(LiveDialog, TheTreeTakesTheExtraRoom) {
    Live live;
    live.Run([](Live& l) {
        auto rect = [&](HWND w) {
            RECT r{};
            ::GetWindowRect(w, &r);
            ::MapWindowPoints(nullptr, l.hwnd, reinterpret_cast<POINT*>(&r), 2);
            return r;
        };
        RECT window{};
        ::GetWindowRect(l.hwnd, &window);
        const int w = window.right - window.left, h = window.bottom - window.top;
        const RECT tree = rect(l.Tree()), ok = rect(l.Item(IDOK)),
                   edit = rect(l.Item(IDC_START_DIR));
        const RECT files = rect(l.Item(IDC_SHOW_FILES)), mb = rect(l.Item(IDC_UNITS_MB));

        ::SetWindowPos(l.hwnd, nullptr, 0, 0, w + 300, h + 200, SWP_NOMOVE | SWP_NOZORDER);
        const RECT bigger = rect(l.Tree());
        EXPECT_EQ(bigger.right - bigger.left, tree.right - tree.left + 300);
        EXPECT_EQ(bigger.bottom - bigger.top, tree.bottom - tree.top + 200);
        EXPECT_EQ(bigger.left, tree.left);
        EXPECT_EQ(rect(l.Item(IDC_START_DIR)).right, edit.right + 300);
        EXPECT_EQ(rect(l.Item(IDOK)).left, ok.left + 300);
        EXPECT_EQ(rect(l.Item(IDCANCEL)).left, ok.left + 300);
        EXPECT_EQ(rect(l.Item(IDC_SHOW_FILES)).left, files.left + 300);
        EXPECT_EQ(rect(l.Item(IDC_SHOW_FILES)).top, files.top);
        EXPECT_EQ(rect(l.Item(IDC_UNITS_MB)).left, mb.left + 300);

        // The size it opened at is the smallest.
        ::SetWindowPos(l.hwnd, nullptr, 0, 0, w - 100, h - 100, SWP_NOMOVE | SWP_NOZORDER);
        ::GetWindowRect(l.hwnd, &window);
        EXPECT_EQ(window.right - window.left, w);
        EXPECT_EQ(window.bottom - window.top, h);
        EXPECT_EQ(rect(l.Tree()).right, tree.right);
    });
}

// The tree's context menu opened at `point` (the tree's client pixels): its
// items as shown, " *" after a checked one, " -" after a greyed one.
std::vector<std::string> MenuAt(Live& l, POINT point) {
    static std::vector<std::string> s_seen;
    s_seen.clear();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
        if (!menuWindow) return;
        auto menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            if (!::GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION)) continue;
            const UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            s_seen.push_back(Utf8FromWide(text) + (state & MF_CHECKED ? " *" : "") +
                             (state & MF_GRAYED ? " -" : ""));
        }
        ::EndMenu();
    });
    ::ClientToScreen(l.Tree(), &point);
    ::SendMessageW(l.hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(l.Tree()),
                   MAKELPARAM(point.x, point.y));
    ::KillTimer(nullptr, timer);
    return s_seen;
}

TEST(LiveDialog, CopyPathOpenInExplorerAndTheContextMenu) {
    test::WinTempTree t;
    t.Dir("d");
    t.Dir("d\\sub");
    t.File("d\\sub\\file name", 3);
    static std::string s_dir;
    s_dir = t.Path("d");
    static std::vector<std::string> s_opened;
    Live live;
    live.dlg.SetFolderOpener([](const std::string& path) { s_opened.push_back(path); });
    live.Run([](Live& l) {
        // Off the items, before any scan: nothing to save yet.
        EXPECT_EQ(
            MenuAt(l, POINT{4, 4}),
            std::vector<std::string>({"&Largest Files\tCtrl+L -", "File &Types\tF3 -",
                                      "Largest Files of this T&ype -", "&Find\u2026\tCtrl+F -",
                                      "&Unreadable Folders\tCtrl+U -", "Save Scan\u2026\tCtrl+S -",
                                      "Open Scan\u2026\tCtrl+O"}));
        ASSERT_TRUE(l.Scan(s_dir + "\\"));
        l.Expand(l.Top());
        const HTREEITEM sub = Child(l.Tree(), l.Top(), "sub");
        l.Expand(sub);
        const HTREEITEM file = Child(l.Tree(), sub, "file name");
        ASSERT_NE(file, nullptr);

        auto clipboard = [&] {
            std::string text;
            if (!::OpenClipboard(l.hwnd)) return text;
            if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
                text = Utf8FromWide(static_cast<const wchar_t*>(::GlobalLock(data)));
                ::GlobalUnlock(data);
            }
            ::CloseClipboard();
            return text;
        };
        ::SetFocus(l.Tree());
        TreeView_SelectItem(l.Tree(), file);
        Key(l.hwnd, l.Tree(), 'C', true);
        EXPECT_EQ(clipboard(), s_dir + "\\sub\\file name");
        // In the edit box Ctrl+C is the box's own.
        ::SetDlgItemTextW(l.hwnd, IDC_START_DIR, L"typed");
        ::SendMessageW(l.Item(IDC_START_DIR), EM_SETSEL, 0, -1);
        Key(l.hwnd, l.Item(IDC_START_DIR), 'C', true);
        EXPECT_NE(clipboard(), s_dir + "\\sub\\file name");

        // Explorer gets the directory holding the file.
        l.Command(ID_OPEN_IN_EXPLORER);
        EXPECT_EQ(s_opened, std::vector<std::string>({s_dir + "\\sub"}));

        // Right-click on an item selects it and shows the menu.
        RECT at{};
        TreeView_GetItemRect(l.Tree(), l.Top(), &at, TRUE);
        const std::vector<std::string> s_seen =
            MenuAt(l, POINT{(at.left + at.right) / 2, (at.top + at.bottom) / 2});
        EXPECT_EQ(s_seen,
                  std::vector<std::string>(
                      {"&Copy Path\tCtrl+C", "&Open in Explorer", "Sort by &Name\tCtrl+1 *",
                       "Sort by &Size\tCtrl+2", "Size on &Disk\tCtrl+D", "Show &Treemap\tF9",
                       "Show D&etails\tF8", "&Rescan\tF5", "Open Ter&minal Here",
                       "Move to Recycle &Bin\tDel", "Delete &Permanently\tShift+Del",
                       "&Largest Files\tCtrl+L", "File &Types\tF3", "Largest Files of this T&ype -",
                       "&Find\u2026\tCtrl+F", "&Unreadable Folders\tCtrl+U -",
                       "Save Scan\u2026\tCtrl+S", "Open Scan\u2026\tCtrl+O"}));
        EXPECT_EQ(TreeView_GetSelection(l.Tree()), l.Top());
    });
}

// Ctrl+S saves the kept scan; Ctrl+O opens it again as the kept scan of its
// own path, with the band saying where it came from.
TEST(LiveDialog, SaveAndOpenAScan) {
    test::WinTempTree t;
    t.Dir("d");
    t.Dir("d\\sub");
    t.File("d\\sub\\file", 3);
    t.Dir("e");
    static std::string s_dir, s_other, s_file;
    static std::vector<std::string> s_asked;
    s_dir = t.Path("d");
    s_other = t.Path("e");
    s_file = t.Path("saved.json");
    Live live;
    live.dlg.SetScanFileChooser([](bool save, const std::string& suggested) {
        s_asked.push_back((save ? "save " : "open ") + suggested);
        return s_file;
    });
    live.Run([](Live& l) {
        ASSERT_TRUE(l.Scan(s_dir));
        const std::string top = test::LocalItemText(l.Tree(), l.Top());
        ::SetFocus(l.Tree());
        Key(l.hwnd, l.Tree(), 'S', true);
        ASSERT_TRUE(l.Scan(s_other));
        Key(l.hwnd, l.Item(IDC_START_DIR), 'O', true);
        ASSERT_TRUE(Pump(l.hwnd, [&] { return !l.dlg.IsScanning(); }));  // read on the worker
        EXPECT_EQ(s_asked, (std::vector<std::string>{"save d.json", "open "}));
        EXPECT_EQ(test::LocalItemText(l.Tree(), l.Top()), top);
        EXPECT_EQ(WindowText(l.Item(IDC_START_DIR)), s_dir);
        EXPECT_EQ(WindowText(l.Item(IDC_PROGRESS_COUNTS)).rfind("From a file, made ", 0), 0u);
        EXPECT_EQ(WindowText(l.Item(IDC_PROGRESS_DIR)), s_file);
        // OK with that path redraws it: no scan waits at the gate.
        const std::size_t scans = l.source.Scanned().size();
        l.Press(s_dir);
        Drain(l.hwnd);
        EXPECT_FALSE(l.dlg.IsScanning());
        EXPECT_EQ(l.source.Scanned().size(), scans);
        EXPECT_EQ(test::LocalItemText(l.Tree(), l.Top()), top);
    });
}

// The question box of this thread other than the dialog, if one shows.
HWND QuestionBox(HWND dialog) {
    struct Find {
        HWND dialog, box = nullptr;
    } find{dialog};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* f = reinterpret_cast<Find*>(data);
            wchar_t cls[16] = {};
            ::GetClassNameW(hwnd, cls, 16);
            if (hwnd == f->dialog || std::wstring(cls) != L"#32770" || !::IsWindowVisible(hwnd))
                return TRUE;
            f->box = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.box;
}

// Delete asks, No the default button, and No keeps the file; Shift+Delete
// and Yes delete it, and the tree follows without a rescan. Open Terminal
// Here gets the directory holding a file.
TEST(LiveDialog, DeleteKeysAskThenRemoveAndTheTerminalOpensThere) {
    test::WinTempTree t;
    t.Dir("d");
    t.WrittenFile("d\\victim", 300);
    t.WrittenFile("d\\other", 100);
    static std::string s_dir;
    s_dir = t.Path("d");
    static std::vector<std::string> s_terminals;
    Live live;
    live.dlg.SetTerminalOpener([](const std::string& path) {
        s_terminals.push_back(path);
        return true;
    });
    live.Run([](Live& l) {
        ASSERT_TRUE(l.Scan(s_dir));
        l.Expand(l.Top());
        const HTREEITEM victim = Child(l.Tree(), l.Top(), "victim");
        ASSERT_NE(victim, nullptr);
        ::SetFocus(l.Tree());
        TreeView_SelectItem(l.Tree(), victim);
        l.Command(ID_OPEN_TERMINAL);
        EXPECT_EQ(s_terminals, std::vector<std::string>({s_dir}));

        // The box's answer comes from a timer inside its own loop.
        static HWND s_dialog;
        static int s_answer;
        static std::string s_asked, s_told;
        static bool s_noIsDefault;
        s_dialog = l.hwnd;
        auto ask = [&](int answer, WPARAM key, bool shift) {
            s_answer = answer;
            s_asked.clear();
            s_noIsDefault = false;
            // The question gets the answer; any message after it, OK.
            const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
                HWND box = QuestionBox(s_dialog);
                if (!box) return;
                if (!s_asked.empty()) {
                    s_told += WindowText(::GetDlgItem(box, 0xFFFF));
                    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                    return;
                }
                s_asked = WindowText(::GetDlgItem(box, 0xFFFF));
                s_noIsDefault =
                    (::GetWindowLongW(::GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON) != 0;
                ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(s_answer), 0);
            });
            BYTE state[256] = {};
            ::GetKeyboardState(state);
            state[VK_SHIFT] = shift ? 0x80 : 0;
            ::SetKeyboardState(state);
            Key(l.hwnd, l.Tree(), key);
            state[VK_SHIFT] = 0;
            ::SetKeyboardState(state);
            ::KillTimer(nullptr, timer);
        };
        ask(IDNO, VK_DELETE, false);
        EXPECT_EQ(s_asked.rfind("Move this item to the Recycle Bin?", 0), 0u) << s_asked;
        EXPECT_NE(s_asked.find(s_dir + "\\victim"), std::string::npos);
        EXPECT_TRUE(s_noIsDefault);
        EXPECT_NE(::GetFileAttributesW(WideFromUtf8(s_dir + "\\victim").c_str()),
                  INVALID_FILE_ATTRIBUTES);

        ask(IDYES, VK_DELETE, true);
        EXPECT_EQ(s_asked.rfind("Delete this item permanently?", 0), 0u) << s_asked;
        EXPECT_EQ(s_told, "");
        EXPECT_EQ(::GetFileAttributesW(WideFromUtf8(s_dir + "\\victim").c_str()),
                  INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(ChildNames(l.Tree(), l.Top()), std::vector<std::string>({"other"}));
        EXPECT_EQ(l.source.Scanned().size(), 1u);
    });
}

// Sorting and the size on show switch at once, without a scan, and what was
// open stays open.
TEST(LiveDialog, SortAndSizeOnDiskSwitchWithoutAScan) {
    test::WinTempTree t;
    t.Dir("d");
    t.WrittenFile("d\\small", 100);
    t.File("d\\sparse", 1 << 20);  // large, but nothing written
    t.WrittenFile("d\\tie-b", 5000);
    t.WrittenFile("d\\Tie-a", 5000);
    t.Dir("d\\sub");
    t.WrittenFile("d\\sub\\inner", 20000);
    static std::string s_dir;
    s_dir = t.Path("d");
    Live live;
    live.Run([](Live& l) {
        ASSERT_TRUE(l.Scan(s_dir));
        const std::size_t scans = l.source.Scanned().size();
        const HTREEITEM top = l.Top();
        l.Expand(top);
        const HTREEITEM sub = Child(l.Tree(), top, "sub");
        l.Expand(sub);
        TreeView_SelectItem(l.Tree(), sub);
        using Names = std::vector<std::string>;
        EXPECT_EQ(ChildNames(l.Tree(), top), Names({"small", "sparse", "sub", "Tie-a", "tie-b"}));

        Key(l.hwnd, l.Item(IDC_START_DIR), '2', true);  // Sort by Size, from any control
        EXPECT_EQ(l.dlg.GetSortOrder(), SortOrder::Size);
        EXPECT_EQ(ChildNames(l.Tree(), top), Names({"sparse", "sub", "Tie-a", "tie-b", "small"}));
        EXPECT_TRUE(test::IsExpanded(l.Tree(), sub));
        EXPECT_EQ(TreeView_GetSelection(l.Tree()), sub);

        // On disk the sparse file falls to the end; labels show blocks.
        Key(l.hwnd, l.Tree(), 'D', true);
        EXPECT_EQ(l.dlg.GetSizeMode(), SizeMode::OnDisk);
        EXPECT_EQ(ChildNames(l.Tree(), top), Names({"sub", "Tie-a", "tie-b", "small", "sparse"}));
        EXPECT_EQ(Child(l.Tree(), top, "sub"), sub);
        EXPECT_TRUE(test::IsExpanded(l.Tree(), sub));
        EXPECT_NE(test::LocalItemText(l.Tree(), Child(l.Tree(), top, "small")),
                  "small [       100 bytes]");

        // Back to names and apparent sizes: as before, still no scan.
        Key(l.hwnd, l.Tree(), '1', true);
        Key(l.hwnd, l.Tree(), 'D', true);
        EXPECT_EQ(ChildNames(l.Tree(), top), Names({"small", "sparse", "sub", "Tie-a", "tie-b"}));
        EXPECT_EQ(test::LocalItemText(l.Tree(), Child(l.Tree(), top, "small")),
                  "small [       100 bytes]");
        EXPECT_EQ(test::LocalItemText(l.Tree(), test::NextItem(l.Tree(), sub, TVGN_CHILD)),
                  "inner [     20000 bytes]");
        EXPECT_TRUE(test::IsExpanded(l.Tree(), sub));
        EXPECT_EQ(l.source.Scanned().size(), scans);
    });
}

TEST(LiveDialog, F5RescansTheSamePath) {
    test::WinTempTree t;
    t.Dir("d");
    t.File("d\\old", 1);
    static test::WinTempTree* s_tree;
    s_tree = &t;
    Live live;
    live.Run([](Live& l) {
        ASSERT_TRUE(l.Scan(s_tree->Path("d")));
        s_tree->File("d\\new", 2);
        ASSERT_TRUE(l.Scan(s_tree->Path("d"), IDC_UNITS_BYTES, true, true));  // F5
        l.Expand(l.Top());
        EXPECT_EQ(ChildNames(l.Tree(), l.Top()), std::vector<std::string>({"new", "old"}));
        EXPECT_EQ(l.source.Scanned().size(), 2u);
    });
}

// F9 or the check box shows the map below the tree, growing the window from
// its smallest; the tree's selection is outlined there and a tile selects.
TEST(LiveDialog, TheTreemapShowsBelowTheTreeWhenAsked) {
    test::WinTempTree t;
    t.Dir("d");
    t.File("d\\big", 100000);
    t.Dir("d\\sub");
    t.File("d\\sub\\x", 50000);
    static test::WinTempTree* s_tree;
    s_tree = &t;
    Live live;
    live.Run([](Live& l) {
        ASSERT_TRUE(l.Scan(s_tree->Path("d")));
        HWND box = l.Item(IDC_TREEMAP);
        HWND map = l.Item(IDC_TREEMAP_PANE);
        ASSERT_TRUE(box && map);
        EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        EXPECT_FALSE(::IsWindowVisible(map));
        RECT before{};
        ::GetWindowRect(l.hwnd, &before);

        Key(l.hwnd, l.Tree(), VK_F9);
        EXPECT_TRUE(::IsWindowVisible(map));
        EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
        RECT grown{}, tree{}, pane{};
        ::GetWindowRect(l.hwnd, &grown);
        ::GetWindowRect(l.Tree(), &tree);
        ::GetWindowRect(map, &pane);
        EXPECT_GT(grown.bottom - grown.top, before.bottom - before.top);
        EXPECT_GE(pane.top, tree.bottom);

        // The bar between them drags: 40 pixels up gives the map 40 more.
        POINT bar{(tree.left + tree.right) / 2, (tree.bottom + pane.top) / 2};
        ::ScreenToClient(l.hwnd, &bar);
        ::SendMessageW(l.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bar.x, bar.y));
        ::SendMessageW(l.hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(bar.x, bar.y - 40));
        ::SendMessageW(l.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(bar.x, bar.y - 40));
        RECT dragged{};
        ::GetWindowRect(map, &dragged);
        EXPECT_NEAR(dragged.bottom - dragged.top, pane.bottom - pane.top + 40, 2);
        EXPECT_EQ(::GetCapture(), nullptr);

        CTreemapWindow* treemap = l.dlg.Treemap();
        ASSERT_NE(treemap, nullptr);
        ASSERT_NE(treemap->List(), nullptr);
        TreeView_SelectItem(l.Tree(), l.Top());
        EXPECT_EQ(treemap->Selected(), 0u);
        // A click on x's tile reaches the presenter: the tree selects it.
        const std::uint32_t x = static_cast<std::uint32_t>(treemap->List()->Count() - 1);
        ASSERT_EQ(treemap->List()->PathOf(x), s_tree->Path("d\\sub\\x"));
        const RECT area = treemap->MapRect();
        POINT onX{-1, -1};
        for (LONG y = area.top; y < area.bottom && onX.x < 0; y += 2)
            for (LONG px = area.left; px < area.right && onX.x < 0; px += 2)
                if (treemap->IndexAt({px, y}) == x) onX = {px, y};
        ASSERT_GE(onX.x, 0);
        ::SendMessageW(map, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(onX.x, onX.y));
        ::SendMessageW(map, WM_LBUTTONUP, 0, MAKELPARAM(onX.x, onX.y));
        EXPECT_EQ(test::LocalItemText(l.Tree(), TreeView_GetSelection(l.Tree())).rfind("x [", 0),
                  0u);
        EXPECT_EQ(treemap->Selected(), x);

        ::SendMessageW(box, BM_CLICK, 0, 0);
        EXPECT_FALSE(::IsWindowVisible(map));
        EXPECT_EQ(treemap->List(), nullptr);
        RECT after{};
        ::GetWindowRect(l.hwnd, &after);
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    });
}

// F8 puts the details header above the tree, whose rows then show the
// columns; a header click sorts by its column, the menu checking neither
// order meanwhile; F8 again gives the tree its room back.
TEST(LiveDialog, DetailsColumnsShowAboveTheTreeAndSortFromTheHeader) {
    test::WinTempTree t;
    t.Dir("d");
    t.WrittenFile("d\\a-small", 100);
    t.WrittenFile("d\\b-large", 4900);
    t.Dir("d\\c-sub");
    t.File("d\\c-sub\\x", 0);
    t.File("d\\c-sub\\y", 0);
    static test::WinTempTree* s_tree;
    s_tree = &t;
    Live live;
    live.Run([](Live& l) {
        ASSERT_TRUE(l.Scan(s_tree->Path("d")));
        HWND header = l.Item(IDC_DETAILS_HEADER);
        ASSERT_NE(header, nullptr);
        EXPECT_FALSE(::IsWindowVisible(header));
        RECT before{};
        ::GetWindowRect(l.Tree(), &before);
        l.Expand(l.Top());

        Key(l.hwnd, l.Tree(), VK_F8);
        EXPECT_TRUE(::IsWindowVisible(header));
        EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), kDetailColumnCount);
        RECT headerRect{}, tree{};
        ::GetWindowRect(header, &headerRect);
        ::GetWindowRect(l.Tree(), &tree);
        EXPECT_EQ(headerRect.top, before.top);
        EXPECT_EQ(tree.top, headerRect.bottom);
        EXPECT_EQ(tree.bottom, before.bottom);
        wchar_t text[32] = {};
        HDITEMW column{};
        column.mask = HDI_TEXT;
        column.pszText = text;
        column.cchTextMax = 32;
        ::SendMessageW(header, HDM_GETITEMW, 4, reinterpret_cast<LPARAM>(&column));
        EXPECT_EQ(Utf8FromWide(text), "Last Modified");

        // The % cell of the large file holds a bar a third of the way in; the small one's none.
        ::UpdateWindow(l.Tree());
        RECT cell{};
        ::SendMessageW(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&cell));
        ::MapWindowPoints(header, l.Tree(), reinterpret_cast<POINT*>(&cell), 2);
        auto third = [&](const std::string& name) {
            RECT row{};
            TreeView_GetItemRect(l.Tree(), Child(l.Tree(), l.Top(), name), &row, FALSE);
            HDC dc = ::GetDC(l.Tree());
            const COLORREF pixel = ::GetPixel(dc, cell.left + (cell.right - cell.left) / 3,
                                              (row.top + row.bottom) / 2);
            ::ReleaseDC(l.Tree(), dc);
            return pixel;
        };
        EXPECT_NE(third("b-large"), third("a-small"));

        // The Items header: most entries first.
        NMHEADERW click{};
        click.hdr.hwndFrom = header;
        click.hdr.idFrom = IDC_DETAILS_HEADER;
        click.hdr.code = HDN_ITEMCLICKW;
        click.iItem = 3;
        ::SendMessageW(l.hwnd, WM_NOTIFY, IDC_DETAILS_HEADER, reinterpret_cast<LPARAM>(&click));
        EXPECT_EQ(l.dlg.GetSortOrder(), SortOrder::Items);
        EXPECT_EQ(ChildNames(l.Tree(), l.Top()).front(), "c-sub");
        column.mask = HDI_FORMAT;
        ::SendMessageW(header, HDM_GETITEMW, 3, reinterpret_cast<LPARAM>(&column));
        EXPECT_TRUE(column.fmt & HDF_SORTDOWN);
        click.iItem = 1;  // the share sorts as Size does
        ::SendMessageW(l.hwnd, WM_NOTIFY, IDC_DETAILS_HEADER, reinterpret_cast<LPARAM>(&click));
        EXPECT_EQ(l.dlg.GetSortOrder(), SortOrder::Size);
        EXPECT_EQ(ChildNames(l.Tree(), l.Top()).front(), "b-large");

        Key(l.hwnd, l.Tree(), VK_F8);
        EXPECT_FALSE(::IsWindowVisible(header));
        ::GetWindowRect(l.Tree(), &tree);
        EXPECT_EQ(tree.top, before.top);
        EXPECT_TRUE(test::IsExpanded(l.Tree(), l.Top()));
        EXPECT_EQ(l.source.Scanned().size(), 1u);
    });
}

TEST(LiveDialog, InfoTipTellsPathBytesShareAndCount) {
    test::WinTempTree t;
    t.Dir("d");
    t.Dir("d\\sub");
    t.File("d\\sub\\big", 3000000);
    t.File("d\\small", 1000000);
    static std::string s_dir;
    s_dir = t.Path("d");
    Live live;
    live.Run([](Live& l) {
        ASSERT_TRUE(l.Scan(s_dir));
        l.Expand(l.Top());
        auto tip = [&](HTREEITEM item) {
            wchar_t text[INFOTIPSIZE] = {};
            NMTVGETINFOTIPW info{};
            info.hdr.hwndFrom = l.Tree();
            info.hdr.idFrom = IDC_TREE;
            info.hdr.code = TVN_GETINFOTIPW;
            info.pszText = text;
            info.cchTextMax = INFOTIPSIZE;
            info.hItem = item;
            ::SendMessageW(l.hwnd, WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&info));
            return Utf8FromWide(text);
        };
        EXPECT_TRUE(::GetWindowLongW(l.Tree(), GWL_STYLE) & TVS_INFOTIP);
        const std::string sub = tip(Child(l.Tree(), l.Top(), "sub"));
        EXPECT_EQ(sub.substr(0, sub.find("\r\nSize on disk")),
                  s_dir + "\\sub\r\nSize: " + Grouped(Grouped("3", "000"), "000") +
                      " bytes (75.0% of parent)");
        EXPECT_EQ(sub.substr(sub.rfind("\r\n")), "\r\n1 entry below");
        const std::string small = tip(Child(l.Tree(), l.Top(), "small"));
        EXPECT_EQ(small.find("\r\n1 entry"), std::string::npos);  // no count for a file
        EXPECT_NE(small.find("\r\nSize on disk: "), std::string::npos);
        const std::string top = tip(l.Top());
        EXPECT_EQ(top.substr(0, top.find("\r\nSize on disk")),
                  s_dir + "\r\nSize: " + Grouped(Grouped("4", "000"), "000") + " bytes");
    });
}

// What the list in the tree's place shows, read through the list view.
std::string RowText(HWND rows, int row, int column) {
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    ::SendMessageW(rows, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
    return Utf8FromWide(text);
}

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The view's side alone, as the presenter calls it: a list swaps with the
// tree in its place, the switch appears with it, and Enter and Escape in
// the list neither scan nor close.
TEST(LiveDialog, AListTakesTheTreesPlaceAndKeepsEnterAndEscape) {
    test::WinTempTree t;
    t.Dir("d");
    t.File("d\\small", 10);
    t.File("d\\large", 5000);
    static test::WinTempTree* s_tree;
    s_tree = &t;
    Live live;
    live.Run([](Live& l) {
        CDirScanner scanner;
        ASSERT_EQ(scanner.Scan(s_tree->Path("d")), ScanStatus::Complete);
        const CScanList& list = scanner.GetList();
        CRowTable table(list, LargestFiles(list, 0, SizeMode::Apparent), SizeMode::Apparent);
        // The dialog's view, which it keeps to itself.
        auto& view = (CMainView&)l.dlg;
        HWND rows = l.Item(IDC_ROWS), title = l.Item(IDC_ROWS_TITLE), area = l.Item(IDC_VIEW);
        ASSERT_TRUE(rows && title && area);
        EXPECT_FALSE(::IsWindowVisible(rows));
        // The switch shows from the start, on the tree, every view listed.
        EXPECT_TRUE(::IsWindowVisible(area));
        EXPECT_TRUE(::GetWindowLongW(area, GWL_STYLE) & WS_TABSTOP);
        // Its label just before it names it to MSAA and gives it Alt+V.
        EXPECT_EQ(WindowText(::GetWindow(area, GW_HWNDPREV)), "&View:");
        EXPECT_EQ(::SendMessageW(area, CB_GETCURSEL, 0, 0), 0);
        ASSERT_EQ(::SendMessageW(area, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(kAreaViewCount));
        int widest = 0;
        HDC dc = ::GetDC(area);
        const HGDIOBJ font =
            ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(area, WM_GETFONT, 0, 0)));
        for (std::size_t i = 0; i < kAreaViewCount; ++i) {
            wchar_t text[64] = {};
            ::SendMessageW(area, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(Utf8FromWide(text), kAreaViewText[i]);
            SIZE size{};
            ::GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
            widest = std::max(widest, static_cast<int>(size.cx));
        }
        ::SelectObject(dc, font);
        ::ReleaseDC(area, dc);
        ASSERT_TRUE(l.Scan(s_tree->Path("d")));
        const RECT tree = ClientRectOf(l.hwnd, l.Tree());
        // Its longest entry fits beside the arrow, clear of the tree, inside
        // the window at its smallest.
        const RECT shown = ClientRectOf(l.hwnd, area);
        RECT client{};
        ::GetClientRect(l.hwnd, &client);
        EXPECT_GE(shown.right - shown.left, widest + ::GetSystemMetrics(SM_CXVSCROLL));
        EXPECT_GT(shown.left, tree.right);
        EXPECT_LE(shown.right, client.right);

        view.ShowArea(AreaView::LargestFiles, &table, "Largest files in d");
        EXPECT_TRUE(::IsWindowVisible(rows));
        EXPECT_FALSE(::IsWindowVisible(l.Tree()));
        EXPECT_EQ(::GetFocus(), rows);
        EXPECT_EQ(WindowText(title), "Largest files in d");
        EXPECT_EQ(ListView_GetItemCount(rows), 2);
        EXPECT_EQ(RowText(rows, 0, 0), "large");
        // Title and list together stand where the tree stood.
        const RECT top = ClientRectOf(l.hwnd, title), bottom = ClientRectOf(l.hwnd, rows);
        EXPECT_EQ(top.left, tree.left);
        EXPECT_EQ(top.top, tree.top);
        EXPECT_EQ(top.bottom, bottom.top);
        EXPECT_EQ(bottom.right, tree.right);
        EXPECT_EQ(bottom.bottom, tree.bottom);
        EXPECT_TRUE(::IsWindowVisible(area));
        EXPECT_EQ(::SendMessageW(area, CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(::SendMessageW(area, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(kAreaViewCount));

        // The rows selected, the current one first.
        ListView_SetItemState(rows, 0, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(rows, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        EXPECT_EQ(view.SelectedRows(),
                  (std::vector<CScanTree::Item>{table.ItemAt(1), table.ItemAt(0)}));
        view.ShowSelection(SelectionView::List, table.ItemAt(0));
        EXPECT_EQ(view.SelectedRows(), std::vector<CScanTree::Item>{table.ItemAt(0)});

        // Enter opens a row rather than pressing OK; Escape never closes.
        const std::size_t scans = l.source.Scanned().size();
        ::SetFocus(rows);
        Key(l.hwnd, rows, VK_RETURN);
        ::SetFocus(rows);
        ::SendMessageW(l.hwnd, WM_COMMAND, IDOK, 0);  // as the dialog manager sends for Enter
        EXPECT_FALSE(l.dlg.IsScanning());
        EXPECT_EQ(l.source.Scanned().size(), scans);
        ::SetFocus(rows);
        Key(l.hwnd, rows, VK_ESCAPE);
        EXPECT_TRUE(::IsWindowVisible(l.hwnd));

        view.ShowArea(AreaView::Tree, nullptr, "");
        EXPECT_FALSE(::IsWindowVisible(rows));
        EXPECT_TRUE(::IsWindowVisible(l.Tree()));
        EXPECT_EQ(::GetFocus(), l.Tree());
        EXPECT_TRUE(::IsWindowVisible(area));  // it stays
        EXPECT_EQ(::SendMessageW(area, CB_GETCURSEL, 0, 0), 0);
        EXPECT_TRUE(view.SelectedRows().empty());
    });
}

// The whole way: Ctrl+L on a scanned tree lists its largest file first;
// Enter on it brings the tree back with the file selected.
TEST(LiveDialog, CtrlLListsTheLargestFilesAndEnterShowsOneInTheTree) {
    test::WinTempTree t;
    t.Dir("d");
    t.Dir("d\\sub");
    t.File("d\\small", 10);
    t.File("d\\sub\\huge", 90000);
    t.File("d\\mid", 4000);
    static std::string s_dir;
    s_dir = t.Path("d");
    Live live;
    live.Run([](Live& l) {
        ASSERT_TRUE(l.Scan(s_dir));
        HWND rows = l.Item(IDC_ROWS);
        ::SetFocus(l.Tree());
        Key(l.hwnd, l.Tree(), 'L', true);
        ASSERT_TRUE(::IsWindowVisible(rows));
        EXPECT_FALSE(::IsWindowVisible(l.Tree()));
        EXPECT_EQ(ListView_GetItemCount(rows), 3);
        EXPECT_EQ(RowText(rows, 0, 0), "huge");
        EXPECT_EQ(RowText(rows, 0, 1), s_dir + "\\sub");
        EXPECT_EQ(::SendMessageW(l.Item(IDC_VIEW), CB_GETCURSEL, 0, 0), 1);
        ListView_SetItemState(rows, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        Key(l.hwnd, rows, VK_RETURN);
        EXPECT_TRUE(::IsWindowVisible(l.Tree()));
        EXPECT_FALSE(::IsWindowVisible(rows));
        const HTREEITEM selected = TreeView_GetSelection(l.Tree());
        ASSERT_NE(selected, nullptr);
        EXPECT_EQ(test::LocalItemText(l.Tree(), selected).rfind("huge [", 0), 0u);
    });
}

// F3 shows File Types in the tree's place; with the map, its legend's
// swatch chooses its kind there, and Enter lists that kind's largest files.
TEST(LiveDialog, F3ShowsFileTypesAndTheLegendChoosesAKind) {
    test::WinTempTree t;
    t.Dir("d");
    t.File("d\\a.png", 9000);
    t.File("d\\b.PNG", 100);
    t.File("d\\notes.txt", 400);
    static std::string s_dir;
    s_dir = t.Path("d");
    Live live;
    live.Run([](Live& l) {
        ASSERT_TRUE(l.Scan(s_dir));
        HWND types = l.Item(IDC_TYPES);
        ::SetFocus(l.Tree());
        Key(l.hwnd, l.Tree(), VK_F3);
        ASSERT_TRUE(::IsWindowVisible(types));
        EXPECT_FALSE(::IsWindowVisible(l.Tree()));
        EXPECT_EQ(::SendMessageW(l.Item(IDC_VIEW), CB_GETCURSEL, 0, 0), 2);
        ASSERT_EQ(ListView_GetItemCount(types), 4);
        EXPECT_EQ(RowText(types, 0, 0), "Images");
        EXPECT_EQ(RowText(types, 1, 0), ".png");
        EXPECT_EQ(RowText(types, 1, 1), "2");
        EXPECT_EQ(RowText(types, 2, 0), "Documents");

        // The legend shows with the map; a swatch chooses its kind.
        HWND documents = l.Item(IDC_LEGEND + static_cast<int>(FileKind::Document));
        ASSERT_NE(documents, nullptr);
        EXPECT_FALSE(::IsWindowVisible(documents));
        Key(l.hwnd, types, VK_F9);
        EXPECT_TRUE(::IsWindowVisible(documents));
        ::SendMessageW(documents, BM_CLICK, 0, 0);
        EXPECT_EQ(ListView_GetNextItem(types, -1, LVNI_SELECTED), 2);

        ::SetFocus(types);
        Key(l.hwnd, types, VK_RETURN);
        HWND rows = l.Item(IDC_ROWS);
        ASSERT_TRUE(::IsWindowVisible(rows));
        EXPECT_FALSE(::IsWindowVisible(types));
        ASSERT_EQ(ListView_GetItemCount(rows), 1);
        EXPECT_EQ(RowText(rows, 0, 0), "notes.txt");
    });
}

// A saved scan with directories not read: their rows stand out in the
// tree's drawing, the band's count is a link (a tab stop), and its click
// lists them, each row selectable.
TEST(LiveDialog, UnreadableFoldersStandOutAndTheBandLinksToTheirList) {
    test::WinTempTree t;
    static std::string s_file;
    s_file = t.Path("unread.json");
    std::ofstream(s_file) << "[1,2,{\"progname\":\"x\"},[{\"name\":\"/r\"},"
                             "[{\"name\":\"a\",\"read_error\":true}],"
                             "[{\"name\":\"b\"}],"
                             "[{\"name\":\"c\",\"read_error\":true}]]]";
    Live live;
    live.dlg.SetScanFileChooser([](bool, const std::string&) { return s_file; });
    live.Run([](Live& l) {
        Key(l.hwnd, l.Item(IDC_START_DIR), 'O', true);
        ASSERT_TRUE(Pump(l.hwnd, [&] { return !l.dlg.IsScanning(); }));
        l.Expand(l.Top());
        HTREEITEM a = Child(l.Tree(), l.Top(), "a"), b = Child(l.Tree(), l.Top(), "b");
        ASSERT_TRUE(a && b);
        // The tree's drawing, as the control asks the dialog for it.
        auto draw = [&](DWORD stage, HTREEITEM item) {
            NMTVCUSTOMDRAW cd{};
            cd.nmcd.hdr = {l.Tree(), static_cast<UINT_PTR>(IDC_TREE),
                           static_cast<UINT>(NM_CUSTOMDRAW)};
            cd.nmcd.dwDrawStage = stage;
            cd.nmcd.dwItemSpec = reinterpret_cast<DWORD_PTR>(item);
            cd.clrText = RGB(0, 0, 0);
            ::SendMessageW(l.hwnd, WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&cd));
            return std::pair{::GetWindowLongPtrW(l.hwnd, DWLP_MSGRESULT), cd.clrText};
        };
        EXPECT_TRUE(draw(CDDS_PREPAINT, nullptr).first & CDRF_NOTIFYITEMDRAW);
        const auto [marked, colour] = draw(CDDS_ITEMPREPAINT, a);
        EXPECT_TRUE(marked & CDRF_NEWFONT);
        EXPECT_EQ(colour, RGB(0xA0, 0, 0));
        // The warning sign on those rows alone.
        EXPECT_EQ(TreeView_GetItemState(l.Tree(), a, TVIS_STATEIMAGEMASK),
                  INDEXTOSTATEIMAGEMASK(1));
        EXPECT_EQ(TreeView_GetItemState(l.Tree(), b, TVIS_STATEIMAGEMASK), 0u);
        EXPECT_NE(TreeView_GetImageList(l.Tree(), TVSIL_STATE), nullptr);
        EXPECT_EQ(draw(CDDS_ITEMPREPAINT, b), (std::pair<LONG_PTR, COLORREF>{CDRF_DODEFAULT, 0}));

        HWND link = l.Item(IDC_PROGRESS_LINK);
        ASSERT_NE(link, nullptr);
        EXPECT_TRUE(::IsWindowVisible(link));
        EXPECT_FALSE(::IsWindowVisible(l.Item(IDC_PROGRESS_COUNTS)));
        EXPECT_TRUE(::GetWindowLongW(link, GWL_STYLE) & WS_TABSTOP);
        const std::string text = WindowText(link);
        EXPECT_EQ(text.rfind("From a file", 0), 0u) << text;
        EXPECT_NE(text.find(". <a>2 directories could not be read.</a>"), std::string::npos)
            << text;
        NMLINK click{};
        click.hdr = {link, static_cast<UINT_PTR>(IDC_PROGRESS_LINK), static_cast<UINT>(NM_CLICK)};
        ::SendMessageW(l.hwnd, WM_NOTIFY, IDC_PROGRESS_LINK, reinterpret_cast<LPARAM>(&click));
        HWND rows = l.Item(IDC_ROWS);
        ASSERT_TRUE(::IsWindowVisible(rows));
        EXPECT_EQ(ListView_GetItemCount(rows), 2);
        EXPECT_EQ(::SendMessageW(l.Item(IDC_VIEW), CB_GETCURSEL, 0, 0),
                  static_cast<LRESULT>(AreaView::Unreadable));
        // The focus mark on its first row, which no one chose yet.
        EXPECT_EQ(::GetFocus(), rows);
        EXPECT_EQ(ListView_GetNextItem(rows, -1, LVNI_FOCUSED), 0);
        EXPECT_EQ(ListView_GetSelectedCount(rows), 0u);
        ListView_SetItemState(rows, -1, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(((CMainView&)l.dlg).SelectedRows().size(), 2u);
        // The switch back to the tree, and to the list again.
        ::SendMessageW(l.Item(IDC_VIEW), CB_SETCURSEL, 0, 0);
        ::SendMessageW(l.hwnd, WM_COMMAND, MAKEWPARAM(IDC_VIEW, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(l.Item(IDC_VIEW)));
        EXPECT_TRUE(::IsWindowVisible(l.Tree()));
        Key(l.hwnd, l.Tree(), 'U', true);
        EXPECT_TRUE(::IsWindowVisible(rows));
    });
}

}  // namespace
}  // namespace sizewalk
