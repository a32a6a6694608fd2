// Drives sizewalk.exe from outside, as a user would: finds the dialog by its
// caption, types a start directory, clicks the controls, reads the tree back
// out of the program's memory, and closes it every way a user can.
//   gui_driver_win32 PATH\TO\sizewalk.exe [gtest options]
// With SIZEWALK_SCREENSHOT_DIR set, the first filled tree is held on screen
// until that folder holds a file "done" (after the driver wrote "ready").
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tree_outline.h"
#include "ui/win32/progress_view.h"
#include "win_temp_tree.h"

namespace sizewalk {
namespace {

using test::WinTempTree;

std::string g_exe;

// Text of another process's tree item, as UTF-8: the TVITEMW and its text
// buffer must live in that process's memory. The program may answer with a
// pointer to a buffer of its own, so the text is read where the item points.
class RemoteItemReader {
public:
    RemoteItemReader(HANDLE process, HWND tree) : m_process(process), m_tree(tree) {
        m_remote = static_cast<char*>(
            ::VirtualAllocEx(process, nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteItemReader() {
        if (m_remote) ::VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE);
    }
    RemoteItemReader(const RemoteItemReader&) = delete;
    RemoteItemReader& operator=(const RemoteItemReader&) = delete;

    std::string operator()(HTREEITEM item) const {
        if (!m_remote) return "<no remote memory>";
        TVITEMW tv{};
        tv.mask = TVIF_TEXT | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = reinterpret_cast<wchar_t*>(m_remote + kTextOffset);
        tv.cchTextMax = kChars;
        const wchar_t nothing = 0;
        if (!::WriteProcessMemory(m_process, m_remote, &tv, sizeof tv, nullptr) ||
            !::WriteProcessMemory(m_process, m_remote + kTextOffset, &nothing, sizeof nothing,
                                  nullptr))
            return "<write failed>";
        if (!::SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(m_remote)))
            return "<TVM_GETITEM failed>";
        if (!::ReadProcessMemory(m_process, m_remote, &tv, sizeof tv, nullptr))
            return "<read failed>";
        std::wstring text;
        wchar_t chunk[128];
        for (const wchar_t* at = tv.pszText; text.size() < 65536; at += 128) {
            if (!::ReadProcessMemory(m_process, at, chunk, sizeof chunk, nullptr)) break;
            const std::wstring_view part(chunk, 128);
            const std::size_t end = part.find(L'\0');
            text.append(part.substr(0, end));
            if (end != std::wstring_view::npos) break;
        }
        return Utf8FromWide(text);
    }

private:
    static constexpr int kSize = 8192;
    static constexpr int kTextOffset = 256;
    static constexpr int kChars = (kSize - kTextOffset) / sizeof(wchar_t) - 1;
    HANDLE m_process;
    HWND m_tree;
    char* m_remote = nullptr;
};

struct FindContext {
    DWORD pid;
    HWND owner;
    std::string caption;
    HWND found = nullptr;
};

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM lParam) {
    auto* c = reinterpret_cast<FindContext*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = {}, caption[256] = {};
    ::GetClassNameA(hwnd, cls, sizeof cls);
    ::GetWindowTextA(hwnd, caption, sizeof caption);
    if (pid == c->pid && std::string(cls) == "#32770" && caption == c->caption &&
        ::IsWindowVisible(hwnd) && (!c->owner || ::GetWindow(hwnd, GW_OWNER) == c->owner)) {
        c->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// One run of the program, ended by force if a test leaves it running.
class Program {
public:
    explicit Program(const std::string& exe) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string command = "\"" + exe + "\"";
        m_started = ::CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &si, &m_pi);
    }
    ~Program() {
        if (!m_started) return;
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_pi.hProcess, 99);
            ::WaitForSingleObject(m_pi.hProcess, 5000);
        }
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return m_started != 0; }
    HANDLE Process() const { return m_pi.hProcess; }
    DWORD Pid() const { return m_pi.dwProcessId; }

