#include "ui/win32/main_dialog.h"

#include <new>
#include <string>

#include "res/resource.h"
#include "scan/dir_scanner.h"
#include "ui/entry_source.h"
#include "ui/win32/app_name.h"
#include "ui/win32/data_exchange.h"
#include "ui/win32/dialog_message_box.h"
#include "ui/win32/system_wait_cursor.h"
#include "ui/win32/tree_view_sink.h"

namespace sizewalk {

namespace {

HINSTANCE ModuleInstance() { return ::GetModuleHandleA(nullptr); }

// Reports an allocation failure that escaped a handler, as the scan command
// reports its own: the dialog stays open.
void ReportOutOfMemory(HWND owner) {
    CDialogMessageBox(owner, ApplicationName()).Show(kOutOfMemoryText, MessageIcon::Warning);
}

}  // namespace

CSizewalkDlg::CSizewalkDlg(HWND parent)
    : m_hIcon(::LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))), m_hParent(parent) {}

CSizewalkDlg::~CSizewalkDlg() = default;  // the icon is shared: never destroyed

INT_PTR CSizewalkDlg::DoModal() {
    // A Unicode dialog: its edit box takes any character, and the tree's
    // notifications come in UTF-16.
    const INT_PTR result =
        ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_SIZEWALK_DIALOG), m_hParent,
                          &CSizewalkDlg::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    m_hTree = nullptr;
    m_pTreeSink.reset();
    return result;
}

void CSizewalkDlg::UpdateData(bool save) {
    ExchangeText(m_hWnd, IDC_START_DIR, m_fields.m_strStartDir, save);
    ExchangeRadioGroup(m_hWnd, IDC_UNITS_MB, m_fields.m_nUnits, save);
    ExchangeCheck(m_hWnd, IDC_SHOW_FILES, m_fields.m_bShowFiles, save);
}

INT_PTR CALLBACK CSizewalkDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                          LPARAM lParam) noexcept {
    auto* self = reinterpret_cast<CSizewalkDlg*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CSizewalkDlg*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->m_hWnd = hwnd;
    }
    if (!self) return FALSE;
    // Nothing may unwind through the system's dialog code.
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        // A directory whose children did not fit stays closed.
        if (message == WM_NOTIFY) ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
        ReportOutOfMemory(hwnd);
        return message == WM_INITDIALOG || message == WM_NOTIFY ? TRUE : FALSE;
    }
}

INT_PTR CSizewalkDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (!m_pTreeSink ||
                !m_pTreeSink->OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result))
                return FALSE;
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    OnOK();
                    return TRUE;
                case IDCANCEL:
                    OnCancel();
                    return TRUE;
            }
            return FALSE;
        case WM_PAINT:
            if (!::IsIconic(m_hWnd)) return FALSE;  // the dialog paints itself
            OnPaint();
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
        case WM_HELP:
            return TRUE;  // no help file ships: F1 does nothing
    }
    return FALSE;
}

BOOL CSizewalkDlg::OnInitDialog() {
    m_hTree = ::GetDlgItem(m_hWnd, IDC_TREE);
    m_pTreeSink = std::make_unique<CTreeViewSink>(m_hTree);
    m_fields.m_strStartDir = std::string(kDefaultStartDir);
    m_fields.m_bShowFiles = 0;
    m_fields.m_nUnits = kUnitsMB;
    UpdateData(false);
    CenterOnWorkArea();
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    return TRUE;  // focus to the first tab stop, the OK button
}

void CSizewalkDlg::OnOK() {
    UpdateData(true);
    // Kept between presses until the process ends.
    static CDirScanner s_scanner;
    static std::string s_lastScannedDir;
    CScannerSource source(s_scanner);
    CDialogMessageBox messages(m_hWnd, ApplicationName());
    CSystemWaitCursor cursor;
    RunScanCommand(m_fields, source, s_lastScannedDir, *m_pTreeSink, messages, cursor);
}

void CSizewalkDlg::OnCancel() { ::EndDialog(m_hWnd, IDCANCEL); }

void CSizewalkDlg::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    ::GetClientRect(m_hWnd, &rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

HCURSOR CSizewalkDlg::OnQueryDragIcon() const { return static_cast<HCURSOR>(m_hIcon); }

// The template places the dialog at 0,0 and asks for no position of its own:
// show it centred on the work area of the monitor it lands on.
void CSizewalkDlg::CenterOnWorkArea() {
    RECT window;
    if (!::GetWindowRect(m_hWnd, &window)) return;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = ::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY);
    if (!::GetMonitorInfoW(monitor, &info)) return;
    const RECT& area = info.rcWork;
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Keep the caption reachable on a work area smaller than the dialog.
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace sizewalk
