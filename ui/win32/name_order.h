#pragma once
// The order of names under one parent, the same rules as the Linux tree:
// locale-aware and case-insensitive, runs of digits compared as numbers
// (file2 before file10, leading zeros aside), punctuation significant (it
// sorts before digits and letters), names compared as they are shown. Names
// that still compare equal ("README", "ReadMe") are ordered by their bytes,
// so the order never depends on the order of listing. Sort by Size
// (tree_order.h) falls back on it for equal sizes.
//
// Keys come from the system's collation (LCMapStringEx sort keys), so a
// directory of n names costs n key computations and an n log n sort of
// bytes.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/tree_order.h"

namespace sizewalk {

class CSystemNameOrder : public CNameOrder {
public:
    // `locale`: a locale name such as "en-US"; empty for the user's own.
    explicit CSystemNameOrder(std::wstring locale = std::wstring());

    // Sorts `ids` by name; `nameOf(id)` gives the UTF-8 name of one id.
    template <typename NameOf>
    void Sort(std::span<std::uint32_t> ids, NameOf&& nameOf) const;

    // <0, 0 or >0 for two names, ties broken by bytes.
    int Compare(std::string_view a, std::string_view b) const override;
    // With one sort key per name rather than two per comparison.
    void SortByName(std::span<std::uint32_t> ids, const CScanList& list) const override;

private:
    struct Keyed {
        std::size_t nKeyAt;
        std::size_t nKeyLength;
        std::string_view name;
        std::uint32_t id;
    };
    // Appends the sort key of `name` to `keys`; returns its length.
    std::size_t AppendKey(std::string& keys, std::string_view name, std::wstring& scratch) const;
    static void SortKeyed(std::span<Keyed> items, const std::string& keys);

    std::wstring m_locale;
};

template <typename NameOf>
void CSystemNameOrder::Sort(std::span<std::uint32_t> ids, NameOf&& nameOf) const {
    if (ids.size() < 2) return;
    std::vector<Keyed> items;
    items.reserve(ids.size());
    std::string keys;
    std::wstring scratch;
    for (std::uint32_t id : ids) {
        const std::string_view name = nameOf(id);
        const std::size_t at = keys.size();
        items.push_back({at, AppendKey(keys, name, scratch), name, id});
    }
    SortKeyed(items, keys);
    for (std::size_t i = 0; i < items.size(); ++i) ids[i] = items[i].id;
}

}  // namespace sizewalk
