#pragma once
// A list as text, one line an entry with everything a scan records of it
// (key, kind, both sizes, link, read error, kind of file, time, name), so
// that two lists compare entry for entry and a difference shows where.

#include <string>

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
                " m" + std::to_string(list.ModifiedOf(i)) +
                " " + std::string(i == 0 ? "(start)" : e.GetName()) + "\n";
    }
    return text;
}

}  // namespace sizewalk::test
