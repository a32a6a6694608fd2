// The lists in the tree's place, in the real window and its presenter over
// a real scanned tree: where they show, the keys and the view switch in
// them, and the rows they report as selected.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "model/file_kind.h"
#include "tests/core/blocking_source.h"
#include "tests/temp_tree.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/tree_model.h"

using namespace sizewalk;

namespace {

// The window, shown, over five files of distinct sizes, scanned; then
// Ctrl+L in the tree.
struct Fixture {
    test::TempTree t;
    test::BlockingSource source;
    CKeptScan kept;
    CSizewalkDlg dlg{source, kept};
    QRect treeRoom;  // where the tree was before the list

    Fixture() {
        t.Dir("Data");
        t.Dir("Data/sub");
        for (const auto& [name, size] :
             {std::pair{"a", 5000}, {"sub/b", 90000}, {"c", 300}, {"sub/d", 7000}, {"e", 40}})
            t.File(std::string("Data/") + name, size);
        dlg.show();
        if (!QTest::qWaitForWindowExposed(&dlg)) qFatal("dialog not exposed");
        static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR))
            ->setText(QString::fromStdString(t.Path("Data")));
        static_cast<QCheckBox*>(dlg.GetDlgItem(IDC_SHOW_FILES))->setChecked(true);
        QTest::mouseClick(static_cast<QPushButton*>(dlg.GetDlgItem(IDOK)), Qt::LeftButton);
        if (!source.WaitUntilWaiting()) qFatal("no scan");
        source.Release();
        if (!QTest::qWaitFor([&] { return !dlg.IsScanning(); }, 10000)) qFatal("scan hangs");
        if (!Switch()->isVisible() || Switch()->currentText() != QStringLiteral("Tree"))
            qFatal("the switch does not show the tree from the start");
        treeRoom = InWindow(Tree());
        Tree()->setFocus();
        QTest::keyClick(Tree(), Qt::Key_L, Qt::ControlModifier);
    }
    QTreeView* Tree() const { return static_cast<QTreeView*>(dlg.GetDlgItem(IDC_TREE)); }
    QTreeView* Rows() const { return static_cast<QTreeView*>(dlg.GetDlgItem(IDC_ROWS)); }
    QComboBox* Switch() const { return static_cast<QComboBox*>(dlg.GetDlgItem(IDC_VIEW)); }
    QRect InWindow(QWidget* w) const { return QRect(w->mapTo(&dlg, QPoint()), w->size()); }
    QString Name(int row) const { return Rows()->model()->index(row, 0).data().toString(); }
    std::string TreePath() const { return dlg.GetTreeModel().PathOf(Tree()->currentIndex()); }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) const {
        const QRect r = Rows()->visualRect(Rows()->model()->index(row, 0));
        QTest::mouseClick(Rows()->viewport(), Qt::LeftButton, modifiers, r.center());
    }
};

}  // namespace

class ListDialogTest : public QObject {
    Q_OBJECT
private slots:
    // Ctrl+L: the list and its title take exactly the tree's room, largest
    // first; a row chosen is chosen in the tree and copied by Ctrl+C; Escape brings the tree back
    // without closing the window; the switch, shown from then on, brings
    // the list again by keyboard; Enter opens a row in the tree rather than
    // pressing OK.
    void largestFilesInTheTreesPlace() {
        Fixture f;
        auto* title = static_cast<QLabel*>(f.dlg.GetDlgItem(IDC_ROWS_TITLE));
        QVERIFY(f.Rows()->isVisible() && !f.Tree()->isVisible());
        QCOMPARE(f.InWindow(title).united(f.InWindow(f.Rows())), f.treeRoom);
        QVERIFY(title->text().startsWith(QStringLiteral("Largest Files")));
        QCOMPARE(title->accessibleName(), title->text());
        QCOMPARE(f.Rows()->accessibleName(), QStringLiteral("Largest Files"));
        QCOMPARE(QApplication::focusWidget(), f.Rows());
        QStringList names;
        for (int row = 0; row < f.Rows()->model()->rowCount(); ++row) names << f.Name(row);
        QCOMPARE(names, QStringList({"b", "d", "a", "c", "e"}));

        // The switch: under the Treemap box, next to it for Tab, labelled.
        QWidget* box = f.dlg.findChild<QWidget*>(QStringLiteral("treemapBox"));
        QVERIFY(f.Switch()->isVisible());
        QVERIFY(f.InWindow(f.Switch()).top() > f.InWindow(box).bottom());
        QWidget* next = box->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
        QCOMPARE(next, f.Switch());
        QCOMPARE(f.Switch()->accessibleName(), QStringLiteral("View"));
        // At the window's smallest its longest entry shows whole, clear of
        // the tree's room and inside the window.
        QCOMPARE(f.dlg.size(), f.dlg.minimumSize());
        QVERIFY(f.Switch()->width() >= f.Switch()->sizeHint().width());
        QVERIFY(f.InWindow(f.Switch()).left() > f.treeRoom.right());
        QVERIFY(f.InWindow(f.Switch()).right() < f.dlg.width());
        QCOMPARE(f.Switch()->currentText(), QStringLiteral("Largest Files"));

        f.ClickRow(3);
        QCOMPARE(f.TreePath(), f.t.Path("Data/c"));
        QTest::keyClick(f.Rows(), Qt::Key_C, Qt::ControlModifier);  // the tree's keys act here too
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(f.t.Path("Data/c")));
        const std::size_t scans = f.source.Scanned().size();
        QTest::keyClick(f.Rows(), Qt::Key_Escape);
        QVERIFY(f.dlg.isVisible());
        QVERIFY(f.Tree()->isVisible() && !f.Rows()->isVisible());
        QCOMPARE(QApplication::focusWidget(), f.Tree());
        QCOMPARE(f.TreePath(), f.t.Path("Data/c"));
        QCOMPARE(f.Switch()->currentText(), QStringLiteral("Tree"));
        QVERIFY(f.dlg.View().SelectedRows().empty());

