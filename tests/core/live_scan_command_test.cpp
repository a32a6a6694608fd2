// The live scan command without a dialog: a scan on a worker thread behind a
// gate the test opens, the hand-over through the notice, stop, rescan and
// failure, with the tree always touched on the test's own thread.

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "core/live_scan_command.h"
#include "tests/core/blocking_source.h"
#include "tests/core/command_fakes.h"
#include "tests/temp_tree.h"

namespace sizewalk {
namespace {

using test::BlockingSource;
using test::RecordingSink;
using test::TempTree;
using test::TestCursor;
using test::TestMessages;
using test::TestNotify;

class LiveCommand : public ::testing::Test {
protected:
    LiveCommand() {
        t.Dir("Data");
        t.File("Data/a.txt", 10);
        t.Dir("Data/sub");
        t.File("Data/sub/b.txt", 5);
        t.Dir("Other");
    }
    ScanOutcome Press(const std::string& dir, bool rescan = false) {
        fields.m_strStartDir = dir;
        fields.m_eUnits = Units::Bytes;
        fields.m_eFiles = Files::Shown;
        return rescan ? command.Rescan(fields) : command.Start(fields);
    }
    // Lets the waiting scan through and finishes it as the dialog would.
    std::optional<ScanOutcome> Complete() {
        const int before = notify.Count();
        source.Release();
        if (!notify.WaitFor(before + 1)) return std::nullopt;
        return command.Finish();
    }

