#pragma once
// The list of the window's actions (core/commands.h) in Win32 terms: a menu
// item's text with its key after a tab, and an accelerator of each key.

#include <windows.h>

#include <string>

#include "core/commands.h"

namespace sizewalk {

// "Sort by &Name\tCtrl+1"; the text alone for an action without a key.
std::wstring MenuItemText(const CommandInfo& info);
// The accelerator that sends `id` for `key` (which must have a name).
ACCEL AccelOf(const KeyChord& key, int id);

}  // namespace sizewalk
