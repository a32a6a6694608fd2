#pragma once
// Re-sorting the rows of a list (largest files, search results) by a column
// the user clicks: name, folder path, size or last modified, either way.
// Stable: rows of equal keys keep the order they had, so a second click
// sorts within the first. Names and folders compare as bytes, as the file
// system has them; a time not known sorts before every known one.

#include <cstdint>
#include <vector>

#include "model/largest_files.h"
#include "scan/scan_list.h"

namespace sizewalk {

enum class RowColumn { Name, Folder, Size, Modified };

// Sorts `result.rows` in place by `column`, sizes as `mode` shows them.
void SortRows(const CScanList& list, RankedRows& result, RowColumn column, bool ascending,
              SizeMode mode);

}  // namespace sizewalk
