#pragma once
// Where the main dialog's controls sit, in dialog units, and how each one
// follows the window when it grows beyond the template's size: the tree
// takes the extra room, the start directory box grows in width, the buttons
// and the display choices keep to the right edge. Both dialogs (Qt and
// Win32) place their controls from this one table.

#include <algorithm>
#include <cstddef>

#include "core/control_ids.h"

namespace sizewalk {

// The template's size, in dialog units: also the window's smallest.
inline constexpr int kDialogWidth = 264;
inline constexpr int kDialogHeight = 209;

enum class Anchor { Fixed, Right, Wider, WiderAndTaller };

struct ControlRect {
    int id, x, y, w, h;
    Anchor anchor;
};

// In template order, which is also the tab order.
inline constexpr ControlRect kControls[] = {
    {IDOK, 207, 7, 50, 14, Anchor::Right},                 // OK
    {IDCANCEL, 207, 23, 50, 14, Anchor::Right},            // Cancel
    {IDC_TREE, 10, 54, 180, 148, Anchor::WiderAndTaller},  // the tree
    {IDC_START_DIR, 57, 14, 130, 14, Anchor::Wider},       // the start directory
    {IDC_STATIC, 21, 18, 33, 8, Anchor::Fixed},            // "Start from:"
    {IDC_SHOW_FILES, 201, 135, 50, 10, Anchor::Right},     // Show Files
    {IDC_STATIC, 201, 51, 53, 66, Anchor::Right},          // the "Display" group box
    {IDC_UNITS_MB, 206, 62, 27, 10, Anchor::Right},        // MB
    {IDC_UNITS_KB, 206, 76, 25, 10, Anchor::Right},        // KB
    {IDC_UNITS_BYTES, 206, 90, 33, 10, Anchor::Right},     // Bytes
};

// The place of the tree in kControls: the view switch may take some of its
// width.
inline constexpr std::size_t kTreeIndex = 2;

// The place of "Start from:" in kControls: a font wider than the template's
// would clip it, so it may grow to the left.
inline constexpr std::size_t kStartLabelIndex = 4;

// The "Treemap" check box, not in the template: in the free space under
// "Show Files".
inline constexpr ControlRect kTreemapBox = {IDC_TREEMAP, 201, 149, 50, 10, Anchor::Right};
// How much of the tree's room the treemap takes when it shows, in percent.
inline constexpr int kTreemapShare = 45;

// How much taller the window gets when the treemap shows: a window at its
// smallest height (`height` no more than the template's `baseHeight`) grows
// by as much as the map will take of the tree's room `treeHeight`, so that
// the tree keeps its own; a window made taller by the user does not grow.
// All in pixels.
inline int TreemapGrowth(int height, int baseHeight, int treeHeight) {
    if (height > baseHeight || treeHeight <= 0) return 0;
    return treeHeight * kTreemapShare / (100 - kTreemapShare);
}

// The progress of a scan: two lines in the free band between the start
// directory and the tree, shown only while a scan runs.
inline constexpr ControlRect kProgress = {IDC_STATIC, 10, 32, 180, 20, Anchor::Wider};

struct PixelRect {
    int x, y, w, h;
};

// `r` (in pixels at the template's size) in a window `dx` wider and `dy`
// taller than the template; a smaller window counts as the template's size.
inline PixelRect Anchored(PixelRect r, Anchor anchor, int dx, int dy) {
    dx = std::max(0, dx);
    dy = std::max(0, dy);
    switch (anchor) {
        case Anchor::Fixed:
            break;
        case Anchor::Right:
            r.x += dx;
            break;
        case Anchor::Wider:
            r.w += dx;
            break;
        case Anchor::WiderAndTaller:
            r.w += dx;
            r.h += dy;
            break;
    }
    return r;
}

}  // namespace sizewalk
