#include "ui/win32/tree_window.h"

#include <commctrl.h>

namespace sizewalk {

namespace {

constexpr wchar_t kFrameClass[] = L"SizewalkTreeWindow";

}  // namespace

CTreeWindow::CTreeWindow(bool shown, int width, int height) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &CTreeWindow::FrameProc;
    wc.hInstance = instance;
    wc.lpszClassName = kFrameClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    ::RegisterClassW(&wc);  // fails harmlessly once registered
    m_hFrame = ::CreateWindowExW(0, kFrameClass, L"Sizewalk tree", WS_OVERLAPPEDWINDOW, 0, 0, width,
                                 height, nullptr, nullptr, instance, nullptr);
    if (!m_hFrame) return;
    ::SetWindowLongPtrW(m_hFrame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    RECT client{};
    ::GetClientRect(m_hFrame, &client);
    m_hTree =
        ::CreateWindowExW(0, WC_TREEVIEWW, L"Tree1",
                          WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS |
                              TVS_HASLINES | TVS_LINESATROOT,
                          0, 0, client.right, client.bottom, m_hFrame, nullptr, instance, nullptr);
    if (shown) {
        ::ShowWindow(m_hFrame, SW_SHOWNOACTIVATE);
        ::UpdateWindow(m_hFrame);
    }
}

CTreeWindow::~CTreeWindow() {
    if (m_hFrame) ::DestroyWindow(m_hFrame);
}

int CTreeWindow::Count() const {
    return static_cast<int>(::SendMessageW(m_hTree, TVM_GETCOUNT, 0, 0));
}

LRESULT CALLBACK CTreeWindow::FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CTreeWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NOTIFY && self && self->m_pSink) {
        LRESULT result = 0;
        if (self->m_pSink->OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
    }
    if (message == WM_NCDESTROY && self) self->m_hFrame = nullptr;
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace sizewalk
