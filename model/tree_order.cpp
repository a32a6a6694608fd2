#include "model/tree_order.h"

#include <algorithm>
#include <utility>
#include <vector>

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
    // of equal keys: most runs are one entry long and cost no collation.
    auto key = [&](std::uint32_t id) -> std::uint64_t {
        switch (order) {
            case SortOrder::Items:
                return list.SubtreeEnd(id) - id - 1;
            case SortOrder::Modified:
                return static_cast<std::uint64_t>(list.ModifiedOf(id));
            case SortOrder::Name:
            case SortOrder::Size:
                break;
        }
        return list[id].GetShownSize(mode);
    };
    // Keys looked up once each (Items asks the directory table).
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) keyed[i] = {key(ids[i]), ids[i]};
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = keyed[i].second;
    for (std::size_t begin = 0; begin < ids.size();) {
        std::size_t end = begin + 1;
        while (end < ids.size() && keyed[end].first == keyed[begin].first) ++end;
        if (end - begin > 1) names.SortByName(ids.subspan(begin, end - begin), list);
        begin = end;
    }
}

}  // namespace sizewalk
