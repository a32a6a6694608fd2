// The lists in the tree's place, in the real window over a real scanned
// tree: where they show, what the keys do in them, what they report as
// selected, and the view switch.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <optional>

#include "model/largest_files.h"
#include "model/row_table.h"
#include "tests/core/blocking_source.h"
#include "tests/temp_tree.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/tree_model.h"

using namespace sizewalk;
using sizewalk::test::BlockingSource;
using sizewalk::test::TempTree;

namespace {

// The window, shown, with a real tree scanned: five files of distinct sizes.
struct Fixture {
    TempTree t;
    BlockingSource source;
    CKeptScan kept;
    // Shown in the list; outlives the window, as the presenter's tables do.
    std::optional<CRowTable> table;
    CSizewalkDlg dlg{source, kept};

    Fixture() {
        t.Dir("Data");
        t.Dir("Data/sub");
        t.File("Data/a", 5000);
        t.File("Data/sub/b", 90000);
        t.File("Data/c", 300);
        t.File("Data/sub/d", 7000);
        t.File("Data/e", 40);
        dlg.show();
        if (!QTest::qWaitForWindowExposed(&dlg)) qFatal("dialog not exposed");
        static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR))
            ->setText(QString::fromStdString(t.Path("Data")));
        static_cast<QCheckBox*>(dlg.GetDlgItem(IDC_SHOW_FILES))->setChecked(true);
        QTest::mouseClick(static_cast<QPushButton*>(dlg.GetDlgItem(IDOK)), Qt::LeftButton);
        if (!source.WaitUntilWaiting()) qFatal("no scan");
        source.Release();
        if (!QTest::qWaitFor([&] { return !dlg.IsScanning(); }, 10000)) qFatal("scan hangs");
    }
    QTreeView* Tree() const { return static_cast<QTreeView*>(dlg.GetDlgItem(IDC_TREE)); }
    QTreeView* Rows() const { return static_cast<QTreeView*>(dlg.GetDlgItem(IDC_ROWS)); }
    QComboBox* Switch() const { return static_cast<QComboBox*>(dlg.GetDlgItem(IDC_VIEW)); }
    // The largest files of the scan, as the list's table.
    CRowTable& Largest() {
        return table.emplace(kept.List(), LargestFiles(kept.List(), 0, SizeMode::Apparent),
                             SizeMode::Apparent);
    }
    QRect InWindow(QWidget* w) const { return QRect(w->mapTo(&dlg, QPoint()), w->size()); }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) const {
        const QRect r = Rows()->visualRect(Rows()->model()->index(row, 0));
        QTest::mouseClick(Rows()->viewport(), Qt::LeftButton, modifiers, r.center());
    }
};

}  // namespace

