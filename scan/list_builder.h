#pragma once
// The scanner's list as a walk fills it, in list order. Internal to the scan
// engine: walks append entries here; the scanner then rolls totals up.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/find_record.h"
#include "scan/dir_scanner.h"
#include "scan/name_arena.h"

namespace sizewalk {

class CDirScanner::Builder {
public:
    Builder(CDirScanner& scanner, CScanProgress* progress)
        : m_scanner(scanner), m_progress(progress), m_stop(progress ? &progress->StopFlag() : nullptr) {}

    // Appends an entry for `record` (its name copied into the arena) with the
    // depth key `depth`.
    CScanEntry& Add(const FindRecord& record, std::int32_t depth) {
        return AddNamed(record, m_scanner.m_names->Add(record.cFileName), depth);
    }
    // Appends an entry whose name already lies in the scanner's arena.
    CScanEntry& AddNamed(const FindRecord& record, const char* name, std::int32_t depth) {
        if (record.nLinkInode != 0) m_links.push_back({m_scanner.m_nCount, record.nLinkDevice, record.nLinkInode});
        CScanEntry& e = m_scanner.Append(CScanEntry(record, name));
        e.m_nDepth = depth;
        return e;
    }
    CScanEntry& At(std::size_t index) { return m_scanner.GetAt(index); }
    std::size_t Count() const { return m_scanner.m_nCount; }
    NameArena& Names() { return *m_scanner.m_names; }

    CScanProgress* Progress() const { return m_progress; }
    const std::atomic<bool>* Stop() const { return m_stop; }
    bool Stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }
    std::size_t FirstRead() const { return m_scanner.m_nFirstRead; }

    // Files with several links, in list order.
    std::vector<Link>& Links() { return m_links; }

private:
    CDirScanner& m_scanner;
    CScanProgress* m_progress;
    const std::atomic<bool>* m_stop;
    std::vector<Link> m_links;
};

// The walks. Each fills the list in pre-order, the start entry first, with
// depth keys set; totals are left to the scanner. False when stopped.
bool WalkSequential(std::string_view startPath, CDirScanner::Builder& list);
bool WalkParallel(std::string_view startPath, CDirScanner::Builder& list, int threads);

}  // namespace sizewalk
