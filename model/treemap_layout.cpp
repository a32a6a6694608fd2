#include "model/treemap_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sizewalk {
namespace {

int ToPixel(double v) {
    double r = std::floor(v + 0.5);
    if (!(r > 0.0)) return 0;  // also NaN
    return r >= kMaxTreemapSide ? kMaxTreemapSide : static_cast<int>(r);
}

std::uint16_t Edge(int v) { return static_cast<std::uint16_t>(std::clamp(v, 0, kMaxTreemapSide)); }

}  // namespace

void CTreemapLayout::Layout(const CTreemapInput& input, std::uint32_t root, int width, int height) {
    m_nWidth = std::clamp(width, 0, kMaxTreemapSide);
    m_nHeight = std::clamp(height, 0, kMaxTreemapSide);
    m_rects.clear();
    m_nRoot = root;
    m_nEnd = root;
    if (root >= input.Count()) {
        m_nRoot = kNoNode;
        m_nEnd = 0;
        return;
    }
    m_nEnd = std::min(input.SubtreeEnd(root), input.Count());
    if (m_nEnd <= root) m_nEnd = root + 1;
    // Nodes that get no pixel keep the zeroed (empty) rectangle.
    m_rects.assign(m_nEnd - m_nRoot, TreemapRect{});
    if (m_nWidth == 0 || m_nHeight == 0) return;
    Store(root, 0, 0, m_nWidth, m_nHeight);

    // Pre-order: a parent is laid out before its children are visited. A
    // node without pixels hides its whole subtree.
    for (std::uint32_t i = root; i < m_nEnd;) {
        TreemapRect rect = m_rects[i - m_nRoot];
        if (rect.IsEmpty()) {
            i = std::max(input.SubtreeEnd(i), i + 1);
            continue;
        }
        if (input.IsDirectory(i)) LayoutChildren(input, i, rect);
        ++i;
    }
    std::vector<Item>().swap(m_items);
}

void CTreemapLayout::LayoutChildren(const CTreemapInput& input, std::uint32_t dir,
                                    TreemapRect rect) {
    std::uint32_t end = std::min(input.SubtreeEnd(dir), m_nEnd);
    m_items.clear();
    // Children fill the directory in proportion to their sum (not the
    // directory's total), so a directory's own blocks never leave a hole.
    double sum = 0.0;
    for (std::uint32_t j = dir + 1; j < end;) {
        std::uint64_t size = input.Size(j);
        m_items.push_back({size, j});
        sum += static_cast<double>(size);
        j = std::max(input.SubtreeEnd(j), j + 1);
    }
    if (m_items.empty()) return;

    double scale = sum > 0.0 ? double(rect.Width()) * double(rect.Height()) / sum : 0.0;
    // Keep the children of a pixel or more, in index order; the first one
    // under a pixel holds the remainder that all of them share.
    std::uint32_t remainderSlot = kNoNode;
    std::size_t kept = 0;
    for (const Item& item : m_items) {
        if (static_cast<double>(item.nSize) * scale >= 1.0) {
            m_items[kept++] = item;
        } else if (remainderSlot == kNoNode) {
            remainderSlot = item.nNode;
        }
    }
    m_items.resize(kept);
    std::sort(m_items.begin(), m_items.end(), [](const Item& a, const Item& b) {
        return a.nSize != b.nSize ? a.nSize > b.nSize : a.nNode < b.nNode;
    });
    Squarify(m_items, scale, rect, remainderSlot);
}

// Rows of tiles along the shorter side of what is left, each row grown while
// that makes its worst aspect ratio no worse. Every edge is rounded from one
// shared coordinate, so neighbours meet without gap or overlap.
void CTreemapLayout::Squarify(std::span<const Item> items, double scale, TreemapRect rect,
                              std::uint32_t nRemainderSlot) {
    auto area = [&items, scale](std::size_t k) { return double(items[k].nSize) * scale; };
    double x0 = rect.x0, y0 = rect.y0;
    const double x1 = rect.x1, y1 = rect.y1;
    const bool hasRemainder = nRemainderSlot != kNoNode;
    std::size_t i = 0;
    const std::size_t n = items.size();
    while (i < n) {
        const double w = x1 - x0, h = y1 - y0;
        const bool column = w >= h;  // a column at the left, else a row at the top
        const double side = column ? h : w;
        std::size_t j = i;
        double sum = 0.0;
        if (side <= 0.0) {
            // Nothing left to share (rounding): the rest gets no pixels.
            for (; j < n; ++j) sum += area(j);
        } else {
            const double side2 = side * side;
            double worst = std::numeric_limits<double>::infinity();
            const double largest = area(i);
            while (j < n) {
                const double aj = area(j), s = sum + aj;
                const double s2 = s * s;
                const double ratio = std::max(side2 * largest / s2, s2 / (side2 * aj));
                if (j > i && ratio > worst) break;
                worst = ratio;
                sum = s;
                ++j;
            }
        }
        const double start = column ? x0 : y0;
        double far = start + (side > 0.0 ? sum / side : 0.0);
        const double limit = column ? x1 : y1;
        if (far > limit || (j == n && !hasRemainder)) far = limit;
        const int a0 = ToPixel(start), a1 = ToPixel(far);
        const double along = column ? y0 : x0;
        int p0 = ToPixel(along);
        double acc = 0.0;
        for (std::size_t k = i; k < j; ++k) {
            acc += area(k);
            const double next = k + 1 == j ? (column ? y1 : x1) : along + side * (acc / sum);
            const int p1 = ToPixel(next);
            if (column)
                Store(items[k].nNode, a0, p0, a1, p1);
            else
                Store(items[k].nNode, p0, a0, p1, a1);
            p0 = p1;
        }
        (column ? x0 : y0) = far;
        i = j;
    }
    if (hasRemainder) {
        const int rx0 = ToPixel(x0), ry0 = ToPixel(y0);
        const int rx1 = ToPixel(x1), ry1 = ToPixel(y1);
        // Kept with its x edges swapped: the slot's node itself has no tile.
        if (rx1 > rx0 && ry1 > ry0)
            m_rects[nRemainderSlot - m_nRoot] = {Edge(rx1), Edge(ry0), Edge(rx0), Edge(ry1)};
    }
}

