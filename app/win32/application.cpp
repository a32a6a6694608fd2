#include "app/win32/application.h"

#include <commctrl.h>

#include "ui/win32/app_name.h"
#include "ui/win32/main_dialog.h"

namespace sizewalk {

bool CSizewalkApp::InitApplication() {
    ::SetErrorMode(::SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_TREEVIEW_CLASSES;
    if (!::InitCommonControlsEx(&controls)) return false;
    ApplicationName();  // computed now, while memory is surely there
    return true;
}

BOOL CSizewalkApp::InitInstance() {
    {
        CSizewalkDlg dlg(nullptr);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

}  // namespace sizewalk
