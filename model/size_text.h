#pragma once
// The texts beyond the labels that tell sizes to the user: the progress of a
// running scan and the details of one item (its tooltip). Bytes in, bytes
// out (names are the file system's); the dialog decodes them for display and
// elides what does not fit.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/labels.h"
#include "model/scan_tree.h"
#include "scan/scan_entry.h"
#include "scan/scan_progress.h"

namespace sizewalk {

// The decimal digits of `n` in groups of three: 1234567 -> "1,234,567".
std::string GroupDigits(std::uint64_t n, std::string_view separator = ",");

// A size in the unit's number format of the labels, without their padding:
// "1.50KB", "0.00MB", "1536 bytes".
std::string FormatSize(std::uint64_t size, Units units);

struct ProgressText {
    std::string strCounts;  // "Scanning: 1,234 entries, 12.34MB"
    std::string strDir;     // the directory being read, whole
};
// What a running scan of `startPath` has found: the entries with digit
// grouping, their size (the figure on show) in the unit's format, and the
// directory being read (the start path until the scan names one).
// With `elapsedSeconds` (not negative), the time the scan has taken so far
// follows the size ("0:07").
// With `opening`, it is a saved scan being read: "Opening: …", and
// `startPath` is the file.
ProgressText FormatProgress(const CScanProgress::Snapshot& snapshot, Units units, SizeMode mode,
                            std::string_view startPath, std::string_view separator = ",",
                            double elapsedSeconds = -1, bool opening = false);

// What the band above the tree says once a scan is shown: how many
// directories could not be read, and that sizes on disk are on show. Both
// lines empty when there is nothing to say.
// `origin`, when not empty, comes first on the first line.
ProgressText FormatScanNotes(std::size_t unreadable, SizeMode mode,
                             std::string_view separator = ",", std::string_view origin = {});
// That a scan came from a file, and when it was made: "From a file, made
// 2026-12-10 03:24." in local time, or "From a file." when the file does not
// say (or says a time out of range).
std::string FormatScanOrigin(std::optional<std::int64_t> made);
inline constexpr std::string_view kStoppingText = "Stopping\u2026";
inline constexpr std::string_view kScanStoppedText = "Scan stopped";

// The label of an item: the entry's label, and for a directory that could
// not be read " (could not be read)" after it, so that it shows on the item
// itself; every other label is the entry's exactly.
void FormatItemLabel(std::string& out, const CScanTree& tree, CScanTree::Item item, Units units,
                     SizeMode mode);

// The details of an item, one line each: its full path; "Size: N bytes" and
// "Size on disk: N bytes", each with the share of its parent in percent
// where the parent's figure is not 0, and "at least" before the figure where
// a directory in it could not be read; for a directory, the number of
// entries below it, and why it could not be read if so.
std::vector<std::string> DescribeItem(const CScanTree& tree, CScanTree::Item item,
                                      std::string_view separator = ",");

}  // namespace sizewalk
