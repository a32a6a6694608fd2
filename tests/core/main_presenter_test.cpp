// The main window's behaviour, once for both toolkits: a fake window over a
// scanner stand-in that holds each scan until the test lets it through. The
// presenter runs on the test's thread; the scan's notice arrives from the
// worker and the test hands it over, as a window's queue would.

#include "core/main_presenter.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/core/blocking_source.h"
#include "tests/core/command_fakes.h"
#include "tests/scan/list_text.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::BlockingSource;
using test::RecordingSink;
using test::Shown;
using test::TempTree;
using test::TestNotify;

// A window without a toolkit: its controls are values, and it notes what
// the presenter told it.
class FakeView : public CMainView {
public:
    void PostScanDone() noexcept override { notices.PostScanDone(); }
    void ReadFields(ScanFields& fields) const override {
        fields = controls;
        ++reads;
    }
    void WriteFields(const ScanFields& fields) override {
        controls = fields;
        ++writes;
    }
    void ShowMessage(std::string_view text, MessageIcon icon) override {
        messages.push_back({std::string(text), icon});
        EXPECT_FALSE(busy) << "a message box under the wait cursor";
    }
    void SetScanning(bool on) override { scanning = on; }
    void ShowCommands(const CommandStates& states) override { commands = states; }
    void ShowBusy(bool on) override {
        EXPECT_NE(busy, on);
        busy = on;
        busyTimes += on ? 1 : 0;
    }
    void ShowProgress(const ProgressText& text) override {
        progress = text;
        progressShown = true;
    }
    void HideProgress() override {
        progress = {};
        progressShown = false;
    }
    std::string GroupSeparator() const override { return separator; }
    void StartTicks() override { ticking = true; }
    void StopTicks() override { ticking = false; }
    Control FocusedControl() const override { return focus; }
    void FocusControl(Control control) override { focus = control; }
    TreeSelection SelectedItem() const override {
        return select ? select(selected) : TreeSelection{};
    }
    void CopyToClipboard(const std::string& text) override { clipboard = text; }
    bool OpenFolder(const std::string& path) override {
        opened.push_back(path);
        return opens;
    }
    void CloseWindow() override { closed = true; }
    void ShowSortOrder(SortOrder order) override {
        sortOrder = order;
        ++sortShows;
    }
    void ShowSizeMode(SizeMode mode) override { sizeMode = mode; }
    TreeState SaveTreeState() const override { return {open.expanded, selected}; }
    void ShowTreemap(bool shown) override { treemap = shown; }
    void ShowDetails(bool shown) override { details = shown; }
    void ShowArea(AreaView shownArea, const CRowTable* shownRows, std::string_view title) override {
        area = shownArea;
        rows = shownRows;
        rowsTitle = title;
    }
    void ShowTypes(const CTypeTable* table, std::size_t row) override {
        types = table;
        typeRow = row;
    }
    void ShowMapHighlight(const std::optional<FileTypeFilter>& type) override {
        highlights.push_back(type);
    }
    std::vector<CScanTree::Item> SelectedRows() const override { return selectedRows; }
    bool AskFind(FindFields& fields, const std::vector<std::string>& history) override {
        findHistory = history;
        if (findAnswers.empty()) return false;
        fields = findAnswers.front();
        findAnswers.erase(findAnswers.begin());
        return true;
    }
    void ShowSelection(SelectionView view, CScanTree::Item item) override {
        shownItems.push_back({view, item});
        if (view == SelectionView::Tree && item != CScanTree::kNoItem) selected = pathOf(item);
    }
    void ShowMapList(const CScanList* list) override { mapLists.push_back(list); }
    // The tree selects the item again, as the dialogs do.
    void RestoreTreeState(const TreeState& state) override {
        restored.push_back(state);
        selected = state.selected;
    }
    std::string AskSaveScanPath(const std::string& suggested) override {
        offered.push_back(suggested);
        return chosenFile;
    }
    std::string AskOpenScanPath() override { return chosenFile; }
    bool Confirm(std::string_view text) override {
        EXPECT_FALSE(busy) << "a question under the wait cursor";
        questions.emplace_back(text);
        if (whileAsked) whileAsked();
        return yes;
    }
    bool OpenTerminal(const std::string& path) override {
        terminals.push_back(path);
        return opens;
    }

    TestNotify notices;
    ScanFields controls;
    mutable int reads = 0;
    int writes = 0, sortShows = 0;
    std::vector<Shown> messages;
    bool scanning = false, progressShown = false, ticking = false, closed = false, opens = true;
    bool busy = false;  // the wait cursor of work on the window's thread
    int busyTimes = 0;
    ProgressText progress;
    std::string separator = ",";
    Control focus = Control::OK;
    std::string selected;  // the path of the item selected in the tree
    std::function<TreeSelection(const std::string&)> select;  // the tree's item at a path
    std::function<std::string(CScanTree::Item)> pathOf;       // and back
    std::vector<std::pair<SelectionView, CScanTree::Item>> shownItems;
    std::vector<const CScanList*> mapLists;  // what the map was given, in turn
    TreeState open;                          // what the tree has open now (expanded)
    std::optional<bool> treemap;
    std::optional<bool> details;
    std::vector<TreeState> restored;  // what the presenter asked to open again
    std::string clipboard;
    std::vector<std::string> opened;
    std::string chosenFile;          // what the file dialogs answer ("" cancels)
    AreaView area = AreaView::Tree;  // what the tree's area shows
    const CRowTable* rows = nullptr;
    std::string rowsTitle;
    const CTypeTable* types = nullptr;
    std::size_t typeRow = CTypeTable::npos;
    std::vector<std::optional<FileTypeFilter>> highlights;  // what the map was told, in turn
    std::vector<CScanTree::Item> selectedRows;
    std::vector<FindFields> findAnswers;  // what the Find dialog answers, in turn
    std::vector<std::string> findHistory;
    std::vector<std::string> offered;  // the names Save offered
    std::vector<std::string> questions, terminals;
    bool yes = false;                       // the answer to every question
    std::function<void()> whileAsked;       // what happens on disk while the user reads
    SortOrder sortOrder = SortOrder::Size;  // until told otherwise
    SizeMode sizeMode = SizeMode::OnDisk;
    CommandStates commands;  // as last shown
};

// Whatever a removal test does wrong, nothing lands in the user's trash:
// the home trash of this run is a temporary directory of its own.
class PrivateTrash : public ::testing::Environment {
public:
    void SetUp() override { ::setenv("XDG_DATA_HOME", m_home.Root().c_str(), 1); }

private:
    test::TempTree m_home;
};
const auto* const g_privateTrash = ::testing::AddGlobalTestEnvironment(new PrivateTrash);

