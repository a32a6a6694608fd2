#pragma once
// Lists in tests: a scan of a path, an entry found by its path, and a list
// as text, one line an entry with everything a scan records of it
// (key, kind, both sizes, link, read error, kind of file, time, name), so
// that two lists compare entry for entry and a difference shows where.

#include <gtest/gtest.h>

#include <string>

#include "scan/dir_scanner.h"
#include "scan/scan_list.h"

namespace sizewalk::test {

inline std::string ListText(const CScanList& list) {
    std::string text;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        const CScanEntry& e = list[i];
        text += std::to_string(e.m_nDepth) + (e.IsDirectory() ? " D " : " F ") +
                std::to_string(e.m_nSize) + " " + std::to_string(e.GetDiskSize()) +
                (e.IsMultiLinked() ? " L" : "") + (list.LinkOf(i) ? "+" : "") + " e" +
                std::to_string(list.ReadErrorOf(i)) + " end" + std::to_string(list.SubtreeEnd(i)) +
                (e.IsNotRegular() ? " notreg" : "") + (e.IsOtherFileSystem() ? " otherfs" : "") +
                " m" + std::to_string(list.ModifiedOf(i)) + " " +
                std::string(i == 0 ? "(start)" : e.GetName()) + "\n";
    }
    return text;
}

// A finished scan of `path`, as the window keeps it.
inline CScanList ScanOf(const std::string& path) {
    CDirScanner scanner;
    CScanList list;
    EXPECT_EQ(scanner.ScanInto(path, list, nullptr), ScanStatus::Complete);
    return list;
}

// The list index of the entry whose path is `path` (0 and a failure when
// none is).
inline std::size_t IndexOfPath(const CScanList& list, const std::string& path) {
    for (std::size_t i = 0; i < list.Count(); ++i)
        if (list.PathOf(i) == path) return i;
    ADD_FAILURE() << "not in the list: " << path;
    return 0;
}

}  // namespace sizewalk::test
