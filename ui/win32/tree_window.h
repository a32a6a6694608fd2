#pragma once
// A top-level window of its own holding a tree-view control with the
// dialog's styles, whose notifications go to a tree sink as the dialog's do:
// for tools and tests that show a tree without the dialog.

#include <windows.h>

#include "ui/win32/tree_view_sink.h"

namespace sizewalk {

class CTreeWindow {
public:
    // A hidden window unless `shown`; the control fills most of it.
    explicit CTreeWindow(bool shown = false, int width = 400, int height = 400);
    ~CTreeWindow();
    CTreeWindow(const CTreeWindow&) = delete;
    CTreeWindow& operator=(const CTreeWindow&) = delete;

    // False when the system gave no window.
    bool IsValid() const { return m_hFrame && m_hTree; }
    HWND Tree() const { return m_hTree; }
    // Items the control holds now: those created so far.
    int Count() const;
    // The sink that hears the control from now on (none: nothing answers).
    void Attach(CTreeViewSink* sink) { m_pSink = sink; }

private:
    static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hFrame = nullptr;
    HWND m_hTree = nullptr;
    CTreeViewSink* m_pSink = nullptr;
};

}  // namespace sizewalk
