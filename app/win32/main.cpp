// Entry of the Windows program.
#include <windows.h>

#include <cstdlib>
#include <new>

#include "app/win32/application.h"
#include "core/live_scan_command.h"

namespace {

sizewalk::CSizewalkApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        if (!sizewalk::CSizewalkApp::InitApplication()) return 1;
        theApp.InitInstance();
    } catch (const std::bad_alloc&) {
        return 1;  // too little memory even to show the dialog
    }
    // A scan blocked in the system (a hung network share) must not keep the
    // closed window's process alive, nor see the statics it uses destroyed.
    if (sizewalk::CLiveScanCommand::AbandonedWorkers()) std::_Exit(0);
    return 0;
}
