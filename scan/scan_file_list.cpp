#include "scan/scan_file_list.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/find_record.h"
#include "scan/list_builder.h"
#include "scan/name_arena.h"

namespace sizewalk {

namespace {

// Files with several links are told apart as the walks tell them.
using DeviceInode = CDirScanner::Builder::DeviceInode;
using DeviceInodeHash = CDirScanner::Builder::DeviceInodeHash;

class CListSink : public IScanFileSink {
public:
    CListSink(CScanList& list, ScanFileMetadata* metadata, CScanProgress* progress)
        : m_list(list), m_pMetadata(metadata), m_pProgress(progress) {}

    // What is left to count since the last report.
    void Report() {
        if (!m_pProgress) return;
        m_pProgress->AddFound(m_nEntries, m_nBytes, m_nDisk);
        m_nEntries = m_nBytes = m_nDisk = 0;
        if (m_pProgress->IsStopRequested()) throw ScanFileStopped{};
    }

    void Metadata(const ScanFileMetadata& metadata) override {
        if (m_pMetadata) *m_pMetadata = metadata;
    }
    void EnterDirectory(const ScanFileItem& item) override {
        std::int32_t depth;
        if (m_open.empty()) {
            // The start entry's key is two less than its children's, whose
            // key counts the separators of the start path, as a walk makes it.
            const std::string path(item.name);
            const std::int32_t children = CountSeparators(path.c_str()) + 1;
            depth = children - 2;
            m_open.push_back(children);
        } else {
            depth = m_open.back();
            m_open.push_back(depth + 1);
        }
        Add(item, depth, true);
    }
    void File(const ScanFileItem& item) override { Add(item, m_open.back(), false); }
    void LeaveDirectory() override { m_open.pop_back(); }

private:
    void Add(const ScanFileItem& item, std::int32_t depth, bool directory) {
        FindRecord record;
        record.dwFileAttributes = directory ? kFileAttributeDirectory : kFileAttributeNormal;
        if (!directory) record.SetSize(item.nApparentSize);
        record.nDiskSize = directory && item.bSubtreeTotals ? 0 : item.nDiskSize;
        record.bSpecial = item.bNotRegular;
        record.bOtherFileSystem = item.excluded == ScanFileExcluded::OtherFs;
        const bool linked = !directory && (item.bHardLinkCandidate || item.nLinks > 1);
        if (linked) {
            record.nLinkDevice = item.nDevice;
            record.nLinkInode = item.nInode;
            // The blocks exist once: the first link in file order holds them.
            if (!CDirScanner::Builder::FirstLink(m_seenLinks, record)) record.nDiskSize = 0;
        }
        CScanEntry& entry = m_list.Append(CScanEntry(record, m_list.Names().Add(item.name)));
        entry.m_nDepth = depth;
        const std::size_t index = m_list.Count() - 1;
        if (linked) m_list.AddLink(index, item.nDevice, item.nInode);
        if (item.mtime) m_list.SetModified(index, *item.mtime);
        if (directory && item.bReadError) m_list.MarkUnreadable(index, CScanList::kErrorFromFile);
        m_nBytes += entry.GetFileSize();
        m_nDisk += entry.GetDiskSize();
        if (++m_nEntries == kReportEvery) Report();
    }

    static constexpr std::uint64_t kReportEvery = 4096;

    CScanList& m_list;
    ScanFileMetadata* m_pMetadata;
    CScanProgress* m_pProgress;
    std::uint64_t m_nEntries = 0, m_nBytes = 0, m_nDisk = 0;
    std::vector<std::int32_t> m_open;  // the key of each open directory's children
    CDirScanner::Builder::LinkSet m_seenLinks;
};

}  // namespace

void ReadScanList(IScanFileSource& source, CScanList& list, ScanFileMetadata* metadata,
                  const ScanFileLimits& limits, CScanProgress* progress) {
    list.Clear();
    try {
        CListSink sink(list, metadata, progress);
        ReadScanFile(source, sink, limits);
        sink.Report();
        list.Finish();
    } catch (...) {
        list.Clear();
        throw;
    }
}

void WriteScanList(const CScanList& list, CScanFileWriter& writer) {
    // How many links of each file lie in the list: "nlink" as the scan saw it.
    std::unordered_map<DeviceInode, std::uint32_t, DeviceInodeHash> links;
    for (std::size_t i = 0; i < list.Count(); ++i)
        if (const CScanList::LinkRecord* link = list.LinkOf(i))
            ++links[{link->nDevice, link->nInode}];

    std::vector<std::size_t> ends;  // of the open directories
    for (std::size_t i = 0; i < list.Count(); ++i) {
        while (!ends.empty() && ends.back() <= i) {
            writer.LeaveDirectory();
            ends.pop_back();
        }
        const CScanEntry& entry = list[i];
        ScanFileItem item;
        item.name = entry.GetName();
        // A directory's is the newest in its subtree: the list keeps no other.
        if (const std::int64_t t = list.ModifiedOf(i); t != CScanList::kNoTime) item.mtime = t;
        if (entry.IsDirectory()) {
            item.bDirectory = true;
            const std::size_t end = list.SubtreeEnd(i);
            // Its own blocks: the total less what each child holds.
            std::uint64_t below = 0;
            for (std::size_t c = i + 1; c < end; c = list.SubtreeEnd(c))
                below = SaturatingAdd(below, list[c].GetDiskSize());
            // Totals stop at 2^64 - 1; a file holds at most 2^63 - 1.
            item.nDiskSize = std::min<std::uint64_t>(entry.GetDiskSize() - below, INT64_MAX);
            item.bReadError = list.ReadErrorOf(i) != 0;
            if (entry.IsOtherFileSystem()) item.excluded = ScanFileExcluded::OtherFs;
            writer.EnterDirectory(item);
            ends.push_back(end);
            continue;
        }
        item.nApparentSize = entry.GetFileSize();
        item.nDiskSize = entry.GetDiskSize();
        item.bNotRegular = entry.IsNotRegular();
        if (entry.IsOtherFileSystem()) item.excluded = ScanFileExcluded::OtherFs;
        if (const CScanList::LinkRecord* link = list.LinkOf(i)) {
            item.nDevice = link->nDevice;
            item.nInode = link->nInode;
            item.bHardLinkCandidate = true;
            item.nLinks = links[{link->nDevice, link->nInode}];
        }
        writer.File(item);
    }
    for (; !ends.empty(); ends.pop_back()) writer.LeaveDirectory();
    writer.Finish();
}

}  // namespace sizewalk
