#pragma once
// The scan the window keeps between presses: its list, the root path it
// was made of (as prepared for the scan) and where it came from. It is
// either valid, with a list and a root, or cleared, with neither: no caller
// can hold one without the other. Read and replaced on the user-interface
// thread only; a scan's worker fills a list of its own, handed over here
// when it ends.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "scan/scan_list.h"

namespace sizewalk {

// Where a kept scan came from: a walk of this machine, or a saved scan
// read from a file.
struct ScanOrigin {
    bool bOpened = false;
    // Opened only: the saved scan's file, and when the scan was made
    // (seconds since 1970) if the file says.
    std::string strFile;
    std::optional<std::int64_t> made;

    static ScanOrigin Walked() { return {}; }
    static ScanOrigin Opened(std::string file, std::optional<std::int64_t> made) {
        return {true, std::move(file), made};
    }
};

class CKeptScan {
public:
    CKeptScan() = default;
    CKeptScan(const CKeptScan&) = delete;
    CKeptScan& operator=(const CKeptScan&) = delete;

    bool IsValid() const { return !m_strRoot.empty(); }
    // Empty while not valid.
    const CScanList& List() const { return m_list; }
    const std::string& Root() const { return m_strRoot; }
    const ScanOrigin& Origin() const { return m_origin; }
    // Opened from a file (never true while not valid).
    bool IsOpened() const { return m_origin.bOpened; }

    // Forgets the scan: the next press reads the disk afresh.
    void Clear() noexcept;
    // Makes `list` the kept scan of `root`. An empty list or root clears
    // instead: neither is a scan to keep.
    void Take(CScanList&& list, std::string root, ScanOrigin origin) noexcept;
    // The same root and origin with `list` (the kept scan after an edit
    // that followed the disk); clears when not valid or `list` is empty.
    void ReplaceList(CScanList&& list) noexcept;

private:
    CScanList m_list;
    std::string m_strRoot;
    ScanOrigin m_origin;
};

}  // namespace sizewalk
