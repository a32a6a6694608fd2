// Allocation failure while the window handles an event: expanding a
// directory, a tooltip, switching the order or the size on show. Each press
// fails one allocation at every point in turn; the application reports
// "Out of memory." and the window goes on working. Its own executable,
// because it replaces the global operator new.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcutEvent>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "app/application.h"
#include "tests/temp_tree.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/tree_model.h"

namespace {
// Allocations left before the one that fails; -1: none fails.
std::atomic<long> g_failIn{-1};
std::atomic<bool> g_failed{false};
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t n) {
    ++g_allocations;
    for (long left = g_failIn.load(); left >= 0;) {
        if (g_failIn.compare_exchange_weak(left, left - 1)) {
            if (left == 0) {
                g_failed = true;
                throw std::bad_alloc();
            }
            break;
        }
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return ::operator new(n); }
// Who asks for memory without an exception checks for null: no failure here.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return std::malloc(n ? n : 1);
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

using namespace sizewalk;

class OutOfMemoryTest : public QObject {
    Q_OBJECT
private slots:
    void eventsThatFailLeaveTheWindowWorking();
};

void OutOfMemoryTest::eventsThatFailLeaveTheWindowWorking() {
    test::TempTree t;
    t.Dir("d");
    for (int i = 0; i < 6; ++i) {
        t.Dir(test::Numbered("d/sub", i));
        t.File(test::Numbered("d/sub", i) + "/f", static_cast<std::uint64_t>(i) * 1000);
        t.File(test::Numbered("d/file", i), static_cast<std::uint64_t>(6 - i) * 700);
        t.File(test::Numbered("d/same", i), 300);  // ties, ordered by name
    }
    auto* app = static_cast<CSizewalkApp*>(QCoreApplication::instance());
    CSizewalkDlg dlg;
    app->m_pMainWnd = &dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR))
        ->setText(QString::fromStdString(t.Path("d")));
    static_cast<QCheckBox*>(dlg.GetDlgItem(IDC_SHOW_FILES))->setChecked(true);
    static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_BYTES))->setChecked(true);
    QTest::mouseClick(static_cast<QPushButton*>(dlg.GetDlgItem(IDOK)), Qt::LeftButton);
    QTRY_VERIFY(!dlg.IsScanning());
    auto* tree = static_cast<QTreeView*>(dlg.GetDlgItem(IDC_TREE));
    const CTreeModel& model = dlg.GetTreeModel();
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex root = model.index(0, 0);
    QCOMPARE(model.rowCount(root), 18);

    // Every box the failures open: noted, then dismissed as a user would.
    int boxes = 0;
    QStringList wrong;
    QTimer dismiss;
    dismiss.setInterval(5);
    QObject::connect(&dismiss, &QTimer::timeout, &dismiss, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        ++boxes;
        if (box->text() != QStringLiteral("Out of memory.") ||
            box->windowTitle() != QCoreApplication::applicationName() ||
            box->icon() != QMessageBox::Warning || box->parentWidget() != &dlg)
            wrong << box->text();
        box->button(QMessageBox::Ok)->click();
    });
    dismiss.start();

    // Delivers `event` to `receiver` with the allocation `budget` allocations
    // on failing; true when that failure came.
    auto failingSend = [](QObject* receiver, QEvent* event, long budget) {
        g_failed = false;
        g_failIn = budget;
        QCoreApplication::sendEvent(receiver, event);
        g_failIn = -1;
        return g_failed.load();
    };
    // Runs one press at every failure point until it needs no more memory
    // than it is given; returns how many presses failed.
    auto everyFailurePoint = [&](const char* what, const std::function<void()>& reset,
                                 const std::function<bool(long)>& press, long points = 20000) {
        // Once in full, as a user would have before memory ran short: Qt's
        // own first-use objects (the key map) cannot survive a failure in
        // their construction.
        reset();
        press(-1);
        QApplication::processEvents();
        int failures = 0;
        for (long budget = 0; budget < points; ++budget) {
            reset();
            const int before = boxes;
            const bool failed = press(budget);
            QApplication::processEvents();
            if (!failed) break;
            ++failures;
            if (boxes != before + 1 || !dlg.isVisible())
                wrong << QStringLiteral("%1 at %2").arg(QLatin1String(what)).arg(budget);
        }
        return failures;
    };

    // Expanding the start item sorts its children for the first time.
    const int expand = everyFailurePoint(
        "expand",
        [&] {
            tree->collapseAll();
            dlg.GetAction(TreeAction::SortBySize)->trigger();
            dlg.GetAction(TreeAction::SortByName)->trigger();
            tree->setCurrentIndex(model.index(0, 0));
        },
        [&](long budget) {
            QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
            return failingSend(tree, &right, budget);
        });
    QVERIFY(expand > 0);

    // The tooltip of an item: its details.
    tree->expand(model.index(0, 0));
    QApplication::processEvents();
    const QModelIndex first = model.index(0, 0, model.index(0, 0));
    const QPoint at = tree->visualRect(first).center();
    const QPoint next = tree->visualRect(model.index(1, 0, model.index(0, 0))).center();
    // Failures up to the making of the tip's text, which comes before Qt
    // shows it: Qt's tooltip window itself survives no failure inside it.
    const long before = g_allocations;
    model.data(first, Qt::ToolTipRole);
    const long detailPoints = g_allocations - before;
    QVERIFY(detailPoints > 0);
    const int tip = everyFailurePoint(
        "tooltip", [] {},
        [&](long budget) {
            const QPoint p = budget % 2 ? next : at;
            QHelpEvent help(QEvent::ToolTip, p, tree->viewport()->mapToGlobal(p));
            return failingSend(tree->viewport(), &help, budget);
        },
        detailPoints);
    QVERIFY(tip > 0);

    // The order and the size on show, switched by their keys.
    // Both re-sort: by size from by name, and the size on show while by size.
    for (TreeAction action : {TreeAction::SortBySize, TreeAction::SizeOnDisk}) {
        QAction* a = dlg.GetAction(action);
        const int switches = everyFailurePoint(
            "switch",
            [&] {
                dlg.GetAction(action == TreeAction::SortBySize ? TreeAction::SortByName
                                                               : TreeAction::SortBySize)
                    ->trigger();
                if (dlg.GetAction(TreeAction::SizeOnDisk)->isChecked())
                    dlg.GetAction(TreeAction::SizeOnDisk)->trigger();
            },
            [&](long budget) {
                QShortcutEvent key(a->shortcut(), 0);
                return failingSend(a, &key, budget);
            });
        QVERIFY(switches > 0);
    }
    dismiss.stop();
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('|'))));

    // And the window still shows the scan as it should.
    dlg.GetAction(TreeAction::SortByName)->trigger();
    if (dlg.GetAction(TreeAction::SizeOnDisk)->isChecked())
        dlg.GetAction(TreeAction::SizeOnDisk)->trigger();
    QCOMPARE(model.rowCount(model.index(0, 0)), 18);
    QCOMPARE(model.index(0, 0, model.index(0, 0)).data().toString(),
             QStringLiteral("file0 [      4200 bytes]"));
    dlg.GetAction(TreeAction::SortBySize)->trigger();
    QCOMPARE(model.index(0, 0, model.index(0, 0)).data().toString(),
             QStringLiteral("sub5 [      5000 bytes]"));
    app->m_pMainWnd = nullptr;
}

int main(int argc, char** argv) {
    CSizewalkApp app(argc, argv);
    OutOfMemoryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "out_of_memory_test.moc"
