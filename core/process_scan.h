#pragma once
// The scanner and the last scanned path of the process: made at their first
// use and kept until the process ends, so that the kept scan outlives any
// one run of the dialog.

#include <string>

#include "core/entry_source.h"
#include "scan/dir_scanner.h"

namespace sizewalk {

struct ProcessScan {
    CDirScanner scanner;
    CScannerSource source{scanner};
    std::string lastScannedDir;
};

inline ProcessScan& TheProcessScan() {
    static ProcessScan s_scan;
    return s_scan;
}

}  // namespace sizewalk
