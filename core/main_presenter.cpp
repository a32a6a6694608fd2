#include "core/main_presenter.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <iterator>
#include <new>
#include <utility>

#include "platform/path_rules.h"
#include "scan/list_edit.h"
#include "scan/scan_file_path.h"

namespace sizewalk {

namespace {

// The controls a press reads: disabled while its scan runs.
constexpr Control kPressControls[] = {Control::OK,      Control::StartDir,   Control::UnitsMB,
                                      Control::UnitsKB, Control::UnitsBytes, Control::ShowFiles};

bool IsPressControl(Control control) {
    return std::find(std::begin(kPressControls), std::end(kPressControls), control) !=
           std::end(kPressControls);
}

}  // namespace

CMainPresenter::CMainPresenter(CMainView& view, CEntrySource& source, CKeptScan& kept,
                               CTreeSink& tree)
    : m_view(view),
      m_source(source),
      m_messages(view),
      m_scanning(*this),
      m_working(view),
      m_shownTree(*this, tree),
      m_command(source, kept, m_shownTree, m_messages, m_scanning, view) {}

CMainPresenter::~CMainPresenter() = default;

void CMainPresenter::OnInit() {
    const UpdateAfter update(*this);
    m_fields.m_strStartDir = std::string(kDefaultStartDir);
    m_fields.m_eFiles = Files::Hidden;
    m_fields.m_eUnits = Units::MB;
    m_view.WriteFields(m_fields);
    m_view.ShowSortOrder(m_sortOrder);
    m_view.ShowSizeMode(m_sizeMode);
    m_view.ShowTreemap(m_bTreemap);
    m_view.ShowDetails(m_bDetails);
}

void CMainPresenter::OnOK() {
    const UpdateAfter update(*this);
    // A press drops a measure before a removal (the command sees to it).
    if (IsScanning() && !m_command.IsMeasuring()) return;
    m_keep.reset();
    m_view.ReadFields(m_fields);
    Show(m_command.Start(m_fields));
}

void CMainPresenter::OnRescan() {
    const UpdateAfter update(*this);
    if (IsScanning() && !m_command.IsMeasuring()) return;
    // What was open comes back where it still exists after the rescan.
    m_keep = m_view.SaveTreeState();
    m_view.ReadFields(m_fields);
    Show(m_command.Rescan(m_fields));
}

void CMainPresenter::OnCancel() {
    const UpdateAfter update(*this);
    m_keep.reset();
    const bool opening = m_command.IsOpening();
    const bool measuring = m_command.IsMeasuring();
    if (m_command.Stop()) {
        Show(opening     ? ScanOutcome::OpenFailed
             : measuring ? ScanOutcome::MeasureStopped
                         : ScanOutcome::Stopped);
        return;
    }
    m_view.CloseWindow();
}

// What the band above the tree says after the command has acted.
void CMainPresenter::Show(std::optional<ScanOutcome> outcome) {
    if (!outcome) return;
    // A removal waits for its measure's end alone.
    std::optional<PendingRemove> pending;
    if (!m_command.IsMeasuring()) pending = std::exchange(m_pending, std::nullopt);
    switch (*outcome) {
        case ScanOutcome::Scanned:
            KeepStartId();
            [[fallthrough]];
        case ScanOutcome::Redrawn:
            if (m_keep) m_view.RestoreTreeState(*m_keep);
            m_keep.reset();
            ShowNotes();
            break;
        case ScanOutcome::Stopped:
            m_keep.reset();
            m_view.ShowProgress({std::string(kScanStoppedText), {}});
            break;
        case ScanOutcome::Opened:
            m_fields = m_command.OpenedFields();
            m_view.WriteFields(m_fields);
            ShowNotes();
            break;
        case ScanOutcome::OpenFailed:
            // Stopped, or refused: the kept scan is still the one shown.
            if (!m_command.OpenError().empty())
                m_view.ShowMessage(
                    std::string(kCannotOpenScanText) + ShownName(m_command.OpenError()),
                    MessageIcon::Warning);
            ShowNotes();
            break;
        case ScanOutcome::Measured: {
            ShowNotes();
            const CScanList fresh = m_command.TakeMeasured();
            if (pending && !fresh.Empty()) AskAndRemove(*pending, &fresh);
            break;
        }
        case ScanOutcome::MeasureStopped:
            ShowNotes();
            break;
        case ScanOutcome::OutOfMemory:
            m_keep.reset();
            break;
        case ScanOutcome::Queued:
            m_view.ShowProgress({std::string(kStoppingText), {}});
            break;
        default:
            break;  // a running scan shows its progress; a message says the rest
    }
}

void CMainPresenter::ShowNotes() {
    const CKeptScan& kept = m_command.Kept();
    const bool opened = kept.IsOpened();
    const std::string origin = opened ? FormatScanOrigin(kept.Origin().made) : std::string();
    ProgressText notes =
        FormatScanNotes(kept.List().UnreadableCount(), m_sizeMode, m_view.GroupSeparator(), origin);
    // The file itself on the second line, unless that says sizes are on disk.
    if (opened && notes.strDir.empty()) notes.strDir = kept.Origin().strFile;
    if (notes.strCounts.empty() && notes.strDir.empty())
        m_view.HideProgress();
    else
        m_view.ShowProgress(notes);
}

void CMainPresenter::OnClose() {
    m_command.Stop();
    m_pending.reset();
    m_view.CloseWindow();
}

void CMainPresenter::OnScanDone() {
    const UpdateAfter update(*this);
    Show(m_command.Finish());
}

void CMainPresenter::OnTick() {
    const UpdateAfter update(*this);
    if (const auto outcome = m_command.Finish()) {
        Show(outcome);
        return;
    }
    if (IsScanning()) UpdateProgress();
}

void CMainPresenter::ShownTree::DeleteAllItems() {
    CMainPresenter& p = m_presenter;
    // The map lets go first: its worker may be reading the list.
    p.m_pTreeList = nullptr;
    p.m_current = CScanTree::kNoItem;
    // The list's row keeps its place when the list is made again.
    if (CRowLists::HasRows(p.m_area) && p.m_rowItem != CScanTree::kNoItem)
        p.m_keepRow = p.m_lists.Table(p.m_area).RowOf(p.m_rowItem);
    p.m_rowItem = CScanTree::kNoItem;
    p.UpdateMapList();
    // A list shown lets go too; it is made again from the next list. File
    // Types holds a copy of its counts.
    if (CRowLists::HasRows(p.m_area)) p.m_view.ShowArea(p.m_area, &p.m_noRows, {});
    m_tree.DeleteAllItems();
}

void CMainPresenter::ShownTree::ShowList(const CScanList& list, Units units, Files files) {
    m_tree.ShowList(list, units, files);
    CMainPresenter& p = m_presenter;
    p.m_pTreeList = &list;
    p.m_current = p.m_view.SelectedItem().item;
    p.UpdateMapList();
    p.FollowLists();
}

void CMainPresenter::UpdateMapList() {
    const CScanList* list = m_bTreemap ? m_pTreeList : nullptr;
    if (list == m_pMapList) return;
    m_pMapList = list;
    m_highlight.reset();  // a new list starts with every tile as it is
    m_view.ShowMapList(list);
    if (list) m_view.ShowSelection(SelectionView::Map, m_current);
    UpdateHighlight();
}

void CMainPresenter::OnItemChosen(SelectionView from, CScanTree::Item item) {
    if (m_bShowingSelection) return;
    const UpdateAfter update(*this);  // the item's actions follow the selection
    const CScanTree* tree = m_view.SelectedItem().pTree;
    if (!tree || item >= tree->List().Count()) item = CScanTree::kNoItem;
    // A list's row is the item itself, whatever the tree lists.
    if (from == SelectionView::List) m_rowItem = item;
    // The tree cannot select what it does not list: the directory instead.
    while (item != CScanTree::kNoItem && !tree->IsShown(item)) item = tree->Parent(item);
    m_current = item;
    // File Types lists no items: what a tile chose is no action's item there.
    if (from != SelectionView::List)
        m_rowItem = m_area == AreaView::Types ? CScanTree::kNoItem : item;
    m_bShowingSelection = true;
    for (const SelectionView view :
         {SelectionView::Tree, SelectionView::Map, SelectionView::List}) {
        // A view shows its own choice; the map outlines only what it is
        // told (a file clicked there may stand for its directory).
        if (view == from && from != SelectionView::Map) continue;
        if (view == SelectionView::Map && !m_pMapList) continue;
        if (view == SelectionView::List && !CRowLists::HasRows(m_area)) continue;
        const bool row = view == SelectionView::Map && m_rowItem != CScanTree::kNoItem;
        m_view.ShowSelection(view, row ? m_rowItem : item);
    }
    m_bShowingSelection = false;
}

TreeSelection CMainPresenter::ActionItem() const {
    TreeSelection selected = m_view.SelectedItem();
    if (m_area != AreaView::Tree) selected.item = m_rowItem;
    return selected;
}

void CMainPresenter::OnCopyPath() {
    const UpdateAfter update(*this);
    // While a scan runs the tree is empty and the list is being written.
    if (IsScanning()) return;
    const TreeSelection selected = ActionItem();
    if (!selected.pTree || selected.item == CScanTree::kNoItem) return;
    m_view.CopyToClipboard(selected.pTree->Path(selected.item));
}

std::string CMainPresenter::SelectedFolder() const {
    if (IsScanning()) return {};
    const TreeSelection selected = ActionItem();
    if (!selected.pTree || selected.item == CScanTree::kNoItem) return {};
    CScanTree::Item folder = selected.item;
    // A file stands for the directory that holds it.
    if (!selected.pTree->Entry(folder).IsDirectory()) folder = selected.pTree->Parent(folder);
    if (folder == CScanTree::kNoItem) return {};
    std::string path = selected.pTree->Path(folder);
    // "C:" alone is a directory on C:.
    if (kDrivesAreDirectories && IsDriveSpec(path) && path.back() == ':') path += '\\';
    return path;
}

bool CMainPresenter::OnOpenFolder() {
    const UpdateAfter update(*this);
    const std::string path = SelectedFolder();
    if (path.empty()) return false;
    if (m_view.OpenFolder(path)) return true;
    m_view.ShowMessage(std::string(kCannotOpenFolderText) + ShownName(path), MessageIcon::Warning);
    return false;
}

bool CMainPresenter::OnOpenTerminal() {
    const UpdateAfter update(*this);
    const std::string path = SelectedFolder();
    if (path.empty()) return false;
    if (m_view.OpenTerminal(path)) return true;
    m_view.ShowMessage(std::string(kCannotOpenTerminalText) + ShownName(path),
                       MessageIcon::Warning);
    return false;
}

void CMainPresenter::OnMoveToTrash() {
    const UpdateAfter update(*this);
    RemoveChosen(RemoveKind::Trash);
}

void CMainPresenter::OnDeletePermanently() {
    const UpdateAfter update(*this);
    RemoveChosen(RemoveKind::Delete);
}

void CMainPresenter::RemoveChosen(RemoveKind kind) {
    if (m_area == AreaView::Tree) return Remove(kind);
    std::vector<CScanTree::Item> rows = m_view.SelectedRows();
    if (rows.size() > 1) return RemoveRows(kind, std::move(rows));
    if (rows.size() == 1) m_rowItem = rows.front();
    Remove(kind);
}

void CMainPresenter::Remove(RemoveKind kind) {
    // While a scan runs (or a stopped one has not returned) the list is not
    // the one shown, and nothing may change on disk behind it.
    if (m_command.IsBusy() || m_command.IsStopping()) return;
    const TreeSelection selected = ActionItem();
    if (!selected.pTree || selected.item == CScanTree::kNoItem) return;
    const CScanList& list = selected.pTree->List();
    const std::size_t index = selected.item;
    if (&list != &m_command.Kept().List() || index >= list.Count()) return;
    if (RemovalRefused(index == 0)) return;
    const std::string path = list.PathOf(index);
    if (!StartIsTheScanned(list.PathOf(0))) return;
    const ItemLook look = LookAtItem(path, list.PathOf(0), KindOf(list[index]));
    if (look.eStatus != LookStatus::Same) {
        m_view.ShowMessage(ChangedText(path, look), MessageIcon::Warning);
        return;
    }
    PendingRemove pending{kind, index, path, look};
    if (!list[index].IsDirectory()) {
        AskAndRemove(pending, nullptr);
        return;
    }
    // What lies below is read again on the worker, as a scan is; the
    // question waits for it (Show, Measured).
    m_pending = std::move(pending);
    if (m_command.Measure(path, m_fields) != ScanOutcome::Started) m_pending.reset();
}

void CMainPresenter::AskAndRemove(const PendingRemove& pending, const CScanList* fresh) {
    const CScanList& list = m_command.Kept().List();
    const std::size_t index = pending.nIndex;
    const std::string& path = pending.strPath;
    // The kept scan must still hold the item where it was looked at.
    if (m_command.IsBusy() || m_command.IsStopping() || m_command.Kept().IsOpened() || index == 0 ||
        index >= list.Count() || list.PathOf(index) != path)
        return;
    const std::string start = list.PathOf(0);
    bool changed = false;
    try {
        std::optional<CScanList> now;
        {
            CWaitCursorScope busy(m_working);
            now = ListWithItemNow(list, index, pending.look, fresh);
        }
        // The tree takes the item as it is now, whatever the answer.
        changed = FiguresChanged(list, *now, index, m_sizeMode);
        if (changed && !ReplaceKept(std::move(*now), std::nullopt)) return;
    } catch (const std::bad_alloc&) {
        m_keep.reset();
        m_view.ShowMessage(kOutOfMemoryText, MessageIcon::Warning);
        return;
    }
    if (!m_view.Confirm(ConfirmRemoveText(list, index, pending.eKind, m_sizeMode,
                                          m_view.GroupSeparator(), changed)))
        return;
    // Where the selection goes when the item does, in the order on show.
    std::string neighbour = list.PathOf(list.ParentOf(index));
    const TreeSelection shown = m_view.SelectedItem();
    if (shown.pTree && &shown.pTree->List() == &list && shown.pTree->IsShown(index)) {
        const CScanTree::Item next = NeighbourOf(*shown.pTree, static_cast<CScanTree::Item>(index));
        if (next != CScanTree::kNoItem) neighbour = shown.pTree->Path(next);
    }
    if (!StartIsTheScanned(start)) return;
    RemoveResult result;
    try {
        CWaitCursorScope busy(m_working);
        result = RemoveItem(pending.eKind, path, start, pending.look.id);
    } catch (const std::bad_alloc&) {
        // Part of it may be gone: the tree cannot say what is left.
        m_view.ShowMessage(kOutOfMemoryText, MessageIcon::Warning);
        ReadDiskAgain();
        return;
    }
    const std::string failure = RemoveFailureText(result, pending.eKind, path);
    if (!failure.empty()) m_view.ShowMessage(failure, MessageIcon::Warning);
    try {
        std::optional<CScanList> edited = [&] {
            CWaitCursorScope busy(m_working);
            return ListAfterRemove(list, index, result, m_source);
        }();
        if (!edited) return;
        std::optional<std::string> selected;
        if (!ItemExists(path, start)) selected = std::move(neighbour);
        ReplaceKept(std::move(*edited), std::move(selected));
    } catch (const std::bad_alloc&) {
        // The disk changed but the list could not follow: it is dropped, so
        // that the next OK reads the disk again.
        ReadDiskAgain();
    }
}

void CMainPresenter::KeepStartId() {
    m_startId.reset();
    const CScanList& list = m_command.Kept().List();
    if (list.Empty()) return;
    const ItemLook start = LookAtStart(list.PathOf(0));
    if (start.eStatus == LookStatus::Same) m_startId = start.id;
}

bool CMainPresenter::StartIsTheScanned(const std::string& start) {
    if (!m_startId) return true;  // not known: the removal's own reach decides
    const ItemLook now = LookAtStart(start);
    if (now.eStatus == LookStatus::Same && now.id == *m_startId) return true;
    ItemLook changed = now;
    if (now.eStatus == LookStatus::Same) {
        changed.eStatus = LookStatus::Changed;
        changed.strWhy = "another directory stands at the scan's start now";
    }
    m_view.ShowMessage(ChangedText(start, changed), MessageIcon::Warning);
    return false;
}

bool CMainPresenter::ReplaceKept(CScanList&& list, std::optional<std::string> selected) {
    CMainView::TreeState state = m_view.SaveTreeState();
    if (selected) state.selected = std::move(*selected);
    m_keep = std::move(state);
    const ScanOutcome outcome = m_command.ReplaceKept(std::move(list), m_fields);
    Show(outcome);
    m_keep.reset();
    return outcome == ScanOutcome::Redrawn;
}

void CMainPresenter::OnSortBy(SortOrder order) {
    const UpdateAfter update(*this);
    m_sortOrder = order;
    m_view.ShowSortOrder(order);
}

void CMainPresenter::OnToggleSizeOnDisk() {
    const UpdateAfter update(*this);
    m_sizeMode = m_sizeMode == SizeMode::OnDisk ? SizeMode::Apparent : SizeMode::OnDisk;
    m_view.ShowSizeMode(m_sizeMode);
    if (IsScanning())
        UpdateProgress();  // the size so far follows too
    else if (!m_command.IsBusy() && m_command.Kept().IsValid())
        ShowNotes();
    // The lists rank by the size on show.
    if (!IsScanning()) FollowLists();
}

void CMainPresenter::OnToggleTreemap() {
    const UpdateAfter update(*this);
    m_bTreemap = !m_bTreemap;
    m_view.ShowTreemap(m_bTreemap);
    UpdateMapList();  // drawn only while it shows: a hidden map costs a scan nothing
}

bool CMainPresenter::CanSaveScan() const { return CanOpenScan() && m_command.Kept().IsValid(); }

void CMainPresenter::OnSaveScan() {
    const UpdateAfter update(*this);
    if (!CanSaveScan()) return;
    const CScanList& list = m_command.Kept().List();
    // The start directory's own name, as a file name to offer.
    std::string_view root = list[0].GetName();
    while (root.size() > 1 && kPathSeparators.find(root.back()) != std::string_view::npos)
        root.remove_suffix(1);
    const std::size_t cut = root.find_last_of(kPathSeparators);
    std::string name(cut == std::string_view::npos ? root : root.substr(cut + 1));
    if (name.empty() || name.find(':') != std::string::npos) name = "scan";
    const std::string path = m_view.AskSaveScanPath(name + ".json");
    if (path.empty()) return;
    const bool compress = path.size() > 4 && path.compare(path.size() - 4, 4, ".zst") == 0;
    std::string failure;
    try {
        CWaitCursorScope busy(m_working);
        SaveScanFile(list, path, compress);
    } catch (const ScanFileError& e) {
        failure = std::string(kCannotSaveScanText) + ShownName(e.what());
    } catch (const std::bad_alloc&) {
        failure = kOutOfMemoryText;
    }
    if (!failure.empty()) m_view.ShowMessage(failure, MessageIcon::Warning);
}

void CMainPresenter::OnOpenScan() {
    const UpdateAfter update(*this);
    if (!CanOpenScan()) return;
    const std::string path = m_view.AskOpenScanPath();
    if (path.empty()) return;
    // Read on the scan's worker, with its progress and Cancel; the tree
    // shows the kept scan until the file has been read whole. The units and
    // Show Files are the controls'; the start path becomes the scan's own.
    // The focus goes to the tree, where the scan will show: the window gets
    // it back from the file dialog only later, and on a control the reading
    // disables it would pass on to Cancel, where Enter would close the window.
    m_view.FocusControl(Control::Tree);
    m_keep.reset();
    m_view.ReadFields(m_fields);
    Show(m_command.Open(path, m_fields));
}

void CMainPresenter::OnToggleDetails() {
    const UpdateAfter update(*this);
    m_bDetails = !m_bDetails;
    m_view.ShowDetails(m_bDetails);
}

void CMainPresenter::BeginScanning() {
    // A disabled control cannot keep the focus: the tree takes it meanwhile.
    const Control focus = m_view.FocusedControl();
    m_focusBeforeScan = IsPressControl(focus) ? focus : Control::None;
    if (m_focusBeforeScan != Control::None) m_view.FocusControl(Control::Tree);
    m_bWaiting = true;
    m_view.SetScanning(true);
    UpdateCommands();
    m_scanStart = std::chrono::steady_clock::now();
    UpdateProgress();
    m_view.StartTicks();
}

void CMainPresenter::EndScanning() {
    m_view.StopTicks();
    m_view.HideProgress();
    m_bWaiting = false;
    m_view.SetScanning(false);
    UpdateCommands();
    // Back to where the press came from, unless the user went elsewhere.
    if (m_focusBeforeScan != Control::None && m_view.FocusedControl() == Control::Tree)
        m_view.FocusControl(m_focusBeforeScan);
    m_focusBeforeScan = Control::None;
}

void CMainPresenter::OnCommand(Command command) {
    switch (command) {
        case Command::OK:
            return OnOK();
        case Command::Rescan:
            return OnRescan();
        case Command::TreemapBox:
        case Command::ShowTreemap:
            return OnToggleTreemap();
        case Command::CopyPath:
            return OnCopyPath();
        case Command::OpenInFileManager:
            OnOpenFolder();
            return;
        case Command::SortByName:
            return OnSortBy(SortOrder::Name);
        case Command::SortBySize:
            return OnSortBy(SortOrder::Size);
        case Command::SizeOnDisk:
            return OnToggleSizeOnDisk();
        case Command::ShowDetails:
            return OnToggleDetails();
        case Command::OpenTerminal:
            OnOpenTerminal();
            return;
        case Command::MoveToTrash:
            return OnMoveToTrash();
        case Command::DeletePermanently:
            return OnDeletePermanently();
        case Command::SaveScan:
            return OnSaveScan();
        case Command::OpenScan:
            return OnOpenScan();
        case Command::LargestFiles:
            return OnLargestFiles();
        case Command::Find:
            return OnFind();
        case Command::UnreadableFolders:
            return OnUnreadableFolders();
        case Command::FileTypes:
            return OnFileTypes();
        case Command::LargestOfType:
            return OnLargestOfType();
        case Command::BackToTree:
            return OnBackToTree();
        case Command::ViewSwitch:
        case Command::StartDir:
        case Command::ShowFiles:
        case Command::UnitsMB:
        case Command::UnitsKB:
        case Command::UnitsBytes:
        case Command::ZoomOut:
        case Command::ZoomHome:
            return;
    }
}

CommandStates CMainPresenter::Commands() const {
    PresenterState state;
    state.bScanning = m_bWaiting;
    state.bStopping = m_command.IsStopping();
    state.bBusy = m_command.IsBusy();
    state.bHasScan = m_command.Kept().IsValid();
    state.bUnreadable = state.bHasScan && m_command.Kept().List().UnreadableCount() > 0;
    state.bSelection = (m_area == AreaView::Tree ? m_current : m_rowItem) != CScanTree::kNoItem;
    state.bList = m_area != AreaView::Tree;
    state.bTypeChosen = m_area == AreaView::Types && m_type.has_value();
    state.bTreemap = m_bTreemap;
    state.bDetails = m_bDetails;
    state.eOrder = m_sortOrder;
    state.eSizeMode = m_sizeMode;
    return CommandStatesOf(state);
}

void CMainPresenter::UpdateCommands() {
    const CommandStates states = Commands();
    if (m_shownCommands == states) return;
    m_shownCommands = states;
    m_view.ShowCommands(states);
}

void CMainPresenter::UpdateProgress() {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_scanStart).count();
    m_view.ShowProgress(FormatProgress(m_command.GetProgress(), m_command.ScanUnits(), m_sizeMode,
                                       m_command.ScanPath(), m_view.GroupSeparator(), elapsed,
                                       m_command.IsOpening()));
}

