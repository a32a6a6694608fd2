#include "core/commands.h"

#include "platform/menu_words.h"

namespace sizewalk {

namespace {

constexpr KeyChord Ctrl(char ch, KeyScope scope = KeyScope::Window) {
    return {KeyName::Char, ch, true, false, scope};
}
constexpr KeyChord Plain(KeyName name, KeyScope scope = KeyScope::Window) {
    return {name, 0, false, false, scope};
}

constexpr KeyChord kNoKey{};

}  // namespace

const std::array<CommandInfo, kCommandCount> kCommandList = {{
    {Command::OK, {}, kNoKey, Menu::None, false, Check::None, IDOK},
    {Command::StartDir, {}, kNoKey, Menu::None, false, Check::None, IDC_START_DIR},
    {Command::ShowFiles, {}, kNoKey, Menu::None, false, Check::None, IDC_SHOW_FILES},
    {Command::UnitsMB, {}, kNoKey, Menu::None, false, Check::None, IDC_UNITS_MB},
    {Command::UnitsKB, {}, kNoKey, Menu::None, false, Check::None, IDC_UNITS_KB},
    {Command::UnitsBytes, {}, kNoKey, Menu::None, false, Check::None, IDC_UNITS_BYTES},
    {Command::TreemapBox, {}, kNoKey, Menu::None, false, Check::Mark, IDC_TREEMAP},
    {Command::ViewSwitch, {}, kNoKey, Menu::None, false, Check::None, IDC_VIEW},
    {Command::CopyPath, "&Copy Path", Ctrl('C', KeyScope::Tree), Menu::TreeItem, false, Check::None,
     0},
    {Command::OpenInFileManager, kOpenFolderMenuText, kNoKey, Menu::TreeItem, true, Check::None, 0},
    {Command::SortByName, "Sort by &Name", Ctrl('1'), Menu::TreeItem, false, Check::Radio, 0},
    {Command::SortBySize, "Sort by &Size", Ctrl('2'), Menu::TreeItem, false, Check::Radio, 0},
    {Command::SizeOnDisk, "Size on &Disk", Ctrl('D'), Menu::TreeItem, false, Check::Mark, 0},
    {Command::ShowTreemap, "Show &Treemap", Plain(KeyName::F9), Menu::TreeItem, false, Check::Mark,
     0},
    {Command::ShowDetails, "Show D&etails", Plain(KeyName::F8), Menu::TreeItem, true, Check::Mark,
     0},
    {Command::Rescan, "&Rescan", Plain(KeyName::F5), Menu::TreeItem, true, Check::None, 0},
    {Command::OpenTerminal, "Open Ter&minal Here", kNoKey, Menu::TreeItem, false, Check::None, 0},
    {Command::MoveToTrash, kMoveToTrashMenuText, Plain(KeyName::Delete, KeyScope::Tree),
     Menu::TreeItem, false, Check::None, 0},
    {Command::DeletePermanently,
     "Delete &Permanently",
     {KeyName::Delete, 0, false, true, KeyScope::Tree},
     Menu::TreeItem,
     true,
     Check::None,
     0},
    {Command::LargestFiles, "&Largest Files", Ctrl('L'), Menu::Tree, false, Check::None, 0},
    {Command::FileTypes, "File &Types", Plain(KeyName::F3), Menu::Tree, false, Check::None, 0},
    {Command::LargestOfType, "Largest Files of this T&ype", kNoKey, Menu::Tree, false, Check::None,
     0},
    {Command::Find, "&Find\u2026", Ctrl('F'), Menu::Tree, false, Check::None, 0},
    {Command::UnreadableFolders, "&Unreadable Folders", Ctrl('U'), Menu::Tree, true, Check::None,
     0},
    {Command::SaveScan, "Save Scan\u2026", Ctrl('S'), Menu::Tree, false, Check::None, 0},
    {Command::OpenScan, "Open Scan\u2026", Ctrl('O'), Menu::Tree, false, Check::None, 0},
    {Command::ZoomOut, "Zoom Out", Plain(KeyName::Backspace, KeyScope::Map), Menu::Map, false,
     Check::None, 0},
    {Command::ZoomHome, "Zoom to &Top", Plain(KeyName::Home, KeyScope::Map), Menu::Map, false,
     Check::None, 0},
    {Command::BackToTree,
     {},
     Plain(KeyName::Escape, KeyScope::List),
     Menu::None,
     false,
     Check::None,
     0},
}};

std::string KeyText(const KeyChord& key) {
    std::string text;
    if (key.ctrl) text += "Ctrl+";
    if (key.shift) text += "Shift+";
    switch (key.name) {
        case KeyName::None:
            return {};
        case KeyName::Char:
            text += key.ch;
            break;
        case KeyName::F3:
            text += "F3";
            break;
        case KeyName::F5:
            text += "F5";
            break;
        case KeyName::F8:
            text += "F8";
            break;
        case KeyName::F9:
            text += "F9";
            break;
        case KeyName::Delete:
            text += "Del";
            break;
        case KeyName::Backspace:
            text += "Backspace";
            break;
        case KeyName::Escape:
            text += "Esc";
            break;
        case KeyName::Home:
            text += "Home";
            break;
    }
    return text;
}

CommandStates CommandStatesOf(const PresenterState& s) {
    CommandStates states;
    // What a press reads waits while its scan runs.
    for (Command c : {Command::OK, Command::StartDir, Command::ShowFiles, Command::UnitsMB,
                      Command::UnitsKB, Command::UnitsBytes, Command::Rescan})
        states[c].enabled = !s.bScanning;
    // The item's actions need one. Removing the start item, or an item of
    // a scan opened from a file, stays enabled: the presenter says why not.
    const bool item = s.bSelection && !s.bScanning;
    for (Command c : {Command::CopyPath, Command::OpenInFileManager, Command::OpenTerminal,
                      Command::MoveToTrash, Command::DeletePermanently})
        states[c].enabled = item;
    // Neither order is checked while a details column's header sorts.
    states[Command::SortByName].checked = s.eOrder == SortOrder::Name;
    states[Command::SortBySize].checked = s.eOrder == SortOrder::Size;
    states[Command::SizeOnDisk].checked = s.eSizeMode == SizeMode::OnDisk;
    states[Command::TreemapBox].checked = s.bTreemap;
    states[Command::ShowTreemap].checked = s.bTreemap;
    states[Command::ShowDetails].checked = s.bDetails;
    // A file is read or written only while no worker runs.
    const bool idle = !s.bBusy && !s.bStopping;
    states[Command::OpenScan].enabled = idle;
    states[Command::SaveScan].enabled = idle && s.bHasScan;
    // The map keeps its own zoom; this only says whether it has a scan.
    states[Command::ZoomOut].enabled = s.bTreemap && s.bHasScan && !s.bScanning;
    states[Command::ZoomHome].enabled = states[Command::ZoomOut].enabled;
    // The lists read the kept scan, whichever way it came.
    const bool lists = s.bHasScan && !s.bScanning;
    states[Command::LargestFiles].enabled = lists;
    states[Command::Find].enabled = lists;
    states[Command::FileTypes].enabled = lists;
    states[Command::LargestOfType].enabled = lists && s.bTypeChosen;
    states[Command::UnreadableFolders].enabled = lists && s.bUnreadable;
    states[Command::ViewSwitch].enabled = !s.bScanning;
    states[Command::BackToTree].enabled = s.bList;
    return states;
}

}  // namespace sizewalk
