#pragma once
// The treemap's view of a scan list: every entry is a node, in the list's
// own pre-order, so every file is a tile whether or not the tree lists files.
// Sizes are the ones on show (apparent or on disk). The input only reads the
// list, which must outlive it and not change while a layout or a render
// reads it; any number of threads may read through one input at once.

#include <cstdint>
#include <string>
#include <string_view>

#include "model/treemap_input.h"
#include "scan/scan_list.h"

namespace sizewalk {

class CListTreemapInput final : public CTreemapInput {
public:
    // A list of more than 2^32 - 1 entries shows its first 2^32 - 1.
    CListTreemapInput(const CScanList& list, SizeMode mode);

    std::uint32_t Count() const override { return m_nCount; }
    std::uint32_t SubtreeEnd(std::uint32_t node) const override;
    bool IsDirectory(std::uint32_t node) const override { return m_list[node].IsDirectory() != 0; }
    std::uint64_t Size(std::uint32_t node) const override {
        return m_list[node].GetShownSize(m_mode);
    }
    std::string_view Name(std::uint32_t node) const override { return m_list[node].GetName(); }

    const CScanList& List() const { return m_list; }
    SizeMode Mode() const { return m_mode; }

private:
    const CScanList& m_list;
    SizeMode m_mode;
    std::uint32_t m_nCount;
};

// What a map of `root`'s subtree shows, for its accessible name: "Treemap of
// /usr: largest lib, 55.1%" (the largest child in `mode` and its share of
// the root, to a tenth of a percent; no share when the root's size is 0, no
// largest when it has no children). Bytes, as the list holds the names.
std::string DescribeTreemap(const CScanList& list, std::uint32_t root, SizeMode mode);

}  // namespace sizewalk