    // A visible dialog of this process with the caption (and owner), waiting
    // for it to come up.
    HWND WaitForDialog(const std::string& caption, HWND owner = nullptr, DWORD ms = 30000) const {
        for (DWORD waited = 0; waited < ms; waited += 50) {
            FindContext c{m_pi.dwProcessId, owner, caption};
            ::EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&c));
            if (c.found) return c.found;
            if (::WaitForSingleObject(m_pi.hProcess, 50) != WAIT_TIMEOUT) return nullptr;
        }
        return nullptr;
    }
    // The exit code once the process has ended, or -1 if it is still running.
    long WaitForExit(DWORD ms = 15000) const {
        if (::WaitForSingleObject(m_pi.hProcess, ms) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(m_pi.hProcess, &code);
        return static_cast<long>(code);
    }

private:
    PROCESS_INFORMATION m_pi{};
    BOOL m_started = FALSE;
};

// The dialog of a running program, seen from outside.
class Dialog {
public:
    Dialog(const Program& program, HWND hwnd) : m_program(program), m_hwnd(hwnd) {}
    HWND Hwnd() const { return m_hwnd; }
    HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
    std::string Text(int id) const {
        char text[1024] = {};
        ::GetDlgItemTextA(m_hwnd, id, text, sizeof text);  // WM_GETTEXT crosses processes
        return text;
    }
    // UTF-8 text, typed as UTF-16.
    void Type(int id, const std::string& text) const {
        ::SendMessageW(Item(id), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
    }
    bool Checked(int id) const {
        return ::SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // A click that runs to its end (the program's handler included).
    void Click(int id) const { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }
    // OK, and then the scan it started (if any) to its end.
    void Ok() const {
        Click(IDOK);
        WaitUntilIdle();
    }
    // No scan runs: OK is enabled again once the tree is filled.
    bool WaitUntilIdle(DWORD ms = 60000) const {
        for (DWORD waited = 0; waited < ms; waited += 20) {
            if (::IsWindowEnabled(Item(IDOK))) return Settle();
            ::Sleep(20);
        }
        return false;
    }
    // A click whose handler may block (on a message box).
    void ClickLater(int id) const { ::PostMessageA(Item(id), BM_CLICK, 0, 0); }
    void Key(int id, WPARAM key) const {
        ::PostMessageA(Item(id), WM_KEYDOWN, key, 1);
        ::PostMessageA(Item(id), WM_KEYUP, key, 0xC0000001);
    }
    // Waits until the program has handled everything sent or posted so far.
    bool Settle() const {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutA(m_hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) != 0;
    }
    int ItemCount() const {
        return static_cast<int>(::SendMessageA(Item(IDC_TREE), TVM_GETCOUNT, 0, 0));
    }
    std::string Outline() const {
        HWND tree = Item(IDC_TREE);
        RemoteItemReader reader(m_program.Process(), tree);
        return test::TreeOutline(tree, reader);
    }

private:
    const Program& m_program;
    HWND m_hwnd;
};

void HoldForScreenshot(const Dialog& dialog) {
    const char* dir = std::getenv("SIZEWALK_SCREENSHOT_DIR");
    if (!dir || !*dir) return;
    HWND tree = dialog.Item(IDC_TREE);
    HTREEITEM root = test::NextItem(tree, nullptr, TVGN_ROOT);
    ::SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    HTREEITEM sub = test::NextItem(tree, test::NextItem(tree, root, TVGN_CHILD), TVGN_LASTVISIBLE);
    ::SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(sub));
    ::PostMessageA(dialog.Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tree), TRUE);
    dialog.Settle();
    const std::string base = std::string(dir) + "\\";
    HANDLE ready = ::CreateFileA((base + "ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) ::CloseHandle(ready);
    for (int i = 0; i < 1200; ++i) {
        if (::GetFileAttributesA((base + "done").c_str()) != INVALID_FILE_ATTRIBUTES) break;
        ::Sleep(50);
    }
}

TEST(SizewalkWindow, OpensWithItsDefaults) {
    Program program(g_exe);
    ASSERT_TRUE(program.Started());
    const HWND hwnd = program.WaitForDialog("Sizewalk");
    ASSERT_NE(hwnd, nullptr) << "no dialog captioned Sizewalk";
    Dialog dialog(program, hwnd);
    ASSERT_TRUE(dialog.Settle());

    EXPECT_EQ(dialog.Text(IDC_START_DIR), "C:\\");
    EXPECT_TRUE(dialog.Checked(IDC_UNITS_MB));
    EXPECT_FALSE(dialog.Checked(IDC_UNITS_KB));
    EXPECT_FALSE(dialog.Checked(IDC_UNITS_BYTES));
    EXPECT_FALSE(dialog.Checked(IDC_SHOW_FILES));
    EXPECT_EQ(dialog.ItemCount(), 0);

    const LONG style = ::GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_THICKFRAME);  // it can be made larger
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(::GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    // The OK button has the focus.
    DWORD thread = ::GetWindowThreadProcessId(hwnd, nullptr);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetGUIThreadInfo(thread, &info));
    EXPECT_EQ(info.hwndFocus, dialog.Item(IDOK));

    // Centred on the work area.
    RECT window, work;
    ASSERT_TRUE(::GetWindowRect(hwnd, &window));
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_LE(std::abs((window.left + window.right) - (work.left + work.right)), 2);
    EXPECT_LE(std::abs((window.top + window.bottom) - (work.top + work.bottom)), 2);

    dialog.Click(IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST(SizewalkWindow, OkFillsTheTreeAndKeepsTheDialogOpen) {
    WinTempTree t;
    const std::string data = test::MakeExampleTree(t);
    Program program(g_exe);
    ASSERT_TRUE(program.Started());
    Dialog dialog(program, program.WaitForDialog("Sizewalk"));
    ASSERT_NE(dialog.Hwnd(), nullptr);

    dialog.Type(IDC_START_DIR, data + "\\");
    dialog.Click(IDC_UNITS_BYTES);
    dialog.Click(IDC_SHOW_FILES);
    dialog.Ok();
    // Items in the control's order, which ignores letter case.
    EXPECT_EQ(dialog.Outline(), data +
                                    " [        18 bytes]\n"
                                    "  a.txt [        10 bytes]\n"
                                    "  Beta [         0 bytes]\n"
                                    "  C.bin [         3 bytes]\n"
                                    "  sub [         5 bytes]\n"
                                    "    b.txt [         5 bytes]\n");
    EXPECT_EQ(dialog.Text(IDC_START_DIR), data + "\\");  // the box keeps what was typed
    HoldForScreenshot(dialog);

    dialog.Click(IDC_UNITS_KB);
    dialog.Ok();
    EXPECT_EQ(dialog.Outline(), data +
                                    " [    0.02KB]\n  a.txt [    0.01KB]\n  Beta [    0.00KB]\n"
                                    "  C.bin [    0.00KB]\n  sub [    0.00KB]\n"
                                    "    b.txt [    0.00KB]\n");

    // Enter in the text box is OK too.
    dialog.Click(IDC_UNITS_MB);
    dialog.Click(IDC_SHOW_FILES);
    dialog.Key(IDC_START_DIR, VK_RETURN);
    ASSERT_TRUE(dialog.Settle());
    ASSERT_TRUE(dialog.WaitUntilIdle());
    EXPECT_EQ(dialog.Outline(), data + " [  0.00MB]\n  Beta [  0.00MB]\n  sub [  0.00MB]\n");

    // Names outside the ANSI code page: typed, scanned, and shown whole.
    const std::string hebrew = "\u05e2\u05d1\u05e8\u05d9\u05ea";
    const std::string cjk = "\u4e2d\u6587";
    const std::string emoji = "\U0001F600\U0001F4BE";
    const std::string rel = cjk + " " + hebrew;
    t.Dir(rel);
    t.Dir(rel + "\\" + hebrew);
    t.File(rel + "\\" + hebrew + "\\" + emoji + ".bin", 300);
    t.Dir(rel + "\\" + emoji);
    t.File(rel + "\\" + emoji + "\\" + cjk + ".txt", 20);
    dialog.Type(IDC_START_DIR, t.Path(rel));
    dialog.Click(IDC_UNITS_BYTES);
    dialog.Click(IDC_SHOW_FILES);
    dialog.Ok();
    EXPECT_EQ(dialog.Outline(), t.Path(rel) +
                                    " [       320 bytes]\n"
                                    "  " +
                                    hebrew +
                                    " [       300 bytes]\n"
                                    "    " +
                                    emoji +
                                    ".bin [       300 bytes]\n"
                                    "  " +
                                    emoji +
                                    " [        20 bytes]\n"
                                    "    " +
                                    cjk + ".txt [        20 bytes]\n");

    EXPECT_EQ(program.WaitForExit(0), -1);
    EXPECT_TRUE(::IsWindowVisible(dialog.Hwnd()));
    dialog.Click(IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_FALSE(::IsWindow(dialog.Hwnd()));
}

TEST(SizewalkWindow, RejectedPathIsReportedUnderTheProgramsName) {
    WinTempTree t;
    const std::string data = test::MakeExampleTree(t);
    // Renamed, the program captions its message box with its new name.
    const std::string renamed = t.Path("Disk Report.v2.exe");
    ASSERT_TRUE(::CopyFileA(g_exe.c_str(), renamed.c_str(), FALSE));
    Program program(renamed);
    ASSERT_TRUE(program.Started());
    Dialog dialog(program, program.WaitForDialog("Sizewalk"));
    ASSERT_NE(dialog.Hwnd(), nullptr);
    dialog.Type(IDC_START_DIR, data);
    dialog.Ok();
    const std::string before = dialog.Outline();
    ASSERT_EQ(before, data + " [  0.00MB]\n  Beta [  0.00MB]\n  sub [  0.00MB]\n");

    for (const std::string& bad : {data + "\\a.txt", t.Path("missing"), std::string()}) {
        SCOPED_TRACE(bad);
        dialog.Type(IDC_START_DIR, bad);
        dialog.ClickLater(IDOK);
        const HWND box = program.WaitForDialog("Disk Report.v2", dialog.Hwnd(), 15000);
        ASSERT_NE(box, nullptr) << "no message box owned by the dialog";
        char text[256] = {};
        ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        EXPECT_STREQ(text, "Start directory does not exist or is not a directory");
        // One OK button and no icon.
        EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
        EXPECT_EQ(::GetDlgItem(box, IDCANCEL), nullptr);
        for (HWND child = ::GetWindow(box, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            const LONG style = ::GetWindowLongA(child, GWL_STYLE);
            if ((style & SS_TYPEMASK) == SS_ICON && ::IsWindowVisible(child)) {
                EXPECT_EQ(::SendMessageA(child, STM_GETICON, 0, 0), 0) << "an icon is shown";
            }
        }
        ::SendMessageA(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(dialog.Settle());
        EXPECT_EQ(dialog.Outline(), before);  // nothing changed
    }
    dialog.Key(IDOK, VK_ESCAPE);
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST(SizewalkWindow, EveryWayOfClosingEndsTheProcess) {
    struct Way {
        const char* name;
        void (*close)(const Dialog&);
    };
    const Way ways[] = {
        {"Cancel button", [](const Dialog& d) { d.Click(IDCANCEL); }},
        {"Escape", [](const Dialog& d) { d.Key(IDOK, VK_ESCAPE); }},
        {"Escape in the text box", [](const Dialog& d) { d.Key(IDC_START_DIR, VK_ESCAPE); }},
        {"Enter on Cancel",
         [](const Dialog& d) {
             ::PostMessageA(d.Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(d.Item(IDCANCEL)),
                            TRUE);
             d.Key(IDCANCEL, VK_RETURN);
         }},
        {"close box",
         [](const Dialog& d) { ::PostMessageA(d.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"WM_CLOSE", [](const Dialog& d) { ::PostMessageA(d.Hwnd(), WM_CLOSE, 0, 0); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        Program program(g_exe);
        ASSERT_TRUE(program.Started());
        Dialog dialog(program, program.WaitForDialog("Sizewalk"));
        ASSERT_NE(dialog.Hwnd(), nullptr);
        ASSERT_TRUE(dialog.Settle());
        way.close(dialog);
        EXPECT_EQ(program.WaitForExit(), 0);
    }
}

// A scan long enough to watch: the Linux side's /usr, through Wine's drive Z:.
constexpr const char* kLargeTree = "Z:\\usr";

// Starts a scan of the large tree and waits until its progress has changed
// at least once, the dialog answering all along. The progress text.
std::string StartLargeScan(const Dialog& dialog) {
    dialog.Type(IDC_START_DIR, kLargeTree);
    dialog.Click(IDOK);
    EXPECT_FALSE(::IsWindowEnabled(dialog.Item(IDOK))) << "the scan ended at once";
    const std::string first = dialog.Text(IDC_PROGRESS_COUNTS);
    EXPECT_EQ(first.rfind("Scanning: ", 0), 0u) << first;
    for (int i = 0; i < 400 && dialog.Text(IDC_PROGRESS_COUNTS) == first; ++i) {
        EXPECT_TRUE(dialog.Settle());  // the dialog's thread is free
        ::Sleep(25);
    }
    const std::string later = dialog.Text(IDC_PROGRESS_COUNTS);
    EXPECT_NE(later, first);
    EXPECT_TRUE(::IsWindowVisible(dialog.Item(IDC_PROGRESS_DIR)));
    EXPECT_FALSE(::IsWindowEnabled(dialog.Item(IDOK))) << "the scan ended before it was stopped";
    return later;
}

TEST(SizewalkWindow, EscapeStopsALargeScanAndASecondEscapeCloses) {
    Program program(g_exe);
    ASSERT_TRUE(program.Started());
    Dialog dialog(program, program.WaitForDialog("Sizewalk"));
    ASSERT_NE(dialog.Hwnd(), nullptr);
    StartLargeScan(dialog);
    dialog.Key(IDC_TREE, VK_ESCAPE);  // the tree holds the focus while OK is disabled
    ASSERT_TRUE(dialog.WaitUntilIdle(10000));
    EXPECT_EQ(program.WaitForExit(0), -1);
    EXPECT_TRUE(::IsWindowVisible(dialog.Hwnd()));
    EXPECT_EQ(dialog.ItemCount(), 0);
    // The band says that the scan stopped.
    EXPECT_TRUE(::IsWindowVisible(dialog.Item(IDC_PROGRESS_COUNTS)));
    dialog.Key(IDC_START_DIR, VK_ESCAPE);
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST(SizewalkWindow, TheCloseBoxDuringAScanEndsTheProcess) {
    for (const UINT how : {UINT{WM_SYSCOMMAND}, UINT{WM_CLOSE}}) {
        Program program(g_exe);
        ASSERT_TRUE(program.Started());
        Dialog dialog(program, program.WaitForDialog("Sizewalk"));
        ASSERT_NE(dialog.Hwnd(), nullptr);
        StartLargeScan(dialog);
        ::PostMessageA(dialog.Hwnd(), how, how == WM_SYSCOMMAND ? SC_CLOSE : 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }
}

}  // namespace
}  // namespace sizewalk

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH\\TO\\sizewalk.exe\n", argv[0]);
        return 2;
    }
    std::string exe = argv[1];
    if (exe.front() == '/') exe = "Z:" + exe;  // a Unix path
    for (char& c : exe)
        if (c == '/') c = '\\';
    sizewalk::g_exe = exe;
    return RUN_ALL_TESTS();
}
