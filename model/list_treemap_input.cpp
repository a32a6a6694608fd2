#include "model/list_treemap_input.h"

#include <algorithm>
#include <cstdio>

namespace sizewalk {

CListTreemapInput::CListTreemapInput(const CScanList& list, SizeMode mode)
    : m_list(list),
      m_mode(mode),
      m_nCount(static_cast<std::uint32_t>(std::min<std::size_t>(list.Count(), kNoNode - 1))) {}

std::uint32_t CListTreemapInput::SubtreeEnd(std::uint32_t node) const {
    // Clipped to what is shown, so a cut list stays one consistent tree.
    return static_cast<std::uint32_t>(std::min<std::size_t>(m_list.SubtreeEnd(node), m_nCount));
}

std::string DescribeTreemap(const CScanList& list, std::uint32_t root, SizeMode mode) {
    std::string text = "Treemap";
    if (root >= list.Count()) return text;
    text += " of ";
    text += list.PathOf(root);
    const std::size_t end = list.SubtreeEnd(root);
    std::size_t largest = CScanList::kNone;
    for (std::size_t j = root + 1; j < end; j = std::max(list.SubtreeEnd(j), j + 1)) {
        if (largest == CScanList::kNone ||
            list[j].GetShownSize(mode) > list[largest].GetShownSize(mode))
            largest = j;
    }
    if (largest == CScanList::kNone) return text;
    text += ": largest ";
    text += list[largest].GetName();
    const std::uint64_t total = list[root].GetShownSize(mode);
    if (total > 0) {
        char share[32];
        std::snprintf(share, sizeof share, ", %.1f%%",
                      100.0 * static_cast<double>(list[largest].GetShownSize(mode)) /
                          static_cast<double>(total));
        text += share;
    }
    return text;
}

}  // namespace sizewalk
