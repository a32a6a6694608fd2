#pragma once
// The tree's actions that change the disk, free of any toolkit: what the
// question before a removal says, the messages after it, and the kept list
// as it must be afterwards. CMainPresenter asks, removes (platform/
// file_actions.h) and shows; this unit knows the words and the list.
//
// After a removal the list follows the disk without a rescan: an item that
// is gone leaves the list with its subtree, every ancestor's totals
// shrinking by what went; an item partly gone is read again and its fresh
// subtree takes the old one's place.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/entry_source.h"
#include "model/scan_tree.h"
#include "platform/file_actions.h"
#include "scan/scan_entry.h"
#include "scan/scan_list.h"

namespace sizewalk {

enum class RemoveKind { Trash, Delete };

inline constexpr std::string_view kCannotRemoveStartText =
    "The start directory itself cannot be removed here. Start one level up to remove it.";
inline constexpr std::string_view kCannotRemoveOpenedScanText =
    "This scan was opened from a file. Press F5 to read the disk again before removing anything.";
// When no terminal can be started; the directory's path follows.
inline constexpr std::string_view kCannotOpenTerminalText = "No terminal could be started in ";

// What the scan recorded `entry` to be, for LookAtItem.
ItemKind KindOf(const CScanEntry& entry);

// How the presenter's texts show a path or name: visibly, byte for byte
// (platform/visible_text.h), with the platform's separator left alone.
std::string ShownName(std::string_view text);

// The message when the item at `path` is not what the scan saw there, or
// is gone, or cannot be looked at.
std::string ChangedText(const std::string& path, const ItemLook& look);

// The kept list with the entry at `index` as the disk has it now: a
// directory's subtree replaced by `fresh` (a finished scan of it), another
// item's sizes by those `look` found. May throw std::bad_alloc.
CScanList ListWithItemNow(const CScanList& list, std::size_t index, const ItemLook& look,
                          const CScanList* fresh);
// Whether the entry at `index` shows other figures in `now` than in `was`:
// its size on show in `mode`, or the number of entries below it.
bool FiguresChanged(const CScanList& was, const CScanList& now, std::size_t index, SizeMode mode);

// The question before removing the entry at `index` of `list`: what is
// done, the path, the size on show and, for a directory, how many entries
// it holds; with `changed`, a line saying that these differ from the scan's.
std::string ConfirmRemoveText(const CScanList& list, std::size_t index, RemoveKind kind,
                              SizeMode mode, std::string_view separator, bool changed = false);

// The question before removing the entries `indices` of `list` at once:
// how many, what is done, the first few paths, and their total size on show.
std::string ConfirmRemoveItemsText(const CScanList& list, const std::vector<std::size_t>& indices,
                                   RemoveKind kind, SizeMode mode, std::string_view separator);
// One message for what went wrong removing several items: each item's own
// message, in order.
std::string ItemsProblemsText(const std::vector<std::string>& problems);
// The index of the entry whose path (as PathOf gives it) is `path`;
// list.Count() when the list holds none.
std::size_t IndexOfPath(const CScanList& list, std::string_view path);

// Moves the item `path` (as `look` found it: `id`) below `start` to the
// trash, or deletes it, as `kind` says (platform/file_actions.h).
RemoveResult RemoveItem(RemoveKind kind, const std::string& path, const std::string& start,
                        const ItemId& id);

// The message after the removal of `path` did not wholly succeed; empty
// when there is nothing to say.
std::string RemoveFailureText(const RemoveResult& result, RemoveKind kind, const std::string& path);

// Where the selection goes when `item` leaves `tree`: its next sibling in
// the order on show, else the previous one, else its parent.
CScanTree::Item NeighbourOf(const CScanTree& tree, CScanTree::Item item);

// The kept list after the removal of the entry at `index` (not the start
// entry) ended with `result`: without the entry when it is gone from the
// disk, with its subtree read again through `source` when part of it
// remains, nothing (no change) when all of it remains. May throw
// std::bad_alloc.
std::optional<CScanList> ListAfterRemove(const CScanList& list, std::size_t index,
                                         const RemoveResult& result, CEntrySource& source);

}  // namespace sizewalk
