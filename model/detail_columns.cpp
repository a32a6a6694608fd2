#include "model/detail_columns.h"

#include <cstdio>
#include <ctime>

#include "model/size_text.h"
#include "platform/local_time.h"

namespace sizewalk {

namespace {

// Whether an item's totals may be short of the truth.
bool LowerBound(const CScanTree& tree, CScanTree::Item item) {
    const CScanList& list = tree.List();
    return tree.Entry(item).IsDirectory() &&
           (list.ReadErrorOf(item) != 0 || list.HasUnreadableBelow(item));
}

}  // namespace

std::string_view DetailHeader(DetailColumn column) {
    switch (column) {
        case DetailColumn::Name:
            return "Name";
        case DetailColumn::Percent:
            return "% of Parent";
        case DetailColumn::Size:
            return "Size";
        case DetailColumn::Items:
            return "Items";
        case DetailColumn::Modified:
            return "Last Modified";
    }
    return {};
}

SortOrder DetailSortOrder(DetailColumn column) {
    switch (column) {
        case DetailColumn::Name:
            return SortOrder::Name;
        case DetailColumn::Percent:
        case DetailColumn::Size:
            return SortOrder::Size;
        case DetailColumn::Items:
            return SortOrder::Items;
        case DetailColumn::Modified:
            return SortOrder::Modified;
    }
    return SortOrder::Name;
}

DetailColumn DetailColumnOf(SortOrder order) {
    switch (order) {
        case SortOrder::Name:
            return DetailColumn::Name;
        case SortOrder::Size:
            return DetailColumn::Size;
        case SortOrder::Items:
            return DetailColumn::Items;
        case SortOrder::Modified:
            return DetailColumn::Modified;
    }
    return DetailColumn::Name;
}

Share ShareOfParent(const CScanTree& tree, CScanTree::Item item, SizeMode mode) {
    Share share;
    const CScanTree::Item up = tree.Parent(item);
    if (up == CScanTree::kNoItem) return share;
    const std::uint64_t whole = tree.Size(up, mode);
    if (whole == 0) return share;
    share.fFraction = static_cast<double>(tree.Size(item, mode)) / static_cast<double>(whole);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * share.fFraction);
    share.strText = text;
    return share;
}

std::string FormatAutoSize(std::uint64_t size, std::string_view separator) {
    if (size < 1024) return GroupDigits(size, separator) + (size == 1 ? " byte" : " bytes");
    static constexpr const char* kUnits[] = {" KB", " MB", " GB", " TB"};
    // Tenths of the unit, rounded half up, in integers: exact at every size.
    int unit = 0;
    std::uint64_t scale = 1024;
    while (unit < 3 && size / scale >= 1024) {
        scale *= 1024;
        ++unit;
    }
    auto tenthsIn = [size](std::uint64_t s) { return size / s * 10 + (size % s * 10 + s / 2) / s; };
    std::uint64_t tenths = tenthsIn(scale);
    if (tenths >= 10240 && unit < 3) {  // 1023.96 KB reads 1.0 MB, not 1,024.0 KB
        scale *= 1024;
        ++unit;
        tenths = tenthsIn(scale);
    }
    return GroupDigits(tenths / 10, separator) + "." + std::to_string(tenths % 10) + kUnits[unit];
}

std::string DetailText(const CScanTree& tree, CScanTree::Item item, DetailColumn column,
                       SizeMode mode, std::string_view separator) {
    switch (column) {
        case DetailColumn::Name:
            return {};
        case DetailColumn::Percent:
            return ShareOfParent(tree, item, mode).strText;
        case DetailColumn::Size:
            return (LowerBound(tree, item) ? "at least " : "") +
                   FormatAutoSize(tree.Size(item, mode), separator);
        case DetailColumn::Items:
            if (!tree.Entry(item).IsDirectory()) return {};
            return (LowerBound(tree, item) ? "at least " : "") +
                   GroupDigits(tree.CountsBelow(item).nEntries, separator);
        case DetailColumn::Modified: {
            const std::int64_t t = tree.List().ModifiedOf(item);
            return t == CScanList::kNoTime ? std::string() : FormatLocalTime(t);
        }
    }
    return {};
}

std::string FormatLocalTime(std::int64_t seconds) {
    std::tm local{};
    if (!ToLocalTime(seconds, local)) return {};
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return std::string(text, n);
}

}  // namespace sizewalk
