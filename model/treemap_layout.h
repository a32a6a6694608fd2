#pragma once
// The treemap's layout: the subtree of one node (the zoom root) laid out in a
// width x height pixel rectangle, squarified (Bruls, Huizing and van Wijk) and
// nested by directory, each directory's children largest first (equal sizes
// by node index). Every file is a tile; areas follow the sizes on show.
//
// Children whose share is under one pixel merge into their parent: they get
// no rectangle, and the part of the parent they share (its remainder) shows
// the parent. Everything else keeps its own tile, however small; edges are
// rounded to whole pixels, so a tile's side is within a pixel of its exact
// size, siblings never overlap, children stay inside their parents, and a
// directory's children and remainder cover it exactly.
//
// The layout keeps 8 bytes per node of the zoom root's subtree (one rectangle
// of four 16-bit edges), so sides are at most 65535 pixels. The same input
// and size always give the same layout.

#include <cstdint>
#include <span>
#include <vector>

#include "model/treemap_input.h"

namespace sizewalk {

// A rectangle of pixels, [x0, x1) x [y0, y1).
struct TreemapRect {
    std::uint16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    int Width() const { return x1 > x0 ? x1 - x0 : 0; }
    int Height() const { return y1 > y0 ? y1 - y0 : 0; }
    bool IsEmpty() const { return Width() == 0 || Height() == 0; }
    bool Contains(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
    friend bool operator==(const TreemapRect&, const TreemapRect&) = default;
};
static_assert(sizeof(TreemapRect) == 8);

inline constexpr int kMaxTreemapSide = 65535;

class CTreemapLayout {
public:
    // Lays out `root`'s subtree in width x height pixels (negative counts as
    // 0, more than kMaxTreemapSide as that). With no pixels, or a root
    // outside the input, every node's rectangle is empty.
    void Layout(const CTreemapInput& input, std::uint32_t root, int width, int height);

    // The zoom root of the last Layout, or kNoNode before the first.
    std::uint32_t Root() const { return m_nRoot; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

    // The tile of `node`; empty for a node that got no pixel (merged or
    // rounded away) and for any node outside the zoom root's subtree.
    TreemapRect Rect(std::uint32_t node) const;

    // If `node` is one of its parent's merged children, the parent's
    // remainder (kept in this node's place), else an empty rectangle. A
    // directory has at most one such child.
    TreemapRect Remainder(std::uint32_t node) const;

    // The deepest node whose tile holds pixel (x, y): a file, or a directory
    // where the point is in its remainder or it has no children on show.
    // kNoNode outside the map.
    std::uint32_t HitTest(const CTreemapInput& input, int x, int y) const;

    // `node` if it has a tile, else its nearest ancestor that has one (what
    // to outline when a node is too small to show), or kNoNode when neither
    // it nor any ancestor up to the zoom root is on the map.
    std::uint32_t VisibleAncestor(const CTreemapInput& input, std::uint32_t node) const;

    // Bytes kept between layouts (the rectangles; the scratch space of one
    // directory's children is given back after each layout).
    std::size_t MemoryBytes() const;

private:
    struct Item {
        std::uint64_t nSize;
        std::uint32_t nNode;
    };
    void LayoutChildren(const CTreemapInput& input, std::uint32_t dir, TreemapRect rect);
    void Squarify(std::span<const Item> items, double scale, TreemapRect rect,
                  std::uint32_t nRemainderSlot);
    void Store(std::uint32_t node, int x0, int y0, int x1, int y1);
    bool InRange(std::uint32_t node) const { return node >= m_nRoot && node < m_nEnd; }

    std::vector<TreemapRect> m_rects;  // per node of [m_nRoot, m_nEnd); a remainder has x0 > x1
    std::vector<Item> m_items;         // scratch: one directory's children, while laying out
    std::uint32_t m_nRoot = kNoNode;
    std::uint32_t m_nEnd = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

// The node's parent, or kNoNode for node 0 and nodes outside the input.
std::uint32_t TreemapParent(const CTreemapInput& input, std::uint32_t node);

// The nodes from node 0 down to `node`, both included (empty for a node
// outside the input): the zoom chain above a zoom root, for the pane's path.
std::vector<std::uint32_t> TreemapPath(const CTreemapInput& input, std::uint32_t node);

// One zoom step from `root` towards `node`: the child of `root` whose
// subtree holds `node`, if that child is a directory; kNoNode when `node` is
// `root`, lies outside its subtree, or is (or is in) a file directly in it.
std::uint32_t TreemapZoomStep(const CTreemapInput& input, std::uint32_t root, std::uint32_t node);

}  // namespace sizewalk
