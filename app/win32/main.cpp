// Entry of the Windows program.
#include <windows.h>

#include <new>

#include "app/win32/application.h"

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
    return 0;
}
