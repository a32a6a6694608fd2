#pragma once
// What the scan commands need of the scanner: scan a path (watched and
// stoppable from other threads), read the pre-order list through the cursor,
// and tell an entry's full path and how many entries lie below it.
// CScannerSource serves it from a real CDirScanner; tests put their own in
// its place to fail or block on purpose.

#include <cstddef>
#include <string>
#include <string_view>

#include "scan/dir_scanner.h"
#include "scan/scan_entry.h"
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
    virtual void Rewind(int index) = 0;
    virtual CScanEntry* GetNext() = 0;
    virtual std::size_t GetCount() const = 0;
    // For an entry of the current list: its full path (the start path for
    // the start entry), and the number of entries below it (0 for a file).
    virtual std::string GetPath(const CScanEntry& entry) const = 0;
    virtual std::size_t CountBelow(const CScanEntry& entry) const = 0;
};

class CScannerSource : public CEntrySource {
public:
    explicit CScannerSource(CDirScanner& scanner) : m_scanner(scanner) {}
    ScanStatus Scan(std::string_view startPath, CScanProgress* progress) override {
        return m_scanner.Scan(startPath, progress);
    }
    void Rewind(int index) override { m_scanner.Rewind(index); }
    CScanEntry* GetNext() override { return m_scanner.GetNext(); }
    std::size_t GetCount() const override { return m_scanner.GetCount(); }
    std::string GetPath(const CScanEntry& entry) const override { return m_scanner.GetPath(entry); }
    std::size_t CountBelow(const CScanEntry& entry) const override {
        const std::size_t index = m_scanner.IndexOf(entry);
        return m_scanner.GetSubtreeEnd(index) - index - 1;
    }

private:
    CDirScanner& m_scanner;
};

}  // namespace sizewalk
