#pragma once
// What the scan command needs of the scanner: scan a path (watched and
// stoppable from other threads) into the kept list, and read that list.
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
    // Replaces the list; blocks until the scan ends. With `progress`, other
    // threads may watch the scan and stop it: a stopped scan returns
    // ScanStatus::Stopped with the list empty. May throw std::bad_alloc,
    // leaving the list empty.
    virtual ScanStatus Scan(std::string_view startPath, CScanProgress* progress) = 0;
    // The kept list: read only on the user-interface thread, between scans.
    virtual const CScanList& List() const = 0;
};

class CScannerSource : public CEntrySource {
public:
    explicit CScannerSource(CDirScanner& scanner) : m_scanner(scanner) {}
    ScanStatus Scan(std::string_view startPath, CScanProgress* progress) override {
        return m_scanner.Scan(startPath, progress);
    }
    const CScanList& List() const override { return m_scanner.GetList(); }

private:
    CDirScanner& m_scanner;
};

}  // namespace sizewalk