AreaView CMainPresenter::ShownArea() const {
    return m_area == AreaView::Tree || m_lists.IsMade(m_area) ? m_area : AreaView::Tree;
}

void CMainPresenter::FollowLists() {
    m_lists.Follow(m_view.SelectedItem().pTree, m_sizeMode, m_view.GroupSeparator());
    if (m_area != AreaView::Tree) ShowArea(ShownArea());
}

bool CMainPresenter::RemovalRefused(bool start) {
    // The tree holds the start and what lies below it, never what is above.
    if (start) {
        m_view.ShowMessage(kCannotRemoveStartText, MessageIcon::Warning);
        return true;
    }
    if (m_command.Kept().IsOpened()) {
        m_view.ShowMessage(kCannotRemoveOpenedScanText, MessageIcon::Warning);
        return true;
    }
    return false;
}

void CMainPresenter::ReadDiskAgain() {
    m_keep.reset();
    Show(m_command.Rescan(m_fields));
}

std::string CMainPresenter::ListRoot() const {
    const TreeSelection selected = ActionItem();
    if (!selected.pTree || selected.pTree->List().Count() == 0) return {};
    CScanTree::Item root = selected.item;
    if (root == CScanTree::kNoItem || !selected.pTree->Entry(root).IsDirectory()) root = 0;
    return selected.pTree->Path(root);
}

