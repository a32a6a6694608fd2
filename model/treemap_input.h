#pragma once
// What the treemap reads of a scan: a pre-order list of nodes. Node 0 is the
// start directory; every subtree is one contiguous run of indices, so the
// first child of directory i is i + 1 (if it has any) and the next sibling of
// node j is SubtreeEnd(j). The treemap asks each node it shows a few questions
// and keeps none of the answers but rectangles.

#include <cstdint>
#include <string_view>

namespace sizewalk {

class CTreemapInput {
public:
    virtual ~CTreemapInput() = default;
    // The number of nodes.
    virtual std::uint32_t Count() const = 0;
    // One past the last node of `node`'s subtree: node + 1 for a file or an
    // empty directory.
    virtual std::uint32_t SubtreeEnd(std::uint32_t node) const = 0;
    virtual bool IsDirectory(std::uint32_t node) const = 0;
    // The size on show (apparent or on disk): a directory's is its total.
    virtual std::uint64_t Size(std::uint32_t node) const = 0;
    // The node's own name (no path), for its colour.
    virtual std::string_view Name(std::uint32_t node) const = 0;
};

inline constexpr std::uint32_t kNoNode = 0xFFFFFFFFu;

}  // namespace sizewalk
