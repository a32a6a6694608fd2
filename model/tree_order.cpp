#include "model/tree_order.h"

#include <algorithm>

namespace sizewalk {

void CNameOrder::SortByName(std::span<std::uint32_t> ids, const CScanList& list) const {
    std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (const int c = Compare(list[a].GetName(), list[b].GetName()); c != 0) return c < 0;
        return a < b;
    });
}

int CompareEntries(const CScanEntry& a, const CScanEntry& b, SortOrder order, SizeMode mode,
                   const CNameOrder& names) {
    if (order == SortOrder::Size) {
        const std::uint64_t sa = a.GetShownSize(mode), sb = b.GetShownSize(mode);
        if (sa != sb) return sa > sb ? -1 : 1;
    }
    return names.Compare(a.GetName(), b.GetName());
}

void SortChildren(std::span<std::uint32_t> ids, const CScanList& list, SortOrder order,
                  SizeMode mode, const CNameOrder& names) {
    if (ids.size() < 2) return;
    if (order == SortOrder::Name) {
        names.SortByName(ids, list);
        return;
    }
    // Largest first by a plain comparison, then names only within each run
    // of equal sizes: most runs are one entry long and cost no collation.
    std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::uint64_t sa = list[a].GetShownSize(mode), sb = list[b].GetShownSize(mode);
        return sa != sb ? sa > sb : a < b;
    });
    for (std::size_t begin = 0; begin < ids.size();) {
        const std::uint64_t size = list[ids[begin]].GetShownSize(mode);
        std::size_t end = begin + 1;
        while (end < ids.size() && list[ids[end]].GetShownSize(mode) == size) ++end;
        if (end - begin > 1) names.SortByName(ids.subspan(begin, end - begin), list);
        begin = end;
    }
}

}  // namespace sizewalk