        f.Switch()->setFocus();
        QTest::keyClick(f.Switch(), Qt::Key_Down);
        QVERIFY(f.Rows()->isVisible());
        QCOMPARE(f.Rows()->currentIndex().row(), 3);  // the chosen row again
        QTest::keyClick(f.Rows(), Qt::Key_Up);
        QTest::keyClick(f.Rows(), Qt::Key_Return);
        QVERIFY(f.Tree()->isVisible());
        QCOMPARE(f.TreePath(), f.t.Path("Data/a"));
        QVERIFY(f.dlg.isVisible() && !f.dlg.IsScanning());
        QCOMPARE(f.source.Scanned().size(), scans);  // OK was not pressed
    }

    // F3: File Types in the tree's place, under its title; with the map,
    // the legend below it chooses a kind there, and Enter on a kind lists
    // its largest files.
    void fileTypesAndTheMapsLegend() {
        Fixture f;
        QTest::keyClick(f.Rows(), Qt::Key_Escape);
        QTest::keyClick(f.Tree(), Qt::Key_F3);
        auto* types = f.dlg.findChild<QTreeView*>(QStringLiteral("types"));
        QVERIFY(types && types->isVisible() && !f.Tree()->isVisible());
        QCOMPARE(f.Switch()->currentText(), QStringLiteral("File Types"));
        QCOMPARE(types->accessibleName(), QStringLiteral("File Types"));
        QCOMPARE(QApplication::focusWidget(), types);
        QCOMPARE(types->model()->rowCount(), 2);
        QCOMPARE(types->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("Other"));
        QCOMPARE(types->model()->index(1, 1).data().toString(), QStringLiteral("5"));

        auto* other = f.dlg.findChild<QWidget*>(
            QStringLiteral("legend%1").arg(static_cast<int>(FileKind::Other)));
        QVERIFY(other && !other->isVisible());
        QTest::keyClick(types, Qt::Key_F9);
        QVERIFY(other->isVisible());
        QCOMPARE(other->accessibleName(), QStringLiteral("Other"));
        types->setCurrentIndex(types->model()->index(1, 0));
        QTest::mouseClick(other, Qt::LeftButton);
        QCOMPARE(types->currentIndex().row(), 0);

        types->setFocus();
        QTest::keyClick(types, Qt::Key_Return);
        QVERIFY(f.Rows()->isVisible() && !types->isVisible());
        QCOMPARE(f.Rows()->model()->rowCount(), 5);
        auto* title = static_cast<QLabel*>(f.dlg.GetDlgItem(IDC_ROWS_TITLE));
        QVERIFY2(title->text().startsWith(QStringLiteral("Largest Files of Other in ")),
                 qPrintable(title->text()));
    }

    // Several rows: the current first, then the others in the list's order.
    // A header click sorts (through the presenter) and keeps the current row.
    void selectedRowsAndSorting() {
        Fixture f;
        auto item = [&](const char* rel) {
            return f.dlg.View().SelectedItem().pTree->Find(f.t.Path(rel));
        };
        f.ClickRow(0);
        f.ClickRow(3, Qt::ControlModifier);
        f.ClickRow(1, Qt::ControlModifier);
        QCOMPARE(
            f.dlg.View().SelectedRows(),
            std::vector<CScanTree::Item>({item("Data/sub/d"), item("Data/sub/b"), item("Data/c")}));

        QHeaderView* header = f.Rows()->header();
        const int name = int(RowColumn::Name);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(name) + 5, header->height() / 2));
        QCOMPARE(f.Name(0), QStringLiteral("a"));
        QCOMPARE(header->sortIndicatorSection(), name);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(f.Rows()->currentIndex().row(), 3);
        QCOMPARE(f.dlg.View().SelectedRows().front(), item("Data/sub/d"));
    }
};

QTEST_MAIN(ListDialogTest)
#include "list_dialog_test.moc"