class MainPresenter : public ::testing::Test {
protected:
    MainPresenter() {
        t.Dir("Data");
        t.File("Data/a.txt", 10);
        t.Dir("Data/sub");
        t.File("Data/sub/b.txt", 5);
        t.Dir("Other");
        view.select = [this](const std::string& path) { return Item(path); };
        view.pathOf = [this](CScanTree::Item item) { return kept.List().PathOf(item); };
        presenter.OnInit();
    }
    // Types into the controls and presses OK (F5 with `rescan`).
    void Press(const std::string& dir, Units units = Units::Bytes, bool rescan = false) {
        view.controls = {dir, units, Files::Shown};
        if (rescan)
            presenter.OnRescan();
        else
            presenter.OnOK();
    }
    // Hands over the notice of a stopped scan's worker once it has returned.
    // The worker may have posted it before this is called, so this asks
    // until the command has it (asking early does nothing, as in the window).
    bool Settle() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (presenter.IsStopping()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            presenter.OnScanDone();
            if (presenter.IsStopping()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Lets the waiting scan through; its notice reaches the presenter as the
    // window would hand it over (or, `lost`, never: a tick finishes it).
    bool LetThrough(bool lost = false) {
        const int notices = view.notices.Count();
        source.Release();
        if (!view.notices.WaitFor(notices + 1)) return false;
        if (lost)
            presenter.OnTick();
        else
            presenter.OnScanDone();
        return !presenter.IsScanning();
    }
    // Open Scan… answered with `file`, read to its end, its notice handed
    // over as the window would.
    bool OpenFile(const std::string& file) {
        view.chosenFile = file;
        const int notices = view.notices.Count();
        presenter.OnOpenScan();
        if (!presenter.IsScanning() || !view.notices.WaitFor(notices + 1)) return false;
        presenter.OnScanDone();
        return !presenter.IsScanning();
    }
    bool Scan(const std::string& dir, Units units = Units::Bytes) {
        Press(dir, units);
        return source.WaitUntilWaiting() && LetThrough();
    }
    // The item of the kept scan at `path`, in a tree as the window shows it
    // (built again whenever the window's tree is).
    TreeSelection Item(const std::string& path) {
        if (!shown || shownAt != tree.ends) {
            shown = std::make_unique<CScanTree>(kept.List(), treeFiles, names);
            shown->SetOrder(view.sortOrder, view.sizeMode);
            shownAt = tree.ends;
        }
        for (std::size_t i = 0; i < kept.List().Count(); ++i)
            if (kept.List().PathOf(i) == path)
                return {shown.get(), static_cast<CScanTree::Item>(i)};
        return {kept.List().Empty() ? nullptr : shown.get(), CScanTree::kNoItem};
    }

    test::ByteOrder names;
    std::unique_ptr<CScanTree> shown;
    int shownAt = -1;
    Files treeFiles = Files::Shown;
    TempTree t;
    BlockingSource source;
    CKeptScan kept;
    RecordingSink tree;
    FakeView view;
    CMainPresenter presenter{view, source, kept, tree};
};

TEST_F(MainPresenter, InitPutsTheDefaultsIntoTheWindow) {
    EXPECT_EQ(view.controls.m_strStartDir, kDefaultStartDir);
    EXPECT_EQ(view.controls.m_eUnits, Units::MB);
    EXPECT_EQ(view.controls.m_eFiles, Files::Hidden);
    EXPECT_EQ(view.sortOrder, SortOrder::Name);
    EXPECT_EQ(view.treemap, false);  // the window as it always was, until asked
    presenter.OnToggleTreemap();
    EXPECT_EQ(view.treemap, true);
    EXPECT_TRUE(presenter.IsTreemapShown());
    presenter.OnToggleTreemap();
    EXPECT_EQ(view.treemap, false);
    EXPECT_EQ(view.details, false);  // likewise
    presenter.OnToggleDetails();
    EXPECT_TRUE(*view.details && presenter.IsDetailsShown());
    presenter.OnToggleDetails();
    EXPECT_FALSE(*view.details || presenter.IsDetailsShown());
    EXPECT_EQ(view.sizeMode, SizeMode::Apparent);
    EXPECT_FALSE(view.scanning || view.progressShown || view.ticking);
}

// One selection for the tree and the map: a tile chosen selects in the tree
// (its directory, for a file the tree does not list), the tree's choice is
// outlined; the map draws the tree's list, let go before every change.
TEST_F(MainPresenter, TheSelectionAndTheMapsListFollowTheTree) {
    using Shown = std::vector<std::pair<SelectionView, CScanTree::Item>>;
    using enum SelectionView;
    const CScanList* keptList = &kept.List();
    presenter.OnToggleTreemap();
    EXPECT_TRUE(view.mapLists.empty()) << "no list yet";
    ASSERT_TRUE(Scan(t.Path("Data")));
    EXPECT_EQ(view.mapLists, std::vector<const CScanList*>{keptList});
    EXPECT_EQ(view.shownItems, (Shown{{Map, CScanTree::kNoItem}}));

    const CScanTree::Item sub = Item(t.Path("Data/sub")).item;
    const CScanTree::Item b = Item(t.Path("Data/sub/b.txt")).item;
    view.shownItems.clear();
    presenter.OnItemChosen(Map, b);
    EXPECT_EQ(view.shownItems, (Shown{{Tree, b}, {Map, b}}));
    EXPECT_EQ(view.selected, t.Path("Data/sub/b.txt"));
    presenter.OnItemChosen(Tree, sub);
    EXPECT_EQ(presenter.CurrentItem(), sub);
    EXPECT_EQ(view.shownItems.back(), std::pair(Map, sub));
    EXPECT_EQ(view.shownItems.size(), 3u) << "the tree is not told its own choice";
    treeFiles = Files::Hidden;  // Show Files off: the file stands for its directory
    shown.reset();
    view.shownItems.clear();
    presenter.OnItemChosen(Map, b);
    EXPECT_EQ(view.shownItems, (Shown{{Tree, sub}, {Map, sub}}));
    EXPECT_EQ(presenter.CurrentItem(), sub);
    treeFiles = Files::Shown;
    shown.reset();

    // Each fill: null before the list changes, the list after; the tree's
    // selection restored is outlined.
    view.mapLists.clear();
    Press(t.Path("Data"));  // the kept scan, redrawn
    Press(t.Path("Data"), Units::Bytes, true);
    ASSERT_TRUE(source.WaitUntilWaiting() && LetThrough());
    EXPECT_EQ(view.mapLists, (std::vector<const CScanList*>{nullptr, keptList, nullptr, keptList}));
    // Hidden, the map holds nothing and gets nothing.
    presenter.OnToggleTreemap();
    Press(t.Path("Other"));
    ASSERT_TRUE(source.WaitUntilWaiting() && LetThrough());
    presenter.OnToggleTreemap();
    EXPECT_EQ(view.mapLists, (std::vector<const CScanList*>{nullptr, keptList, nullptr, keptList,
                                                            nullptr, keptList}));
    // A scan stopped leaves the tree empty, and the map without a list.
    Press(t.Path("Data"), Units::Bytes, true);
    ASSERT_TRUE(source.WaitUntilWaiting());
    presenter.OnCancel();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(view.mapLists.back(), nullptr);
    EXPECT_EQ(view.mapLists.size(), 7u);
    EXPECT_EQ(presenter.CurrentItem(), CScanTree::kNoItem);
}

TEST_F(MainPresenter, AScanShowsItsProgressWhileThePressWaits) {
    const std::string data = t.Path("Data");
    view.separator = "'";  // the window's own grouping
    Press(data + "/", Units::KB);
    ASSERT_TRUE(source.WaitUntilWaiting());
    EXPECT_TRUE(presenter.IsScanning());
    EXPECT_TRUE(view.scanning);
    EXPECT_TRUE(view.ticking);
    EXPECT_TRUE(view.progressShown);
    // The counts, then the time taken so far ("m:ss").
    auto counts = [&] {
        return view.progress.strCounts.substr(0, view.progress.strCounts.rfind(", "));
    };
    EXPECT_EQ(counts(), "Scanning: 0 entries, 0.00KB");
    EXPECT_NE(view.progress.strCounts.find(", 0:0"), std::string::npos);
    EXPECT_EQ(view.progress.strDir, data);
    EXPECT_EQ(tree.Count(), 0u);  // emptied when the scan began

    // Each tick reads the progress; the size so far follows the size on show.
    source.Report(1234, 3072, 8192, data + "/sub");
    presenter.OnTick();
    EXPECT_EQ(counts(), "Scanning: 1'234 entries, 3.00KB");
    EXPECT_EQ(view.progress.strDir, data + "/sub");
    presenter.OnToggleSizeOnDisk();
    EXPECT_EQ(counts(), "Scanning: 1'234 entries, 8.00KB");
    presenter.OnToggleSizeOnDisk();
    EXPECT_EQ(counts(), "Scanning: 1'234 entries, 3.00KB");

    // OK and F5 wait for the scan; so do the tree's actions.
    const int reads = view.reads;
    Press(t.Path("Other"));
    Press(data, Units::Bytes, true);
    presenter.OnCopyPath();
    EXPECT_FALSE(presenter.OnOpenFolder());
    EXPECT_EQ(view.reads, reads);
    EXPECT_EQ(source.Scanned().size(), 1u);
    EXPECT_TRUE(view.clipboard.empty());

    ASSERT_TRUE(LetThrough());
    EXPECT_FALSE(view.scanning || view.progressShown || view.ticking);
    EXPECT_EQ(tree.Outline(), data +
                                  " [    0.01KB]\n  a.txt [    0.01KB]\n  sub [    0.00KB]\n"
                                  "    b.txt [    0.00KB]\n");
    EXPECT_EQ(kept.Root(), data);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(MainPresenter, ATickFinishesAScanWhoseNoticeWasLost) {
    Press(t.Path("Data"));
    ASSERT_TRUE(source.WaitUntilWaiting());
    ASSERT_TRUE(LetThrough(true));
    EXPECT_EQ(tree.Count(), 4u);
    EXPECT_FALSE(view.ticking);
    presenter.OnScanDone();  // the notice after all: harmless
    EXPECT_EQ(tree.Count(), 4u);
}

// The focus leaves a control the scan disables for the tree, and comes back
// when the scan ends, unless the user moved it meanwhile.
TEST_F(MainPresenter, FocusWaitsOnTheTreeAndGoesBackToThePress) {
    struct Case {
        Control atPress, during, movedTo, after;
    };
    const Case cases[] = {
        {Control::OK, Control::Tree, Control::None, Control::OK},
        {Control::StartDir, Control::Tree, Control::None, Control::StartDir},
        {Control::UnitsKB, Control::Tree, Control::None, Control::UnitsKB},
        {Control::OK, Control::Tree, Control::Cancel, Control::Cancel},
        {Control::Cancel, Control::Cancel, Control::None, Control::Cancel},  // stays enabled
        {Control::None, Control::None, Control::None, Control::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.atPress));
        view.focus = c.atPress;
        Press(t.Path("Data"), Units::Bytes, true);
        ASSERT_TRUE(source.WaitUntilWaiting());
        EXPECT_EQ(view.focus, c.during);
        if (c.movedTo != Control::None) view.focus = c.movedTo;
        ASSERT_TRUE(LetThrough());
        EXPECT_EQ(view.focus, c.after);
    }
    // A stopped scan gives the focus back as well.
    view.focus = Control::StartDir;
    Press(t.Path("Other"));
    ASSERT_TRUE(source.WaitUntilWaiting());
    presenter.OnCancel();
    EXPECT_EQ(view.focus, Control::StartDir);
}

TEST_F(MainPresenter, CancelStopsAScanAndForgetsThePathElseCloses) {
    const std::string data = t.Path("Data");
    ASSERT_TRUE(Scan(data));
    Press(t.Path("Other"));
    ASSERT_TRUE(source.WaitUntilWaiting());
    presenter.OnCancel();  // the Cancel button and Escape alike
    EXPECT_FALSE(presenter.IsScanning());
    EXPECT_FALSE(view.closed);
    EXPECT_FALSE(view.scanning || view.ticking);
    EXPECT_TRUE(view.progressShown);
    EXPECT_EQ(view.progress.strCounts, "Scan stopped");
    EXPECT_EQ(tree.Count(), 0u);
    EXPECT_FALSE(kept.IsValid());
    ASSERT_TRUE(Settle());

    // The path scanned before is scanned afresh, not redrawn.
    ASSERT_TRUE(Scan(data));
    EXPECT_EQ(source.Scanned().size(), 3u);
    EXPECT_EQ(tree.Count(), 4u);
    presenter.OnCancel();
    EXPECT_TRUE(view.closed);
}

// Which actions are enabled and checked, from every state the window can
// be in; the view is told after each change.
TEST_F(MainPresenter, CommandStatesFollowTheScanTheSelectionAndTheChoices) {
    const auto enabled = [&](Command c) { return view.commands[c].enabled; };
    const auto checked = [&](Command c) { return view.commands[c].checked; };
    const Command press[] = {Command::OK,      Command::StartDir,   Command::ShowFiles,
                             Command::UnitsMB, Command::UnitsBytes, Command::Rescan};
    const Command item[] = {Command::CopyPath, Command::OpenInFileManager, Command::OpenTerminal,
                            Command::MoveToTrash, Command::DeletePermanently};
    // Idle with nothing scanned: a scan can be opened, not saved.
    for (Command c : press) EXPECT_TRUE(enabled(c));
    for (Command c : item) EXPECT_FALSE(enabled(c));
    EXPECT_TRUE(enabled(Command::OpenScan));
    EXPECT_FALSE(enabled(Command::SaveScan) || enabled(Command::ZoomOut));
    EXPECT_TRUE(checked(Command::SortByName));
    EXPECT_FALSE(checked(Command::SortBySize) || checked(Command::SizeOnDisk) ||
                 checked(Command::ShowTreemap) || checked(Command::TreemapBox) ||
                 checked(Command::ShowDetails));

    // Scanning: what a press reads waits, and no file is read or written.
    Press(t.Path("Other"));
    ASSERT_TRUE(source.WaitUntilWaiting());
    for (Command c : press) EXPECT_FALSE(enabled(c));
    EXPECT_FALSE(enabled(Command::OpenScan) || enabled(Command::SaveScan));
    EXPECT_TRUE(enabled(Command::SortBySize) && enabled(Command::ShowTreemap));

    // Stopping: a press may wait for the worker, a file may not.
    source.HoldThroughStop(true);
    presenter.OnCancel();
    ASSERT_TRUE(presenter.IsStopping());
    EXPECT_TRUE(enabled(Command::OK) && enabled(Command::Rescan));
    EXPECT_FALSE(enabled(Command::OpenScan) || enabled(Command::SaveScan));
    const int notices = view.notices.Count();
    source.HoldThroughStop(false);
    ASSERT_TRUE(view.notices.WaitFor(notices + 1));
    presenter.OnScanDone();
    EXPECT_TRUE(enabled(Command::OpenScan));

    // A scan with an item selected, the start too: removing the start stays
    // enabled, its message says why not.
    ASSERT_TRUE(Scan(t.Path("Data")));
    EXPECT_TRUE(enabled(Command::SaveScan));
    for (Command c : item) EXPECT_FALSE(enabled(c));
    for (const std::string& path : {t.Path("Data/a.txt"), t.Path("Data")}) {
        view.selected = path;
        presenter.OnItemChosen(SelectionView::Tree, Item(view.selected).item);
        for (Command c : item) EXPECT_TRUE(enabled(c)) << path;
    }
    view.selected.clear();
    presenter.OnItemChosen(SelectionView::Tree, Item(view.selected).item);
    for (Command c : item) EXPECT_FALSE(enabled(c));

    // The choices check their items; a details column's order checks neither.
    presenter.OnCommand(Command::TreemapBox);
    presenter.OnCommand(Command::ShowDetails);
    presenter.OnCommand(Command::SizeOnDisk);
    presenter.OnCommand(Command::SortBySize);
    EXPECT_TRUE(checked(Command::ShowTreemap) && checked(Command::TreemapBox) &&
                checked(Command::ShowDetails) && checked(Command::SizeOnDisk) &&
                checked(Command::SortBySize) && enabled(Command::ZoomOut));
    EXPECT_FALSE(checked(Command::SortByName));
    presenter.OnSortBy(SortOrder::Items);
    EXPECT_FALSE(checked(Command::SortByName) || checked(Command::SortBySize));

    // An opened scan can be saved again; its items' actions are offered.
    view.chosenFile = t.Path("saved.json");
    presenter.OnSaveScan();
    ASSERT_TRUE(OpenFile(view.chosenFile));
    view.selected = t.Path("Data/a.txt");
    presenter.OnItemChosen(SelectionView::Tree, Item(view.selected).item);
    EXPECT_TRUE(enabled(Command::SaveScan) && enabled(Command::MoveToTrash));
}

// A worker blocked in the system: Cancel answers at once, a press meanwhile
// says "Stopping…" and runs when the worker returns.
TEST_F(MainPresenter, APressWhileAStoppedScanHasNotReturnedWaitsForIt) {
    const std::string data = t.Path("Data");
    source.HoldThroughStop(true);
    Press(t.Path("Other"));
    ASSERT_TRUE(source.WaitUntilWaiting());
    presenter.OnCancel();
    EXPECT_FALSE(view.scanning);
    EXPECT_EQ(view.progress.strCounts, "Scan stopped");
    Press(data);
    EXPECT_EQ(view.progress.strCounts, "Stopping\u2026");
    EXPECT_FALSE(view.closed);
    const int notices = view.notices.Count();
    source.HoldThroughStop(false);
    ASSERT_TRUE(view.notices.WaitFor(notices + 1));
    presenter.OnScanDone();  // the press that waited now runs
    EXPECT_TRUE(presenter.IsScanning());
    ASSERT_TRUE(source.WaitUntilWaiting());
    ASSERT_TRUE(LetThrough());
    EXPECT_EQ(kept.Root(), data);
    EXPECT_FALSE(view.progressShown);  // nothing to say about a readable tree
}

TEST_F(MainPresenter, TheCloseBoxStopsAScanAndCloses) {
    Press(t.Path("Data"));
    ASSERT_TRUE(source.WaitUntilWaiting());
    presenter.OnClose();
    EXPECT_FALSE(presenter.IsScanning());
    EXPECT_FALSE(view.scanning || view.ticking);
    EXPECT_TRUE(view.closed);
    EXPECT_FALSE(kept.IsValid());
}

TEST_F(MainPresenter, OkRedrawsTheKeptScanAndF5ReadsTheDiskAgain) {
    const std::string data = t.Path("Data");
    ASSERT_TRUE(Scan(data));
    t.File("Data/new", 2);
    Press(data, Units::KB);  // the kept scan, at once
    EXPECT_FALSE(presenter.IsScanning());
    EXPECT_EQ(tree.Outline().find("new"), std::string::npos);
    EXPECT_NE(tree.Outline().find("  a.txt [    0.01KB]\n"), std::string::npos);

    // F5 opens again what was open, once its scan is shown; OK does not.
    view.open.expanded = {data, data + "/sub"};
    view.selected = data + "/sub/b.txt";
    Press(data, Units::Bytes, true);
    ASSERT_TRUE(source.WaitUntilWaiting());
    EXPECT_TRUE(view.restored.empty());
    ASSERT_TRUE(LetThrough());
    EXPECT_NE(tree.Outline().find("  new [         2 bytes]\n"), std::string::npos);
    EXPECT_EQ(source.Scanned().size(), 2u);
    ASSERT_EQ(view.restored.size(), 1u);
    EXPECT_EQ(view.restored[0].expanded, view.open.expanded);
    EXPECT_EQ(view.restored[0].selected, data + "/sub/b.txt");
    ASSERT_TRUE(Scan(t.Path("Other")));
    EXPECT_EQ(view.restored.size(), 1u);
}

// The order and the size on show switch at once without a scan, and hold
// for the next presses until switched again.
TEST_F(MainPresenter, SortAndSizeOnShowHoldAcrossPresses) {
    const std::string data = t.Path("Data");
    ASSERT_TRUE(Scan(data));
    presenter.OnSortBy(SortOrder::Size);
    presenter.OnToggleSizeOnDisk();
    EXPECT_EQ(view.sortOrder, SortOrder::Size);
    EXPECT_EQ(view.sizeMode, SizeMode::OnDisk);
    EXPECT_EQ(presenter.GetSortOrder(), SortOrder::Size);
    EXPECT_EQ(presenter.GetSizeMode(), SizeMode::OnDisk);
    const int shows = view.sortShows;
    Press(data);
    ASSERT_TRUE(Scan(t.Path("Other")));
    EXPECT_EQ(view.sortShows, shows);
    EXPECT_EQ(presenter.GetSortOrder(), SortOrder::Size);
    EXPECT_EQ(presenter.GetSizeMode(), SizeMode::OnDisk);
    presenter.OnToggleSizeOnDisk();
    presenter.OnSortBy(SortOrder::Name);
    EXPECT_EQ(view.sizeMode, SizeMode::Apparent);
    EXPECT_EQ(view.sortOrder, SortOrder::Name);
    EXPECT_EQ(source.Scanned().size(), 2u);
}

TEST_F(MainPresenter, CopyPathAndOpenTheFolderOfTheSelectedItem) {
    const std::string data = t.Path("Data");
    ASSERT_TRUE(Scan(data + "/"));
    const std::string top = data;
    const std::string sub = t.Path("Data/sub");
    const std::string file = t.Path("Data/sub/b.txt");

    view.selected = file;
    presenter.OnCopyPath();
    EXPECT_EQ(view.clipboard, t.Path("Data/sub/b.txt"));
    view.selected = top;
    presenter.OnCopyPath();
    EXPECT_EQ(view.clipboard, data);

    // A directory opens itself; a file the directory holding it.
    view.selected = sub;
    EXPECT_TRUE(presenter.OnOpenFolder());
    view.selected = file;
    EXPECT_TRUE(presenter.OnOpenFolder());
    EXPECT_EQ(view.opened, std::vector<std::string>({t.Path("Data/sub"), t.Path("Data/sub")}));
    view.opens = false;  // nothing to open it with: a message says so
    const std::size_t messages = view.messages.size();
    EXPECT_FALSE(presenter.OnOpenFolder());
    ASSERT_EQ(view.messages.size(), messages + 1);
    EXPECT_EQ(view.messages.back().text, "Nothing could open the folder " + t.Path("Data/sub"));

    // Nothing selected: nothing happens.
    view.selected.clear();
    view.clipboard.clear();
    presenter.OnCopyPath();
    EXPECT_FALSE(presenter.OnOpenFolder());
    EXPECT_TRUE(view.clipboard.empty());
    EXPECT_EQ(view.opened.size(), 3u);
}

TEST_F(MainPresenter, MessagesAreTheWindowsOwn) {
    Press(t.Path("missing"));
    EXPECT_FALSE(presenter.IsScanning());
    EXPECT_FALSE(view.scanning);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Start directory does not exist or is not a directory");
    EXPECT_EQ(view.messages[0].icon, MessageIcon::None);

    source.FailNext();
    Press(t.Path("Data"));
    ASSERT_TRUE(source.WaitUntilWaiting());
    ASSERT_TRUE(LetThrough());
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, "Out of memory.");
    EXPECT_EQ(view.messages[1].icon, MessageIcon::Warning);
    EXPECT_FALSE(view.scanning || view.progressShown);
}

// "~/" scans the home, labelled with the expanded path; the box keeps what
// was typed, the fields what was scanned.
TEST_F(MainPresenter, HomeIsExpandedButTheBoxKeepsWhatWasTyped) {
    const char* saved = std::getenv("HOME");
    const std::string savedHome = saved ? saved : "";
    ::setenv("HOME", t.Path("Data").c_str(), 1);
    const bool scanned = Scan("~/");
    if (saved)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
    ASSERT_TRUE(scanned);
    EXPECT_EQ(source.Scanned(), std::vector<std::string>({t.Path("Data")}));
    EXPECT_EQ(tree.Outline().substr(0, t.Path("Data").size() + 2), t.Path("Data") + " [");
    EXPECT_EQ(view.controls.m_strStartDir, "~/");
    EXPECT_EQ(view.writes, 1);  // only the defaults
    EXPECT_EQ(presenter.Fields().m_strStartDir, t.Path("Data"));
}

// Both removals look at the item again first: a directory is read afresh
// on the worker, as a scan is, while the tree stays; the question names the
// item, its size on show and what it holds. No leaves the disk as it was.
TEST_F(MainPresenter, RemovalsMeasureAndAskFirstAndNoRemovesNothing) {
    ASSERT_TRUE(Scan(t.Path("Data")));
    const std::string outline = tree.Outline();
    view.selected = t.Path("Data/sub");
    presenter.OnMoveToTrash();
    ASSERT_TRUE(source.WaitUntilWaiting());
    EXPECT_TRUE(view.scanning && view.ticking);
    EXPECT_EQ(view.progress.strDir, t.Path("Data/sub"));
    EXPECT_EQ(tree.Outline(), outline);
    EXPECT_TRUE(view.questions.empty());
    presenter.OnDeletePermanently();  // nothing while measuring
    ASSERT_TRUE(LetThrough());
    EXPECT_FALSE(view.scanning || view.ticking);
    presenter.OnToggleSizeOnDisk();
    presenter.OnDeletePermanently();
    ASSERT_TRUE(source.WaitUntilWaiting());
    ASSERT_TRUE(LetThrough());
    ASSERT_EQ(view.questions.size(), 2u);
    EXPECT_EQ(view.questions[0], "Move this item to the trash?\n\n" + t.Path("Data/sub") +
                                     "\n\nSize: 5 bytes\nEntries: 1");
    EXPECT_EQ(view.questions[1].substr(0, 52),
              "Delete this item permanently? This cannot be undone.");
    EXPECT_NE(view.questions[1].find("Size on disk: "), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(t.Path("Data/sub/b.txt")));
    EXPECT_EQ(tree.Outline(), outline);
    EXPECT_TRUE(view.messages.empty());
}

// What was added or grown since the scan is in the question, the tree takes
// it whatever the answer, and Yes removes all of it.
TEST_F(MainPresenter, TheQuestionTellsWhatIsOnDiskNow) {
    ASSERT_TRUE(Scan(t.Path("Data")));
    for (int i = 0; i < 50; ++i) t.File("Data/sub/new" + std::to_string(i), 100 * 1024);
    std::ofstream(t.Path("Data/a.txt"), std::ios::binary) << std::string(3000, 'x');
    view.selected = t.Path("Data/sub");
    presenter.OnDeletePermanently();
    ASSERT_TRUE(source.WaitUntilWaiting());
    ASSERT_TRUE(LetThrough());
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0], "Delete this item permanently? This cannot be undone.\n\n" +
                                     t.Path("Data/sub") +
                                     "\n\nSize: 5,120,005 bytes\nEntries: 51\n\n"
                                     "It has changed since the scan: now 4.9 MB in 51 entries.");
    EXPECT_NE(tree.Outline().find("    new49 [    102400 bytes]\n"), std::string::npos);
    EXPECT_EQ(view.selected, t.Path("Data/sub"));  // kept where it was
    // A file: the sizes as looked at, without a read of the disk.
    view.selected = t.Path("Data/a.txt");
    const std::size_t scans = source.Scanned().size();
    presenter.OnDeletePermanently();
    EXPECT_EQ(source.Scanned().size(), scans);
    ASSERT_EQ(view.questions.size(), 2u);
    EXPECT_NE(view.questions[1].find(
                  "\n\nSize: 3,000 bytes\n\nIt has changed since the scan: now 2.9 KB."),
              std::string::npos)
        << view.questions[1];
    CDirScanner fresh;
    ASSERT_EQ(fresh.Scan(t.Path("Data")), ScanStatus::Complete);
    EXPECT_EQ(test::ListText(kept.List()), test::ListText(fresh.GetList()));

    // Nothing changed since: the question says nothing of it; Yes takes all.
    view.selected = t.Path("Data/sub");
    view.yes = true;
    presenter.OnDeletePermanently();
    ASSERT_TRUE(source.WaitUntilWaiting());
    ASSERT_TRUE(LetThrough());
    ASSERT_EQ(view.questions.size(), 3u);
    EXPECT_EQ(view.questions[2].find("changed"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(t.Path("Data/sub")));
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(tree.Outline(), t.Path("Data") + " [      3000 bytes]\n  a.txt [      3000 bytes]\n");
}

