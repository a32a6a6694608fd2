#include "model/largest_files.h"

#include <algorithm>
#include <unordered_set>

#include "scan/list_builder.h"

namespace sizewalk {

namespace {

using LinkKey = CDirScanner::Builder::DeviceInode;
using LinkHash = CDirScanner::Builder::DeviceInodeHash;

}  // namespace

CRanking::CRanking(const CScanList& list, SizeMode mode, std::size_t limit)
    : m_list(list), m_eMode(mode), m_nLimit(limit) {}

std::uint64_t CRanking::SizeOf(std::uint32_t index) const {
    return m_result.SizeOf(m_list, index, m_eMode);
}

bool CRanking::Before(std::uint32_t a, std::uint32_t b) const {
    const std::uint64_t sa = SizeOf(a), sb = SizeOf(b);
    return sa != sb ? sa > sb : a < b;
}

void CRanking::Keep(std::uint32_t index, std::uint64_t size, bool covered) {
    ++m_result.nCount;
    if (!covered) m_result.nTotal = SaturatingAdd(m_result.nTotal, size);
    if (m_nLimit == 0 || (m_bHeap && size < m_nFloor)) return;
    auto& rows = m_result.rows;
    // The heap's top is the row that ranks lowest: the one to give way.
    const auto below = [this](std::uint32_t a, std::uint32_t b) { return Before(a, b); };
    if (!m_bHeap) {
        rows.push_back(index);
        if (rows.size() < m_nLimit) return;
        std::make_heap(rows.begin(), rows.end(), below);
        m_bHeap = true;
    } else {
        if (!Before(index, rows.front())) return;
        std::pop_heap(rows.begin(), rows.end(), below);
        rows.back() = index;
        std::push_heap(rows.begin(), rows.end(), below);
    }
    m_nFloor = SizeOf(rows.front());
}

RankedRows CRanking::Finish() {
    if (!m_linked.empty()) {
        // On disk, a file's blocks sit at its first link in the whole list,
        // which may lie outside the range.
        std::unordered_map<LinkKey, std::uint64_t, LinkHash> blocks;
        if (m_eMode == SizeMode::OnDisk)
            for (std::size_t i = 0; i < m_list.Count(); ++i)
                if (m_list[i].IsMultiLinked())
                    if (const CScanList::LinkRecord* link = m_list.LinkOf(i)) {
                        auto& held = blocks[{link->nDevice, link->nInode}];
                        held = std::max(held, m_list[i].GetDiskSize());
                    }
        std::unordered_set<LinkKey, LinkHash> seen;
        for (const auto& [index, covered] : m_linked) {
            std::uint64_t size = m_list[index].GetShownSize(m_eMode);
            if (const CScanList::LinkRecord* link = m_list.LinkOf(index)) {
                const LinkKey key{link->nDevice, link->nInode};
                if (!seen.insert(key).second) continue;
                if (m_eMode == SizeMode::OnDisk) size = blocks[key];
            }
            if (size != m_list[index].GetShownSize(m_eMode)) m_result.linkSizes[index] = size;
            Keep(index, size, covered);
        }
        m_linked.clear();
    }
    auto& rows = m_result.rows;
    std::sort(rows.begin(), rows.end(),
              [this](std::uint32_t a, std::uint32_t b) { return Before(a, b); });
    // Sizes of linked files that did not make the rows are not kept.
    if (!m_result.linkSizes.empty()) {
        std::unordered_map<std::uint32_t, std::uint64_t> kept;
        for (std::uint32_t row : rows)
            if (auto it = m_result.linkSizes.find(row); it != m_result.linkSizes.end())
                kept.insert(*it);
        m_result.linkSizes = std::move(kept);
    }
    m_bHeap = false;
    return std::move(m_result);
}

RankedRows LargestFiles(const CScanList& list, std::size_t root, SizeMode mode, std::size_t count) {
    CRanking ranking(list, mode, count);
    if (root < list.Count()) {
        const std::size_t end = list.SubtreeEnd(root);
        for (std::size_t i = root; i < end;) {
            const auto span = list.SpanFrom(i);
            const std::size_t n = std::min(span.size(), end - i);
            for (std::size_t k = 0; k < n; ++k) {
                const CScanEntry& e = span[k];
                if (!e.IsDirectory() && !e.IsNotRegular())
                    ranking.Offer(static_cast<std::uint32_t>(i + k), false);
            }
            i += n;
        }
    }
    return ranking.Finish();
}

}  // namespace sizewalk
