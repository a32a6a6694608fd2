#pragma once
// File Types: a scan's files by kind (the treemap's colour groups) and,
// within each kind, by type (FileTypeOfName: one row per extension, one for
// the files without one, one for the hidden files), each with its number of
// files and its size on show. The kinds are the map's legend: each has its
// name and its colour.
//
// Counted: every entry that is not a directory (links and other special
// entries too, as the map shows them). Sizes are the entries' own in the
// mode on show, so that a file with several hard links counts its blocks
// once on disk, at the link the scan found first (the others hold none),
// and its length at every link, as the directories' totals do. A share is
// of the start entry's total on show: on disk the directories' own blocks
// are in that total and in no kind.
//
// The result is a copy: it holds no pointer into the list and stays valid
// when the list goes. Nothing here is tied to a toolkit; a list view shows
// Kinds() as two levels, and a row's Filter() picks its files in the map
// or in a list of files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/file_type.h"
#include "scan/scan_list.h"

namespace sizewalk {

struct FileTypeRow {
    FileKind kind = FileKind::Other;
    FileTypeClass eClass = FileTypeClass::Extension;
    std::string strExtension;  // for Extension: lower case, without the dot
    std::uint64_t nFiles = 0;
    std::uint64_t nSize = 0;

    // "png", "(no extension)", "(hidden)", or the kind's name for its own row.
    std::string Label() const;
    FileTypeFilter Filter() const { return {kind, eClass, strExtension}; }
};

// A kind: its own row (eClass Kind: the sums) and the rows within it.
struct FileTypeKind {
    FileTypeRow total;
    std::vector<FileTypeRow> rows;
};

enum class FileTypeOrder : std::uint8_t {
    Size,   // largest first
    Files,  // most files first
    Name,   // by label, bytes in order
};

class CFileTypes {
public:
    // Counts the files of `root`'s subtree (the whole scan by default) in
    // `mode`, sorted by size. An empty list or a root outside it gives no
    // kinds. Throws std::bad_alloc when memory runs out.
    void Count(const CScanList& list, SizeMode mode, std::size_t root = 0);
    // Sorts the kinds and each kind's rows; ties go by label.
    void Sort(FileTypeOrder order);

    // The kinds that have files, in the order last sorted.
    const std::vector<FileTypeKind>& Kinds() const { return m_kinds; }
    SizeMode Mode() const { return m_mode; }
    FileTypeOrder Order() const { return m_order; }
    std::uint64_t Files() const { return m_nFiles; }
    // The root's total on show, what shares are of.
    std::uint64_t Total() const { return m_nTotal; }
    // `size` against Total(), from 0 to 1 (0 when the total is 0).
    double Share(std::uint64_t size) const;

private:
    std::vector<FileTypeKind> m_kinds;
    SizeMode m_mode = SizeMode::Apparent;
    FileTypeOrder m_order = FileTypeOrder::Size;
    std::uint64_t m_nFiles = 0;
    std::uint64_t m_nTotal = 0;
};

// Whether entry `index` of `list` is a file `filter` matches.
bool MatchesFileType(const CScanList& list, std::size_t index, const FileTypeFilter& filter);

}  // namespace sizewalk
