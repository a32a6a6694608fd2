#pragma once
// Where a treemap names its folders: a box at the top of each directory of
// the first levels below the root whose tile is large enough for a line of
// small print. Only boxes and names are computed here (in the picture's
// pixels); the panes draw the text with their toolkit's font, scaled like
// the picture. A box lies inside its directory's tile, within its frame;
// one that would sit on an ancestor's box moves below it, or is dropped
// when the tile has no room left, so no two boxes overlap.

#include <cstdint>
#include <string>
#include <vector>

#include "model/treemap_input.h"
#include "model/treemap_layout.h"

namespace sizewalk {

struct TreemapLabel {
    TreemapRect rect;  // where the name goes; the text is clipped to it
    std::uint32_t nNode = kNoNode;
    std::string strName;
    friend bool operator==(const TreemapLabel&, const TreemapLabel&) = default;
};

struct TreemapLabelOptions {
    int nHeight = 16;    // a line of the pane's small print, in picture pixels
    int nMinWidth = 60;  // narrower tiles get no name
    int nLevels = 3;     // levels below the root that are named
};

// The label boxes of a layout, parents before their children. Walks only
// the children of directories large enough for a label, so a map of
// millions of entries costs about as much as its largest folders' child
// counts. No height, or no pixels, gives none.
std::vector<TreemapLabel> TreemapLabels(const CTreemapInput& input, const CTreemapLayout& layout,
                                        const TreemapLabelOptions& options = {});

}  // namespace sizewalk
