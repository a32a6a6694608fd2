#include <cstdlib>

#include "app/application.h"
#include "core/live_scan_command.h"

int main(int argc, char** argv) {
    {
        sizewalk::CSizewalkApp app(argc, argv);
        app.InitInstance();
    }
    // A scan blocked in the system (a hung network mount) must not keep the
    // closed window's process alive, nor see the statics it uses destroyed.
    if (sizewalk::CLiveScanCommand::AbandonedWorkers()) std::_Exit(0);
    return 0;
}