// The item swapped for another: of another kind, a message and nothing
// removed; of the same kind, the question tells the newcomer's figures.
TEST_F(MainPresenter, ASwappedItemIsToldNotRemovedSilently) {
    ASSERT_TRUE(Scan(t.Path("Data")));
    std::filesystem::rename(t.Path("Data/sub"), t.Path("Other/sub"));
    t.File("Data/sub", 10);
    view.yes = true;
    view.selected = t.Path("Data/sub");
    presenter.OnDeletePermanently();
    EXPECT_FALSE(presenter.IsScanning());
    EXPECT_TRUE(view.questions.empty());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(
        view.messages[0].text.rfind(
            t.Path("Data/sub") + " has changed since the scan; press F5 to read it again.", 0),
        0u);
    EXPECT_TRUE(std::filesystem::exists(t.Path("Data/sub")));

    std::filesystem::remove(t.Path("Data/sub"));
    t.Dir("Data/sub");
    t.File("Data/sub/big", 5 * 1024 * 1024);
    view.yes = false;
    presenter.OnDeletePermanently();
    ASSERT_TRUE(source.WaitUntilWaiting());
    ASSERT_TRUE(LetThrough());
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_NE(view.questions[0].find("Size: 5,242,880 bytes\nEntries: 1\n\n"
                                     "It has changed since the scan: now 5.0 MB in 1 entry."),
              std::string::npos)
        << view.questions[0];
    EXPECT_TRUE(std::filesystem::exists(t.Path("Data/sub/big")));
}

