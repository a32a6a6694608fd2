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

#include "core/entry_source.h"
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

// The message when the item at `path` is not what the scan saw there, or
// is gone, or cannot be looked at.
std::string ChangedText(const std::string& path, const ItemLook& look);

// The question before removing the entry at `index` of `list`: what is
// done, the path, the size on show and, for a directory, how many entries
// it holds.
std::string ConfirmRemoveText(const CScanList& list, std::size_t index, RemoveKind kind,
                              SizeMode mode, std::string_view separator);

// The message after a removal that did not wholly succeed; empty when
// there is nothing to say.
std::string RemoveFailureText(const RemoveResult& result, RemoveKind kind);

// The kept list after the removal of the entry at `index` (not the start
// entry) ended with `result`: without the entry when it is gone from the
// disk, with its subtree read again through `source` when part of it
// remains, nothing (no change) when all of it remains. May throw
// std::bad_alloc.
std::optional<CScanList> ListAfterRemove(const CScanList& list, std::size_t index,
                                         const RemoveResult& result, CEntrySource& source);

}  // namespace sizewalk
