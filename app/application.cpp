#include "app/application.h"

#include <QFileInfo>

#include "res/version.h"
#include "ui/qt/main_dialog.h"

namespace sizewalk {

CSizewalkApp::CSizewalkApp(int& argc, char** argv) : QApplication(argc, argv) {
    // Message boxes are captioned with the executable's name, less its
    // directory and extension.
    setApplicationName(QFileInfo(applicationFilePath()).completeBaseName());
    setApplicationVersion(QString::fromLatin1(version::kText));
}

bool CSizewalkApp::InitInstance() {
    {
        CSizewalkDlg dlg(nullptr);
        m_pMainWnd = &dlg;
        dlg.exec();
        m_pMainWnd = nullptr;
    }
    return false;
}

}  // namespace sizewalk