// A parent swapped for a link to another tree while the question shows:
// nothing there or here is removed, for either removal.
TEST_F(MainPresenter, AParentSwappedDuringTheQuestionIsNotFollowed) {
    t.Dir("Data/d");
    t.Dir("Data/d/sub");
    t.File("Data/d/sub/f2", 30);
    t.Dir("victim");
    t.Dir("victim/sub");
    t.File("victim/sub/f2", 40);
    ASSERT_TRUE(Scan(t.Path("Data")));
    view.yes = true;
    for (const bool trash : {true, false}) {
        view.selected = t.Path("Data/d/sub/f2");
        view.whileAsked = [&] {
            std::filesystem::rename(t.Path("Data/d"), t.Path("Data/d.away"));
            t.Link(t.Path("victim"), "Data/d");
        };
        view.messages.clear();
        if (trash)
            presenter.OnMoveToTrash();
        else
            presenter.OnDeletePermanently();
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_NE(
            view.messages[0].text.find("has changed since the scan; press F5 to read it again."),
            std::string::npos)
            << view.messages[0].text;
        EXPECT_TRUE(std::filesystem::exists(t.Path("victim/sub/f2")));
        EXPECT_TRUE(std::filesystem::exists(t.Path("Data/d.away/sub/f2")));
        std::filesystem::remove(t.Path("Data/d"));
        std::filesystem::rename(t.Path("Data/d.away"), t.Path("Data/d"));
    }
}