void CMainPresenter::ShowArea(AreaView area) {
    m_area = area;
    UpdateHighlight();
    if (area == AreaView::Tree) {
        m_view.ShowArea(area, nullptr, {});
        m_rowItem = m_current;
        return;
    }
    if (area == AreaView::Types) {
        CTypeTable& types = m_lists.Types();
        std::size_t row = m_type ? types.RowOf(*m_type) : CTypeTable::npos;
        // A type gone after a removal leaves nothing chosen.
        if (row == CTypeTable::npos && m_type) {
            m_type.reset();
            UpdateHighlight();
        }
        m_view.ShowTypes(&types, row);
        m_view.ShowArea(area, nullptr, m_lists.Title(area));
        // No item is chosen: the item's actions wait for a list of items.
        m_rowItem = CScanTree::kNoItem;
        return;
    }
    CRowTable& table = m_lists.Table(area);
    m_view.ShowArea(area, &table, m_lists.Title(area));
    // The row of the item chosen last, when the list has one.
    const CScanTree::Item item = m_rowItem != CScanTree::kNoItem ? m_rowItem : m_current;
    m_rowItem = item != CScanTree::kNoItem && table.RowOf(item) != CRowTable::npos
                    ? item
                    : CScanTree::kNoItem;
    // After a removal, the row that took the removed one's place.
    if (m_rowItem == CScanTree::kNoItem && m_keepRow != CRowTable::npos && table.RowCount() > 0)
        m_rowItem = table.ItemAt(std::min(m_keepRow, table.RowCount() - 1));
    m_keepRow = CRowTable::npos;
    m_bShowingSelection = true;
    m_view.ShowSelection(SelectionView::List, m_rowItem);
    m_bShowingSelection = false;
    // The tree and the map follow the row.
    if (m_rowItem != CScanTree::kNoItem) OnItemChosen(SelectionView::List, m_rowItem);
}

