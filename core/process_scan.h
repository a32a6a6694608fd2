#pragma once
// The scanner and the kept scan of the process: made at their first use
// and kept until the process ends, so that the kept scan outlives any one
// run of the dialog.

#include "core/entry_source.h"
#include "core/kept_scan.h"
#include "scan/dir_scanner.h"

namespace sizewalk {

struct ProcessScan {
    CDirScanner scanner;  // walks only: the window keeps its scan in `kept`
    CScannerSource source{scanner};
    CKeptScan kept;
};

inline ProcessScan& TheProcessScan() {
    static ProcessScan s_scan;
    return s_scan;
}

}  // namespace sizewalk