class ListDialogTest : public QObject {
    Q_OBJECT
private slots:
    // The list and its title take exactly the tree's room, the switch shows
    // from then on, and the tree comes back with the keyboard focus.
    void listTakesTheTreesPlaceAndGivesItBack() {
        Fixture f;
        auto* title = static_cast<QLabel*>(f.dlg.GetDlgItem(IDC_ROWS_TITLE));
        QVERIFY(f.Switch()->isHidden());
        QVERIFY(f.dlg.View().SelectedRows().empty());
        const QRect treeRoom = f.InWindow(f.Tree());

        const CRowTable& table = f.Largest();
        f.dlg.View().ShowArea(AreaView::LargestFiles, &table, "Largest files in Data");
        QVERIFY(f.Rows()->isVisible() && title->isVisible());
        QVERIFY(!f.Tree()->isVisible());
        QCOMPARE(title->text(), QStringLiteral("Largest files in Data"));
        QCOMPARE(title->accessibleName(), title->text());
        QCOMPARE(f.Rows()->accessibleName(), QStringLiteral("Largest Files"));
        QCOMPARE(f.Rows()->objectName(), QStringLiteral("control%1").arg(IDC_ROWS));
        const QRect listRoom = f.InWindow(title).united(f.InWindow(f.Rows()));
        QCOMPARE(listRoom, treeRoom);
        QCOMPARE(f.Rows()->model()->rowCount(), 5);
        QCOMPARE(f.Rows()->model()->index(0, 0).data().toString(), QStringLiteral("b"));
        QCOMPARE(f.Rows()->header()->sortIndicatorSection(), int(RowColumn::Size));
        QCOMPARE(f.Rows()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(QApplication::focusWidget(), f.Rows());
        QVERIFY(f.Switch()->isVisible());
        QCOMPARE(f.Switch()->currentText(), QStringLiteral("Largest Files"));

        // Below the Treemap box, next in the focus chain, labelled.
        QWidget* box = f.dlg.findChild<QWidget*>(QStringLiteral("treemapBox"));
        QVERIFY(f.InWindow(f.Switch()).top() > f.InWindow(box).bottom());
        QCOMPARE(f.Switch()->accessibleName(), QStringLiteral("View"));
        QWidget* next = box->nextInFocusChain();
        while (next && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
        QCOMPARE(next, f.Switch());
        QStringList entries;
        for (int i = 0; i < f.Switch()->count(); ++i) entries << f.Switch()->itemText(i);
        QCOMPARE(entries, QStringList({"Tree", "Largest Files", "Find Results"}));

        f.dlg.View().ShowArea(AreaView::Tree, nullptr, {});
        QVERIFY(f.Tree()->isVisible());
        QVERIFY(!f.Rows()->isVisible());
        QCOMPARE(f.InWindow(f.Tree()), treeRoom);
        QCOMPARE(QApplication::focusWidget(), f.Tree());
        QVERIFY(f.Switch()->isVisible());  // stays once shown
        QCOMPARE(f.Switch()->currentText(), QStringLiteral("Tree"));
        QVERIFY(f.dlg.View().SelectedRows().empty());
    }

    // Several rows: the current first, then the others in the list's
    // order; kept when the same table comes re-sorted; set from the
    // presenter to one row or none.
    void selectedRowsCurrentFirst() {
        Fixture f;
        CRowTable& table = f.Largest();
        CMainView& view = f.dlg.View();
        view.ShowArea(AreaView::LargestFiles, &table, "Largest");
        f.ClickRow(0);
        f.ClickRow(3, Qt::ControlModifier);
        f.ClickRow(1, Qt::ControlModifier);
        const std::vector<CScanTree::Item> chosen = {table.ItemAt(1), table.ItemAt(0),
                                                     table.ItemAt(3)};
        QCOMPARE(view.SelectedRows(), chosen);

        table.Sort(RowColumn::Name, true);  // a, b, c, d, e
        view.ShowArea(AreaView::LargestFiles, &table, "Largest");
        QCOMPARE(f.Rows()->header()->sortIndicatorSection(), int(RowColumn::Name));
        QCOMPARE(f.Rows()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        std::vector<CScanTree::Item> kept = view.SelectedRows();
        QCOMPARE(kept.front(), chosen.front());
        std::sort(kept.begin(), kept.end());
        std::vector<CScanTree::Item> sorted = chosen;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(kept, sorted);

        view.ShowSelection(SelectionView::List, table.ItemAt(4));
        QCOMPARE(view.SelectedRows(), std::vector<CScanTree::Item>{table.ItemAt(4)});
        QCOMPARE(f.Rows()->currentIndex().row(), 4);
        view.ShowSelection(SelectionView::List, 0);  // the start directory: not a row
        QVERIFY(view.SelectedRows().empty());
    }

    // End to end with the presenter: Ctrl+L lists the largest file first, a
    // row chosen is chosen in the tree, Escape brings the tree back without
    // closing the window, the switch brings the list again by keyboard, and
    // Enter on a row opens it in the tree rather than pressing OK.
    void largestFilesFromTheKeyboard() {
        Fixture f;
        auto treePath = [&] { return f.dlg.GetTreeModel().PathOf(f.Tree()->currentIndex()); };
        f.Tree()->setFocus();
        QTest::keyClick(f.Tree(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(f.Rows()->isVisible());
        QCOMPARE(QApplication::focusWidget(), f.Rows());
        QCOMPARE(f.Switch()->currentText(), QStringLiteral("Largest Files"));
        QStringList names;
        for (int row = 0; row < f.Rows()->model()->rowCount(); ++row)
            names << f.Rows()->model()->index(row, 0).data().toString();
        QCOMPARE(names, QStringList({"b", "d", "a", "c", "e"}));

        f.ClickRow(3);
        QCOMPARE(treePath(), f.t.Path("Data/c"));
        QCOMPARE(f.dlg.View().SelectedRows().size(), std::size_t(1));

        const std::size_t scans = f.source.Scanned().size();
        QTest::keyClick(f.Rows(), Qt::Key_Escape);
        QVERIFY(f.dlg.isVisible());
        QVERIFY(f.Tree()->isVisible() && !f.Rows()->isVisible());
        QCOMPARE(QApplication::focusWidget(), f.Tree());
        QCOMPARE(treePath(), f.t.Path("Data/c"));
        QCOMPARE(f.Switch()->currentText(), QStringLiteral("Tree"));

        f.Switch()->setFocus();
        QTest::keyClick(f.Switch(), Qt::Key_Down);
        QVERIFY(f.Rows()->isVisible());
        QCOMPARE(f.Switch()->currentText(), QStringLiteral("Largest Files"));
        QCOMPARE(f.Rows()->currentIndex().row(), 3);  // the chosen row again

        QTest::keyClick(f.Rows(), Qt::Key_Up);
        QTest::keyClick(f.Rows(), Qt::Key_Return);
        QVERIFY(f.Tree()->isVisible());
        QCOMPARE(treePath(), f.t.Path("Data/a"));
        QVERIFY(f.dlg.isVisible() && !f.dlg.IsScanning());
        QCOMPARE(f.source.Scanned().size(), scans);  // OK was not pressed
    }
};

QTEST_MAIN(ListDialogTest)
#include "list_dialog_test.moc"