// Another directory put at the start's path since the scan (as a disk
// mounted there later would be): an item of the same name in it is not
// removed.
TEST_F(MainPresenter, AStartReplacedSinceTheScanIsNotRemovedFrom) {
    ASSERT_TRUE(Scan(t.Path("Data")));
    std::filesystem::rename(t.Path("Data"), t.Path("Data.scanned"));
    t.Dir("Data");
    t.File("Data/a.txt", 10);
    view.yes = true;
    view.selected = t.Path("Data/a.txt");
    presenter.OnDeletePermanently();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text.rfind(
                  t.Path("Data") + " has changed since the scan; press F5 to read it again.", 0),
              0u)
        << view.messages[0].text;
    EXPECT_TRUE(view.questions.empty());
    EXPECT_TRUE(std::filesystem::exists(t.Path("Data/a.txt")));
}

// Cancel (or Escape) while the directory is measured, a press, or the
// window closing: nothing is asked or removed, the tree stays.
TEST_F(MainPresenter, AMeasureDroppedRemovesNothing) {
    ASSERT_TRUE(Scan(t.Path("Data")));
    const std::string outline = tree.Outline();
    view.yes = true;
    view.selected = t.Path("Data/sub");
    presenter.OnDeletePermanently();
    ASSERT_TRUE(source.WaitUntilWaiting());
    presenter.OnCancel();
    EXPECT_FALSE(view.closed || view.scanning || presenter.IsScanning());
    EXPECT_EQ(tree.Outline(), outline);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(tree.Outline(), outline);
    EXPECT_EQ(kept.Root(), t.Path("Data"));

    // F5 meanwhile: the measure goes, the scan runs when its worker returns.
    presenter.OnDeletePermanently();
    ASSERT_TRUE(source.WaitUntilWaiting());
    Press(t.Path("Data"), Units::Bytes, true);
    ASSERT_TRUE(Settle());
    ASSERT_TRUE(source.WaitUntilWaiting());
    ASSERT_TRUE(LetThrough());
    EXPECT_EQ(tree.Outline(), outline);

    presenter.OnDeletePermanently();
    ASSERT_TRUE(source.WaitUntilWaiting());
    presenter.OnClose();
    EXPECT_TRUE(view.closed);
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(view.questions.empty());
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(std::filesystem::exists(t.Path("Data/sub/b.txt")));
}

// Names cannot forge lines of a question or a message, and names that
// differ only in bytes that are not text stay apart.
TEST_F(MainPresenter, NamesShowEveryByteInQuestionsAndMessages) {
    t.File("Data/nl\n\nSize: 0 bytes", 1);
    t.File("Data/bad\xff", 1);
    t.File("Data/bad\xfe", 1);
    ASSERT_TRUE(Scan(t.Path("Data")));
    for (const char* name : {"nl\n\nSize: 0 bytes", "bad\xff", "bad\xfe"}) {
        view.selected = t.Path("Data/") + name;
        presenter.OnDeletePermanently();
    }
    ASSERT_EQ(view.questions.size(), 3u);
    EXPECT_NE(view.questions[0].find(t.Path("Data/nl\\n\\nSize: 0 bytes") + "\n\nSize: 1 bytes"),
              std::string::npos)
        << view.questions[0];
    EXPECT_NE(view.questions[1].find(t.Path("Data/bad\\xFF") + "\n"), std::string::npos);
    EXPECT_NE(view.questions[2].find(t.Path("Data/bad\\xFE") + "\n"), std::string::npos);
    std::filesystem::remove(t.Path("Data/bad\xfe"));
    presenter.OnDeletePermanently();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text,
              t.Path("Data/bad\\xFE") + " is no longer there; press F5 to read it again.");
    view.selected = t.Path("Data/nl\n\nSize: 0 bytes");
    view.opens = false;
    EXPECT_FALSE(presenter.OnOpenTerminal());
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, std::string(kCannotOpenTerminalText) + t.Path("Data"));
}

