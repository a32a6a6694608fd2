#pragma once
// The program's only window, built from dialog template 102: the user types
// the start directory, picks the unit and whether files are listed, and
// presses OK (or Enter) to see the tree. OK never closes it; Cancel, Escape,
// the close box and Alt+F4 end it with IDCANCEL. F1 does nothing: no help
// file comes with the program.

#include <windows.h>

#include <memory>

#include "ui/scan_command.h"
#include "ui/win32/tree_view_sink.h"

namespace sizewalk {

class CSizewalkDlg {
public:
    explicit CSizewalkDlg(HWND parent = nullptr);
    ~CSizewalkDlg();
    CSizewalkDlg(const CSizewalkDlg&) = delete;
    CSizewalkDlg& operator=(const CSizewalkDlg&) = delete;

    // Runs the dialog modally. IDCANCEL once it has run (OK never ends it),
    // -1 when it could not be created.
    INT_PTR DoModal();

    // Copies the controls into the fields (true) or the fields into the
    // controls (false).
    void UpdateData(bool save);

    HWND GetSafeHwnd() const { return m_hWnd; }

    // Start directory, unit (0 MB, 1 KB, 2 bytes, -1 none) and file switch.
    ScanFields m_fields;
    HICON m_hIcon;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    void OnOK();
    void OnCancel();
    void OnPaint();
    HCURSOR OnQueryDragIcon() const;
    void CenterOnWorkArea();

    HWND m_hParent;
    HWND m_hWnd = nullptr;
    HWND m_hTree = nullptr;
    // The tree's items while the dialog runs; it creates a directory's
    // children when the user first opens it.
    std::unique_ptr<CTreeViewSink> m_pTreeSink;
};

}  // namespace sizewalk
