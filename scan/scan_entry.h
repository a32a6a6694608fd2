#pragma once
// One file or directory found by a scan, 32 bytes. The name lives in the
// list's name arena; the containing directory is known to the list, not to
// the entry. The list owns its entries; views only read them and keep their
// own mapping from entries to what they show.
//
// Every entry carries two sizes: the apparent size (the file's length, what
// the labels show by default) and the size on disk (the blocks it occupies).

#include <cstdint>
#include <string_view>

#include "platform/find_record.h"

namespace sizewalk {

// Which of an entry's two sizes is meant.
enum class SizeMode { Apparent, OnDisk };

class CScanEntry {
public:
    // `name` must stay valid and NUL-terminated for the entry's life (the
    // scanner's arena).
    CScanEntry(const FindRecord& record, const char* name)
        : m_nSize(record.IsDirectory() ? 0 : record.Size()),
          m_nDiskSize(record.nDiskSize),
          m_pszName(name),
          m_bDirectory(record.IsDirectory() ? 1u : 0u),
          m_bLinked(record.nLinkInode != 0 ? 1u : 0u),
          m_bNotRegular(!record.IsDirectory() && (record.IsReparsePoint() || record.bSpecial) ? 1u
                                                                                              : 0u),
          m_bOtherFs(record.bOtherFileSystem ? 1u : 0u) {}

    // kFileAttributeDirectory or 0.
    int IsDirectory() const { return m_bDirectory ? static_cast<int>(kFileAttributeDirectory) : 0; }
    // The name bytes; the view's data() is NUL-terminated. For the start entry
    // of a scan this is the whole start path.
    std::string_view GetName() const { return m_pszName; }
    const char* GetNameCStr() const { return m_pszName; }
    // Own apparent size in bytes; directories have none of their own.
    std::uint64_t GetFileSize() const { return m_bDirectory ? 0 : m_nSize; }
    // Bytes on disk: a file's own blocks (0 for a further link to a file
    // already counted); after a scan, a directory's own blocks plus all below.
    std::uint64_t GetDiskSize() const { return m_nDiskSize; }
    // The size shown for the entry in `mode`: a directory's total, a file's
    // own size.
    std::uint64_t GetShownSize(SizeMode mode) const {
        return mode == SizeMode::OnDisk ? m_nDiskSize : m_nSize;
    }
    // A file with more than one hard link (its blocks count once per scan).
    bool IsMultiLinked() const { return m_bLinked != 0; }
    // Not a regular file nor a directory: a link, FIFO, socket or device.
    bool IsNotRegular() const { return m_bNotRegular != 0; }
    // A directory listed and not entered: it lies on another file system.
    bool IsOtherFileSystem() const { return m_bOtherFs != 0; }
    void MarkOtherFileSystem() { m_bOtherFs = 1; }

    // Apparent bytes: a file's own length; after a scan, for a directory,
    // the sum of the own sizes of everything below it.
    std::uint64_t m_nSize;
    std::uint64_t m_nDiskSize;

private:
    const char* m_pszName;

public:
    std::int32_t m_nDepth = 0;  // depth key; only comparisons matter

private:
    std::uint32_t m_bDirectory : 1;
    std::uint32_t m_bLinked : 1;
    std::uint32_t m_bNotRegular : 1;
    std::uint32_t m_bOtherFs : 1;
    std::uint32_t m_nSpare : 28 = 0;  // room for what a scan learns of an entry
};

static_assert(sizeof(CScanEntry) <= 32, "entries must stay compact");

}  // namespace sizewalk
