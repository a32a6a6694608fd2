#include "ui/win32/main_dialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/entry_source.h"
#include "core/process_scan.h"
#include "model/size_text.h"
#include "model/treemap_render.h"
#include "platform/file_actions.h"
#include "platform/wide_text_win32.h"
#include "res/resource.h"
#include "scan/dir_scanner.h"
#include "ui/win32/app_name.h"
#include "ui/win32/command_keys.h"
#include "ui/win32/data_exchange.h"
#include "ui/win32/dialog_message_box.h"
#include "ui/win32/find_dialog.h"
#include "ui/win32/list_pane.h"

namespace sizewalk {

namespace {

// Posted by the worker when a scan has ended.
constexpr UINT kScanDoneMessage = WM_APP + 1;
// Reads the progress while a scan runs, and finishes a scan whose notice
// was lost.
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMilliseconds = 100;

HINSTANCE ModuleInstance() { return ::GetModuleHandleA(nullptr); }

// The view switch and its label, not in the template: in the right column
// under the Treemap check box (the combo box's height is its drop-down's).
constexpr ControlRect kViewLabel = {IDC_STATIC, 201, 163, 50, 8, Anchor::Right};
constexpr ControlRect kViewSwitch = {IDC_VIEW, 201, 173, 56, 60, Anchor::Right};

// Reports an allocation failure that escaped a handler, as the scan command
// reports its own: the dialog stays open.
void ReportOutOfMemory(HWND owner) {
    CDialogMessageBox(owner, ApplicationName()).Show(kOutOfMemoryText, MessageIcon::Warning);
}

// The dialog whose keys the message filter translates (one modal dialog runs
// at a time).
CSizewalkDlg* g_pKeyDialog = nullptr;

bool IsDialogOrChild(HWND dialog, HWND hwnd) {
    return hwnd && (hwnd == dialog || ::IsChild(dialog, hwnd));
}

// The cursor the window under the mouse asks for, now rather than at the
// next mouse move.
void RefreshCursor(HWND dialog) {
    POINT at{};
    if (!::GetCursorPos(&at)) return;
    HWND under = ::WindowFromPoint(at);
    if (!IsDialogOrChild(dialog, under)) return;
    const auto hit =
        static_cast<WORD>(::SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)));
    ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                   MAKELPARAM(hit, WM_MOUSEMOVE));
}

// The width of a control's text in its font, in pixels.
// The width a drop-down list needs to show its longest entry whole: the
// text, the arrow button, the frame and the text's margins.
int DropDownWidth(HWND combo) {
    HDC dc = ::GetDC(combo);
    if (!dc) return 0;
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(combo, WM_GETFONT, 0, 0)));
    int widest = 0;
    const auto count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const auto length = ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length <= 0) continue;
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                       reinterpret_cast<LPARAM>(text.data()));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(length), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    SIZE average{};
    ::GetTextExtentPoint32W(dc, L"x", 1, &average);
    ::SelectObject(dc, old);
    ::ReleaseDC(combo, dc);
    return widest + ::GetSystemMetrics(SM_CXVSCROLL) + 4 * ::GetSystemMetrics(SM_CXEDGE) +
           2 * average.cx;
}

int TextWidth(HWND control) {
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int n = ::GetWindowTextW(control, text.data(), length + 1);
    HDC dc = ::GetDC(control);
    if (!dc) return 0;
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), n, &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return size.cx;
}

void SetClipboardText(HWND owner, const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) throw std::bad_alloc();
    if (void* at = ::GlobalLock(memory)) {
        std::memcpy(at, text.c_str(), bytes);
        ::GlobalUnlock(memory);
    }
    if (!::OpenClipboard(owner)) {
        ::GlobalFree(memory);
        return;
    }
    ::EmptyClipboard();
    // The clipboard owns the memory once it took it.
    if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);
    ::CloseClipboard();
}

}  // namespace

CSizewalkDlg::CSizewalkDlg(HWND parent)
    : m_hIcon(::LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))), m_hParent(parent) {}

CSizewalkDlg::CSizewalkDlg(CEntrySource& source, CKeptScan& kept, HWND parent)
    : CSizewalkDlg(parent) {
    m_pSource = &source;
    m_pKept = &kept;
}

CSizewalkDlg::~CSizewalkDlg() = default;  // the icon is shared: never destroyed

INT_PTR CSizewalkDlg::DoModal() {
    // A Unicode dialog: its edit box takes any character, and the tree's
    // notifications come in UTF-16.
    const INT_PTR result =
        ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_SIZEWALK_DIALOG), m_hParent,
                          &CSizewalkDlg::DialogProc, reinterpret_cast<LPARAM>(this));
    m_pPresenter.reset();  // already gone with the window, unless it never came
    m_hWnd = nullptr;
    m_hTree = nullptr;
    m_hControls = {};
    m_pTreeSink.reset();
    return result;
}

void CSizewalkDlg::UpdateData(bool save) {
    if (save)
        ReadFields(Fields());
    else
        WriteFields(Fields());
}

void CSizewalkDlg::ReadFields(ScanFields& fields) const {
    ExchangeText(m_hWnd, IDC_START_DIR, fields.m_strStartDir, true);
    int units = 0, files = 0;
    ExchangeRadioGroup(m_hWnd, IDC_UNITS_MB, units, true);
    ExchangeCheck(m_hWnd, IDC_SHOW_FILES, files, true);
    fields.m_eUnits = UnitsFromIndex(units);
    fields.m_eFiles = files != 0 ? Files::Shown : Files::Hidden;
}

