#include "scan/dir_scanner.h"

#include <algorithm>

#include "platform/process_limits.h"
#include "scan/list_builder.h"

namespace sizewalk {

CDirScanner::CDirScanner() : m_nThreads(DefaultThreadCount()) {}
CDirScanner::~CDirScanner() = default;

int CDirScanner::DefaultThreadCount() { return 32; }

void CDirScanner::SetThreadCount(int threads) { m_nThreads = std::max(1, threads); }

CScanEntry* CDirScanner::GetNext() {
    if (m_nCursor < 0 || static_cast<std::size_t>(m_nCursor) >= m_list.Count()) return nullptr;
    return &m_list.At(static_cast<std::size_t>(m_nCursor++));
}

ScanStatus CDirScanner::Scan(std::string_view startPath, CScanProgress* progress) {
    m_nCursor = 0;
    return ScanInto(startPath, m_list, progress);
}

ScanStatus CDirScanner::ScanInto(std::string_view startPath, CScanList& list,
                                 CScanProgress* progress) const {
    list.Clear();
    try {
        Builder builder(list, progress, m_nFirstRead, m_bUntilEmpty);
        const bool complete = m_nThreads <= 1 ? WalkSequential(startPath, builder)
                                              : WalkParallel(startPath, builder, m_nThreads);
        if (!complete || builder.Stopped()) {
            list.Clear();
            return ScanStatus::Stopped;
        }
        list.Finish();
    } catch (...) {
        list.Clear();  // never leave entries without keys or totals behind
        throw;
    }
    // What the workers freed is not kept for the list's lifetime.
    ReleaseFreedMemory();
    return ScanStatus::Complete;
}

}  // namespace sizewalk