void CMainPresenter::UpdateHighlight() {
    std::optional<FileTypeFilter> highlight;
    if (m_area == AreaView::Types && m_pMapList) highlight = m_type;
    if (highlight == m_highlight) return;
    m_highlight = std::move(highlight);
    m_view.ShowMapHighlight(m_highlight);
}

void CMainPresenter::OnFileTypes() {
    const UpdateAfter update(*this);
    const TreeSelection shown = m_view.SelectedItem();
    if (IsScanning() || !shown.pTree || !m_command.Kept().IsValid()) return ShowArea(m_area);
    if (m_lists.IsMade(AreaView::Types)) return ShowArea(AreaView::Types);
    m_type.reset();
    if (!MakeList(AreaView::Types,
                  [&] { m_lists.MakeTypes(*shown.pTree, m_sizeMode, m_view.GroupSeparator()); }))
        ShowArea(m_area);
}

void CMainPresenter::OnTypeChosen(std::size_t row) {
    const UpdateAfter update(*this);
    if (m_area != AreaView::Types) return;
    const CTypeTable& types = m_lists.Types();
    if (row < types.RowCount())
        m_type = types.Filter(row);
    else
        m_type.reset();
    UpdateHighlight();
}

void CMainPresenter::OnSortTypes(TypeColumn column, bool ascending) {
    const UpdateAfter update(*this);
    if (m_area != AreaView::Types) return;
    m_lists.Types().Sort(column, ascending);
    ShowArea(AreaView::Types);
}