    TempTree t;
    BlockingSource source;
    CKeptScan kept;
    RecordingSink tree;
    TestMessages messages;
    TestCursor cursor;
    TestNotify notify;
    ScanFields fields;
    CLiveScanCommand command{source, kept, tree, messages, cursor, notify};
};

TEST_F(LiveCommand, ScansOnAWorkerAndFillsOnFinish) {
    const std::string data = t.Path("Data");
    EXPECT_EQ(Press(data + "/"), ScanOutcome::Started);
    EXPECT_EQ(fields.m_strStartDir, data);
    ASSERT_TRUE(source.WaitUntilWaiting());
    EXPECT_NE(source.ScanThread(), std::this_thread::get_id());
    EXPECT_TRUE(command.IsScanning());
    EXPECT_TRUE(cursor.active);
    EXPECT_EQ(tree.Count(), 0u);
    EXPECT_EQ(command.ScanPath(), data);
    EXPECT_FALSE(kept.IsValid());

    // Progress is read while the worker runs; the counts only grow.
    source.Report(7, 1536, 4096, data + "/sub");
    CScanProgress::Snapshot s = command.GetProgress();
    EXPECT_EQ(s.nEntries, 7u);
    EXPECT_EQ(s.nBytes, 1536u);
    EXPECT_EQ(s.strDir, data + "/sub");
    // A second press while scanning does nothing; nor does an early Finish.
    EXPECT_EQ(Press(t.Path("Other")), ScanOutcome::Busy);
    EXPECT_EQ(Press(data, true), ScanOutcome::Busy);
    EXPECT_EQ(command.Finish(), std::nullopt);
    EXPECT_EQ(source.Scanned().size(), 1u);

    EXPECT_EQ(Complete(), ScanOutcome::Scanned);
    EXPECT_NE(notify.Thread(), std::this_thread::get_id());
    EXPECT_FALSE(command.IsScanning());
    EXPECT_FALSE(cursor.active);
    EXPECT_EQ(cursor.begins, 1);
    EXPECT_EQ(kept.Root(), data);
    EXPECT_EQ(tree.Outline(), data +
                                  " [        15 bytes]\n  a.txt [        10 bytes]\n"
                                  "  sub [         5 bytes]\n    b.txt [         5 bytes]\n");
    EXPECT_EQ(command.Finish(), std::nullopt);  // a second notice is harmless
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LiveCommand, SamePathRedrawsAtOnceAndRescanReadsTheDiskAgain) {
    const std::string data = t.Path("Data");
    Press(data);
    ASSERT_EQ(Complete(), ScanOutcome::Scanned);
    t.File("Data/new", 100);

    fields.m_eUnits = Units::KB;
    fields.m_strStartDir = data;
    EXPECT_EQ(command.Start(fields), ScanOutcome::Redrawn);
    EXPECT_FALSE(command.IsScanning());
    EXPECT_EQ(tree.Outline().find("new"), std::string::npos);  // the kept scan
    EXPECT_EQ(source.Scanned().size(), 1u);

    EXPECT_EQ(Press(data, true), ScanOutcome::Started);
    EXPECT_EQ(tree.Count(), 0u);
    EXPECT_EQ(Complete(), ScanOutcome::Scanned);
    EXPECT_NE(tree.Outline().find("  new [       100 bytes]\n"), std::string::npos);
    EXPECT_EQ(source.Scanned().size(), 2u);
}

// A scan opened from a file: kept under its own path, which need not exist
// here, with the file it came from; OK with it redraws, F5 goes to the disk.
TEST_F(LiveCommand, AdoptedScanIsKeptUnderItsPathUntilARescan) {
    CDirScanner scanner;
    CScanList opened, edited;
    ASSERT_EQ(scanner.ScanInto(t.Path("Data"), opened, nullptr), ScanStatus::Complete);
    ASSERT_EQ(scanner.ScanInto(t.Path("Data/sub"), edited, nullptr), ScanStatus::Complete);
    fields.m_strStartDir = "/elsewhere/data";
    fields.m_eUnits = Units::Bytes;
    fields.m_eFiles = Files::Hidden;
    EXPECT_EQ(command.ReplaceKept(std::move(edited), fields), ScanOutcome::Busy);  // nothing kept
    EXPECT_FALSE(kept.IsValid());
    EXPECT_EQ(command.Adopt(std::move(opened), fields, ScanOrigin::Opened("saved.json", 1234)),
              ScanOutcome::Redrawn);
    EXPECT_TRUE(kept.IsOpened());
    EXPECT_EQ(kept.Root(), "/elsewhere/data");
    EXPECT_EQ(tree.Outline(), t.Path("Data") + " [        15 bytes]\n  sub [         5 bytes]\n");

    EXPECT_EQ(Press("/elsewhere/data/"), ScanOutcome::Redrawn);  // Files shown now
    EXPECT_NE(tree.Outline().find("  a.txt [        10 bytes]\n"), std::string::npos);
    EXPECT_TRUE(source.Scanned().empty());
    EXPECT_TRUE(messages.shown.empty());

    // F5 looks at the disk, where the path does not exist: the kept scan stays.
    EXPECT_EQ(Press("/elsewhere/data", true), ScanOutcome::Rejected);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(kept.IsOpened());

    // An edited list keeps the root and where the scan came from.
    EXPECT_EQ(command.ReplaceKept(std::move(edited), fields), ScanOutcome::Redrawn);
    EXPECT_EQ(tree.Outline(),
              t.Path("Data/sub") + " [         5 bytes]\n  b.txt [         5 bytes]\n");
    EXPECT_EQ(kept.Root(), "/elsewhere/data");
    EXPECT_TRUE(kept.IsOpened());
    EXPECT_EQ(kept.Origin().strFile, "saved.json");
    EXPECT_EQ(kept.Origin().made, 1234);

    // A real scan replaces it; then no scan is taken in while one runs.
    EXPECT_EQ(Press(t.Path("Other")), ScanOutcome::Started);
    EXPECT_FALSE(kept.IsOpened());
    CScanList another;
    ASSERT_EQ(scanner.ScanInto(t.Path("Data"), another, nullptr), ScanStatus::Complete);
    EXPECT_EQ(command.Adopt(std::move(another), fields, ScanOrigin::Opened("saved.json", {})),
              ScanOutcome::Busy);
    EXPECT_EQ(Complete(), ScanOutcome::Scanned);
    EXPECT_EQ(kept.Root(), t.Path("Other"));
}

TEST_F(LiveCommand, StopEmptiesTheTreeAndForgetsThePath) {
    const std::string data = t.Path("Data");
    Press(data);
    ASSERT_EQ(Complete(), ScanOutcome::Scanned);

    EXPECT_EQ(Press(t.Path("Other")), ScanOutcome::Started);
    ASSERT_TRUE(source.WaitUntilWaiting());
    EXPECT_TRUE(command.Stop());
    EXPECT_FALSE(command.IsScanning());
    EXPECT_FALSE(cursor.active);
    EXPECT_EQ(tree.Count(), 0u);
    EXPECT_FALSE(kept.IsValid());
    EXPECT_TRUE(kept.List().Empty());
    EXPECT_FALSE(command.Stop());  // nothing left to stop
    ASSERT_TRUE(notify.WaitFor(2));
    EXPECT_EQ(command.Finish(), ScanOutcome::Stopped);  // the stopped scan's notice
    EXPECT_EQ(command.Finish(), std::nullopt);

    // The path scanned before the stop is scanned afresh, not redrawn. Its
    // scan's notice overtakes nothing: a stale notice finds it running.
    EXPECT_EQ(Press(data), ScanOutcome::Started);
    EXPECT_EQ(command.Finish(), std::nullopt);
    EXPECT_EQ(Complete(), ScanOutcome::Scanned);
    EXPECT_EQ(source.Scanned().size(), 3u);
    EXPECT_EQ(kept.Root(), data);
    EXPECT_TRUE(messages.shown.empty());
}

// Memory running out in the worker is reported on Finish, on this thread;
// the previous path is then scanned again rather than drawn from what is left.
TEST_F(LiveCommand, OutOfMemoryInTheWorkerIsReportedOnFinishAndForgetsTheScan) {
    const std::string data = t.Path("Data");
    Press(data);
    ASSERT_EQ(Complete(), ScanOutcome::Scanned);
    source.FailNext();
    EXPECT_EQ(Press(t.Path("Other")), ScanOutcome::Started);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(Complete(), ScanOutcome::OutOfMemory);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Out of memory.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(tree.Count(), 0u);  // no item may outlive the entries it showed
    EXPECT_FALSE(kept.IsValid());
    EXPECT_FALSE(cursor.active);

    EXPECT_EQ(Press(data), ScanOutcome::Started);
    EXPECT_EQ(Complete(), ScanOutcome::Scanned);
    EXPECT_EQ(source.Scanned().size(), 3u);
    EXPECT_EQ(tree.Count(), 4u);
    EXPECT_EQ(kept.Root(), data);
}

// A directory measured before a removal: read on the worker into a list of
// its own while the tree and the kept scan stay; Stop drops it, and so does
// a press, which runs once the worker has returned.
TEST_F(LiveCommand, AMeasureLeavesTheKeptScanAndGivesWayToStopAndPresses) {
    const std::string data = t.Path("Data");
    Press(data);
    ASSERT_EQ(Complete(), ScanOutcome::Scanned);
    const std::string shown = tree.Outline();
    t.File("Data/sub/new", 7);

    ASSERT_EQ(command.Measure(t.Path("Data/sub"), fields), ScanOutcome::Started);
    EXPECT_TRUE(command.IsMeasuring() && command.IsScanning() && cursor.active);
    EXPECT_EQ(command.Measure(t.Path("Data/sub"), fields), ScanOutcome::Busy);
    ASSERT_TRUE(source.WaitUntilWaiting());
    EXPECT_EQ(command.ScanPath(), t.Path("Data/sub"));
    EXPECT_EQ(tree.Outline(), shown);
    EXPECT_EQ(Complete(), ScanOutcome::Measured);
    EXPECT_FALSE(command.IsMeasuring() || command.IsScanning() || cursor.active);
    const CScanList measured = command.TakeMeasured();
    ASSERT_EQ(measured.Count(), 3u);
    EXPECT_EQ(measured[0].GetShownSize(SizeMode::Apparent), 12u);
    EXPECT_EQ(tree.Outline(), shown);
    EXPECT_EQ(kept.List().Count(), 4u);
    EXPECT_EQ(kept.Root(), data);

    // Cancel: dropped at once, the kept scan and the tree as they were.
    ASSERT_EQ(command.Measure(t.Path("Data/sub"), fields), ScanOutcome::Started);
    ASSERT_TRUE(source.WaitUntilWaiting());
    const int notices = notify.Count();
    EXPECT_TRUE(command.Stop());
    EXPECT_FALSE(command.IsMeasuring() || cursor.active);
    ASSERT_TRUE(notify.WaitFor(notices + 1));
    EXPECT_EQ(command.Finish(), ScanOutcome::MeasureStopped);
    EXPECT_EQ(tree.Outline(), shown);
    EXPECT_EQ(kept.Root(), data);

    // A press: the measure goes, the scan waits for its worker, then runs.
    ASSERT_EQ(command.Measure(t.Path("Data/sub"), fields), ScanOutcome::Started);
    ASSERT_TRUE(source.WaitUntilWaiting());
    EXPECT_EQ(Press(data, true), ScanOutcome::Queued);
    EXPECT_FALSE(command.IsMeasuring());
    const int before = notify.Count();
    ASSERT_TRUE(notify.WaitFor(before + 1));
    EXPECT_EQ(command.Finish(), ScanOutcome::Started);
    EXPECT_EQ(Complete(), ScanOutcome::Scanned);
    EXPECT_NE(tree.Outline().find("new"), std::string::npos);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LiveCommand, DestroyingDuringAScanStopsAndJoins) {
    {
        CLiveScanCommand other(source, kept, tree, messages, cursor, notify);
        ScanFields f{t.Root(), Units::MB, Files::Hidden};
        ASSERT_EQ(other.Start(f), ScanOutcome::Started);
        ASSERT_TRUE(source.WaitUntilWaiting());
        cursor.End();  // the dialog's business once it goes away
    }
    // The worker ended before the command did; no notice reaches a window
    // that has gone.
    EXPECT_EQ(notify.Count(), 0);
    EXPECT_FALSE(kept.IsValid());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(CLiveScanCommand::AbandonedWorkers());
}

// A worker blocked in the system (a hung network mount) never holds up the
// window: Cancel answers at once, an OK meanwhile waits for the worker and
// runs when it returns, and going away leaves the worker behind.
TEST_F(LiveCommand, AStopNeverWaitsForABlockedWorker) {
    const std::string data = t.Path("Data");
    source.HoldThroughStop(true);
    EXPECT_EQ(Press(t.Path("Other")), ScanOutcome::Started);
    ASSERT_TRUE(source.WaitUntilWaiting());
    EXPECT_TRUE(command.Stop());  // returns although the worker does not
    EXPECT_FALSE(command.IsScanning());
    EXPECT_TRUE(command.IsStopping());
    EXPECT_FALSE(cursor.active);
    EXPECT_EQ(command.Finish(), std::nullopt);

    EXPECT_EQ(Press(data), ScanOutcome::Queued);
    EXPECT_EQ(Press(t.Path("missing")), ScanOutcome::Rejected);  // checked at once
    EXPECT_EQ(source.Scanned().size(), 1u);
    const int before = notify.Count();
    source.HoldThroughStop(false);
    ASSERT_TRUE(notify.WaitFor(before + 1));
    EXPECT_EQ(command.Finish(), ScanOutcome::Started);  // the press that waited
    EXPECT_FALSE(command.IsStopping());
    EXPECT_EQ(Complete(), ScanOutcome::Scanned);
    EXPECT_EQ(kept.Root(), data);

    source.HoldThroughStop(true);
    {
        CLiveScanCommand other(source, kept, tree, messages, cursor, notify);
        ScanFields f{t.Root(), Units::MB, Files::Hidden};
        ASSERT_EQ(other.Rescan(f), ScanOutcome::Started);
        ASSERT_TRUE(source.WaitUntilWaiting());
        cursor.End();
    }  // does not wait for the worker
    EXPECT_TRUE(CLiveScanCommand::AbandonedWorkers());
    source.HoldThroughStop(false);
    EXPECT_TRUE(source.WaitUntilIdle());  // the worker is done with the source
}

}  // namespace
}  // namespace sizewalk
