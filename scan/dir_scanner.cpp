#include "scan/dir_scanner.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/dir_listing.h"

namespace sizewalk {

// Names, NUL-terminated, packed into large blocks so that an entry costs no
// allocation of its own and its name pointer never moves.
class CDirScanner::NameArena {
public:
    const char* Add(std::string_view name) {
        const std::size_t need = name.size() + 1;
        if (m_left < need) {
            const std::size_t size = std::max(kBlock, need);
            auto block = std::make_unique_for_overwrite<char[]>(size);
            char* start = block.get();
            m_blocks.push_back(std::move(block));  // may throw: `block` still owns it
            m_next = start;
            m_left = size;
        }
        char* p = m_next;
        std::memcpy(p, name.data(), name.size());
        p[name.size()] = '\0';
        m_next += need;
        m_left -= need;
        return p;
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    std::size_t m_left = 0;
};

namespace {

constexpr std::size_t kChunkEntries = std::size_t{1} << 15;
// Levels deeper than this give up their handle (children are then opened by
// path), so that a deep tree never runs out of file descriptors.
constexpr std::size_t kOpenLevels = 128;
constexpr std::int32_t kMarkerDepth = -99;  // below every real key (at least -1)

}  // namespace

CDirScanner::CDirScanner() = default;
CDirScanner::~CDirScanner() = default;

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
    m_nCount = 0;
    m_dirs.clear();
    m_dirs.shrink_to_fit();
    m_names.reset();
    m_nCursor = 0;
}

CScanEntry& CDirScanner::Append(const FindRecord& record, std::uint32_t dir) {
    const std::size_t slot = m_nCount & (kChunkEntries - 1);
    if (slot == 0 && (m_nCount >> kChunkBits) == m_chunks.size()) {
        // Uninitialised storage: pages are only touched as entries fill them.
        m_chunks.push_back(
            std::make_unique_for_overwrite<unsigned char[]>(kChunkEntries * sizeof(CScanEntry)));
    }
    const char* name = m_names->Add(record.cFileName);
    auto* chunk = reinterpret_cast<CScanEntry*>(m_chunks.back().get());
    CScanEntry* e = new (&chunk[slot]) CScanEntry(record, name, dir);
    ++m_nCount;
    return *e;
}

void CDirScanner::Scan(std::string_view startPath) {
    Clear();
    try {
        m_names = std::make_unique<NameArena>();
        ScanTree(startPath);
        RollUp();
    } catch (...) {
        Clear();  // never leave entries without keys or totals behind
        throw;
    }
    m_nCursor = 0;
}

void CDirScanner::ScanTree(std::string_view startPath) {
    struct Level {
        DirListing listing;
        std::uint32_t nDir = 0;
        std::int32_t nChildDepth = 0;
        std::size_t nPathLength = 0;
    };

    FindRecord start;
    start.dwFileAttributes = kFileAttributeDirectory;
    start.cFileName = startPath;
    m_dirs.push_back({0, 0});
    CScanEntry& root = Append(start, 0);
    std::string path(startPath);
    const std::int32_t rootChildDepth = CountSeparators(root.GetNameCStr()) + 1;
    root.m_nDepth = rootChildDepth - 2;

    std::vector<Level> levels(1);
    if (!levels[0].listing.OpenPath(root.GetNameCStr())) return;
    levels[0].nChildDepth = rootChildDepth;
    levels[0].nPathLength = path.size();
    std::size_t active = 1;

    FindRecord record;
    while (active > 0) {
        Level& level = levels[active - 1];
        if (!level.listing.Next(record)) {
            level.listing.Close();
            --active;
            continue;
        }
        CScanEntry& entry = Append(record, level.nDir);
        entry.m_nDepth = level.nChildDepth;
        if (!record.IsDirectory()) continue;

        const auto dir = static_cast<std::uint32_t>(m_dirs.size());
        m_dirs.push_back({level.nDir, static_cast<std::uint32_t>(m_nCount - 1)});
        // One separator between levels; the root "/" already ends in one.
        path.resize(level.nPathLength);
        if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
        path += entry.GetName();

        const std::int32_t childDepth = level.nChildDepth + 1;
        if (active == levels.size()) levels.emplace_back();  // may move `level`
        Level& parent = levels[active - 1];
        Level& child = levels[active];
        if (!child.listing.OpenChild(parent.listing, entry.GetNameCStr(), path.c_str(),
                                     path.size()))
            continue;  // unreadable, a link, another device or too deep: no children
        child.nDir = dir;
        child.nChildDepth = childDepth;
        child.nPathLength = path.size();
        ++active;
        if (active > kOpenLevels) levels[active - 1 - kOpenLevels].listing.ReleaseHandle();
    }
}

void CDirScanner::RollUp() {
    FindRecord markerRecord;
    markerRecord.dwFileAttributes = kFileAttributeDirectory;
    CScanEntry marker(markerRecord, "", 0);
    marker.m_nDepth = kMarkerDepth;

    std::vector<CScanEntry*> stack;
    stack.push_back(&marker);
    for (std::size_t i = 0; i < m_nCount; ++i) {
        CScanEntry& e = GetAt(i);
        while (stack.back()->m_nDepth >= e.m_nDepth) {
            const double total = stack.back()->m_dTotal;
            stack.pop_back();
            stack.back()->m_dTotal += total;
        }
        stack.back()->m_dTotal += e.GetFileSize();
        if (e.IsDirectory()) {
            e.m_dTotal = 0.0;
            stack.push_back(&e);
        }
    }
    while (stack.size() > 1) {
        const double total = stack.back()->m_dTotal;
        stack.pop_back();
        stack.back()->m_dTotal += total;
    }
}

std::string CDirScanner::GetDir(const CScanEntry& entry) const {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t d = entry.GetDirIndex(); d != 0; d = m_dirs[d].nParent) chain.push_back(d);
    std::string path(GetAt(0).GetName());
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
        path += GetAt(m_dirs[*it].nEntry).GetName();
    }
    return path;
}

}  // namespace sizewalk
