#include "scan/dir_scanner.h"

#include <algorithm>
#include <new>
#include <thread>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "scan/list_builder.h"
#include "scan/name_arena.h"

namespace sizewalk {

namespace {

constexpr std::size_t kChunkEntries = std::size_t{1} << 15;
constexpr std::size_t kChunkBytes = kChunkEntries * sizeof(CScanEntry);
constexpr std::int32_t kMarkerDepth = -99;  // below every real key (at least -1)
constexpr std::uint32_t kNoDir = 0xFFFFFFFFu;

}  // namespace

CDirScanner::CDirScanner() : m_nThreads(DefaultThreadCount()) {}
CDirScanner::~CDirScanner() = default;

int CDirScanner::DefaultThreadCount() { return 32; }

void CDirScanner::SetThreadCount(int threads) { m_nThreads = std::max(1, threads); }

CScanEntry& CDirScanner::GetAt(std::size_t index) {
    auto* chunk = reinterpret_cast<CScanEntry*>(m_chunks[index >> kChunkBits].get());
    return chunk[index & (kChunkEntries - 1)];
}

const CScanEntry& CDirScanner::GetAt(std::size_t index) const {
    return const_cast<CDirScanner*>(this)->GetAt(index);
}

CScanEntry* CDirScanner::GetNext() {
    if (m_nCursor < 0 || static_cast<std::size_t>(m_nCursor) >= m_nCount) return nullptr;
    return &GetAt(static_cast<std::size_t>(m_nCursor++));
}

void CDirScanner::Clear() {
    // Entries are trivially destructible: releasing the chunks releases them.
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_chunksByAddress.clear();
    m_chunksByAddress.shrink_to_fit();
    m_nCount = 0;
    m_dirs.clear();
    m_dirs.shrink_to_fit();
    m_names.reset();
    m_nCursor = 0;
}

CScanEntry& CDirScanner::Append(const CScanEntry& entry) {
    const std::size_t slot = m_nCount & (kChunkEntries - 1);
    if (slot == 0 && (m_nCount >> kChunkBits) == m_chunks.size()) {
        // Uninitialised storage: pages are only touched as entries fill them.
        m_chunks.push_back(std::make_unique_for_overwrite<unsigned char[]>(kChunkBytes));
    }
    auto* chunk = reinterpret_cast<CScanEntry*>(m_chunks.back().get());
    CScanEntry* e = new (&chunk[slot]) CScanEntry(entry);
    ++m_nCount;
    return *e;
}

ScanStatus CDirScanner::Scan(std::string_view startPath, CScanProgress* progress) {
    Clear();
    try {
        m_names = std::make_unique<NameArena>();
        Builder list(*this, progress);
        const bool complete = m_nThreads <= 1 ? WalkSequential(startPath, list)
                                              : WalkParallel(startPath, list, m_nThreads);
        if (!complete || list.Stopped()) {
            Clear();
            return ScanStatus::Stopped;
        }
        Finish();
    } catch (...) {
        Clear();  // never leave entries without keys or totals behind
        throw;
    }
#ifdef __GLIBC__
    // A scan's workers each had an allocator arena of their own; give back
    // what they freed rather than keep it for the list's lifetime.
    ::malloc_trim(0);
#endif
    m_nCursor = 0;
    return ScanStatus::Complete;
}

// Totals, in one pass over the list with a stack of open directories, and
// the directory table with each directory's extent.
void CDirScanner::Finish() {
    m_chunksByAddress.reserve(m_chunks.size());
    for (std::size_t k = 0; k < m_chunks.size(); ++k) m_chunksByAddress.emplace_back(m_chunks[k].get(), k);
    std::sort(m_chunksByAddress.begin(), m_chunksByAddress.end());

    FindRecord markerRecord;
    markerRecord.dwFileAttributes = kFileAttributeDirectory;
    CScanEntry marker(markerRecord, "");
    marker.m_nDepth = kMarkerDepth;

    struct Open {
        CScanEntry* entry;
        std::uint32_t dir;
    };
    std::vector<Open> stack;
    stack.push_back({&marker, kNoDir});
    auto pop = [&](std::size_t end) {
        const Open top = stack.back();
        stack.pop_back();
        m_dirs[top.dir].nEnd = static_cast<std::uint32_t>(end);
        stack.back().entry->m_nSize += top.entry->m_nSize;
        stack.back().entry->m_nDiskSize += top.entry->m_nDiskSize;
    };
    for (std::size_t i = 0; i < m_nCount; ++i) {
        CScanEntry& e = GetAt(i);
        while (stack.back().entry->m_nDepth >= e.m_nDepth) pop(i);
        CScanEntry& parent = *stack.back().entry;
        parent.m_nSize += e.GetFileSize();
        if (e.IsDirectory()) {
            e.m_nSize = 0;
            const std::uint32_t up = stack.back().dir == kNoDir ? 0 : stack.back().dir;
            stack.push_back({&e, static_cast<std::uint32_t>(m_dirs.size())});
            m_dirs.push_back({static_cast<std::uint32_t>(i), 0, up});
        } else {
            parent.m_nDiskSize += e.m_nDiskSize;
        }
    }
    while (stack.size() > 1) pop(m_nCount);
}

std::size_t CDirScanner::IndexOf(const CScanEntry& entry) const {
    const auto* p = reinterpret_cast<const unsigned char*>(&entry);
    auto it = std::upper_bound(m_chunksByAddress.begin(), m_chunksByAddress.end(), p,
                               [](const unsigned char* a, const auto& chunk) { return a < chunk.first; });
    const auto& chunk = *(it - 1);
    return (chunk.second << kChunkBits) + static_cast<std::size_t>(p - chunk.first) / sizeof(CScanEntry);
}

// The first directory (table index) whose own entry is at or after `index`.
std::size_t CDirScanner::FirstDirFrom(std::size_t index) const {
    return static_cast<std::size_t>(
        std::lower_bound(m_dirs.begin(), m_dirs.end(), index,
                         [](const DirRecord& d, std::size_t i) { return d.nEntry < i; }) -
        m_dirs.begin());
}

// The directory (table index) whose listing holds the entry at `index` > 0:
// the nearest earlier directory, or the first of its ancestors whose subtree
// still reaches `index`.
std::size_t CDirScanner::DirOf(std::size_t index) const {
    std::size_t dir = FirstDirFrom(index) - 1;
    while (dir != 0 && m_dirs[dir].nEnd <= index) dir = m_dirs[dir].nParent;
    return dir;
}

std::size_t CDirScanner::GetSubtreeEnd(std::size_t index) const {
    if (!GetAt(index).IsDirectory()) return index + 1;
    const std::size_t dir = FirstDirFrom(index);
    return dir < m_dirs.size() && m_dirs[dir].nEntry == index ? m_dirs[dir].nEnd : index + 1;
}

void CDirScanner::AppendPath(std::string& path, std::size_t dir) const {
    std::vector<std::size_t> chain;
    for (std::size_t d = dir; d != 0; d = m_dirs[d].nParent) chain.push_back(d);
    path.assign(GetAt(0).GetName());
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
        path += GetAt(m_dirs[*it].nEntry).GetName();
    }
}

std::string CDirScanner::GetDir(const CScanEntry& entry) const {
    const std::size_t index = IndexOf(entry);
    std::string path;
    AppendPath(path, index == 0 ? 0 : DirOf(index));
    return path;
}

std::string CDirScanner::GetPath(const CScanEntry& entry) const {
    const std::size_t index = IndexOf(entry);
    if (index == 0) return std::string(entry.GetName());
    std::string path;
    AppendPath(path, DirOf(index));
    if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
    path += entry.GetName();
    return path;
}

}  // namespace sizewalk
