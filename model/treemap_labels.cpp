#include "model/treemap_labels.h"

#include <algorithm>

namespace sizewalk {
namespace {

constexpr int kInset = 2;  // clear of the frame and the outline's outer ring

class CLabeller {
public:
    CLabeller(const CTreemapInput& input, const CTreemapLayout& layout,
              const TreemapLabelOptions& options)
        : m_input(input), m_layout(layout), m_options(options) {}

    void Visit(std::uint32_t dir, int level) {
        const std::uint32_t end = std::min(m_input.SubtreeEnd(dir), m_input.Count());
        for (std::uint32_t j = dir + 1; j < end; j = std::max(m_input.SubtreeEnd(j), j + 1)) {
            if (!m_input.IsDirectory(j) || !Roomy(m_layout.Rect(j))) continue;
            // A child's tile lies in its parent's: a small one has no roomy
            // descendants either, and its subtree is skipped.
            const std::size_t mark = m_ancestors.size();
            if (Place(j)) m_ancestors.push_back(m_labels.back().rect);
            if (level < m_options.nLevels) Visit(j, level + 1);
            m_ancestors.resize(mark);
        }
    }

    std::vector<TreemapLabel> Take() { return std::move(m_labels); }

private:
    bool Roomy(TreemapRect r) const {
        return r.Width() >= m_options.nMinWidth && r.Height() >= m_options.nHeight + 2 * kInset;
    }

    // A box at the top of the tile, below any ancestor's box it would cover.
    bool Place(std::uint32_t dir) {
        const TreemapRect tile = m_layout.Rect(dir);
        const int x0 = tile.x0 + kInset, x1 = tile.x1 - kInset;
        int y0 = tile.y0 + kInset;
        for (const TreemapRect& above : m_ancestors)  // top to bottom
            if (above.x0 < x1 && x0 < above.x1 && above.y0 < y0 + m_options.nHeight &&
                y0 < above.y1)
                y0 = above.y1;
        const int y1 = y0 + m_options.nHeight;
        if (y1 > tile.y1 - kInset) return false;
        m_labels.push_back(
            {TreemapRect{static_cast<std::uint16_t>(x0), static_cast<std::uint16_t>(y0),
                         static_cast<std::uint16_t>(x1), static_cast<std::uint16_t>(y1)},
             dir, std::string(m_input.Name(dir))});
        return true;
    }

    const CTreemapInput& m_input;
    const CTreemapLayout& m_layout;
    const TreemapLabelOptions& m_options;
    std::vector<TreemapRect> m_ancestors;  // the labelled directories above
    std::vector<TreemapLabel> m_labels;
};

}  // namespace

std::vector<TreemapLabel> TreemapLabels(const CTreemapInput& input, const CTreemapLayout& layout,
                                        const TreemapLabelOptions& options) {
    const std::uint32_t root = layout.Root();
    if (root == kNoNode || root >= input.Count() || options.nHeight <= 0 || options.nLevels <= 0 ||
        layout.Rect(root).IsEmpty())
        return {};
    CLabeller labeller(input, layout, options);
    labeller.Visit(root, 1);
    return labeller.Take();
}

}  // namespace sizewalk
