#include "model/find_query.h"

#include <algorithm>

#include "model/size_text.h"

namespace sizewalk {

RankedRows FindItems(const CScanList& list, std::size_t root, const CNamePattern& pattern,
                     const FindFilters& filters, SizeMode mode, std::size_t limit) {
    CRanking ranking(list, mode, limit);
    if (root >= list.Count()) return ranking.Finish();
    const bool files = filters.eKinds != FindKinds::Directories;
    const bool dirs = filters.eKinds != FindKinds::Files;
    const bool times = filters.nModifiedAfter != CScanList::kNoTime ||
                       filters.nModifiedBefore != CScanList::kNoTime;
    const std::size_t begin = list[root].IsDirectory() ? root + 1 : root;
    const std::size_t end = list.SubtreeEnd(root);
    std::size_t coveredTo = 0;  // one past the subtree of the last directory matched
    for (std::size_t i = begin; i < end;) {
        const auto span = list.SpanFrom(i);
        const std::size_t n = std::min(span.size(), end - i);
        for (std::size_t k = 0; k < n; ++k) {
            const CScanEntry& e = span[k];
            if (!(e.IsDirectory() ? dirs : files)) continue;
            if (e.GetShownSize(mode) < filters.nMinSize) continue;
            const std::size_t index = i + k;
            if (times) {
                const std::int64_t t = list.ModifiedOf(index);
                if (filters.nModifiedAfter != CScanList::kNoTime && !(t > filters.nModifiedAfter))
                    continue;
                if (filters.nModifiedBefore != CScanList::kNoTime &&
                    !(t != CScanList::kNoTime && t < filters.nModifiedBefore))
                    continue;
            }
            if (!pattern.Matches(e.GetName())) continue;
            ranking.Offer(static_cast<std::uint32_t>(index), index < coveredTo);
            if (e.IsDirectory() && index >= coveredTo) coveredTo = list.SubtreeEnd(index);
        }
        i += n;
    }
    return ranking.Finish();
}

std::string FindSummary(const RankedRows& result, Units units, std::string_view separator) {
    return GroupDigits(result.nCount, separator) + " found, " + FormatSize(result.nTotal, units);
}

}  // namespace sizewalk
