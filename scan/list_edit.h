#pragma once
// Edits of a finished list after the disk changed under one of its entries,
// so that the tree follows without a rescan. Each edit builds a new finished
// list (the old one is only read): the same entries in the same order,
// names copied, the directory table, unreadable directories and hard-link
// records kept in step, and every total rolled up again, so the result is
// what a fresh scan of the same tree would give.
//
// Hard links: a file's blocks count at its first link in list order. When
// that link goes, the next link left in the list holds them; a link spliced
// in after an earlier one holds none.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/scan_list.h"

namespace sizewalk {

// The list without the entry at `index` (not the start entry) and
// everything below it; with `removedAt` (seconds since 1970), the parent
// directory was changed then, as the removal changes it on disk. May throw
// std::bad_alloc; `list` is untouched.
CScanList ListWithout(const CScanList& list, std::size_t index,
                      std::int64_t removedAt = CScanList::kNoTime);

// The list without each entry of `indices` (ascending, none the start
// entry, none below another) and everything below them, in one pass: the
// edit after several items were removed at once. Each parent was changed
// at `removedAt`, as above.
CScanList ListWithoutAll(const CScanList& list, const std::vector<std::size_t>& indices,
                         std::int64_t removedAt = CScanList::kNoTime);

// The list with the subtree of the directory at `index` replaced by `fresh`,
// a finished scan of PathOf(index): the entry keeps its name, the entries
// below it become those of `fresh`. May throw std::bad_alloc.
CScanList ListWithSubtree(const CScanList& list, std::size_t index, const CScanList& fresh);

// The list with the entry at `index` (not a directory) now `size` bytes
// long and `diskSize` bytes on disk, as the disk has it again; with
// `modified`, changed then. Every other link of a file of several links
// changes with it. May throw std::bad_alloc.
CScanList ListWithFileSizes(const CScanList& list, std::size_t index, std::uint64_t size,
                            std::uint64_t diskSize, std::int64_t modified = CScanList::kNoTime);

}  // namespace sizewalk
