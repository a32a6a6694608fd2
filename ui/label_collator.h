#pragma once
// The order of items under one parent, as a file manager user expects it:
// case-insensitive and locale-aware, with runs of digits compared as numbers
// (file2 before file10). Labels that still compare equal are ordered by their
// bytes, so the order never depends on the order of insertion.

#include <QCollator>
#include <QLocale>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sizewalk {

class CLabelCollator {
public:
    explicit CLabelCollator(const QLocale& locale = QLocale());

    // Sorts `ids` by their labels; `label(id, out)` writes the label bytes of
    // one id into `out`.
    template <typename LabelOf>
    void Sort(std::span<std::uint32_t> ids, LabelOf&& label) const;

    // <0, 0 or >0 for two label texts (bytes), ties broken by bytes.
    int Compare(const std::string& a, const std::string& b) const;

private:
    struct Keyed {
        QCollatorSortKey key;
        std::uint32_t id;
    };
    void SortKeyed(std::vector<Keyed>& items, std::vector<std::string>& labels) const;
    QCollatorSortKey Key(const std::string& label) const;

    QCollator m_collator;
};

template <typename LabelOf>
void CLabelCollator::Sort(std::span<std::uint32_t> ids, LabelOf&& label) const {
    if (ids.size() < 2) return;
    std::vector<std::string> labels(ids.size());
    std::vector<Keyed> items;
    items.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        label(ids[i], labels[i]);
        items.push_back({Key(labels[i]), static_cast<std::uint32_t>(i)});
    }
    SortKeyed(items, labels);
    std::vector<std::uint32_t> sorted(ids.size());
    for (std::size_t i = 0; i < items.size(); ++i) sorted[i] = ids[items[i].id];
    std::copy(sorted.begin(), sorted.end(), ids.begin());
}

}  // namespace sizewalk
