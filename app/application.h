#pragma once
// The process: a Qt application whose start-up shows the main dialog modally
// and then lets the process end. It reads no command line of its own and
// writes nothing.
//
// An allocation failure while the window handles an event ends that event
// only: "Out of memory." is shown and the window goes on.

#include <QApplication>

class QWidget;

namespace sizewalk {

class CSizewalkApp : public QApplication {
public:
    CSizewalkApp(int& argc, char** argv);

    // Runs the dialog until it is cancelled or closed. Returns false: there
    // is nothing left to run afterwards.
    bool InitInstance();

    // Delivers every event; catches std::bad_alloc from the handling of one
    // on the window's thread.
    bool notify(QObject* receiver, QEvent* event) override;

    QWidget* m_pMainWnd = nullptr;  // the dialog while it runs

private:
    void ReportOutOfMemory();

    bool m_bReportingOutOfMemory = false;
};

}  // namespace sizewalk
