#pragma once
// Moving a reached item into the freedesktop.org trash of its file system
// (Linux), by descriptors: the item is renamed from the parent it was
// reached through, never found again by path.
//
// An item with anything mounted at or below it is refused, each mount
// named. The trash is the home trash ($XDG_DATA_HOME/Trash, by default
// ~/.local/share/Trash) when it is on the item's mount; otherwise the
// trash at the top of the item's mount: $topdir/.Trash/$uid (a real sticky
// directory, no link) or $topdir/.Trash-$uid (created 0700, ours, no link).
// Volatile file systems (tmpfs, ramfs) are given no new trash. The record
// of where the item came from (info/NAME.trashinfo) is written first and
// taken back if the move fails. NoTrash only when no trash can be used;
// a home trash on another mount of the same file system, a read-only file
// system and other failures say so instead.

#include <string>

#include "platform/beneath_posix.h"
#include "platform/file_actions.h"

namespace sizewalk::posix {

// `reached` is an item (not the start) on the start's mount, checked to be
// the one the user was asked about; `path` names it in messages.
RemoveResult TrashReached(const Reached& reached, const std::string& path);

// The Path= value: the bytes of `path` with all but unreserved characters
// and '/' written as %XX.
std::string PercentEncoded(const std::string& path);

}  // namespace sizewalk::posix
