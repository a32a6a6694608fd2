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

void CRanking::Keep(std::uint32_t index, std::uint64_t size, bool covered) {
    ++m_result.nCount;
    if (!covered) m_result.nTotal = SaturatingAdd(m_result.nTotal, size);
    if (m_nLimit == 0 || (m_bHeap && size < m_nFloor)) return;
    const Row row{size, index};
    if (!m_bHeap) {
        m_kept.push_back(row);
        if (m_kept.size() < m_nLimit) return;
        std::make_heap(m_kept.begin(), m_kept.end(), Above);
        m_bHeap = true;
    } else {
        if (!Above(row, m_kept.front())) return;
        std::pop_heap(m_kept.begin(), m_kept.end(), Above);
        m_kept.back() = row;
        std::push_heap(m_kept.begin(), m_kept.end(), Above);
    }
    m_nFloor = m_kept.front().nSize;
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
    std::sort(m_kept.begin(), m_kept.end(), Above);
    auto& rows = m_result.rows;
    rows.reserve(m_kept.size());
    for (const Row& row : m_kept) rows.push_back(row.nIndex);
    std::vector<Row>().swap(m_kept);  // a list that shows holds the indices only
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

RankedRows LargestFiles(const CScanList& list, std::size_t root, SizeMode mode, std::size_t count,
                        const FileTypeFilter* type) {
    CRanking ranking(list, mode, count);
    if (root < list.Count()) {
        const std::size_t end = list.SubtreeEnd(root);
        for (std::size_t i = root; i < end;) {
            const auto span = list.SpanFrom(i);
            const std::size_t n = std::min(span.size(), end - i);
            for (std::size_t k = 0; k < n; ++k) {
                const CScanEntry& e = span[k];
                if (!e.IsDirectory() && !e.IsNotRegular() && (!type || type->Matches(e.GetName())))
                    ranking.Offer(static_cast<std::uint32_t>(i + k), false);
            }
            i += n;
        }
    }
    return ranking.Finish();
}

RankedRows UnreadableFolders(const CScanList& list, std::size_t root, SizeMode mode) {
    CRanking ranking(list, mode, list.Count());
    if (root < list.Count() && list.UnreadableCount() > 0) {
        const std::size_t end = list.SubtreeEnd(root);
        std::size_t coveredEnd = root;  // the end of the last directory offered
        for (std::size_t i = root; i < end; ++i) {
            if (!list[i].IsDirectory() || list.ReadErrorOf(i) == 0) continue;
            ranking.Offer(static_cast<std::uint32_t>(i), i < coveredEnd);
            coveredEnd = std::max(coveredEnd, list.SubtreeEnd(i));
        }
    }
    return ranking.Finish();
}

}  // namespace sizewalk
