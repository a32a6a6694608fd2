// The dialog's Win32 pieces in this process: the main dialog run modally
// and probed from inside its own loop, data exchange on a dialog made from
// the program's own template 102, the wait cursor and the application name.
#include <windows.h>
#include <gtest/gtest.h>

#include <commctrl.h>
#include <cwctype>
#include <string>
#include <utility>

#include "modal_probe.h"
#include "platform/wide_text_win32.h"
#include "res/resource.h"
#include "tree_outline.h"
#include "ui/win32/app_name.h"
#include "ui/win32/data_exchange.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/system_wait_cursor.h"
#include "win_temp_tree.h"

namespace sizewalk {
namespace {

INT_PTR CALLBACK QuietProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// A modeless instance of the dialog template, without the program's own
// handlers.
class TemplateDialog : public ::testing::Test {
protected:
    TemplateDialog() {
        m_hWnd = ::CreateDialogParamA(::GetModuleHandleA(nullptr),
                                      MAKEINTRESOURCEA(IDD_SIZEWALK_DIALOG), nullptr, QuietProc, 0);
    }
    ~TemplateDialog() override {
        if (m_hWnd) ::DestroyWindow(m_hWnd);
    }
    void SetUp() override { ASSERT_NE(m_hWnd, nullptr) << ::GetLastError(); }
    bool Checked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED; }
    std::string Text(int id) const {
        char text[256] = {};
        ::GetDlgItemTextA(m_hWnd, id, text, sizeof text);
        return text;
    }

