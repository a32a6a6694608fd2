#pragma once
// A hidden top-level window holding a tree-view control with the dialog's
// styles, passing the control's notifications to a tree sink as the dialog
// does.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "ui/win32/tree_view_sink.h"

namespace sizewalk::test {

class TreeWindow {
public:
    TreeWindow() {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES};
        EXPECT_TRUE(::InitCommonControlsEx(&icc));
        static const ATOM frameClass = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &TreeWindow::FrameProc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"SizewalkTestTreeFrame";
            return ::RegisterClassW(&wc);
        }();
        EXPECT_NE(frameClass, 0);
        m_frame = ::CreateWindowExW(0, L"SizewalkTestTreeFrame", L"frame", WS_OVERLAPPEDWINDOW, 0,
                                    0, 400, 400, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(m_frame, nullptr);
        ::SetWindowLongPtrW(m_frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_tree = ::CreateWindowExW(0, WC_TREEVIEWW, L"Tree1",
                                   WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS |
                                       TVS_HASLINES | TVS_LINESATROOT,
                                   0, 0, 300, 300, m_frame, nullptr, nullptr, nullptr);
        EXPECT_NE(m_tree, nullptr);
    }
    ~TreeWindow() { ::DestroyWindow(m_frame); }
    TreeWindow(const TreeWindow&) = delete;
    TreeWindow& operator=(const TreeWindow&) = delete;

    HWND Tree() const { return m_tree; }
    // Items the control holds now (created ones only).
    int Count() const { return static_cast<int>(::SendMessageW(m_tree, TVM_GETCOUNT, 0, 0)); }
    // The sink that hears the control; none before this is called.
    void Attach(CTreeViewSink* sink) { m_sink = sink; }

private:
    static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TreeWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_NOTIFY && self && self->m_sink) {
            LRESULT result = 0;
            if (self->m_sink->OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result))
                return result;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND m_frame = nullptr;
    HWND m_tree = nullptr;
    CTreeViewSink* m_sink = nullptr;
};

}  // namespace sizewalk::test
