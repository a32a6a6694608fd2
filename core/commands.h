#pragma once
// Every action the main window offers, listed once: the controls that
// wait while a scan runs, the tree's context menu and keys, and the map's
// menu, each with its menu text and key, in the order the menus show them.
// Both dialogs build their menus and key bindings from this list.
//
// CommandStatesOf() says, from the presenter's state alone, which of them
// are enabled and which are checked; the presenter hands the result to the
// view after every change, and the dialogs only draw it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/control_ids.h"
#include "model/tree_order.h"
#include "scan/scan_entry.h"

namespace sizewalk {

enum class Command : std::uint8_t {
    // Controls of the template; their text is the template's.
    OK,
    StartDir,
    ShowFiles,
    UnitsMB,
    UnitsKB,
    UnitsBytes,
    TreemapBox,
    ViewSwitch,  // what the tree's area shows; not in the template
    // The tree's context menu, in its order.
    CopyPath,
    OpenInFileManager,
    SortByName,
    SortBySize,
    SizeOnDisk,
    ShowTreemap,
    ShowDetails,
    Rescan,
    OpenTerminal,
    MoveToTrash,
    DeletePermanently,
    LargestFiles,
    FileTypes,
    LargestOfType,  // the files of the type chosen in File Types
    Find,
    UnreadableFolders,
    SaveScan,
    OpenScan,
    // The map's context menu.
    ZoomOut,
    ZoomHome,
    // A key alone: Escape in a list brings the tree back.
    BackToTree,
};
inline constexpr std::size_t kCommandCount = static_cast<std::size_t>(Command::BackToTree) + 1;

// The keys the window binds; a letter or digit is its own character.
enum class KeyName : std::uint8_t { None, Char, F3, F5, F8, F9, Delete, Backspace, Escape, Home };
// Where a key acts: anywhere in the window, only in the tree or a list in
// its place (elsewhere Ctrl+C and Delete are the edit box's), only in the
// map, or only in a list.
enum class KeyScope : std::uint8_t { Window, Tree, Map, List };

struct KeyChord {
    KeyName name = KeyName::None;
    char ch = 0;  // for KeyName::Char: an upper-case letter or a digit
    bool ctrl = false;
    bool shift = false;
    KeyScope scope = KeyScope::Window;
};

// Which menu shows an action: none (a control, or a key alone), the tree's
// over an item, the tree's wherever it opens, the map's.
enum class Menu : std::uint8_t { None, TreeItem, Tree, Map };

// How a menu item shows that it is checked: not at all, a check mark, or
// a bullet among the items of its group.
enum class Check : std::uint8_t { None, Mark, Radio };

struct CommandInfo {
    Command id;
    std::string_view text;  // '&' before the mnemonic; empty for a control
    KeyChord key;
    Menu menu;
    bool separatorAfter;  // in its menu
    Check check;
    int controlId;  // the template's control; 0 for a menu item
};

// In menu order; kCommandList[i].id == Command(i).
extern const std::array<CommandInfo, kCommandCount> kCommandList;

inline const CommandInfo& InfoOf(Command command) {
    return kCommandList[static_cast<std::size_t>(command)];
}

// The key as a menu shows it after a tab: "Ctrl+1", "F5", "Shift+Del";
// empty for none.
std::string KeyText(const KeyChord& key);

struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

class CommandStates {
public:
    CommandState& operator[](Command c) { return m_states[static_cast<std::size_t>(c)]; }
    const CommandState& operator[](Command c) const {
        return m_states[static_cast<std::size_t>(c)];
    }
    bool operator==(const CommandStates&) const = default;

private:
    std::array<CommandState, kCommandCount> m_states{};
};

// What the states follow. The checks of Show Files and the units are the
// fields' values (CMainView::WriteFields), not states.
struct PresenterState {
    bool bScanning = false;    // a scan, a file's reading or a measure runs
    bool bStopping = false;    // a stopped scan's worker has not returned
    bool bBusy = false;        // a scan runs or a press waits for a stopped one
    bool bHasScan = false;     // a kept scan exists
    bool bUnreadable = false;  // the kept scan has a directory that could not be read
    bool bSelection = false;   // an item is selected in the tree or a list
    bool bList = false;        // a list shows in the tree's place
    bool bTypeChosen = false;  // a kind or type is chosen in File Types
    bool bTreemap = false;
    bool bDetails = false;
    SortOrder eOrder = SortOrder::Name;
    SizeMode eSizeMode = SizeMode::Apparent;
};

CommandStates CommandStatesOf(const PresenterState& state);

}  // namespace sizewalk
