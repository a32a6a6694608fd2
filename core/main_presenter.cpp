#include "core/main_presenter.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

#include "platform/path_rules.h"
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
    p.UpdateMapList();
    m_tree.DeleteAllItems();
}

void CMainPresenter::ShownTree::ShowList(const CScanList& list, Units units, Files files) {
    m_tree.ShowList(list, units, files);
    CMainPresenter& p = m_presenter;
    p.m_pTreeList = &list;
    p.m_current = p.m_view.SelectedItem().item;
    p.UpdateMapList();
}

void CMainPresenter::UpdateMapList() {
    const CScanList* list = m_bTreemap ? m_pTreeList : nullptr;
    if (list == m_pMapList) return;
    m_pMapList = list;
    m_view.ShowMapList(list);
    if (list) m_view.ShowSelection(SelectionView::Map, m_current);
}

void CMainPresenter::OnItemChosen(SelectionView from, CScanTree::Item item) {
    if (m_bShowingSelection) return;
    const UpdateAfter update(*this);  // the item's actions follow the selection
    const CScanTree* tree = m_view.SelectedItem().pTree;
    if (!tree || item >= tree->List().Count()) item = CScanTree::kNoItem;
    // The tree cannot select what it does not list: the directory instead.
    while (item != CScanTree::kNoItem && !tree->IsShown(item)) item = tree->Parent(item);
    m_current = item;
    m_bShowingSelection = true;
    for (const SelectionView view : {SelectionView::Tree, SelectionView::Map}) {
        // The tree shows its own choice; the map outlines only what it is
        // told (a file clicked there may stand for its directory).
        if (view == from && from == SelectionView::Tree) continue;
        if (view == SelectionView::Map && !m_pMapList) continue;
        m_view.ShowSelection(view, item);
    }
    m_bShowingSelection = false;
}

void CMainPresenter::OnCopyPath() {
    const UpdateAfter update(*this);
    // While a scan runs the tree is empty and the list is being written.
    if (IsScanning()) return;
    const TreeSelection selected = m_view.SelectedItem();
    if (!selected.pTree || selected.item == CScanTree::kNoItem) return;
    m_view.CopyToClipboard(selected.pTree->Path(selected.item));
}

std::string CMainPresenter::SelectedFolder() const {
    if (IsScanning()) return {};
    const TreeSelection selected = m_view.SelectedItem();
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
    Remove(RemoveKind::Trash);
}

void CMainPresenter::OnDeletePermanently() {
    const UpdateAfter update(*this);
    Remove(RemoveKind::Delete);
}

void CMainPresenter::Remove(RemoveKind kind) {
    // While a scan runs (or a stopped one has not returned) the list is not
    // the one shown, and nothing may change on disk behind it.
    if (m_command.IsBusy() || m_command.IsStopping()) return;
    const TreeSelection selected = m_view.SelectedItem();
    if (!selected.pTree || selected.item == CScanTree::kNoItem) return;
    const CScanList& list = selected.pTree->List();
    const std::size_t index = selected.item;
    if (&list != &m_command.Kept().List() || index >= list.Count()) return;
    // The tree holds the start and what lies below it, never what is above.
    if (index == 0) {
        m_view.ShowMessage(kCannotRemoveStartText, MessageIcon::Warning);
        return;
    }
    if (m_command.Kept().IsOpened()) {
        m_view.ShowMessage(kCannotRemoveOpenedScanText, MessageIcon::Warning);
        return;
    }
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
        result = pending.eKind == RemoveKind::Trash
                     ? MoveToTrash(path, start, pending.look.id)
                     : DeletePermanently(path, start, pending.look.id);
    } catch (const std::bad_alloc&) {
        // Part of it may be gone: the tree cannot say what is left.
        m_keep.reset();
        m_view.ShowMessage(kOutOfMemoryText, MessageIcon::Warning);
        Show(m_command.Rescan(m_fields));
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
        m_keep.reset();
        Show(m_command.Rescan(m_fields));
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
        case Command::BackToTree:
            return OnBackToTree();
        case Command::ViewSwitch:
        case Command::StartDir:
        case Command::ShowFiles:
        case Command::UnitsMB:
        case Command::UnitsKB:
        case Command::UnitsBytes:
        case Command::ZoomOut:
            return;
    }
}

CommandStates CMainPresenter::Commands() const {
    PresenterState state;
    state.bScanning = m_bWaiting;
    state.bStopping = m_command.IsStopping();
    state.bBusy = m_command.IsBusy();
    state.bHasScan = m_command.Kept().IsValid();
    state.bSelection = m_current != CScanTree::kNoItem;
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

}  // namespace sizewalk

// The lists in the tree's place: filled in next.
namespace sizewalk {
void CMainPresenter::OnLargestFiles() {}
void CMainPresenter::OnFind() {}
void CMainPresenter::OnShowArea(AreaView) {}
void CMainPresenter::OnBackToTree() {}
void CMainPresenter::OnSortRows(RowColumn, bool) {}
void CMainPresenter::OnRowActivated(CScanTree::Item) {}
}  // namespace sizewalk
