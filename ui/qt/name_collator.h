#pragma once
// The order of items under one parent, as a file manager user expects it:
// case-insensitive and locale-aware, with runs of digits compared as numbers
// (file2 before file10). Labels begin with the name, so items are ordered by
// their names as shown; names that still compare equal ("README", "ReadMe")
// are ordered by their bytes, so the order never depends on the order of
// insertion.

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "model/tree_order.h"

namespace sizewalk {

class CNameCollator : public CNameOrder {
public:
    explicit CNameCollator(const QLocale& locale = QLocale());

    // Sorts `ids` by name; `nameOf(id)` gives the name bytes of one id.
    template <typename NameOf>
    void Sort(std::span<std::uint32_t> ids, NameOf&& nameOf) const;

    // <0, 0 or >0 for two names (bytes), ties broken by bytes.
    int Compare(std::string_view a, std::string_view b) const override;
    // With one sort key per name rather than a collation per comparison.
    void SortByName(std::span<std::uint32_t> ids, const CScanList& list) const override;

private:
    struct Keyed {
        QCollatorSortKey key;
        std::string_view name;
        std::uint32_t id;
    };
    static void SortKeyed(std::vector<Keyed>& items);
    QCollatorSortKey Key(std::string_view name) const;

    QCollator m_collator;
};

template <typename NameOf>
void CNameCollator::Sort(std::span<std::uint32_t> ids, NameOf&& nameOf) const {
    if (ids.size() < 2) return;
    std::vector<Keyed> items;
    items.reserve(ids.size());
    for (std::uint32_t id : ids) {
        const std::string_view name = nameOf(id);
        items.push_back({Key(name), name, id});
    }
    SortKeyed(items);
    for (std::size_t i = 0; i < items.size(); ++i) ids[i] = items[i].id;
}

}  // namespace sizewalk