// After a removal the selection goes to the next item in the order on show,
// else the previous one, else the parent; what was open stays open.
TEST_F(MainPresenter, TheSelectionMovesToTheNeighbour) {
    t.File("Data/m.txt", 1);
    t.File("Other/only", 1);
    ASSERT_TRUE(Scan(t.Root()));
    view.yes = true;
    view.open.expanded = {t.Root(), t.Path("Data")};
    const std::pair<const char*, const char*> steps[] = {
        {"Data/m.txt", "Data/sub"},  // the next
        {"Data/sub", "Data/a.txt"},  // the previous: it was the last
        {"Other/only", "Other"},     // the parent: it was alone
    };
    for (const auto& [removed, after] : steps) {
        SCOPED_TRACE(removed);
        view.selected = t.Path(removed);
        presenter.OnDeletePermanently();
        if (presenter.IsScanning()) {
            ASSERT_TRUE(source.WaitUntilWaiting() && LetThrough());
        }
        EXPECT_FALSE(std::filesystem::exists(t.Path(removed)));
        ASSERT_FALSE(view.restored.empty());
        EXPECT_EQ(view.restored.back().selected, t.Path(after));
        EXPECT_EQ(view.restored.back().expanded, view.open.expanded);
        EXPECT_EQ(view.selected, t.Path(after));
    }
    // Largest first: the next is the next smaller.
    t.File("Data/big", 100);
    t.File("Data/mid", 50);
    ASSERT_TRUE(Scan(t.Path("Data")));
    presenter.OnSortBy(SortOrder::Size);
    view.selected = t.Path("Data/big");
    presenter.OnDeletePermanently();
    EXPECT_EQ(view.selected, t.Path("Data/mid"));
    EXPECT_TRUE(view.messages.empty());
}

// Yes: the item goes, the tree follows without a rescan, what was open
// stays open and the selection moves to the neighbour.
TEST_F(MainPresenter, DeleteUpdatesTheTreeInPlace) {
    t.Dir("Data/sub/deeper");
    t.File("Data/sub/deeper/c.txt", 700);
    ASSERT_TRUE(Scan(t.Path("Data")));
    const std::size_t scans = source.Scanned().size() + 1;  // and the measure
    view.open.expanded = {t.Path("Data"), t.Path("Data/sub")};
    view.selected = t.Path("Data/sub/deeper");
    view.yes = true;
    presenter.OnDeletePermanently();
    ASSERT_TRUE(source.WaitUntilWaiting() && LetThrough());
    EXPECT_FALSE(std::filesystem::exists(t.Path("Data/sub/deeper")));
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(source.Scanned().size(), scans);
    CDirScanner fresh;
    ASSERT_EQ(fresh.Scan(t.Path("Data")), ScanStatus::Complete);
    EXPECT_EQ(test::ListText(kept.List()), test::ListText(fresh.GetList()));
    EXPECT_NE(tree.Outline().find("b.txt"), std::string::npos);
    EXPECT_EQ(tree.Outline().find("deeper"), std::string::npos);
    ASSERT_FALSE(view.restored.empty());
    EXPECT_EQ(view.restored.back().expanded, view.open.expanded);
    EXPECT_EQ(view.restored.back().selected, t.Path("Data/sub/b.txt"));
}

// Never the start item, never while a scan runs: no question is asked.
TEST_F(MainPresenter, RemovalsRefusedForTheStartAndDuringAScan) {
    ASSERT_TRUE(Scan(t.Path("Data")));
    view.yes = true;
    view.selected = t.Path("Data");
    presenter.OnDeletePermanently();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, kCannotRemoveStartText);
    view.selected = t.Path("Data/a.txt");
    Press(t.Path("Other"));
    ASSERT_TRUE(source.WaitUntilWaiting());
    presenter.OnMoveToTrash();
    presenter.OnDeletePermanently();
    EXPECT_TRUE(view.questions.empty());
    EXPECT_TRUE(std::filesystem::exists(t.Path("Data/a.txt")));
    ASSERT_TRUE(LetThrough());
}

// Part of a directory on another file system: the message says what stayed,
// and the directory is read again, so the tree shows what is really left.
TEST_F(MainPresenter, PartialDeleteSaysWhatFailedAndReadsWhatIsLeft) {
    t.Dir("Data/sub/mnt");
    if (::mount("tmpfs", t.Path("Data/sub/mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{t.Path("Data/sub/mnt")};
    t.File("Data/sub/mnt/kept", 50);
    ASSERT_TRUE(Scan(t.Path("Data")));
    view.selected = t.Path("Data/sub");
    view.yes = true;
    source.Release(2);  // the measure, and the read of what is left
    presenter.OnDeletePermanently();
    ASSERT_TRUE(view.notices.WaitFor(2));
    presenter.OnScanDone();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].text.find(t.Path("Data/sub/mnt") +
                                         ": another file system is mounted here"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(t.Path("Data/sub/b.txt")));
    CDirScanner fresh;
    ASSERT_EQ(fresh.Scan(t.Path("Data")), ScanStatus::Complete);
    EXPECT_EQ(test::ListText(kept.List()), test::ListText(fresh.GetList()));
}

TEST_F(MainPresenter, TerminalOpensInTheDirectoryOfTheItem) {
    ASSERT_TRUE(Scan(t.Path("Data")));
    view.selected = t.Path("Data/sub/b.txt");
    EXPECT_TRUE(presenter.OnOpenTerminal());
    view.selected = t.Path("Data");
    view.opens = false;
    EXPECT_FALSE(presenter.OnOpenTerminal());
    EXPECT_EQ(view.terminals, std::vector<std::string>({t.Path("Data/sub"), t.Path("Data")}));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, std::string(kCannotOpenTerminalText) + t.Path("Data"));
}

}  // namespace
}  // namespace sizewalk

namespace sizewalk {
namespace {

// A scan saved and opened again: the kept scan of its own path, shown with
// the controls' units, redrawn by OK, and said to come from the file.
TEST_F(MainPresenter, SavedScanOpensAsTheKeptScanOfItsPath) {
    presenter.OnSaveScan();  // nothing to save yet: no dialog
    EXPECT_TRUE(view.offered.empty());
    ASSERT_TRUE(Scan(t.Path("Data")));
    const std::string shown = tree.Outline();

    view.chosenFile = "";  // cancelled: nothing written
    presenter.OnSaveScan();
    EXPECT_EQ(view.offered, std::vector<std::string>{"Data.json"});
    view.chosenFile = t.Path("saved.json.zst");
    presenter.OnSaveScan();
    ASSERT_TRUE(view.messages.empty());
    EXPECT_EQ(view.busyTimes, 1);  // while writing; the dialogs had none

    // Another scan, then the saved one opened in its place. While the file
    // is read, its progress shows and the tree still shows the kept scan.
    ASSERT_TRUE(Scan(t.Path("Other")));
    const std::string other = tree.Outline();
    view.controls.m_eUnits = Units::Bytes;
    const int notices = view.notices.Count();
    view.focus = Control::StartDir;
    presenter.OnOpenScan();
    EXPECT_EQ(view.focus, Control::Tree);  // not left to pass from a disabled control to Cancel
    EXPECT_TRUE(view.scanning);
    EXPECT_EQ(view.progress.strCounts.rfind("Opening: ", 0), 0u) << view.progress.strCounts;
    EXPECT_EQ(view.progress.strDir, view.chosenFile);
    EXPECT_EQ(tree.Outline(), other);
    ASSERT_TRUE(view.notices.WaitFor(notices + 1));
    presenter.OnScanDone();
    EXPECT_FALSE(view.scanning);
    EXPECT_EQ(view.focus, Control::Tree);
    ASSERT_TRUE(view.messages.empty());
    EXPECT_EQ(tree.Outline(), shown);
    EXPECT_EQ(view.controls.m_strStartDir, t.Path("Data"));
    ASSERT_TRUE(view.progressShown);
    EXPECT_EQ(view.progress.strCounts.rfind("From a file, made ", 0), 0u)
        << view.progress.strCounts;
    EXPECT_EQ(view.progress.strDir, view.chosenFile);

    // OK redraws it without a scan, even once the folder is gone.
    ASSERT_EQ(std::system(("rm -rf '" + t.Path("Data") + "'").c_str()), 0);
    const std::size_t scans = source.Scanned().size();
    Press(t.Path("Data"));
    EXPECT_EQ(source.Scanned().size(), scans);
    EXPECT_EQ(tree.Outline(), shown);

    // A file that is not a scan: a message, and the kept scan stays, with
    // its band.
    t.File("not-a-scan", 10);
    ASSERT_TRUE(OpenFile(t.Path("not-a-scan")));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text.rfind(kCannotOpenScanText, 0), 0u);
    EXPECT_EQ(tree.Outline(), shown);
    EXPECT_EQ(view.progress.strDir, t.Path("saved.json.zst"));
    EXPECT_EQ(view.busyTimes, 1);  // reading has the scan's look instead
    EXPECT_EQ(kept.Root(), t.Path("Data"));
    EXPECT_EQ(kept.Origin().strFile, t.Path("saved.json.zst"));

