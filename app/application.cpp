#include "app/application.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <new>

#include "core/scan_command.h"
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

bool CSizewalkApp::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        // Another thread's events have no window to report to.
        if (QThread::currentThread() != thread()) throw;
    }
    ReportOutOfMemory();
    return false;
}

void CSizewalkApp::ReportOutOfMemory() {
    // One box at a time: what fails while it is up is dropped silently.
    if (m_bReportingOutOfMemory) return;
    m_bReportingOutOfMemory = true;
    try {
        QMessageBox box(QMessageBox::Warning, applicationName(),
                        QString::fromUtf8(kOutOfMemoryText.data(),
                                          static_cast<qsizetype>(kOutOfMemoryText.size())),
                        QMessageBox::Ok, m_pMainWnd);
        box.exec();
    } catch (const std::bad_alloc&) {
        // Too little memory even for the box: the event ends silently.
    }
    m_bReportingOutOfMemory = false;
}

}  // namespace sizewalk
