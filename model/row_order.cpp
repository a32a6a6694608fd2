#include "model/row_order.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

namespace sizewalk {

namespace {

// Sorts by keys fetched once a row (not once a comparison), then lays the
// rows down in that order.
template <typename Key>
void SortByKey(std::vector<std::uint32_t>& rows, bool ascending, Key key) {
    using K = decltype(key(std::uint32_t{}));
    std::vector<std::pair<K, std::uint32_t>> keyed;
    keyed.reserve(rows.size());
    for (std::uint32_t row : rows) keyed.emplace_back(key(row), row);
    if (ascending)
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    else
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return b.first < a.first; });
    for (std::size_t k = 0; k < rows.size(); ++k) rows[k] = keyed[k].second;
}

}  // namespace

void SortRows(const CScanList& list, RankedRows& result, RowColumn column, bool ascending,
              SizeMode mode) {
    auto& rows = result.rows;
    switch (column) {
        case RowColumn::Name:
            SortByKey(rows, ascending, [&](std::uint32_t r) { return list[r].GetName(); });
            break;
        case RowColumn::Folder:
            SortByKey(rows, ascending, [&](std::uint32_t r) { return list.DirPathOf(r); });
            break;
        case RowColumn::Size:
            SortByKey(rows, ascending,
                      [&](std::uint32_t r) { return result.SizeOf(list, r, mode); });
            break;
        case RowColumn::Modified:
            SortByKey(rows, ascending, [&](std::uint32_t r) {
                const std::int64_t t = list.ModifiedOf(r);
                return t == CScanList::kNoTime ? std::numeric_limits<std::int64_t>::min() : t;
            });
            break;
    }
}

}  // namespace sizewalk
