#pragma once
// Everything the main window does, free of any toolkit: the press of OK and
// of F5, Cancel, Escape and the close box with and without a scan, the
// progress while a scan runs, which controls wait and where the focus goes,
// the tree's actions (Copy Path, Open in the file manager) and its order
// and size on show. The window (a CMainView) forwards every event here and
// shows what it is told.
//
// The selection: one current item for every view that shows the scan (the
// tree, the map). A view reports a choice (OnItemChosen); the presenter keeps
// it and asks the others to show it. The map draws the list the tree shows,
// while it is on: the presenter gives it that list after each fill of the
// tree, and takes it back before the tree is emptied.
//
// The focus: a scan disables the control the press came from, so the focus
// moves to the tree meanwhile (Escape still reaches the window, and a second
// Enter cannot land on Cancel); when the scan ends, it goes back to that
// control unless the user has moved it off the tree since.
//
// Threads: every member function runs on the window's thread. The command's
// worker only calls CMainView::PostScanDone().

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "core/commands.h"
#include "core/entry_source.h"
#include "core/item_actions.h"
#include "core/kept_scan.h"
#include "core/live_scan_command.h"
#include "core/main_view.h"
#include "core/message_box.h"
#include "core/row_lists.h"
#include "core/scan_command.h"
#include "core/tree_sink.h"
#include "core/wait_cursor.h"
#include "model/row_table.h"
#include "model/tree_order.h"

namespace sizewalk {

// What the user hears when a saved scan cannot be written or read; the
// reason follows.
inline constexpr std::string_view kCannotSaveScanText = "The scan could not be saved: ";
inline constexpr std::string_view kCannotOpenScanText = "The scan could not be opened: ";

class CMainPresenter {
public:
    // Scans with `source` into the kept scan `kept`, and fills `tree` (the
    // view's; the map follows it). All must outlive the presenter.
    CMainPresenter(CMainView& view, CEntrySource& source, CKeptScan& kept, CTreeSink& tree);
    // Stops and joins a running scan; tells the view nothing.
    ~CMainPresenter();
    CMainPresenter(const CMainPresenter&) = delete;
    CMainPresenter& operator=(const CMainPresenter&) = delete;

    // The window is about to show: the defaults into the controls (the
    // system's root, MB, no files), the tree by name with apparent sizes.
    void OnInit();
    // OK (or Enter): reads the controls; redraws the kept scan at once or
    // starts a scan. Nothing while a scan runs.
    void OnOK();
    // F5: as OK, but scans even the path scanned last.
    void OnRescan();
    // Cancel and Escape: stop a running scan (the tree stays empty, the
    // next OK scans afresh), else close the window.
    void OnCancel();
    // The close box, Alt+F4, Close on the system menu: stop and close.
    void OnClose();
    // The view's hand-over of PostScanDone(): the tree fills.
    void OnScanDone();
    // The view's ticks: the progress follows; a scan whose notice was lost
    // finishes here.
    void OnTick();

    // A view chose `item` (an index of the list the tree shows; kNoItem:
    // none): the tree's selection changed, or a tile was clicked. Every view
    // shows it; a file the tree does not list stands for its directory.
    void OnItemChosen(SelectionView from, CScanTree::Item item);
    CScanTree::Item CurrentItem() const { return m_current; }

    // The lists in the tree's place. Largest Files (Ctrl+L): the largest
    // files below the selected directory (the whole scan when a file or
    // nothing is selected). Find… (Ctrl+F): asks, then lists what matches
    // below the selected directory (likewise), with its count and total;
    // a field it cannot read is said, and the dialog comes back. Both follow
    // the kept scan: made again after a removal, dropped with a new scan.
    void OnLargestFiles();
    void OnFind();
    // Every directory of the kept scan that could not be read, largest first.
    void OnUnreadableFolders();
    // The view switch chose `area`; a list not made yet is made as its
    // command makes it (Largest Files below the selected directory, else of
    // the whole scan; Find asks).
    void OnShowArea(AreaView area);
    AreaView Area() const { return m_area; }
    // Escape in a list: the tree again, its selection kept.
    void OnBackToTree();
    // A click on the list's header: its rows re-sorted.
    void OnSortRows(RowColumn column, bool ascending);
    // File Types (F3): the whole scan's files by kind and type, made when
    // first asked and following the kept scan. Choosing a row highlights its
    // files in the map while File Types shows; Largest Files of this Type
    // (Enter or a double-click on the row) lists the largest of them below
    // the whole scan. A swatch of the map's legend clicked shows its kind.
    void OnFileTypes();
    void OnTypeChosen(std::size_t row);
    void OnSortTypes(TypeColumn column, bool ascending);
    void OnLargestOfType();
    void OnLegendKind(FileKind kind);
    // Enter or a double-click on a row: the tree again, with the row's item
    // (or the directory holding a file the tree does not list) selected.
    void OnRowActivated(CScanTree::Item item);

