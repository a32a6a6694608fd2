#pragma once
// The treemap's pixels: cushion shading (van Wijk and van de Wetering) of a
// laid-out map into a 32-bit buffer, 0xAARRGGBB (alpha always 0xFF), row by
// row, the stride being the width. Each level of the tree adds a parabolic
// ridge over its rectangle to the surface, lower by a fixed factor per level;
// one light from the top left shades it. Files take the colour of their kind;
// directories show only through their children and their ridges, and where
// nothing of theirs has a tile (an empty directory, merged small children)
// in a neutral grey. The directories of the first levels below the root get
// a thin dark frame (the pixels inside their edges darkened, so the cushions
// still show through), which shows where a folder ends. Everything is in
// device pixels: the caller lays out at
// its device size, so the map is as sharp at any scale. Rendering only reads
// the input and the layout, so it may run on another thread while neither
// changes; the same layout always gives the same pixels.

#include <cstdint>
#include <span>

#include "model/file_kind.h"
#include "model/file_type.h"
#include "model/treemap_input.h"
#include "model/treemap_layout.h"

namespace sizewalk {

struct CushionOptions {
    double dHeight = 0.38;       // the ridge of the zoom root
    double dScaleFactor = 0.91;  // each level's ridge against its parent's
    double dAmbient = 0.13;      // light that reaches every slope
    double dBrightness = 1.45;   // a flat top's colour against the palette's
    double dLightX = -1.0;       // the light's direction (normalised when used)
    double dLightY = -1.0;
    double dLightZ = 10.0;
    int nFrameLevels = 2;  // levels of directories below the root with a frame
};

// The colour of a kind, and of what shows a directory itself (0xFFRRGGBB).
std::uint32_t TreemapKindColor(FileKind kind);
inline constexpr std::uint32_t kTreemapNeutralColor = 0xFF9A9A9Au;
// A colour as the highlight shows what it leaves out: greyed and darker.
std::uint32_t TreemapDimmedColor(std::uint32_t color);

// Draws the layout's map into `pixels`, which must hold at least
// layout.Width() * layout.Height() values; every one of those pixels is
// written. Returns false (and draws nothing) if the buffer is too small.
// With `highlight`, every tile of a file it does not match, and what shows
// a directory itself, is drawn in its dimmed colour; without, the picture
// is the plain map.
bool RenderTreemap(const CTreemapInput& input, const CTreemapLayout& layout,
                   std::span<std::uint32_t> pixels, const CushionOptions& options = {},
                   const FileTypeFilter* highlight = nullptr);

// Outlines `rect` inside its own edges, `thickness` pixels wide (clipped to
// the buffer of width x height): the outer half white and the inner half
// black, which shows on every colour of the map.
void DrawTreemapOutline(std::span<std::uint32_t> pixels, int width, int height, TreemapRect rect,
                        int thickness = 2);

}  // namespace sizewalk