void CMainPresenter::OnLargestOfType() {
    const UpdateAfter update(*this);
    const TreeSelection shown = m_view.SelectedItem();
    if (!Commands()[Command::LargestOfType].enabled || !shown.pTree) return;
    const FileTypeFilter type = *m_type;
    MakeList(AreaView::LargestFiles, [&] {
        m_lists.MakeLargest(*shown.pTree, shown.pTree->Path(0), m_sizeMode, m_view.GroupSeparator(),
                            type);
    });
}

void CMainPresenter::OnLegendKind(FileKind kind) {
    const UpdateAfter update(*this);
    const TreeSelection shown = m_view.SelectedItem();
    if (IsScanning() || !shown.pTree || !m_command.Kept().IsValid()) return;
    m_type = FileTypeFilter{kind, FileTypeClass::Kind, {}};
    if (m_lists.IsMade(AreaView::Types)) return ShowArea(AreaView::Types);
    MakeList(AreaView::Types,
             [&] { m_lists.MakeTypes(*shown.pTree, m_sizeMode, m_view.GroupSeparator()); });
}

void CMainPresenter::OnLargestFiles() {
    const UpdateAfter update(*this);
    const TreeSelection shown = m_view.SelectedItem();
    if (IsScanning() || !shown.pTree || !m_command.Kept().IsValid()) return;
    const std::string root = ListRoot();
    MakeList(AreaView::LargestFiles,
             [&] { m_lists.MakeLargest(*shown.pTree, root, m_sizeMode, m_view.GroupSeparator()); });
}

