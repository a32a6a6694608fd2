#include <cstdlib>

#include "app/application.h"
#include "core/live_scan_command.h"
#include "scan/scan_file_path.h"

int main(int argc, char** argv) {
    // Save Scan runs on the window's thread: a SIGTERM or a closed terminal
    // during it must not leave its temporary file beside the target.
    sizewalk::RemoveUnfinishedSaveOnSignal();
    {
        sizewalk::CSizewalkApp app(argc, argv);
        app.InitInstance();
    }
    // A scan blocked in the system (a hung network mount) must not keep the
    // closed window's process alive, nor see the statics it uses destroyed.
    if (sizewalk::CLiveScanCommand::AbandonedWorkers()) std::_Exit(0);
    return 0;
}