void CSizewalkDlg::WriteFields(const ScanFields& fields) {
    std::string text = fields.m_strStartDir;
    int units = static_cast<int>(fields.m_eUnits);
    int files = fields.m_eFiles == Files::Shown ? 1 : 0;
    ExchangeText(m_hWnd, IDC_START_DIR, text, false);
    ExchangeRadioGroup(m_hWnd, IDC_UNITS_MB, units, false);
    ExchangeCheck(m_hWnd, IDC_SHOW_FILES, files, false);
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

// The dialog's keys, taken from its modal loop before the dialog manager
// sees them: Enter, Escape and Tab keep their meaning.
LRESULT CALLBACK CSizewalkDlg::KeyFilter(int code, WPARAM wParam, LPARAM lParam) noexcept {
    CSizewalkDlg* self = g_pKeyDialog;
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && self && msg &&
        (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) &&
        IsDialogOrChild(self->m_hWnd, msg->hwnd)) {
        if (msg->hwnd == self->m_hTree &&
            ::TranslateAcceleratorW(self->m_hWnd, self->m_hTreeKeys, msg))
            return TRUE;
        if (msg->hwnd == self->m_rows.Window() && self->OnRowsKey(*msg)) return TRUE;
        if (msg->hwnd == self->m_types.Window() && self->OnTypesKey(*msg)) return TRUE;
        if (::TranslateAcceleratorW(self->m_hWnd, self->m_hKeys, msg)) return TRUE;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CSizewalkDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    auto answer = [this](LRESULT result) {
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    };
    switch (message) {
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (header.hwndFrom == m_rows.Window()) {
                if (header.code == NM_RCLICK) {
                    const DWORD at = ::GetMessagePos();
                    ShowRowsMenu(POINT{GET_X_LPARAM(at), GET_Y_LPARAM(at)}, false);
                    return answer(TRUE);  // no WM_CONTEXTMENU after it
                }
                LRESULT result = 0;
                return m_rows.OnNotify(header, result) ? answer(result) : FALSE;
            }
            if (header.hwndFrom == m_types.Window() && m_types.Window()) {
                if (header.code == NM_RCLICK) {
                    const DWORD at = ::GetMessagePos();
                    PopUpCommands(POINT{GET_X_LPARAM(at), GET_Y_LPARAM(at)}, false);
                    return answer(TRUE);
                }
                LRESULT result = 0;
                return m_types.OnNotify(header, result) ? answer(result) : FALSE;
            }
            // The band's link: the list of the directories not read.
            if (header.hwndFrom == m_progress.Link() &&
                (header.code == NM_CLICK || header.code == NM_RETURN)) {
                if (m_pPresenter) m_pPresenter->OnCommand(Command::UnreadableFolders);
                return answer(0);
            }
            if (header.hwndFrom == m_hTree && header.code == NM_RCLICK) {
                const DWORD at = ::GetMessagePos();
                ShowContextMenu(POINT{GET_X_LPARAM(at), GET_Y_LPARAM(at)}, false);
                return answer(TRUE);  // no WM_CONTEXTMENU after it
            }
            if (header.hwndFrom == m_hTree && header.code == NM_CUSTOMDRAW && m_details.IsShown() &&
                m_pTreeSink)
                // The unreadable directories' marks too.
                return answer(
                    m_pTreeSink->OnCustomDraw(*reinterpret_cast<NMTVCUSTOMDRAW*>(lParam)) |
                    m_details.OnCustomDraw(
                        *reinterpret_cast<NMTVCUSTOMDRAW*>(lParam), m_pTreeSink->Tree(),
                        m_pTreeSink->GetSizeMode(), m_pTreeSink->GroupSeparator(),
                        [this](HTREEITEM item) { return m_pTreeSink->ItemOf(item); }));
            if (const int column = m_details.ClickedColumn(header); column >= 0 && m_pPresenter) {
                m_pPresenter->OnSortBy(DetailSortOrder(static_cast<DetailColumn>(column)));
                return answer(0);
            }
            if (header.hwndFrom == m_details.Header() && header.code == HDN_ITEMCHANGEDW)
                ::InvalidateRect(m_hTree, nullptr, TRUE);  // a column's new width
            // The tree's selection is the presenter's, which every view shows.
            if (header.hwndFrom == m_hTree && header.code == TVN_SELCHANGEDW && m_pPresenter &&
                m_pTreeSink)
                m_pPresenter->OnItemChosen(
                    SelectionView::Tree,
                    m_pTreeSink->ItemOf(
                        reinterpret_cast<const NMTREEVIEWW&>(header).itemNew.hItem));
            LRESULT result = 0;
            if (!m_pTreeSink || !m_pTreeSink->OnNotify(header, result)) return FALSE;
            return answer(result);
        }
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_DRAWITEM:
            return DrawLegend(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
        case WM_COMMAND:
            if (!m_pPresenter) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK:
                    // Enter in the list activates its row; it starts no scan.
                    if (m_rows.Rows() && ::GetFocus() == m_rows.Window())
                        m_rows.ActivateCurrent();
                    else if (m_types.Table() && ::GetFocus() == m_types.Window())
                        m_types.ActivateCurrent();
                    else
                        m_pPresenter->OnCommand(Command::OK);
                    return TRUE;
                case IDC_VIEW:
                    if (HIWORD(wParam) == CBN_SELCHANGE && !m_bShowingArea) {
                        const auto chosen = ::SendMessageW(m_hViewSwitch, CB_GETCURSEL, 0, 0);
                        if (chosen >= 0 && chosen < static_cast<LRESULT>(kAreaViewCount))
                            m_pPresenter->OnShowArea(static_cast<AreaView>(chosen));
                    }
                    return TRUE;
                case IDCANCEL:
                    m_pPresenter->OnCancel();
                    return TRUE;
            }
            if (const int kind = LOWORD(wParam) - IDC_LEGEND; kind >= 0 && kind < kFileKindCount) {
                m_pPresenter->OnLegendKind(static_cast<FileKind>(kind));
                return TRUE;
            }
            return OnCommand(LOWORD(wParam)) ? TRUE : FALSE;
        case WM_CLOSE:
            // The close box, Alt+F4 and Close on the system menu.
            if (!m_pPresenter) return FALSE;
            m_pPresenter->OnClose();
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        case kScanDoneMessage:
            if (m_pPresenter) m_pPresenter->OnScanDone();
            return TRUE;
        case WM_TIMER:
            if (wParam != kTickTimer || !m_pPresenter) return FALSE;
            m_pPresenter->OnTick();
            return TRUE;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) PlaceControls();
            return FALSE;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
            return answer(0);
        case WM_SETCURSOR:
            return OnSetCursor(wParam, lParam) ? answer(TRUE) : FALSE;
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            return OnSplitterMouse(message, lParam) ? TRUE : FALSE;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == m_rows.Window() && m_rows.Window()) {
                ShowRowsMenu(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)},
                             GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1);
                return TRUE;
            }
            if (reinterpret_cast<HWND>(wParam) != m_hTree) return FALSE;
            // From the keyboard (Shift+F10, the Menu key) the point is -1,-1.
            ShowContextMenu(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)},
                            GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1);
            return TRUE;
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
    // The template's controls, before any of the dialog's own join them.
    HWND child = ::GetWindow(m_hWnd, GW_CHILD);
    for (HWND& control : m_hControls) {
        control = child;
        if (child) child = ::GetWindow(child, GW_HWNDNEXT);
    }
    m_hTree = ::GetDlgItem(m_hWnd, IDC_TREE);
    if (!m_pSource) {
        ProcessScan& scan = TheProcessScan();
        m_pSource = &scan.source;
        m_pKept = &scan.kept;
    }
    m_pTreeSink = std::make_unique<CTreeViewSink>(m_hTree);
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const auto font = static_cast<WPARAM>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    // The check box comes after Show Files in the tab order, the map after
    // the tree; both are placed by PlaceControls.
    m_hTreemapBox = ::CreateWindowExW(
        0, L"BUTTON", L"Treemap", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 0, 0,
        m_hWnd, reinterpret_cast<HMENU>(IDC_TREEMAP), instance, nullptr);
    if (m_hTreemapBox) {
        ::SendMessageW(m_hTreemapBox, WM_SETFONT, font, FALSE);
        ::SetWindowPos(m_hTreemapBox, ::GetDlgItem(m_hWnd, IDC_SHOW_FILES), 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    m_details.Create(m_hWnd, IDC_DETAILS_HEADER, reinterpret_cast<HFONT>(font));
    m_pTreemap = std::make_unique<CTreemapWindow>(m_hWnd, IDC_TREEMAP_PANE, RECT{}, false);
    if (m_pTreemap->IsValid()) {
        ::SetWindowPos(m_pTreemap->Window(), m_hTree, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        m_pTreemap->SetDescriber([this](std::uint32_t index) {
            std::wstring tip;
            if (const CScanTree* tree = m_pTreeSink->Tree())
                for (const std::string& line :
                     DescribeItem(*tree, index, m_pTreeSink->GroupSeparator())) {
                    if (!tip.empty()) tip += L"\r\n";
                    tip += WideFromUtf8(line);
                }
            return tip;
        });
        m_pTreemap->SetOnSelect([this](std::uint32_t index) {
            if (m_pPresenter) m_pPresenter->OnItemChosen(SelectionView::Map, index);
        });
    }
    CreateListControls(reinterpret_cast<HFONT>(font));
    m_pPresenter = std::make_unique<CMainPresenter>(static_cast<CMainView&>(*this), *m_pSource,
                                                    *m_pKept, *m_pTreeSink);
    // Info tips of several lines, as wide as they need up to a limit.
    ::SetWindowLongPtrW(m_hTree, GWL_STYLE, ::GetWindowLongPtrW(m_hTree, GWL_STYLE) | TVS_INFOTIP);
    if (HWND tips = reinterpret_cast<HWND>(::SendMessageW(m_hTree, TVM_GETTOOLTIPS, 0, 0))) {
        RECT width{0, 0, 400, 0};
        ::MapDialogRect(m_hWnd, &width);
        ::SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, width.right);
    }
    m_progress.Create(m_hWnd);
    // The band's link comes after the start directory for Tab, as it sits.
    if (m_progress.Link() && m_hControls[kStartLabelIndex])
        ::SetWindowPos(m_progress.Link(), m_hControls[kStartLabelIndex], 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    m_pPresenter->OnInit();
    PlaceControls();
    CenterOnWorkArea();
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // The list's keys: those of the tree alone apart (elsewhere Ctrl+C
    // copies the edit box's text, and Delete deletes it); the row list has
    // the tree's and its own (Escape there goes back to the tree).
    std::vector<ACCEL> keys, treeKeys, listKeys;
    for (const CommandInfo& info : kCommandList) {
        if (info.key.name == KeyName::None || info.key.scope == KeyScope::Map) continue;
        const ACCEL key = AccelOf(info.key, CommandIdOf(info.id));
        if (info.key.scope == KeyScope::Window) keys.push_back(key);
        if (info.key.scope == KeyScope::Tree) treeKeys.push_back(key);
        if (info.key.scope == KeyScope::Tree || info.key.scope == KeyScope::List)
            listKeys.push_back(key);
    }
    m_hKeys = ::CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
    m_hTreeKeys = ::CreateAcceleratorTableW(treeKeys.data(), static_cast<int>(treeKeys.size()));
    m_hListKeys = ::CreateAcceleratorTableW(listKeys.data(), static_cast<int>(listKeys.size()));
    g_pKeyDialog = this;
    m_hKeyHook = ::SetWindowsHookExW(WH_MSGFILTER, &CSizewalkDlg::KeyFilter, nullptr,
                                     ::GetCurrentThreadId());
    return TRUE;  // focus to the first tab stop, the OK button
}

void CSizewalkDlg::OnDestroy() {
    // Stops and joins a running scan while everything it reports to exists.
    m_pPresenter.reset();
    m_pTreemap.reset();  // its worker lets go of the list
    ::KillTimer(m_hWnd, kTickTimer);
    if (m_hKeyHook) ::UnhookWindowsHookEx(m_hKeyHook);
    if (g_pKeyDialog == this) g_pKeyDialog = nullptr;
    for (HACCEL keys : {m_hKeys, m_hTreeKeys, m_hListKeys})
        if (keys) ::DestroyAcceleratorTable(keys);
    m_hKeyHook = nullptr;
    m_hKeys = m_hTreeKeys = m_hListKeys = nullptr;
    m_rows.SetRows(nullptr, {});
    m_rows.SetEvents({});
    m_types.SetTable(nullptr, CTypeTable::npos);
    m_types.SetEvents({});
    m_bBusy = m_bWorking = false;
}

void CSizewalkDlg::PostScanDone() noexcept {
    // A notice that cannot be posted is taken up by the progress timer.
    ::PostMessageW(m_hWnd, kScanDoneMessage, 0, 0);
}

void CSizewalkDlg::ShowMessage(std::string_view text, MessageIcon icon) {
    CDialogMessageBox(m_hWnd, ApplicationName()).Show(text, icon);
}

void CSizewalkDlg::SetScanning(bool scanning) {
    m_bBusy = scanning;
    RefreshCursor(m_hWnd);
}

void CSizewalkDlg::ShowCommands(const CommandStates& states) {
    m_commands = states;  // the menus read them when they open
    for (const CommandInfo& info : kCommandList) {
        if (!info.controlId) continue;
        HWND control = ::GetDlgItem(m_hWnd, info.controlId);
        if (!control) continue;
        ::EnableWindow(control, states[info.id].enabled ? TRUE : FALSE);
        if (info.check != Check::None)
            ::SendMessageW(control, BM_SETCHECK,
                           states[info.id].checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void CSizewalkDlg::ShowBusy(bool busy) {
    m_bWorking = busy;
    RefreshCursor(m_hWnd);  // at once: the work that follows holds the message loop
}

void CSizewalkDlg::ShowProgress(const ProgressText& text) {
    m_progress.SetText(text);
    m_progress.Show(true);
}

void CSizewalkDlg::HideProgress() { m_progress.Show(false); }

void CSizewalkDlg::StartTicks() { ::SetTimer(m_hWnd, kTickTimer, kTickMilliseconds, nullptr); }

void CSizewalkDlg::StopTicks() { ::KillTimer(m_hWnd, kTickTimer); }

Control CSizewalkDlg::FocusedControl() const {
    HWND focus = ::GetFocus();
    for (const ControlRect& c : kControls)
        if (c.id > 0 && focus && focus == ::GetDlgItem(m_hWnd, c.id))
            return static_cast<Control>(c.id);
    return Control::None;
}

void CSizewalkDlg::FocusControl(Control control) {
    if (HWND target = ::GetDlgItem(m_hWnd, static_cast<int>(control)))
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

void CSizewalkDlg::CloseWindow() { ::EndDialog(m_hWnd, IDCANCEL); }

bool CSizewalkDlg::OnSetCursor(WPARAM, LPARAM lParam) {
    // Over the frame the sizing cursors stay: the window can still be moved
    // and sized.
    if (LOWORD(lParam) != HTCLIENT) return false;
    if (m_bBusy || m_bWorking) {
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
        return true;
    }
    POINT at{};
    ::GetCursorPos(&at);
    ::ScreenToClient(m_hWnd, &at);
    if (!m_bSplitting && !::PtInRect(&m_splitter, at)) return false;
    ::SetCursor(::LoadCursorA(nullptr, IDC_SIZENS));
    return true;
}

bool CSizewalkDlg::OnSplitterMouse(UINT message, LPARAM lParam) {
    const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
        case WM_LBUTTONDOWN:
            if (!::PtInRect(&m_splitter, at)) return false;
            m_bSplitting = true;
            ::SetCapture(m_hWnd);
            return true;
        case WM_MOUSEMOVE: {
            if (!m_bSplitting || m_nRoomHeight <= 0) return false;
            // The bar's middle follows the pointer; each pane keeps a tenth.
            const int below = m_nRoomTop + m_nRoomHeight - at.y - kSplitterGap / 2;
            const int share =
                std::clamp(below * 1000 / std::max(1, m_nRoomHeight - kSplitterGap), 100, 900);
            if (share != m_nMapShare) {
                m_nMapShare = share;
                PlaceControls();
            }
            return true;
        }
        case WM_LBUTTONUP:
            if (!m_bSplitting) return false;
            ::ReleaseCapture();  // ends the drag through WM_CAPTURECHANGED
            return true;
        case WM_CAPTURECHANGED:
            m_bSplitting = false;
            return false;
    }
    return false;
}

// The tree takes the extra room, the start directory box grows in width,
// the buttons and the display choices keep to the right edge.
void CSizewalkDlg::PlaceControls() {
    RECT base{0, 0, kDialogWidth, kDialogHeight};
    RECT client{};
    if (!::MapDialogRect(m_hWnd, &base) || !::GetClientRect(m_hWnd, &client)) return;
    const int dx = client.right - base.right;
    const int dy = client.bottom - base.bottom;
    // Each of x, y, width and height maps on its own, as the dialog manager
    // maps a template's controls.
    auto pixels = [this](const ControlRect& c) {
        RECT r{c.x, c.y, c.w, c.h};
        ::MapDialogRect(m_hWnd, &r);
        return PixelRect{r.left, r.top, r.right, r.bottom};
    };
    // The view switch shows its longest entry whole: wider than its column,
    // it grows to the left and the tree gives way by as much.
    int switchGrowth = 0;
    if (m_hViewSwitch)
        switchGrowth = std::max(0, DropDownWidth(m_hViewSwitch) - pixels(kViewSwitch).w);
    HDWP positions = ::BeginDeferWindowPos(static_cast<int>(std::size(kControls)) + 8);
    for (std::size_t i = 0; i < std::size(kControls) && positions; ++i) {
        if (!m_hControls[i]) continue;
        PixelRect r = Anchored(pixels(kControls[i]), kControls[i].anchor, dx, dy);
        if (i == kTreeIndex) r.w -= switchGrowth;
        if (i == kStartLabelIndex) {
            // Grows to the left, keeping its gap to the edit box.
            const int need = TextWidth(m_hControls[i]);
            if (need > r.w) {
                const int right = r.x + r.w;
                r.x = std::max(0, right - need);
                r.w = right - r.x;
            }
        }
        positions = ::DeferWindowPos(positions, m_hControls[i], nullptr, r.x, r.y, r.w, r.h,
                                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const PixelRect band = Anchored(pixels(kProgress), kProgress.anchor, dx, dy);
    m_progress.Place(positions, band.x, band.y, band.w, band.h);
    if (m_hTreemapBox && positions) {
        const PixelRect box = Anchored(pixels(kTreemapBox), kTreemapBox.anchor, dx, dy);
        positions = ::DeferWindowPos(positions, m_hTreemapBox, nullptr, box.x, box.y, box.w, box.h,
                                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (const auto& [control, rect] :
         {std::pair{m_hViewLabel, kViewLabel}, std::pair{m_hViewSwitch, kViewSwitch}}) {
        if (!control || !positions) continue;
        PixelRect r = Anchored(pixels(rect), rect.anchor, dx, dy);
        r.x -= switchGrowth;
        r.w += switchGrowth;
        positions = ::DeferWindowPos(positions, control, nullptr, r.x, r.y, r.w, r.h,
                                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PixelRect all = Anchored(pixels(kControls[kTreeIndex]), kControls[kTreeIndex].anchor, dx, dy);
    all.w -= switchGrowth;
    int treeHeight = all.h;
    m_splitter = RECT{};  // none while the map is hidden
    if (m_pTreemap && m_pTreemap->IsValid() && ::IsWindowVisible(m_pTreemap->Window()) &&
        positions) {
        // The map takes the lower part of the tree's room.
        const int gap = kSplitterGap;
        const int mapHeight = (all.h - gap) * m_nMapShare / 1000;
        treeHeight = all.h - gap - mapHeight;
        // The legend takes the lines below the map that its names need, whole
        // names flowing left to right.
        const int line = LegendHeight();
        std::array<RECT, kFileKindCount> swatches{};
        int x = 0, y = 0;
        for (int k = 0; k < kFileKindCount; ++k) {
            const int w = m_hLegend[k] ? TextWidth(m_hLegend[k]) + line + 8 : 0;
            if (x > 0 && x + w > all.w) {
                x = 0;
                y += line;
            }
            swatches[k] = RECT{x, y, x + w, y + line};
            x += w;
        }
        const int legend = line ? y + line : 0;
        m_splitter = RECT{all.x, all.y + treeHeight, all.x + all.w, all.y + treeHeight + gap};
        m_nRoomTop = all.y;
        m_nRoomHeight = all.h;
        positions = ::DeferWindowPos(positions, m_hTree, nullptr, all.x, all.y, all.w, treeHeight,
                                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (positions)
            positions = ::DeferWindowPos(
                positions, m_pTreemap->Window(), nullptr, all.x, all.y + treeHeight + gap, all.w,
                std::max(0, mapHeight - legend), SWP_NOZORDER | SWP_NOACTIVATE);
        for (int k = 0; k < kFileKindCount && positions; ++k) {
            if (!m_hLegend[k]) continue;
            const RECT& r = swatches[k];
            positions = ::DeferWindowPos(positions, m_hLegend[k], nullptr, all.x + r.left,
                                         all.y + all.h - legend + r.top, r.right - r.left, line,
                                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    // A list takes the tree's room, the details header's too.
    const bool list = m_rows.Rows() != nullptr || m_types.IsShown();
    positions = m_rows.Place(positions, all.x, all.y, all.w, treeHeight);
    positions = m_types.Place(positions, all.x, all.y, all.w, treeHeight);
    if (HWND header = m_details.Header())
        ::ShowWindow(header, m_details.IsShown() && !list ? SW_SHOWNA : SW_HIDE);
    if (m_details.IsShown() && positions) {
        // The details header takes the top of the tree's room.
        const int header = m_details.Height();
        positions = m_details.Place(positions, m_hWnd, all.x, all.y, all.w);
        if (positions)
            positions =
                ::DeferWindowPos(positions, m_hTree, nullptr, all.x, all.y + header, all.w,
                                 std::max(0, treeHeight - header), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (positions) ::EndDeferWindowPos(positions);
    // The dialog paints under its controls: the background first, then every
    // control where it now stands (a moved control must not be left erased).
    ::RedrawWindow(m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// Never smaller than the template.
void CSizewalkDlg::OnGetMinMaxInfo(MINMAXINFO& info) const {
    RECT size{0, 0, kDialogWidth, kDialogHeight};
    if (!::MapDialogRect(m_hWnd, &size)) return;
    ::AdjustWindowRectEx(&size, static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
    info.ptMinTrackSize.x = size.right - size.left;
    info.ptMinTrackSize.y = size.bottom - size.top;
}

bool CSizewalkDlg::OnCommand(int id) {
    if (id == IDC_TREEMAP) {
        m_pPresenter->OnCommand(Command::TreemapBox);
        return true;
    }
    const int index = id - kFirstCommandId;
    if (index < 0 || index >= static_cast<int>(kCommandCount)) return false;
    const CommandInfo& info = kCommandList[static_cast<std::size_t>(index)];
    // Of the keys alone, only the list's Escape comes here.
    if ((info.menu == Menu::None && info.id != Command::BackToTree) || info.menu == Menu::Map)
        return false;
    m_pPresenter->OnCommand(info.id);
    return true;
}

void CSizewalkDlg::ShowContextMenu(POINT screen, bool fromKeyboard) {
    HTREEITEM item = nullptr;
    if (fromKeyboard) {
        item = TreeView_GetSelection(m_hTree);
        RECT rect{};
        if (!item || !TreeView_GetItemRect(m_hTree, item, &rect, TRUE)) return;
        screen = POINT{rect.left, rect.bottom};
        ::ClientToScreen(m_hTree, &screen);
    } else {
        TVHITTESTINFO hit{};
        hit.pt = screen;
        ::ScreenToClient(m_hTree, &hit.pt);
        item = TreeView_HitTest(m_hTree, &hit);
        if (!item || !(hit.flags & TVHT_ONITEM))
            item = nullptr;  // off the items a scan can still be opened
        else
            TreeView_SelectItem(m_hTree, item);
    }
    PopUpCommands(screen, item != nullptr);
}

void CSizewalkDlg::PopUpCommands(POINT screen, bool onItem) {
    HMENU menu = ::CreatePopupMenu();
    if (!menu) throw std::bad_alloc();
    AppendCommands(menu, onItem);
    const int command = static_cast<int>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                          screen.x, screen.y, 0, m_hWnd, nullptr));
    ::DestroyMenu(menu);
    if (command) OnCommand(command);
}

void CSizewalkDlg::AppendCommands(HMENU menu, bool onItem) {
    // Off the items a scan can still be saved or opened.
    for (const CommandInfo& info : kCommandList) {
        if (info.menu != Menu::Tree && !(info.menu == Menu::TreeItem && onItem)) continue;
        const CommandState state = m_commands[info.id];
        const int id = CommandIdOf(info.id);
        UINT flags = MF_STRING | (state.enabled ? 0 : MF_GRAYED);
        if (info.check == Check::Mark && state.checked) flags |= MF_CHECKED;
        if (!::AppendMenuW(menu, flags, static_cast<UINT_PTR>(id), MenuItemText(info).c_str()))
            throw std::bad_alloc();
        // A bullet among the items of its group: the group is the items next to it.
        if (info.check == Check::Radio && state.checked) {
            int first = id, last = id;
            while (first > kFirstCommandId &&
                   kCommandList[static_cast<std::size_t>(first - 1 - kFirstCommandId)].check ==
                       Check::Radio)
                --first;
            while (last + 1 - kFirstCommandId < static_cast<int>(kCommandCount) &&
                   kCommandList[static_cast<std::size_t>(last + 1 - kFirstCommandId)].check ==
                       Check::Radio)
                ++last;
            ::CheckMenuRadioItem(menu, static_cast<UINT>(first), static_cast<UINT>(last),
                                 static_cast<UINT>(id), MF_BYCOMMAND);
        }
        if (info.separatorAfter) ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
}

std::string CSizewalkDlg::AskSaveScanPath(const std::string& suggested) {
    return AskScanPath(true, suggested);
}

std::string CSizewalkDlg::AskOpenScanPath() { return AskScanPath(false, {}); }

std::string CSizewalkDlg::AskScanPath(bool save, const std::string& suggested) {
    if (m_chooseScanFile) return m_chooseScanFile(save, suggested);
    // Long paths fit: the dialog writes at most this many units.
    std::wstring file(32768, L'\0');
    const std::wstring offered = WideFromUtf8(suggested);
    offered.copy(file.data(), std::min(offered.size(), file.size() - 1));
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = L"Scans (*.json)\0*.json\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = L"json";
    ofn.lpstrTitle = save ? L"Save Scan" : L"Open Scan";
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    if (!(save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn))) return {};
    return Utf8FromWide(file.c_str());
}

TreeSelection CSizewalkDlg::SelectedItem() const {
    if (!m_hTree || !m_pTreeSink) return {};
    HTREEITEM item = TreeView_GetSelection(m_hTree);
    return {m_pTreeSink->Tree(), item ? m_pTreeSink->ItemOf(item) : CScanTree::kNoItem};
}

void CSizewalkDlg::CopyToClipboard(const std::string& text) {
    SetClipboardText(m_hWnd, WideFromUtf8(text));
}

bool CSizewalkDlg::OpenFolder(const std::string& path) {
    if (m_openFolder) {
        m_openFolder(path);
        return true;
    }
    const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
        m_hWnd, L"open", WideFromUtf8(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;  // above 32: it opened
}

bool CSizewalkDlg::Confirm(std::string_view text) {
    // No is the default: Enter keeps everything.
    return ::MessageBoxW(m_hWnd, WideFromUtf8(text).c_str(),
                         WideFromUtf8(ApplicationName()).c_str(),
                         MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

bool CSizewalkDlg::OpenTerminal(const std::string& path) {
    return m_openTerminal ? m_openTerminal(path) : ::sizewalk::OpenTerminal(path);
}

void CSizewalkDlg::ShowSortOrder(SortOrder order) {
    m_pTreeSink->SetSortOrder(order);
    m_details.ShowSortOrder(order);
}

void CSizewalkDlg::ShowDetails(bool shown) {
    if (shown == m_details.IsShown()) return;
    m_details.Show(shown);
    PlaceControls();
    ::InvalidateRect(m_hTree, nullptr, TRUE);
}

void CSizewalkDlg::ShowSizeMode(SizeMode mode) {
    m_pTreeSink->SetSizeMode(mode);
    if (m_pTreemap) m_pTreemap->SetSizeMode(mode);
}

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

void CSizewalkDlg::ShowTreemap(bool shown) {
    if (!m_pTreemap || !m_pTreemap->IsValid()) return;
    HWND map = m_pTreemap->Window();
    if (shown == (::IsWindowVisible(map) != FALSE)) return;
    RECT base{0, 0, kDialogWidth, kDialogHeight}, client{}, window{};
    ::MapDialogRect(m_hWnd, &base);
    ::GetClientRect(m_hWnd, &client);
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left, height = window.bottom - window.top;
    ::ShowWindow(map, shown ? SW_SHOWNA : SW_HIDE);
    for (HWND swatch : m_hLegend)
        if (swatch) ::ShowWindow(swatch, shown ? SW_SHOWNA : SW_HIDE);
    RECT tree{};
    ::GetWindowRect(m_hTree, &tree);
    if (const int growth =
            shown ? TreemapGrowth(client.bottom, base.bottom, tree.bottom - tree.top) : 0) {
        // At its smallest the window grows, so that the tree keeps its room.
        m_nTreemapGrowth = growth;
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height + m_nTreemapGrowth,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (!shown && m_nTreemapGrowth) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height - m_nTreemapGrowth,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        m_nTreemapGrowth = 0;
    }
    PlaceControls();
}

void CSizewalkDlg::ShowMapList(const CScanList* list) {
    if (m_pTreemap && m_pTreemap->IsValid()) m_pTreemap->SetList(list);
}

void CSizewalkDlg::ShowMapHighlight(const std::optional<FileTypeFilter>& type) {
    if (m_pTreemap && m_pTreemap->IsValid()) m_pTreemap->SetHighlight(type);
}

void CSizewalkDlg::ShowTypes(const CTypeTable* types, std::size_t row) {
    m_types.SetSeparator(GroupSeparator());
    m_types.SetTable(types, row);
}

int CSizewalkDlg::LegendHeight() const {
    return m_hLegend[0] ? ControlLineHeight(m_hLegend[0]) + 2 : 0;
}

void CSizewalkDlg::CreateLegend(HFONT font) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HWND after = m_pTreemap && m_pTreemap->IsValid() ? m_pTreemap->Window() : nullptr;
    for (int k = 0; k < kFileKindCount; ++k) {
        const std::wstring name = WideFromUtf8(FileKindLabel(static_cast<FileKind>(k)));
        // Drawn here: a swatch of the kind's colour before its name.
        m_hLegend[k] = ::CreateWindowExW(
            0, L"BUTTON", name.c_str(), WS_CHILD | WS_TABSTOP | BS_OWNERDRAW, 0, 0, 0, 0, m_hWnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LEGEND + k)), instance, nullptr);
        if (!m_hLegend[k]) continue;
        ::SendMessageW(m_hLegend[k], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (after)
            ::SetWindowPos(m_hLegend[k], after, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = m_hLegend[k];
    }
}

bool CSizewalkDlg::DrawLegend(const DRAWITEMSTRUCT& item) const {
    const int kind = static_cast<int>(item.CtlID) - IDC_LEGEND;
    if (item.CtlType != ODT_BUTTON || kind < 0 || kind >= kFileKindCount) return false;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    const int side = std::max<LONG>(4, (r.bottom - r.top) - 8);
    RECT swatch{r.left + 4, r.top + (r.bottom - r.top - side) / 2, 0, 0};
    swatch.right = swatch.left + side;
    swatch.bottom = swatch.top + side;
    const std::uint32_t color = TreemapKindColor(static_cast<FileKind>(kind));
    HBRUSH fill = ::CreateSolidBrush(RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));
    ::FillRect(dc, &swatch, fill);
    ::DeleteObject(fill);
    ::FrameRect(dc, &swatch, static_cast<HBRUSH>(::GetStockObject(DKGRAY_BRUSH)));
    wchar_t text[64] = {};
    ::GetWindowTextW(item.hwndItem, text, static_cast<int>(std::size(text)));
    RECT label = r;
    label.left = swatch.right + 4;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::DrawTextW(dc, text, -1, &label,
                DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = r;
        ::InflateRect(&focus, -1, -1);
        ::DrawFocusRect(dc, &focus);
    }
    return true;
}

bool CSizewalkDlg::OnTypesKey(MSG& msg) {
    // The dialog would take Enter for OK: here it lists the type's files.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        m_types.ActivateCurrent();
        return true;
    }
    return ::TranslateAcceleratorW(m_hWnd, m_hListKeys, &msg) != 0;
}

void CSizewalkDlg::CreateListControls(HFONT font) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    // Tab order: the list after the tree (its title before it), the
    // switch after the Treemap box.
    if (m_rows.Create(m_hWnd, IDC_ROWS, IDC_ROWS_TITLE, font)) {
        ::SetWindowPos(m_rows.Title(), m_hTree, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::SetWindowPos(m_rows.Window(), m_rows.Title(), 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (m_types.Create(m_hWnd, IDC_TYPES, IDC_TYPES_TITLE, font)) {
        ::SetWindowPos(m_types.Title(), m_rows.Window(), 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::SetWindowPos(m_types.Window(), m_types.Title(), 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    m_types.SetEvents({
        [this](TypeColumn column, bool ascending) {
            if (m_pPresenter) m_pPresenter->OnSortTypes(column, ascending);
        },
        [this](std::size_t row) {
            if (m_pPresenter) m_pPresenter->OnTypeChosen(row);
        },
        [this](std::size_t row) {
            if (!m_pPresenter) return;
            m_pPresenter->OnTypeChosen(row);
            m_pPresenter->OnCommand(Command::LargestOfType);
        },
    });
    CreateLegend(font);
    m_rows.SetEvents({
        [this](RowColumn column, bool ascending) {
            if (m_pPresenter) m_pPresenter->OnSortRows(column, ascending);
        },
        [this](CScanTree::Item item) {
            if (m_pPresenter) m_pPresenter->OnItemChosen(SelectionView::List, item);
        },
        [this](CScanTree::Item item) {
            if (m_pPresenter) m_pPresenter->OnRowActivated(item);
        },
    });
    // Shown from the start; "&View:" gives it Alt+V and its accessible name.
    m_hViewLabel =
        ::CreateWindowExW(0, L"STATIC", L"&View:", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 0, 0,
                          m_hWnd, reinterpret_cast<HMENU>(IDC_STATIC), instance, nullptr);
    m_hViewSwitch = ::CreateWindowExW(
        0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
        0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VIEW)), instance,
        nullptr);
    HWND after = m_hTreemapBox;
    for (HWND control : {m_hViewLabel, m_hViewSwitch}) {
        if (!control) continue;
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (after)
            ::SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = control;
    }
    if (m_hViewSwitch) {
        for (std::string_view text : kAreaViewText)
            ::SendMessageW(m_hViewSwitch, CB_ADDSTRING, 0,
                           reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
        ::SendMessageW(m_hViewSwitch, CB_SETCURSEL, static_cast<WPARAM>(AreaView::Tree), 0);
    }
}

bool CSizewalkDlg::OnRowsKey(MSG& msg) {
    // The dialog would take Enter for OK: here it opens the row.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        m_rows.ActivateCurrent();
        return true;
    }
    return ::TranslateAcceleratorW(m_hWnd, m_hListKeys, &msg) != 0;
}

void CSizewalkDlg::ShowRowsMenu(POINT screen, bool fromKeyboard) {
    HWND list = m_rows.Window();
    int row = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    if (fromKeyboard) {
        RECT rect{};
        if (row < 0 || !ListView_GetItemRect(list, row, &rect, LVIR_LABEL)) {
            ::GetClientRect(list, &rect);
            rect.bottom = rect.top;
            row = -1;
        }
        screen = POINT{rect.left, rect.bottom};
        ::ClientToScreen(list, &screen);
    } else {
        LVHITTESTINFO hit{};
        hit.pt = screen;
        ::ScreenToClient(list, &hit.pt);
        row = ListView_HitTest(list, &hit);
        // A click on a row outside the selection takes the row alone;
        // within it the selection stays for a removal of all of them.
        if (row >= 0 && !(ListView_GetItemState(list, row, LVIS_SELECTED) & LVIS_SELECTED)) {
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
            ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
        } else if (row >= 0) {
            ListView_SetItemState(list, row, LVIS_FOCUSED, LVIS_FOCUSED);
        }
    }
    PopUpCommands(screen, row >= 0);
}

void CSizewalkDlg::ShowArea(AreaView area, const CRowTable* rows, std::string_view title) {
    m_rows.SetSeparator(GroupSeparator());
    m_rows.SetRows(rows, title);
    m_bShowingArea = true;
    if (m_hViewSwitch) ::SendMessageW(m_hViewSwitch, CB_SETCURSEL, static_cast<WPARAM>(area), 0);
    m_bShowingArea = false;
    const bool types = area == AreaView::Types;
    if (types) m_types.SetTitle(title);
    // What shows takes the focus before the others hide, which would pass it on.
    HWND shown = types ? m_types.Window() : rows ? m_rows.Window() : m_hTree;
    if (types)
        m_types.Show(true);
    else if (rows)
        m_rows.Show(true);
    else
        ::ShowWindow(m_hTree, SW_SHOWNA);
    PlaceControls();
    if (shown) ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(shown), TRUE);
    if (types || rows) ::ShowWindow(m_hTree, SW_HIDE);
    if (!rows) m_rows.Show(false);
    if (!types) m_types.Show(false);
}

std::vector<CScanTree::Item> CSizewalkDlg::SelectedRows() const {
    return m_rows.Rows() ? m_rows.SelectedItems() : std::vector<CScanTree::Item>{};
}

bool CSizewalkDlg::AskFind(FindFields& fields, const std::vector<std::string>& history) {
    return AskFindFields(m_hWnd, fields, history);
}

void CSizewalkDlg::ShowSelection(SelectionView view, CScanTree::Item item) {
    if (view == SelectionView::List) return m_rows.Select(item);
    if (view == SelectionView::Map) {
        if (m_pTreemap && m_pTreemap->IsValid()) m_pTreemap->SetSelected(item);
        return;
    }
    const CScanTree* tree = m_pTreeSink ? m_pTreeSink->Tree() : nullptr;
    if (!tree || item >= tree->List().Count()) return;
    // Its parents opened on the way, as a tree state restored.
    TreeState state;
    for (CScanTree::Item up = tree->Parent(item); up != CScanTree::kNoItem; up = tree->Parent(up))
        state.expanded.insert(state.expanded.begin(), tree->Path(up));
    state.selected = tree->Path(item);
    RestoreTreeState(state);
}

CMainView::TreeState CSizewalkDlg::SaveTreeState() const {
    TreeState state;
    if (!m_hTree || !m_pTreeSink) return state;
    // Only what is open is walked; its children exist in the control.
    std::vector<HTREEITEM> open{TreeView_GetRoot(m_hTree)};
    while (!open.empty()) {
        HTREEITEM item = open.back();
        open.pop_back();
        if (!item || !(TreeView_GetItemState(m_hTree, item, TVIS_EXPANDED) & TVIS_EXPANDED))
            continue;
        state.expanded.push_back(m_pTreeSink->PathOf(item));
        std::vector<HTREEITEM> children;
        for (HTREEITEM c = TreeView_GetChild(m_hTree, item); c;
             c = TreeView_GetNextSibling(m_hTree, c))
            children.push_back(c);
        open.insert(open.end(), children.rbegin(), children.rend());
    }
    state.selected = m_pTreeSink->PathOf(TreeView_GetSelection(m_hTree));
    return state;
}

void CSizewalkDlg::RestoreTreeState(const TreeState& state) {
    const CScanTree* tree = m_pTreeSink ? m_pTreeSink->Tree() : nullptr;
    if (!tree) return;
    // The control item of `item`, its ancestors opened on the way (which
    // creates their children); null where the tree does not show it.
    auto reveal = [&](CScanTree::Item item) -> HTREEITEM {
        if (item == CScanTree::kNoItem) return nullptr;
        std::vector<CScanTree::Item> chain;
        for (CScanTree::Item i = item; i != CScanTree::kNoItem; i = tree->Parent(i))
            chain.push_back(i);
        HTREEITEM at = TreeView_GetRoot(m_hTree);
        for (auto it = chain.rbegin() + 1; at && it != chain.rend(); ++it) {
            TreeView_Expand(m_hTree, at, TVE_EXPAND);
            HTREEITEM c = TreeView_GetChild(m_hTree, at);
            while (c && m_pTreeSink->ItemOf(c) != *it) c = TreeView_GetNextSibling(m_hTree, c);
            at = c;
        }
        return at;
    };
    for (const std::string& path : state.expanded)
        if (HTREEITEM item = reveal(tree->Find(path))) TreeView_Expand(m_hTree, item, TVE_EXPAND);
    if (HTREEITEM item = reveal(tree->Find(state.selected))) {
        TreeView_SelectItem(m_hTree, item);
        TreeView_EnsureVisible(m_hTree, item);
    }
}

}  // namespace sizewalk