bool CMainPresenter::MakeList(AreaView area, const std::function<void()>& make) {
    m_rowItem = CScanTree::kNoItem;
    try {
        CWaitCursorScope busy(m_working);
        make();
    } catch (const std::bad_alloc&) {
        m_view.ShowMessage(kOutOfMemoryText, MessageIcon::Warning);
        return false;
    }
    ShowArea(area);
    return true;
}

void CMainPresenter::OnUnreadableFolders() {
    const UpdateAfter update(*this);
    const TreeSelection shown = m_view.SelectedItem();
    if (IsScanning() || !shown.pTree || !Commands()[Command::UnreadableFolders].enabled)
        return ShowArea(m_area);  // the switch shows what is on show
    // The whole scan, as the band counts them.
    MakeList(AreaView::Unreadable, [&] {
        m_lists.MakeUnreadable(*shown.pTree, shown.pTree->Path(0), m_sizeMode,
                               m_view.GroupSeparator());
    });
}

void CMainPresenter::OnFind() {
    const UpdateAfter update(*this);
    const TreeSelection shown = m_view.SelectedItem();
    if (IsScanning() || !shown.pTree || !m_command.Kept().IsValid()) return;
    const std::string root = ListRoot();
    FindFields fields;
    if (const auto& last = m_lists.LastFind()) fields = last->fields;
    std::optional<FindRequest> request;
    // A field that cannot be read is said, and the dialog comes back.
    while (!request) {
        if (!m_view.AskFind(fields, m_findHistory)) {
            // The switch may have chosen the results: it shows what is on show.
            ShowArea(ShownArea());
            return;
        }
        std::string error;
        request = ReadFindFields(fields, error);
        if (!request) m_view.ShowMessage(error, MessageIcon::Warning);
    }
    std::erase(m_findHistory, fields.strPattern);
    m_findHistory.insert(m_findHistory.begin(), fields.strPattern);
    if (m_findHistory.size() > 20) m_findHistory.pop_back();
    MakeList(AreaView::Found, [&] {
        m_lists.MakeFound(*shown.pTree, root, std::move(*request), m_sizeMode,
                          m_view.GroupSeparator());
    });
}