void CTreemapLayout::Store(std::uint32_t node, int x0, int y0, int x1, int y1) {
    if (x1 <= x0 || y1 <= y0) return;  // rounded away: stays empty
    m_rects[node - m_nRoot] = {Edge(x0), Edge(y0), Edge(x1), Edge(y1)};
}

TreemapRect CTreemapLayout::Rect(std::uint32_t node) const {
    if (!InRange(node)) return {};
    TreemapRect r = m_rects[node - m_nRoot];
    return r.x0 > r.x1 ? TreemapRect{} : r;
}

TreemapRect CTreemapLayout::Remainder(std::uint32_t node) const {
    if (!InRange(node)) return {};
    TreemapRect r = m_rects[node - m_nRoot];
    return r.x0 > r.x1 ? TreemapRect{r.x1, r.y0, r.x0, r.y1} : TreemapRect{};
}

std::uint32_t CTreemapLayout::HitTest(const CTreemapInput& input, int x, int y) const {
    if (m_nRoot == kNoNode || !Rect(m_nRoot).Contains(x, y)) return kNoNode;
    std::uint32_t node = m_nRoot;
    for (;;) {
        std::uint32_t end = std::min(input.SubtreeEnd(node), m_nEnd);
        std::uint32_t found = kNoNode;
        for (std::uint32_t j = node + 1; j < end; j = std::max(input.SubtreeEnd(j), j + 1)) {
            if (Rect(j).Contains(x, y)) {
                found = j;
                break;
            }
        }
        if (found == kNoNode) return node;
        node = found;
    }
}

std::uint32_t CTreemapLayout::VisibleAncestor(const CTreemapInput& input,
                                              std::uint32_t node) const {
    if (!InRange(node)) return kNoNode;
    std::uint32_t best = kNoNode;
    for (std::uint32_t n : TreemapPath(input, node)) {
        if (!InRange(n)) continue;
        if (Rect(n).IsEmpty()) break;
        best = n;
    }
    return best;
}

std::size_t CTreemapLayout::MemoryBytes() const {
    return m_rects.capacity() * sizeof(TreemapRect) + m_items.capacity() * sizeof(Item);
}

std::vector<std::uint32_t> TreemapPath(const CTreemapInput& input, std::uint32_t node) {
    std::vector<std::uint32_t> path;
    const std::uint32_t count = input.Count();
    if (node >= count) return path;
    std::uint32_t cur = 0;
    path.push_back(cur);
    while (cur != node) {
        std::uint32_t end = std::min(input.SubtreeEnd(cur), count);
        std::uint32_t j = cur + 1;
        // Siblings are consecutive runs: skip those that end at or before node.
        while (j < end) {
            std::uint32_t next = std::max(input.SubtreeEnd(j), j + 1);
            if (node < next) break;
            j = next;
        }
        if (j >= end) return {};  // not under node 0: an inconsistent input
        cur = j;
        path.push_back(cur);
    }
    return path;
}

std::uint32_t TreemapParent(const CTreemapInput& input, std::uint32_t node) {
    std::vector<std::uint32_t> path = TreemapPath(input, node);
    return path.size() >= 2 ? path[path.size() - 2] : kNoNode;
}

std::uint32_t TreemapZoomStep(const CTreemapInput& input, std::uint32_t root, std::uint32_t node) {
    const std::uint32_t count = input.Count();
    if (root >= count || node >= count || node <= root) return kNoNode;
    const std::uint32_t end = std::min(input.SubtreeEnd(root), count);
    if (node >= end) return kNoNode;
    // Only the root's children are walked, each subtree skipped at once.
    for (std::uint32_t j = root + 1; j < end;) {
        const std::uint32_t next = std::max(input.SubtreeEnd(j), j + 1);
        if (node < next) return input.IsDirectory(j) ? j : kNoNode;
        j = next;
    }
    return kNoNode;
}

}  // namespace sizewalk
