#pragma once
// The label of a tree item: the name, then the size in brackets in the
// chosen unit, in fixed-width formats ("docs [    1.50KB]"). MB and KB are
// powers of two; with no unit chosen the label reads in bytes.

#include <cstdint>
#include <string>
#include <string_view>

#include "scan/scan_entry.h"

namespace sizewalk {

// The three radio buttons, in their order; None when none is checked.
enum class Units : int { None = -1, MB = 0, KB = 1, Bytes = 2 };
// The "Show Files" check box: whether files get items of their own.
enum class Files : bool { Hidden = false, Shown = true };

// The unit of a radio button's index in the group (anything else: None).
Units UnitsFromIndex(int index);

inline constexpr double kBytesToMB = 9.5367431640625e-07;  // 2^-20
inline constexpr double kBytesToKB = 0.0009765625;         // 2^-10

// The label "name [size]" in the unit's fixed format, into `out`.
void FormatLabel(std::string& out, const char* name, std::uint64_t size, Units units);
// The same for an entry: a directory's total, a file's own size, apparent
// or on disk.
void FormatLabel(std::string& out, const CScanEntry& entry, Units units,
                 SizeMode mode = SizeMode::Apparent);

}  // namespace sizewalk
