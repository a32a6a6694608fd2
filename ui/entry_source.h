#pragma once
// What the scan command needs of the scanner: scan a path, then read the
// pre-order list through the cursor. CScannerSource serves it from a real
// CDirScanner; tests put their own in its place to fail on purpose.

#include <cstddef>
#include <string_view>

#include "scan/dir_scanner.h"
#include "scan/scan_entry.h"

namespace sizewalk {

class CEntrySource {
public:
    virtual ~CEntrySource() = default;
    // Replaces the list. May throw std::bad_alloc, leaving the list empty.
    virtual void Scan(std::string_view startPath) = 0;
    virtual void Rewind(int index) = 0;
    virtual CScanEntry* GetNext() = 0;
    virtual std::size_t GetCount() const = 0;
};

class CScannerSource : public CEntrySource {
public:
    explicit CScannerSource(CDirScanner& scanner) : m_scanner(scanner) {}
    void Scan(std::string_view startPath) override { m_scanner.Scan(startPath); }
    void Rewind(int index) override { m_scanner.Rewind(index); }
    CScanEntry* GetNext() override { return m_scanner.GetNext(); }
    std::size_t GetCount() const override { return m_scanner.GetCount(); }

private:
    CDirScanner& m_scanner;
};

}  // namespace sizewalk