    // The tree's actions on the selected item (in a list: the current row;
    // the removals take every selected row). Open shows a directory, or
    // the directory holding a file; true when something opened.
    void OnCopyPath();
    bool OnOpenFolder();
    void OnSortBy(SortOrder order);
    void OnToggleSizeOnDisk();
    // The Treemap check box and Show Treemap (F9): the pane below the tree
    // comes and goes; the choice lasts as long as the window.
    void OnToggleTreemap();
    bool IsTreemapShown() const { return m_bTreemap; }
    // Save Scan… (Ctrl+S): the kept scan to a file the user names; a name
    // ending in ".zst" is compressed. Open Scan… (Ctrl+O): a file written
    // by Sizewalk, ncdu or gdu becomes the kept scan of its root path, and
    // the tree shows it; OK with that path redraws it, F5 scans the disk.
    // Neither while a scan runs or stops.
    void OnSaveScan();
    void OnOpenScan();
    bool CanSaveScan() const;
    bool CanOpenScan() const { return !m_command.IsBusy() && !m_command.IsStopping(); }
    // Show Details (F8): the columns beside the tree come and go; the
    // choice lasts as long as the window. A column's header sorts with
    // OnSortBy.
    void OnToggleDetails();
    bool IsDetailsShown() const { return m_bDetails; }
    // Move to Trash (Delete) and Delete Permanently (Shift+Delete) of the
    // selected item: nothing while a scan runs, for the start item, or for
    // a scan opened from a file. Otherwise the item is looked at again (a
    // message when it is not what the scan saw) and measured afresh: a
    // directory read again on the command's worker, as a scan runs (Cancel
    // drops it, and nothing is removed), a file from the look. The tree
    // takes what was measured; the question tells it, saying when it
    // differs from the scan (No is the default). Then it is done, the tree
    // follows the disk without a rescan, keeping what was open, and the
    // selection moves to the item's neighbour. What failed is said; a
    // directory partly removed is read again.
    void OnMoveToTrash();
    void OnDeletePermanently();
    // Open Terminal Here: in a directory, or the directory holding a file;
    // true when one started.
    bool OnOpenTerminal();

    // A menu item, key or control of the list (commands.h) chose `command`:
    // the handler above it runs. The fields' controls and the map's own
    // items do nothing here.
    void OnCommand(Command command);
    // What the presenter's state makes of every action now (commands.h).
    CommandStates Commands() const;

    bool IsScanning() const { return m_command.IsScanning(); }
    // A stopped scan's worker has not returned yet.
    bool IsStopping() const { return m_command.IsStopping(); }
    SortOrder GetSortOrder() const { return m_sortOrder; }
    SizeMode GetSizeMode() const { return m_sizeMode; }
    // The fields of the last press (the start path as prepared for it).
    ScanFields& Fields() { return m_fields; }
    const ScanFields& Fields() const { return m_fields; }

private:
    // The command reports through these to the view.
    class Messages : public CMessageBox {
    public:
        explicit Messages(CMainView& view) : m_view(view) {}
        void Show(std::string_view text, MessageIcon icon) override {
            m_view.ShowMessage(text, icon);
        }

    private:
        CMainView& m_view;
    };
    class Scanning : public CWaitCursor {
    public:
        explicit Scanning(CMainPresenter& presenter) : m_presenter(presenter) {}
        void Begin() override { m_presenter.BeginScanning(); }
        void End() override { m_presenter.EndScanning(); }

    private:
        CMainPresenter& m_presenter;
    };

    // The wait cursor of work on the window's thread, for CWaitCursorScope.
    class Working : public CWaitCursor {
    public:
        explicit Working(CMainView& view) : m_view(view) {}
        void Begin() override { m_view.ShowBusy(true); }
        void End() override { m_view.ShowBusy(false); }

    private:
        CMainView& m_view;
    };

    // Every handler ends by handing the view the states, when they changed.
    class UpdateAfter {
    public:
        explicit UpdateAfter(CMainPresenter& presenter) : m_presenter(presenter) {}
        // Not while an exception leaves the handler: the view may fail again.
        ~UpdateAfter() {
            if (std::uncaught_exceptions() == 0) m_presenter.UpdateCommands();
        }
        UpdateAfter(const UpdateAfter&) = delete;
        UpdateAfter& operator=(const UpdateAfter&) = delete;

    private:
        CMainPresenter& m_presenter;
    };
    void UpdateCommands();

    // The view's tree as the command fills it, with the map following.
    class ShownTree : public CTreeSink {
    public:
        ShownTree(CMainPresenter& presenter, CTreeSink& tree)
            : m_presenter(presenter), m_tree(tree) {}
        void DeleteAllItems() override;
        void ShowList(const CScanList& list, Units units, Files files) override;

