#include "scan/scan_list.h"

#include <algorithm>
#include <new>

#include "scan/name_arena.h"

namespace sizewalk {

namespace {

constexpr std::size_t kChunkEntries = std::size_t{1} << 16;
constexpr std::size_t kChunkBytes = kChunkEntries * sizeof(CScanEntry);
constexpr std::int32_t kMarkerDepth = -99;  // below every real key (at least -1)
constexpr std::uint32_t kNoDir = 0xFFFFFFFFu;

}  // namespace

CScanList::CScanList() = default;
CScanList::~CScanList() = default;
CScanList::CScanList(CScanList&&) noexcept = default;
CScanList& CScanList::operator=(CScanList&&) noexcept = default;

CScanEntry* CScanList::EntryAt(std::size_t index) const {
    auto* chunk = reinterpret_cast<CScanEntry*>(m_chunks[index >> kChunkBits].Data());
    return &chunk[index & (kChunkEntries - 1)];
}

std::span<const CScanEntry> CScanList::SpanFrom(std::size_t index) const {
    const std::size_t chunkEnd = (index | (kChunkEntries - 1)) + 1;
    return {EntryAt(index), std::min(chunkEnd, m_nCount) - index};
}

NameArena& CScanList::Names() {
    if (!m_names) m_names = std::make_unique<NameArena>(CPageBlock::kHugePage);
    return *m_names;
}

void CScanList::Clear() noexcept {
    // Entries are trivially destructible: releasing the chunks releases them.
    // Swapping with empty vectors gives the memory back and allocates nothing.
    std::vector<CPageBlock>().swap(m_chunks);
    std::vector<std::pair<const unsigned char*, std::size_t>>().swap(m_chunksByAddress);
    std::vector<CPageBlock>().swap(m_timeChunks);
    std::vector<DirRecord>().swap(m_dirs);
    std::vector<std::pair<std::uint32_t, int>>().swap(m_unreadable);
    std::vector<LinkRecord>().swap(m_links);
    m_nCount = 0;
    m_names.reset();
}

std::size_t CScanList::MemoryBytes() const {
    return m_chunks.size() * kChunkBytes +
           m_timeChunks.size() * kChunkEntries * sizeof(std::uint32_t) +
           m_dirs.capacity() * sizeof(DirRecord) +
           m_unreadable.capacity() * sizeof(m_unreadable[0]) +
           m_links.capacity() * sizeof(LinkRecord) + (m_names ? m_names->Bytes() : 0);
}

CScanEntry& CScanList::Append(const CScanEntry& entry) {
    const std::size_t slot = m_nCount & (kChunkEntries - 1);
    if (slot == 0 && (m_nCount >> kChunkBits) == m_chunks.size()) {
        // Both come zeroed: every time starts unknown (kNoTime).
        CPageBlock entries(kChunkBytes), times(kChunkEntries * sizeof(std::uint32_t));
        m_chunks.reserve(m_chunks.size() + 1);
        m_timeChunks.reserve(m_timeChunks.size() + 1);
        m_chunks.push_back(std::move(entries));
        m_timeChunks.push_back(std::move(times));
    }
    auto* chunk = reinterpret_cast<CScanEntry*>(m_chunks.back().Data());
    CScanEntry* e = new (&chunk[slot]) CScanEntry(entry);
    ++m_nCount;
    return *e;
}

// Totals, in one pass over the list with a stack of open directories, and
// the directory table with each directory's extent.
void CScanList::Finish() {
    m_chunksByAddress.clear();
    m_chunksByAddress.reserve(m_chunks.size());
    for (std::size_t k = 0; k < m_chunks.size(); ++k)
        m_chunksByAddress.emplace_back(m_chunks[k].Data(), k);
    std::sort(m_chunksByAddress.begin(), m_chunksByAddress.end());
    m_dirs.clear();
    // Walks may tell these out of list order; the first word on a directory stands.
    std::stable_sort(m_unreadable.begin(), m_unreadable.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    m_unreadable.erase(std::unique(m_unreadable.begin(), m_unreadable.end(),
                                   [](const auto& a, const auto& b) { return a.first == b.first; }),
                       m_unreadable.end());
    std::sort(m_links.begin(), m_links.end(),
              [](const LinkRecord& a, const LinkRecord& b) { return a.nEntry < b.nEntry; });

    FindRecord markerRecord;
    markerRecord.dwFileAttributes = kFileAttributeDirectory;
    CScanEntry marker(markerRecord, "");
    marker.m_nDepth = kMarkerDepth;

    struct Open {
        CScanEntry* entry;
        std::uint32_t dir;
        std::uint32_t* time;  // rolled up in place
    };
    std::uint32_t markerTime = 0;
    std::vector<Open> stack;
    stack.push_back({&marker, kNoDir, &markerTime});
    auto pop = [&](std::size_t end) {
        const Open top = stack.back();
        stack.pop_back();
        m_dirs[top.dir].nEnd = static_cast<std::uint32_t>(end);
        CScanEntry& up = *stack.back().entry;
        up.m_nSize = SaturatingAdd(up.m_nSize, top.entry->m_nSize);
        up.m_nDiskSize = SaturatingAdd(up.m_nDiskSize, top.entry->m_nDiskSize);
        *stack.back().time = std::max(*stack.back().time, *top.time);
    };
    for (std::size_t i = 0; i < m_nCount; ++i) {
        CScanEntry& e = At(i);
        std::uint32_t& time = *TimeAt(i);
        while (stack.back().entry->m_nDepth >= e.m_nDepth) pop(i);
        CScanEntry& parent = *stack.back().entry;
        parent.m_nSize = SaturatingAdd(parent.m_nSize, e.GetFileSize());
        if (e.IsDirectory()) {
            e.m_nSize = 0;
            const std::uint32_t up = stack.back().dir == kNoDir ? 0 : stack.back().dir;
            stack.push_back({&e, static_cast<std::uint32_t>(m_dirs.size()), &time});
            m_dirs.push_back({static_cast<std::uint32_t>(i), 0, up});
        } else {
            *stack.back().time = std::max(*stack.back().time, time);
            parent.m_nDiskSize = SaturatingAdd(parent.m_nDiskSize, e.m_nDiskSize);
        }
    }
    while (stack.size() > 1) pop(m_nCount);

    // The list is whole: what its last blocks hold past its end goes back.
    if (const std::size_t used = m_nCount & (kChunkEntries - 1); used != 0) {
        m_chunks.back().Release(used * sizeof(CScanEntry));
        m_timeChunks.back().Release(used * sizeof(std::uint32_t));
    }
    if (m_names) m_names->Trim();
}

std::uint32_t* CScanList::TimeAt(std::size_t index) const {
    return &reinterpret_cast<std::uint32_t*>(
        m_timeChunks[index >> kChunkBits].Data())[index & (kChunkEntries - 1)];
}

void CScanList::SetModified(std::size_t index, std::int64_t seconds) {
    *TimeAt(index) = static_cast<std::uint32_t>(std::clamp(seconds, kFirstTime, kLastTime));
}

std::int64_t CScanList::ModifiedOf(std::size_t index) const { return *TimeAt(index); }

void CScanList::MarkUnreadable(std::size_t index, int error) {
    m_unreadable.emplace_back(static_cast<std::uint32_t>(index),
                              error == 0 ? kErrorFromFile : error);
}

int CScanList::ReadErrorOf(std::size_t index) const {
    const auto it = std::lower_bound(m_unreadable.begin(), m_unreadable.end(), index,
                                     [](const auto& u, std::size_t i) { return u.first < i; });
    return it != m_unreadable.end() && it->first == index ? it->second : 0;
}

bool CScanList::HasUnreadableBelow(std::size_t index) const {
    const std::size_t end = SubtreeEnd(index);
    const auto it = std::upper_bound(m_unreadable.begin(), m_unreadable.end(), index,
                                     [](std::size_t i, const auto& u) { return i < u.first; });
    return it != m_unreadable.end() && it->first < end;
}

void CScanList::AddLink(std::size_t index, std::uint64_t device, std::uint64_t inode) {
    m_links.push_back({static_cast<std::uint32_t>(index), device, inode});
}

const CScanList::LinkRecord* CScanList::LinkOf(std::size_t index) const {
    const auto it =
        std::lower_bound(m_links.begin(), m_links.end(), index,
                         [](const LinkRecord& l, std::size_t i) { return l.nEntry < i; });
    return it != m_links.end() && it->nEntry == index ? &*it : nullptr;
}

std::size_t CScanList::IndexOf(const CScanEntry& entry) const {
    const auto* p = reinterpret_cast<const unsigned char*>(&entry);
    auto it =
        std::upper_bound(m_chunksByAddress.begin(), m_chunksByAddress.end(), p,
                         [](const unsigned char* a, const auto& chunk) { return a < chunk.first; });
    const auto& chunk = *(it - 1);
    return (chunk.second << kChunkBits) +
           static_cast<std::size_t>(p - chunk.first) / sizeof(CScanEntry);
}

// The first directory (table index) whose own entry is at or after `index`.
std::size_t CScanList::FirstDirFrom(std::size_t index) const {
    return static_cast<std::size_t>(
        std::lower_bound(m_dirs.begin(), m_dirs.end(), index,
                         [](const DirRecord& d, std::size_t i) { return d.nEntry < i; }) -
        m_dirs.begin());
}

// The directory (table index) whose listing holds the entry at `index` > 0:
// the nearest earlier directory, or the first of its ancestors whose subtree
// still reaches `index`.
std::size_t CScanList::DirOf(std::size_t index) const {
    std::size_t dir = FirstDirFrom(index) - 1;
    while (dir != 0 && m_dirs[dir].nEnd <= index) dir = m_dirs[dir].nParent;
    return dir;
}

std::size_t CScanList::DirIndexOf(std::size_t index) const {
    const std::size_t dir = FirstDirFrom(index);
    return dir < m_dirs.size() && m_dirs[dir].nEntry == index ? dir : kNone;
}

std::size_t CScanList::DirsBetween(std::size_t begin, std::size_t end) const {
    return FirstDirFrom(end) - FirstDirFrom(begin);
}

std::size_t CScanList::SubtreeEnd(std::size_t index) const {
    if (!(*this)[index].IsDirectory()) return index + 1;
    const std::size_t dir = DirIndexOf(index);
    return dir == kNone ? index + 1 : m_dirs[dir].nEnd;
}

std::size_t CScanList::ParentOf(std::size_t index) const {
    return index == 0 ? kNone : m_dirs[DirOf(index)].nEntry;
}

void CScanList::AppendPath(std::string& path, std::size_t dir) const {
    std::vector<std::size_t> chain;
    for (std::size_t d = dir; d != 0; d = m_dirs[d].nParent) chain.push_back(d);
    path.assign((*this)[0].GetName());
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
        path += (*this)[m_dirs[*it].nEntry].GetName();
    }
}

std::string CScanList::DirPathOf(std::size_t index) const {
    std::string path;
    AppendPath(path, index == 0 ? 0 : DirOf(index));
    return path;
}

std::string CScanList::PathOf(std::size_t index) const {
    if (index == 0) return std::string((*this)[0].GetName());
    std::string path;
    AppendPath(path, DirOf(index));
    if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
    path += (*this)[index].GetName();
    return path;
}

}  // namespace sizewalk
