#pragma once
// What the scan command needs of the scanner: scan a path into a list of
// the command's (watched and stoppable from other threads). The scan the
// tree shows is kept apart (core/kept_scan.h).
// CScannerSource serves it from a real CDirScanner; tests put their own in
// its place to fail or block on purpose.

#include <string_view>

#include "scan/dir_scanner.h"
#include "scan/scan_list.h"
#include "scan/scan_progress.h"

namespace sizewalk {

class CEntrySource {
public:
    virtual ~CEntrySource() = default;
    // Scans into `list` (emptied first); blocks until the scan ends. Any
    // thread: the scan touches nothing but `list` and `progress`. With
    // `progress`, other threads may watch the scan and stop it: a stopped
    // scan returns ScanStatus::Stopped with the list empty. May throw
    // std::bad_alloc, leaving the list empty.
    virtual ScanStatus ScanInto(std::string_view startPath, CScanList& list,
                                CScanProgress* progress) = 0;
};

class CScannerSource : public CEntrySource {
public:
    explicit CScannerSource(CDirScanner& scanner) : m_scanner(scanner) {}
    ScanStatus ScanInto(std::string_view startPath, CScanList& list,
                        CScanProgress* progress) override {
        return m_scanner.ScanInto(startPath, list, progress);
    }

private:
    CDirScanner& m_scanner;
};

}  // namespace sizewalk