void CMainPresenter::OnShowArea(AreaView area) {
    const UpdateAfter update(*this);
    if (area == m_area) return;
    if (area == AreaView::Tree || IsScanning()) return ShowArea(AreaView::Tree);
    if (m_lists.IsMade(area)) return ShowArea(area);
    if (area == AreaView::Found) return OnFind();
    if (area == AreaView::Unreadable) return OnUnreadableFolders();
    if (area == AreaView::Types) return OnFileTypes();
    // Largest Files as its command makes them: below the selected directory.
    const TreeSelection shown = m_view.SelectedItem();
    if (!shown.pTree || !m_command.Kept().IsValid()) return ShowArea(m_area);
    const std::string root = ListRoot();
    // Out of memory, the switch shows what is on show.
    if (!MakeList(area, [&] {
            m_lists.MakeLargest(*shown.pTree, root, m_sizeMode, m_view.GroupSeparator());
        }))
        ShowArea(m_area);
}

void CMainPresenter::OnBackToTree() {
    const UpdateAfter update(*this);
    if (m_area != AreaView::Tree) ShowArea(AreaView::Tree);
}

void CMainPresenter::OnSortRows(RowColumn column, bool ascending) {
    const UpdateAfter update(*this);
    if (!CRowLists::HasRows(m_area) || !m_lists.IsMade(m_area)) return;
    m_lists.Table(m_area).Sort(column, ascending);
    ShowArea(m_area);
}