    private:
        CMainPresenter& m_presenter;
        CTreeSink& m_tree;
    };

    // The map's list: the tree's while the map is on, else none.
    void UpdateMapList();
    void Show(std::optional<ScanOutcome> outcome);
    // The selected directory, or the one holding the selected file; empty
    // when nothing is selected or a scan runs.
    std::string SelectedFolder() const;
    void ShowNotes();
    void BeginScanning();
    void EndScanning();
    void UpdateProgress();
    // A removal asked for, its item looked at, waiting for its measure.
    struct PendingRemove {
        RemoveKind eKind;
        std::size_t nIndex;
        std::string strPath;
        ItemLook look;
    };
    // The start directory a walk's scan read, to tell a removal from a
    // directory put in its place since (another disk mounted there, a link
    // on its path turned elsewhere): nothing when it could not be told.
    void KeepStartId();
    // Whether `start` is still that directory; says so when not.
    bool StartIsTheScanned(const std::string& start);
    void Remove(RemoveKind kind);
    // The removal the keys and menus ask for: in a list, of its selected rows.
    void RemoveChosen(RemoveKind kind);
    // Several rows of a list at once: one question, then each looked at
    // again and removed; what was refused or failed is said in one message.
    void RemoveRows(RemoveKind kind, std::vector<CScanTree::Item> items);
    // The item the actions apply to: in a list its current row, else the
    // tree's selection.
    TreeSelection ActionItem() const;
    // The directory a new list looks below: the selected one, else the
    // whole scan.
    std::string ListRoot() const;
    // The area on show, or the tree when its list is not made.
    AreaView ShownArea() const;
    // The lists made again from the tree on show (a new list, another size
    // on show), and the one on show shown again.
    void FollowLists();
    // Says why not and is true when the start is among the items to remove,
    // or the scan was opened from a file.
    bool RemovalRefused(bool start);
    // After the disk changed in a way the list could not follow: the kept
    // scan is read again.
    void ReadDiskAgain();
    // Shows `area` (a list must be made) and makes it the one on show.
    void ShowArea(AreaView area);
    // The map's highlight as File Types' choice says, when it changed.
    void UpdateHighlight();
    // Makes the list of `area` with `make` under the wait cursor, then shows
    // it; out of memory is said and nothing changes on show.
    bool MakeList(AreaView area, const std::function<void()>& make);
    // Takes the measured item (a directory's `fresh` scan, or a file's look)
    // into the tree, asks, removes, and follows the disk.
    void AskAndRemove(const PendingRemove& pending, const CScanList* fresh);
    // Shows `list` as the kept scan, keeping what was open with `selected`
    // selected; false when it could not be shown.
    bool ReplaceKept(CScanList&& list, std::optional<std::string> selected);

    CMainView& m_view;
    CEntrySource& m_source;
    ScanFields m_fields;
    // One order and one size on show for the tree, for the window's life.
    SortOrder m_sortOrder = SortOrder::Name;
    SizeMode m_sizeMode = SizeMode::Apparent;
    bool m_bTreemap = false;                       // off until asked for
    bool m_bDetails = false;                       // likewise
    bool m_bWaiting = false;                       // the scan's wait cursor shows
    std::optional<CommandStates> m_shownCommands;  // none before the first
    // Where the focus goes back to when the scan ends (None: nowhere).
    Control m_focusBeforeScan = Control::None;
    std::chrono::steady_clock::time_point m_scanStart;
    // What F5 found open, to open again once its scan is shown.
    std::optional<ItemId> m_startId;  // see KeepStartId()
    std::optional<CMainView::TreeState> m_keep;
    // The removal whose directory the command measures; dropped by any
    // outcome but the measure's.
    std::optional<PendingRemove> m_pending;

    // The selection and the lists on show (null: none).
    CScanTree::Item m_current = CScanTree::kNoItem;
    AreaView m_area = AreaView::Tree;
    CScanTree::Item m_rowItem = CScanTree::kNoItem;  // the list's current row
    std::size_t m_keepRow = CRowTable::npos;         // its place, while the list is made again
    CRowLists m_lists;
    std::optional<FileTypeFilter> m_type;       // chosen in File Types
    std::optional<FileTypeFilter> m_highlight;  // as the map shows it
    const CRowTable m_noRows;                   // on show while the kept list is replaced
    std::vector<std::string> m_findHistory;     // newest first
    const CScanList* m_pTreeList = nullptr;
    const CScanList* m_pMapList = nullptr;
    bool m_bShowingSelection = false;  // a view's echo of ShowSelection

    Messages m_messages;
    Scanning m_scanning;
    Working m_working;
    ShownTree m_shownTree;
    // Last: destroyed first, stopping and joining a running scan while the
    // rest exists.
    CLiveScanCommand m_command;
};

}  // namespace sizewalk