    // Cancel while a file is read: the reading is dropped, whatever the
    // worker got to, and the kept scan stays, with its band, and no message.
    ASSERT_TRUE(Scan(t.Path("Other")));
    view.chosenFile = t.Path("saved.json.zst");
    presenter.OnOpenScan();
    presenter.OnCancel();
    EXPECT_FALSE(view.scanning);
    EXPECT_FALSE(view.closed);
    EXPECT_EQ(tree.Outline(), other);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(tree.Outline(), other);
    EXPECT_EQ(kept.List().PathOf(0), t.Path("Other"));
    EXPECT_EQ(kept.Root(), t.Path("Other"));
    EXPECT_FALSE(kept.IsOpened());
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_FALSE(view.progressShown);  // a scan of the disk has nothing to say

    // Nowhere to save: a message naming the place.
    view.chosenFile = t.Path("no/such/folder/x.json");
    presenter.OnSaveScan();
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_NE(view.messages[1].text.find(view.chosenFile), std::string::npos);
}

// The rows a list shows, by path, in their order.
static std::vector<std::string> RowPaths(const CRowTable* rows) {
    std::vector<std::string> paths;
    if (!rows || !rows->List()) return paths;
    for (std::size_t row = 0; row < rows->RowCount(); ++row)
        paths.push_back(rows->List()->PathOf(rows->ItemAt(row)));
    return paths;
}

// Largest Files in the tree's place: below the selected directory, its
// rows chosen as the tree's items are, re-sorted, and Escape's way back.
TEST_F(MainPresenter, LargestFilesTakeTheTreesPlaceAndShareTheSelection) {
    t.File("Data/sub/c.bin", 20);
    ASSERT_TRUE(Scan(t.Path("Data")));
    EXPECT_FALSE(presenter.Commands()[Command::BackToTree].enabled);
    view.selected = t.Path("Data/a.txt");  // a file: the whole scan
    presenter.OnLargestFiles();
    EXPECT_EQ(view.area, AreaView::LargestFiles);
    EXPECT_EQ(RowPaths(view.rows),
              std::vector<std::string>(
                  {t.Path("Data/sub/c.bin"), t.Path("Data/a.txt"), t.Path("Data/sub/b.txt")}));
    EXPECT_EQ(view.rowsTitle, "Largest Files in " + t.Path("Data") + ": 3 files, 35 bytes");
    EXPECT_TRUE(presenter.Commands()[Command::BackToTree].enabled);

    // A row chosen is the item the actions take, and the tree follows.
    const CScanTree::Item b = Item(t.Path("Data/sub/b.txt")).item;
    presenter.OnItemChosen(SelectionView::List, b);
    EXPECT_EQ(view.selected, t.Path("Data/sub/b.txt"));
    presenter.OnCopyPath();
    EXPECT_EQ(view.clipboard, t.Path("Data/sub/b.txt"));
    // A tile clicked selects its row.
    view.shownItems.clear();
    presenter.OnItemChosen(SelectionView::Map, Item(t.Path("Data/a.txt")).item);
    EXPECT_NE(std::find(view.shownItems.begin(), view.shownItems.end(),
                        std::pair{SelectionView::List, Item(t.Path("Data/a.txt")).item}),
              view.shownItems.end());

    presenter.OnSortRows(RowColumn::Name, true);
    EXPECT_EQ(RowPaths(view.rows),
              std::vector<std::string>(
                  {t.Path("Data/a.txt"), t.Path("Data/sub/b.txt"), t.Path("Data/sub/c.bin")}));
    // OK on the same path redraws: the list is made again in its order.
    Press(t.Path("Data"));
    EXPECT_EQ(view.area, AreaView::LargestFiles);
    EXPECT_EQ(RowPaths(view.rows).front(), t.Path("Data/a.txt"));

    presenter.OnCommand(Command::BackToTree);
    EXPECT_EQ(view.area, AreaView::Tree);
    EXPECT_EQ(view.rows, nullptr);
    // Below the selected directory; the switch brings the made list back.
    view.selected = t.Path("Data/sub");
    presenter.OnLargestFiles();
    EXPECT_EQ(view.rowsTitle, "Largest Files in " + t.Path("Data/sub") + ": 2 files, 25 bytes");
    presenter.OnShowArea(AreaView::Tree);
    presenter.OnShowArea(AreaView::LargestFiles);
    EXPECT_EQ(RowPaths(view.rows).size(), 2u);
    // Another scan drops the lists, and the tree comes back.
    ASSERT_TRUE(Scan(t.Path("Other")));
    EXPECT_EQ(view.area, AreaView::Tree);
    // The switch, before any list, makes one as the key does: below the
    // selected directory.
    ASSERT_TRUE(Scan(t.Path("Data")));
    view.selected = t.Path("Data/sub");
    presenter.OnShowArea(AreaView::LargestFiles);
    EXPECT_EQ(view.area, AreaView::LargestFiles);
    EXPECT_EQ(view.rowsTitle, "Largest Files in " + t.Path("Data/sub") + ": 2 files, 25 bytes");
}

// File Types: the whole scan by kind and type; a type chosen highlights its
// files in the map while the view shows, lists its largest files, and the
// view follows a removal; the map's legend chooses a kind; no item is an
// action's there, even one a tile chose.
TEST_F(MainPresenter, FileTypesHighlightTheirFilesAndListTheLargestOfAType) {
    t.File("Data/sub/c.png", 20);
    t.File("Data/sub/d.PNG", 7);
    t.File("Data/.hidden", 3);
    ASSERT_TRUE(Scan(t.Path("Data")));
    presenter.OnToggleTreemap();
    presenter.OnCommand(Command::FileTypes);
    ASSERT_EQ(view.area, AreaView::Types);
    ASSERT_NE(view.types, nullptr);
    EXPECT_EQ(view.rowsTitle, "File Types in " + t.Path("Data") + ": 5 files, 45 bytes");
    EXPECT_EQ(view.typeRow, CTypeTable::npos);
    EXPECT_FALSE(presenter.Commands()[Command::LargestOfType].enabled);
    std::vector<std::string> rows;
    for (std::size_t r = 0; r < view.types->RowCount(); ++r)
        rows.push_back(view.types->Text(r, TypeColumn::Type) + " " +
                       view.types->Text(r, TypeColumn::Files) + " " +
                       view.types->Text(r, TypeColumn::Share));
    EXPECT_EQ(rows, (std::vector<std::string>{"Images 2 60.0%", ".png 2 60.0%", "Documents 2 33.3%",
                                              ".txt 2 33.3%", "Other 1 6.7%", "(hidden) 1 6.7%"}));

    const FileTypeFilter png{FileKind::Image, FileTypeClass::Extension, "png"};
    presenter.OnTypeChosen(view.types->RowOf(png));
    ASSERT_FALSE(view.highlights.empty());
    EXPECT_EQ(view.highlights.back(), png);
    EXPECT_TRUE(presenter.Commands()[Command::LargestOfType].enabled);
    presenter.OnItemChosen(SelectionView::Map, Item(t.Path("Data/a.txt")).item);
    EXPECT_FALSE(presenter.Commands()[Command::CopyPath].enabled);

    presenter.OnCommand(Command::LargestOfType);
    ASSERT_EQ(view.area, AreaView::LargestFiles);
    EXPECT_EQ(RowPaths(view.rows),
              (std::vector<std::string>{t.Path("Data/sub/c.png"), t.Path("Data/sub/d.PNG")}));
    EXPECT_EQ(view.rowsTitle, "Largest Files of .png in " + t.Path("Data") + ": 2 files, 27 bytes");
    EXPECT_EQ(view.highlights.back(), std::nullopt);  // only while File Types shows

    // A row removed: File Types counts again and keeps the choice.
    view.selectedRows = {Item(t.Path("Data/sub/c.png")).item};
    view.yes = true;
    presenter.OnDeletePermanently();
    ASSERT_FALSE(std::filesystem::exists(t.Path("Data/sub/c.png")));
    presenter.OnShowArea(AreaView::Types);
    EXPECT_EQ(view.rowsTitle, "File Types in " + t.Path("Data") + ": 4 files, 25 bytes");
    EXPECT_EQ(view.typeRow, view.types->RowOf(png));
    EXPECT_EQ(view.highlights.back(), png);

    // The legend's swatch chooses its kind; re-sorting keeps it.
    const FileTypeFilter documents{FileKind::Document, FileTypeClass::Kind, {}};
    presenter.OnBackToTree();
    presenter.OnLegendKind(FileKind::Document);
    EXPECT_EQ(view.area, AreaView::Types);
    EXPECT_EQ(view.typeRow, view.types->RowOf(documents));
    presenter.OnSortTypes(TypeColumn::Type, true);
    EXPECT_EQ(view.types->Text(0, TypeColumn::Type), "Documents");
    EXPECT_EQ(view.typeRow, 0u);

    // Another scan drops the view; the map's highlight goes with it.
    ASSERT_TRUE(Scan(t.Path("Other")));
    EXPECT_EQ(view.area, AreaView::Tree);
    EXPECT_EQ(view.highlights.back(), std::nullopt);
}

// The folders that could not be read, from a saved scan that marks them:
// every one of the whole scan, nested ones too, largest first; the command
// waits for a scan that has one, and the band's text stays as it was.
TEST_F(MainPresenter, UnreadableFoldersListEveryDirectoryThatCouldNotBeRead) {
    ASSERT_TRUE(Scan(t.Path("Data")));
    EXPECT_FALSE(presenter.Commands()[Command::UnreadableFolders].enabled);
    presenter.OnCommand(Command::UnreadableFolders);  // the menu is disabled; a key is not
    EXPECT_EQ(view.area, AreaView::Tree);

    std::ofstream(t.Path("unread.json"))
        << "[1,2,{\"progname\":\"x\"},[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":5},"
           "[{\"name\":\"small\",\"dsize\":4096,\"read_error\":true}],"
           "[{\"name\":\"big\"},[{\"name\":\"deep\",\"read_error\":true},"
           "{\"name\":\"f\",\"asize\":9000},"
           "[{\"name\":\"inner\",\"read_error\":true},{\"name\":\"g\",\"asize\":7}]]],"
           "[{\"name\":\"fine\"},{\"name\":\"h\",\"asize\":50000}]]]";
    ASSERT_TRUE(OpenFile(t.Path("unread.json")));
    ASSERT_TRUE(view.messages.empty()) << view.messages[0].text;
    EXPECT_TRUE(presenter.Commands()[Command::UnreadableFolders].enabled);
    const std::string band = view.progress.strCounts;
    EXPECT_NE(band.find(" 3 directories could not be read."), std::string::npos) << band;

