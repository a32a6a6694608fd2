#pragma once
// The process: a Qt application whose start-up shows the main dialog modally
// and then lets the process end. It reads no command line of its own and
// writes nothing.

#include <QApplication>

class QWidget;

namespace sizewalk {

class CSizewalkApp : public QApplication {
public:
    CSizewalkApp(int& argc, char** argv);

    // Runs the dialog until it is cancelled or closed. Returns false: there
    // is nothing left to run afterwards.
    bool InitInstance();

    QWidget* m_pMainWnd = nullptr;  // the dialog while it runs
};

}  // namespace sizewalk
