// The list's model over a table of a real scanned tree: the cells are the
// table's texts, the size cell right-aligned with the exact bytes as its
// tip, and the headers the table's.

#include <QAbstractItemModelTester>
#include <QTest>

#include "model/largest_files.h"
#include "model/row_table.h"
#include "scan/dir_scanner.h"
#include "tests/temp_tree.h"
#include "ui/qt/row_table_model.h"

using namespace sizewalk;
using sizewalk::test::TempTree;

class RowTableModelTest : public QObject {
    Q_OBJECT
private slots:
    void cellsTipsAndHeadersOfARealTree() {
        TempTree t;
        t.Dir("Data");
        t.Dir("Data/sub");
        t.File("Data/big", 3'000'000);
        t.File("Data/sub/mid", 1'234'567);
        t.File("Data/small", 10);
        CDirScanner scanner;
        scanner.Scan(t.Path("Data"));
        const CScanList& list = scanner.GetList();
        CRowTable table(list, LargestFiles(list, 0, SizeMode::Apparent), SizeMode::Apparent, ".");

        CRowTableModel model(".");
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        model.SetTable(&table);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.rowCount(model.index(0, 0)), 0);  // flat

        QStringList headers;
        for (int c = 0; c < 4; ++c) headers << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"Name", "Folder", "Size", "Last Modified"}));
        // A first click puts the largest and the newest first.
        QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::InitialSortOrderRole).toInt(),
                 int(Qt::DescendingOrder));
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::InitialSortOrderRole).toInt(),
                 int(Qt::AscendingOrder));

        auto cell = [&](int row, int column, int role = Qt::DisplayRole) {
            return model.index(row, column).data(role);
        };
        QCOMPARE(cell(2, 0).toString(), QStringLiteral("small"));
        QCOMPARE(cell(1, 1).toString(), QString::fromStdString(t.Path("Data/sub")));
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 4; ++column) {
                QCOMPARE(cell(row, column).toString(),
                         QString::fromStdString(table.Text(std::size_t(row), RowColumn(column))));
                QCOMPARE(cell(row, column, Qt::AccessibleTextRole), cell(row, column));
            }
        QVERIFY(!cell(0, 3).toString().isEmpty());  // a time the scan read

        // The exact size, digits grouped as the window groups them.
        QCOMPARE(cell(0, 2, Qt::ToolTipRole).toString(), QStringLiteral("3.000.000 bytes"));
        QCOMPARE(cell(2, 2, Qt::ToolTipRole).toString(), QStringLiteral("10 bytes"));
        QVERIFY(!cell(0, 0, Qt::ToolTipRole).isValid());
        QCOMPARE(
            cell(0, 2, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
            Qt::AlignRight);
        QVERIFY(!cell(0, 0, Qt::TextAlignmentRole).isValid());

        model.SetTable(nullptr);
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.index(0, 0).isValid());
    }
};

QTEST_MAIN(RowTableModelTest)
#include "row_table_model_test.moc"
