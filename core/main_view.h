#pragma once
// What the main window's presenter needs of a window: the controls' values,
// a message box, the look of a running scan, the focus, the tree's selected
// item, the clipboard, the file manager, closing, and the tree's order and
// size on show. The Qt and the Win32 dialog implement it; they create the
// controls, forward every event to CMainPresenter and show what it tells
// them.
//
// Threads: PostScanDone() is called on the scan's thread and only posts to
// the window's thread, where the window calls CMainPresenter::OnScanDone().
// Everything else runs on the window's thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/commands.h"
#include "core/control_ids.h"
#include "core/find_fields.h"
#include "core/message_box.h"
#include "core/scan_command.h"
#include "core/scan_done_notify.h"
#include "model/row_table.h"
#include "model/scan_tree.h"
#include "model/size_text.h"
#include "model/tree_order.h"
#include "model/type_table.h"
#include "scan/scan_entry.h"

namespace sizewalk {

// The controls the presenter names, by their template ids.
enum class Control : int {
    None = 0,  // no control of the window
    OK = IDOK,
    Cancel = IDCANCEL,
    Tree = IDC_TREE,
    StartDir = IDC_START_DIR,
    ShowFiles = IDC_SHOW_FILES,
    UnitsMB = IDC_UNITS_MB,
    UnitsKB = IDC_UNITS_KB,
    UnitsBytes = IDC_UNITS_BYTES,
};

// The views that show the one selection, the presenter's current item. A
// view to come joins by a name here, a ShowSelection case, and reporting
// its choices with CMainPresenter::OnItemChosen.
enum class SelectionView {
    Tree,  // selects the item, its parents opened, scrolled into view
    Map,   // outlines its tile, or that of its nearest directory with one
    List,  // selects the item's row alone, in view; none when it has none
};

// What the tree's area shows: the tree, or a list in its place.
enum class AreaView : std::uint8_t { Tree, LargestFiles, Types, Found, Unreadable };
inline constexpr std::size_t kAreaViewCount = 5;
// The view switch's entries, in AreaView order.
inline constexpr std::string_view kAreaViewText[kAreaViewCount] = {
    "Tree", "Largest Files", "File Types", "Find Results", "Unreadable Folders"};

// The tree item the tree's actions apply to: the tree the view shows and
// the item selected in it (kNoItem, or no tree, when none is).
struct TreeSelection {
    const CScanTree* pTree = nullptr;
    CScanTree::Item item = CScanTree::kNoItem;
};

class CMainView : public CScanDoneNotify {
public:
    // The start directory, unit and file switch from the controls, and into
    // them (a unit out of range leaves every unit button unchecked).
    virtual void ReadFields(ScanFields& fields) const = 0;
    virtual void WriteFields(const ScanFields& fields) = 0;
    // A blocking message box owned by the window, captioned with the
    // application's name.
    virtual void ShowMessage(std::string_view text, MessageIcon icon) = 0;

    // Every control, menu item and key enabled and checked as `states`
    // says (commands.h); called whenever they change.
    virtual void ShowCommands(const CommandStates& states) = 0;
    // While a scan runs (or a saved scan is read, or a directory measured
    // before a removal): the wait cursor over the window; false puts it back.
    virtual void SetScanning(bool scanning) = 0;
    // The wait cursor over the window while the window's own thread writes
    // a saved scan or removes an item; false puts it back. Never on while a
    // message box or question is up.
    virtual void ShowBusy(bool busy) = 0;
    // The progress lines above the tree: shown with `text`, or hidden and
    // emptied.
    virtual void ShowProgress(const ProgressText& text) = 0;
    virtual void HideProgress() = 0;
    // The digit group separator the progress counts use.
    virtual std::string GroupSeparator() const = 0;
    // OnTick() about every 100 ms until StopTicks().
    virtual void StartTicks() = 0;
    virtual void StopTicks() = 0;

    // The control with the keyboard focus (None: none of those above).
    virtual Control FocusedControl() const = 0;
    virtual void FocusControl(Control control) = 0;

    // The tree shown now (null: none) and its selected item.
    virtual TreeSelection SelectedItem() const = 0;

    // The tree's area: the tree (`rows` null), or the list of `rows` in its
    // place under the line `title`. `rows` stays valid until the next call;
    // the same table again means its rows changed (re-sorted, or made
    // anew after a removal). The view switch, shown from the start, shows
    // `area`. The keyboard focus goes to what shows.
    virtual void ShowArea(AreaView area, const CRowTable* rows, std::string_view title) = 0;
    // File Types for the tree's area, shown by ShowArea(AreaView::Types,
    // null, title): `types` stays valid until the next call (the same table
    // again means its rows changed), with the row `row` selected (npos:
    // none). Choosing a row reports CMainPresenter::OnTypeChosen.
    virtual void ShowTypes(const CTypeTable* types, std::size_t row) = 0;
    // The map shows the files of `type` as they are and dims the rest;
    // none: every tile as it is.
    virtual void ShowMapHighlight(const std::optional<FileTypeFilter>& type) = 0;
    // The rows selected in the list as scan list indices, the current row
    // first; empty when no list shows.
    virtual std::vector<CScanTree::Item> SelectedRows() const = 0;
    // The Find dialog, filled with `fields`, offering the earlier patterns
    // of `history` (newest first): true when the user pressed Find, with
    // `fields` as typed; false when cancelled.
    virtual bool AskFind(FindFields& fields, const std::vector<std::string>& history) = 0;
    // The one selection shown in `view`: `item` is an index of the list the
    // tree shows (kNoItem: none). The tree's own selection changing from
    // this reports back through OnItemChosen, which then does nothing more.
    virtual void ShowSelection(SelectionView view, CScanTree::Item item) = 0;
    // The list the treemap draws (null: none, and it lets go of the last).
    // A list changes only after the map has been given null.
    virtual void ShowMapList(const CScanList* list) = 0;
    virtual void CopyToClipboard(const std::string& text) = 0;
    // Shows the directory `path` in the file manager; false when nothing
    // opened.
    virtual bool OpenFolder(const std::string& path) = 0;
    // Ends the window (as Cancel does with no scan running).
    virtual void CloseWindow() = 0;

    // The tree's children in `order`, labels with sizes in `mode`, redrawn
    // at once with what is expanded kept; the menu shows the choice.
    virtual void ShowSortOrder(SortOrder order) = 0;
    virtual void ShowSizeMode(SizeMode mode) = 0;
    // The treemap pane below the tree, shown or not; its check box and menu
    // item show the choice.
    virtual void ShowTreemap(bool shown) = 0;
    // The details columns beside the tree's labels, shown or not; the menu
    // item shows the choice.
    virtual void ShowDetails(bool shown) = 0;

    // What is open in the tree and which item is selected, by path; and
    // back, as far as the tree shown now still holds those paths.
    struct TreeState {
        std::vector<std::string> expanded;  // parents before their children
        std::string selected;
    };
    virtual TreeState SaveTreeState() const = 0;
    virtual void RestoreTreeState(const TreeState& state) = 0;

    // The platform's file dialogs for saved scans: the path chosen (UTF-8),
    // or empty when the user cancelled. `suggested` is the file name offered.
    virtual std::string AskSaveScanPath(const std::string& suggested) = 0;
    virtual std::string AskOpenScanPath() = 0;
    // A blocking question with Yes and No, captioned with the application's
    // name, with a warning icon; No is the default button. True for Yes.
    virtual bool Confirm(std::string_view text) = 0;
    // Starts a terminal in the directory `path`; false when none started.
    virtual bool OpenTerminal(const std::string& path) = 0;
};

}  // namespace sizewalk