void CMainPresenter::OnRowActivated(CScanTree::Item item) {
    const UpdateAfter update(*this);
    if (!CRowLists::HasRows(m_area)) return;
    m_rowItem = item;
    ShowArea(AreaView::Tree);
    OnItemChosen(SelectionView::List, item);
}

void CMainPresenter::RemoveRows(RemoveKind kind, std::vector<CScanTree::Item> items) {
    if (m_command.IsBusy() || m_command.IsStopping() || !m_command.Kept().IsValid()) return;
    const CScanList& list = m_command.Kept().List();
    std::erase_if(items, [&](CScanTree::Item item) { return item >= list.Count(); });
    if (items.empty()) return;
    if (RemovalRefused(std::find(items.begin(), items.end(), 0u) != items.end())) return;
    // What lies below another chosen item goes with it.
    std::vector<std::size_t> chosen(items.begin(), items.end());
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    std::vector<std::size_t> outer;
    for (const std::size_t index : chosen)
        if (outer.empty() || index >= list.SubtreeEnd(outer.back())) outer.push_back(index);
    if (!m_view.Confirm(
            ConfirmRemoveItemsText(list, outer, kind, m_sizeMode, m_view.GroupSeparator())))
        return;
    const std::string start = list.PathOf(0);
    if (!StartIsTheScanned(start)) return;
    // Each is looked at again just before it goes: what changed is named.
    std::vector<std::string> problems;
    std::vector<std::size_t> gone, partial;
    try {
        CWaitCursorScope busy(m_working);
        for (const std::size_t index : outer) {
            const std::string path = list.PathOf(index);
            const ItemLook look = LookAtItem(path, start, KindOf(list[index]));
            if (look.eStatus != LookStatus::Same) {
                problems.push_back(ChangedText(path, look));
                continue;
            }
            const RemoveResult result = RemoveItem(kind, path, start, look.id);
            const std::string failure = RemoveFailureText(result, kind, path);
            if (!failure.empty()) problems.push_back(failure);
            // The disk decides what left the tree.
            if (!ItemExists(path, start))
                gone.push_back(index);
            else if (result.eStatus == RemoveStatus::Partial && list[index].IsDirectory())
                partial.push_back(index);
        }
    } catch (const std::bad_alloc&) {
        m_view.ShowMessage(kOutOfMemoryText, MessageIcon::Warning);
        ReadDiskAgain();
        return;
    }
    if (!problems.empty()) m_view.ShowMessage(ItemsProblemsText(problems), MessageIcon::Warning);
    if (gone.empty() && partial.empty()) return;
    try {
        std::optional<CScanList> edited;
        {
            CWaitCursorScope busy(m_working);
            // What is partly left is read again, one by one by path, after
            // what went has left the list.
            std::vector<std::string> again;
            for (const std::size_t index : partial) again.push_back(list.PathOf(index));
            edited = ListWithoutAll(list, gone, std::time(nullptr));
            for (const std::string& path : again) {
                const std::size_t index = IndexOfPath(*edited, path);
                if (index == 0 || index >= edited->Count()) continue;
                RemoveResult partly;
                partly.eStatus = RemoveStatus::Partial;
                if (auto next = ListAfterRemove(*edited, index, partly, m_source))
                    edited = std::move(next);
            }
        }
        ReplaceKept(std::move(*edited), std::nullopt);
    } catch (const std::bad_alloc&) {
        ReadDiskAgain();
    }
}

}  // namespace sizewalk