    HWND m_hWnd = nullptr;
};

TEST_F(TemplateDialog, TextIsReadWholeAndWrittenOnlyWhenItDiffers) {
    std::string value = "C:\\";
    ExchangeText(m_hWnd, IDC_START_DIR, value, false);
    EXPECT_EQ(Text(IDC_START_DIR), "C:\\");

    // Longer than an edit control takes from the keyboard by default.
    const std::string longText = "C:\\" + std::string(40000, 'x');
    ::SetDlgItemTextA(m_hWnd, IDC_START_DIR, longText.c_str());
    ExchangeText(m_hWnd, IDC_START_DIR, value, true);
    EXPECT_EQ(value, longText);

    ::SetDlgItemTextA(m_hWnd, IDC_START_DIR, "");
    ExchangeText(m_hWnd, IDC_START_DIR, value, true);
    EXPECT_EQ(value, "");

    // Writing the same text leaves the selection alone.
    HWND edit = ::GetDlgItem(m_hWnd, IDC_START_DIR);
    ::SetWindowTextA(edit, "D:\\data");
    ::SendMessageA(edit, EM_SETSEL, 2, 4);
    value = "D:\\data";
    ExchangeText(m_hWnd, IDC_START_DIR, value, false);
    DWORD start = 0, end = 0;
    ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(end, 4u);
    value = "E:\\";
    ExchangeText(m_hWnd, IDC_START_DIR, value, false);
    EXPECT_EQ(Text(IDC_START_DIR), "E:\\");
}

TEST_F(TemplateDialog, RadioGroupIndexes) {
    int units = 0;
    ExchangeRadioGroup(m_hWnd, IDC_UNITS_MB, units, true);
    EXPECT_EQ(units, -1);  // nothing checked yet

    const struct {
        int written;
        bool mb, kb, bytes;
    } cases[] = {{0, true, false, false},  {1, false, true, false},   {2, false, false, true},
                 {3, false, false, false}, {-1, false, false, false}, {0, true, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        units = c.written;
        ExchangeRadioGroup(m_hWnd, IDC_UNITS_MB, units, false);
        EXPECT_EQ(Checked(IDC_UNITS_MB), c.mb);
        EXPECT_EQ(Checked(IDC_UNITS_KB), c.kb);
        EXPECT_EQ(Checked(IDC_UNITS_BYTES), c.bytes);
        int read = 99;
        ExchangeRadioGroup(m_hWnd, IDC_UNITS_MB, read, true);
        EXPECT_EQ(read, c.written >= 0 && c.written <= 2 ? c.written : -1);
    }
    // The group ends where the next group starts: the check box is not in it.
    ::CheckDlgButton(m_hWnd, IDC_SHOW_FILES, BST_CHECKED);
    units = 5;
    ExchangeRadioGroup(m_hWnd, IDC_UNITS_MB, units, false);
    EXPECT_TRUE(Checked(IDC_SHOW_FILES));
}

TEST_F(TemplateDialog, CheckBoxStatesAndOutOfRangeValues) {
    const struct {
        int written, field, state;
    } cases[] = {{1, 1, BST_CHECKED},
                 {0, 0, BST_UNCHECKED},
                 {7, 0, BST_UNCHECKED},
                 {1, 1, BST_CHECKED},
                 {-3, 0, BST_UNCHECKED}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        int value = c.written;
        ExchangeCheck(m_hWnd, IDC_SHOW_FILES, value, false);
        EXPECT_EQ(value, c.field);
        EXPECT_EQ(::IsDlgButtonChecked(m_hWnd, IDC_SHOW_FILES), static_cast<UINT>(c.state));
        int read = 99;
        ExchangeCheck(m_hWnd, IDC_SHOW_FILES, read, true);
        EXPECT_EQ(read, c.field);
    }
}

using test::ModalProbe;

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int ThreadWindows() {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST(MainDialog, IconsDefaultsAndTheWaysItStaysOpen) {
    CSizewalkDlg dlg;
    ASSERT_NE(dlg.m_hIcon, nullptr);
    EXPECT_EQ(ModalProbe::Run(dlg,
                              [](CSizewalkDlg& d, HWND hwnd) {
                                  // Big and small icon; the drag icon is the same picture.
                                  const auto icon = reinterpret_cast<LRESULT>(d.m_hIcon);
                                  EXPECT_EQ(::SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0), icon);
                                  EXPECT_EQ(::SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0), icon);
                                  EXPECT_EQ(::SendMessageA(hwnd, WM_QUERYDRAGICON, 0, 0), icon);
                                  EXPECT_EQ(d.Fields().m_strStartDir, "C:\\");
                                  EXPECT_EQ(d.Fields().m_eUnits, Units::MB);
                                  EXPECT_EQ(d.Fields().m_eFiles, Files::Hidden);

                                  // F1 opens nothing: no help file ships.
                                  const int windows = ThreadWindows();
                                  HELPINFO help{};
                                  help.cbSize = sizeof help;
                                  help.iContextType = HELPINFO_WINDOW;
                                  help.iCtrlId = IDOK;
                                  help.hItemHandle = ::GetDlgItem(hwnd, IDOK);
                                  ::SendMessageA(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
                                  EXPECT_EQ(ThreadWindows(), windows);

                                  // Minimized it paints its icon, and the paint is complete.
                                  ::ShowWindow(hwnd, SW_MINIMIZE);
                                  EXPECT_TRUE(::IsIconic(hwnd));
                                  ::RedrawWindow(hwnd, nullptr, nullptr,
                                                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
                                  EXPECT_FALSE(::GetUpdateRect(hwnd, nullptr, FALSE));
                                  ::ShowWindow(hwnd, SW_RESTORE);
                                  EXPECT_FALSE(::IsIconic(hwnd));
                              }),
              IDCANCEL);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST(MainDialog, OkScansAndKeepsTheDialogOpen) {
    test::WinTempTree t;
    t.Dir("d");
    t.File("d\\f", 2048);
    static std::string s_dir;
    s_dir = t.Path("d");
    CSizewalkDlg dlg;
    EXPECT_EQ(
        ModalProbe::Run(dlg,
                        [](CSizewalkDlg& d, HWND hwnd) {
                            ::SetDlgItemTextA(hwnd, IDC_START_DIR, (s_dir + "\\").c_str());
                            ::CheckRadioButton(hwnd, IDC_UNITS_MB, IDC_UNITS_BYTES, IDC_UNITS_KB);
                            ::CheckDlgButton(hwnd, IDC_SHOW_FILES, BST_CHECKED);
                            ::SendMessageA(hwnd, WM_COMMAND, IDOK, 0);
                            ASSERT_TRUE(test::Pump(hwnd, [&] { return !d.IsScanning(); }));
                            EXPECT_TRUE(::IsWindowVisible(hwnd));
                            EXPECT_EQ(d.Fields().m_strStartDir, s_dir);  // stripped in the field
                            EXPECT_EQ(d.Fields().m_eUnits, Units::KB);
                            EXPECT_EQ(d.Fields().m_eFiles, Files::Shown);
                            char text[512] = {};
                            ::GetDlgItemTextA(hwnd, IDC_START_DIR, text, sizeof text);
                            EXPECT_EQ(text, s_dir + "\\");  // but not in the box
                            // The start item alone; its file comes when it is opened.
                            HWND tree = ::GetDlgItem(hwnd, IDC_TREE);
                            EXPECT_EQ(::SendMessageW(tree, TVM_GETCOUNT, 0, 0), 1);
                            EXPECT_EQ(test::LocalTreeOutline(tree),
                                      s_dir + " [    2.00KB]\n  f [    2.00KB]\n");
                            EXPECT_EQ(::SendMessageW(tree, TVM_GETCOUNT, 0, 0), 2);
                        }),
        IDCANCEL);
}

// A start path in any script can be typed, is scanned, and labels the tree.
TEST(MainDialog, StartPathsOutsideTheAnsiCodePage) {
    test::WinTempTree t;
    static std::string s_dir;
    s_dir = t.Path("\u05e2\u05d1\u05e8\u05d9\u05ea \u4e2d\u6587 \U0001F600");
    t.Dir(s_dir.substr(t.Root().size() + 1));
    t.File(s_dir.substr(t.Root().size() + 1) + "\\\u00e9t\u00e9", 1536);
    CSizewalkDlg dlg;
    EXPECT_EQ(ModalProbe::Run(
                  dlg,
                  [](CSizewalkDlg& d, HWND hwnd) {
                      ::SetDlgItemTextW(hwnd, IDC_START_DIR, WideFromUtf8(s_dir + "\\").c_str());
                      ::CheckRadioButton(hwnd, IDC_UNITS_MB, IDC_UNITS_BYTES, IDC_UNITS_KB);
                      ::CheckDlgButton(hwnd, IDC_SHOW_FILES, BST_CHECKED);
                      ::SendMessageW(hwnd, WM_COMMAND, IDOK, 0);
                      ASSERT_TRUE(test::Pump(hwnd, [&] { return !d.IsScanning(); }));
                      EXPECT_EQ(d.Fields().m_strStartDir, s_dir);
                      EXPECT_EQ(test::LocalTreeOutline(::GetDlgItem(hwnd, IDC_TREE)),
                                s_dir + " [    1.50KB]\n  \u00e9t\u00e9 [    1.50KB]\n");
                  }),
              IDCANCEL);
}

// The manifest compiled into the program (and into these tests) takes
// effect: the controls come from common controls 6, which the system loads
// from its side-by-side store rather than from the system folder.
TEST(Manifest, TheControlsAreCommonControlsSix) {
    HMODULE controls = ::GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH * 2] = {};
    ASSERT_GT(::GetModuleFileNameW(controls, path, MAX_PATH * 2), 0u);
    std::wstring lower = path;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(::towlower(c));
    EXPECT_NE(lower.find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos)
        << Utf8FromWide(path);
}

TEST(WaitCursor, ShowsTheSystemWaitCursorAndPutsThePreviousBack) {
    HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR wait = ::LoadCursorA(nullptr, IDC_WAIT);
    ASSERT_NE(arrow, wait);
    ::SetCursor(arrow);
    CSystemWaitCursor cursor;
    cursor.Begin();
    EXPECT_EQ(::GetCursor(), wait);
    cursor.Begin();
    cursor.End();
    EXPECT_EQ(::GetCursor(), wait);  // nested: still busy
    cursor.End();
    EXPECT_EQ(::GetCursor(), arrow);
    cursor.End();  // unbalanced: no effect
    EXPECT_EQ(::GetCursor(), arrow);
}

TEST(AppName, BaseNameWithoutDirectoryAndExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Sizewalk\\sizewalk.exe", "sizewalk"},
        {"C:\\tools\\my.tool.EXE", "my.tool"},
        {"sizewalk.exe", "sizewalk"},
        {"C:\\dir.d\\noext", "noext"},
        {"Z:/unix/style/sw.exe", "sw"},
        {"D:sw.exe", "sw"},
        {"C:\\x\\.hidden", ".hidden"},
        {"", ""},
    };
    for (auto [path, name] : cases) EXPECT_EQ(AppNameFromPath(path), name) << path;
    EXPECT_STREQ(ApplicationName(), "win32_ui_tests");
}

}  // namespace
}  // namespace sizewalk