    view.selected = "/r/big/deep/f";  // not only below the selection
    presenter.OnCommand(Command::UnreadableFolders);
    EXPECT_EQ(view.area, AreaView::Unreadable);
    EXPECT_EQ(RowPaths(view.rows),
              std::vector<std::string>({"/r/big/deep", "/r/big/deep/inner", "/r/small"}));
    EXPECT_EQ(view.rowsTitle, "Unreadable Folders in /r: 3 folders");
    EXPECT_EQ(view.progress.strCounts, band);

    // The switch brings the made list back; another scan drops it.
    presenter.OnShowArea(AreaView::Tree);
    presenter.OnShowArea(AreaView::Unreadable);
    EXPECT_EQ(RowPaths(view.rows).size(), 3u);
    ASSERT_TRUE(Scan(t.Path("Other")));
    EXPECT_EQ(view.area, AreaView::Tree);
    EXPECT_FALSE(presenter.Commands()[Command::UnreadableFolders].enabled);
}

// Find: a field it cannot read is said and the dialog comes back with what
// was typed; the results show their count and total.
TEST_F(MainPresenter, FindAsksAgainUntilItCanReadTheFields) {
    ASSERT_TRUE(Scan(t.Path("Data")));
    FindFields bad;
    bad.strPattern = "/[/";
    FindFields good;
    good.strPattern = "*.txt";
    good.strMinSize = "6";
    view.findAnswers = {bad, good};
    presenter.OnFind();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text.rfind("The name \"/[/\" cannot be searched for: ", 0), 0u);
    EXPECT_EQ(view.area, AreaView::Found);
    EXPECT_EQ(RowPaths(view.rows), std::vector<std::string>({t.Path("Data/a.txt")}));
    EXPECT_EQ(view.rowsTitle, "\"*.txt\" in " + t.Path("Data") + ": 1 found, 10 bytes");
    // The next search starts from this one; cancelled, it changes nothing.
    presenter.OnFind();
    EXPECT_EQ(view.findHistory, std::vector<std::string>({"*.txt"}));
    EXPECT_EQ(view.area, AreaView::Found);
    EXPECT_EQ(RowPaths(view.rows).size(), 1u);
}

// Several rows: one question naming how many and their size; what lies
// below another chosen row goes with it; an item changed since the scan
// is refused and named, the rest go, and the list follows the disk.
TEST_F(MainPresenter, SeveralRowsGoWithOneQuestionAndARefusedOneIsNamed) {
    t.File("Data/c.txt", 20);
    ASSERT_TRUE(Scan(t.Path("Data")));
    FindFields all;
    all.strPattern = "*";
    view.findAnswers = {all};
    presenter.OnFind();
    ASSERT_EQ(view.area, AreaView::Found);
    view.selectedRows = {Item(t.Path("Data/sub/b.txt")).item, Item(t.Path("Data/sub")).item,
                         Item(t.Path("Data/c.txt")).item, Item(t.Path("Data/a.txt")).item};
    view.yes = true;
    // c.txt becomes a directory while the question shows.
    view.whileAsked = [this] {
        std::filesystem::remove(t.Path("Data/c.txt"));
        t.Dir("Data/c.txt");
    };
    presenter.OnDeletePermanently();
    ASSERT_EQ(view.questions.size(), 1u);
    const std::string& question = view.questions[0];
    EXPECT_EQ(question.rfind("Delete these 3 items permanently? This cannot be undone.\n\n", 0),
              0u);
    EXPECT_NE(question.find("\n\nSize: 35 bytes in all"), std::string::npos) << question;
    for (const char* named : {"Data/a.txt\n", "Data/c.txt\n", "Data/sub\n"})
        EXPECT_NE(question.find(t.Path(named)), std::string::npos) << named;
    EXPECT_FALSE(std::filesystem::exists(t.Path("Data/a.txt")));
    EXPECT_FALSE(std::filesystem::exists(t.Path("Data/sub")));
    EXPECT_TRUE(std::filesystem::is_directory(t.Path("Data/c.txt")));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text.rfind(t.Path("Data/c.txt") + " has changed since the scan", 0),
              0u);
    // The tree and the list follow without a rescan; c.txt keeps its old
    // figures until one.
    EXPECT_EQ(view.area, AreaView::Found);
    EXPECT_EQ(RowPaths(view.rows), std::vector<std::string>({t.Path("Data/c.txt")}));
    EXPECT_EQ(tree.Outline().find("a.txt"), std::string::npos);

    // The start among the rows: nothing is asked or removed.
    view.selectedRows = {Item(t.Path("Data/c.txt")).item, Item(t.Path("Data")).item};
    presenter.OnMoveToTrash();
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, kCannotRemoveStartText);
}

}  // namespace
}  // namespace sizewalk
