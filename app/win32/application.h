#pragma once
// The process: start-up shows the main dialog modally and then lets the
// process end. No command line is read and nothing is written.

#include <windows.h>

namespace sizewalk {

class CSizewalkDlg;

class CSizewalkApp {
public:
    // What the process needs before the dialog: critical-error and
    // open-file boxes off (probing a drive without a medium must fail
    // quietly), the tree-view class registered, the application name known.
    static bool InitApplication();

    // Runs the dialog until it is cancelled or closed. Returns FALSE: there
    // is no message loop of the application's own to run afterwards.
    BOOL InitInstance();

    CSizewalkDlg* m_pMainWnd = nullptr;  // the dialog while it runs
};

}  // namespace sizewalk
