#pragma once
// The main dialog's control ids under the names both dialogs and their
// tests use, taken from res/resource.h (which the Windows resource script
// reads) so that each id is written once. On Qt they are also the widgets'
// object names.

#include "res/resource.h"

namespace sizewalk {

// Where windows.h is in, its own IDOK and IDCANCEL are the names; they must
// be the template's.
#if defined(IDOK) || defined(IDCANCEL)
static_assert(IDOK == SIZEWALK_IDOK && IDCANCEL == SIZEWALK_IDCANCEL);
#else
inline constexpr int IDOK = SIZEWALK_IDOK;
inline constexpr int IDCANCEL = SIZEWALK_IDCANCEL;
#endif

inline constexpr int IDC_STATIC = SIZEWALK_IDC_STATIC;
inline constexpr int IDC_TREE = SIZEWALK_IDC_TREE;
inline constexpr int IDC_START_DIR = SIZEWALK_IDC_START_DIR;
inline constexpr int IDC_SHOW_FILES = SIZEWALK_IDC_SHOW_FILES;
inline constexpr int IDC_UNITS_MB = SIZEWALK_IDC_UNITS_MB;
inline constexpr int IDC_UNITS_KB = SIZEWALK_IDC_UNITS_KB;
inline constexpr int IDC_UNITS_BYTES = SIZEWALK_IDC_UNITS_BYTES;

inline constexpr int IDC_PROGRESS_COUNTS = SIZEWALK_IDC_PROGRESS_COUNTS;
inline constexpr int IDC_PROGRESS_DIR = SIZEWALK_IDC_PROGRESS_DIR;
inline constexpr int IDC_TREEMAP = SIZEWALK_IDC_TREEMAP;
inline constexpr int IDC_TREEMAP_PANE = SIZEWALK_IDC_TREEMAP_PANE;
inline constexpr int IDC_DETAILS_HEADER = SIZEWALK_IDC_DETAILS_HEADER;
inline constexpr int IDC_VIEW = SIZEWALK_IDC_VIEW;
inline constexpr int IDC_ROWS = SIZEWALK_IDC_ROWS;
inline constexpr int IDC_ROWS_TITLE = SIZEWALK_IDC_ROWS_TITLE;
inline constexpr int IDC_PROGRESS_LINK = SIZEWALK_IDC_PROGRESS_LINK;
inline constexpr int IDC_TYPES = SIZEWALK_IDC_TYPES;
inline constexpr int IDC_TYPES_TITLE = SIZEWALK_IDC_TYPES_TITLE;
inline constexpr int IDC_LEGEND = SIZEWALK_IDC_LEGEND;

}  // namespace sizewalk
