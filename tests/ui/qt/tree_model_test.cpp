// The tree model and its collation: structure against the command's fill,
// sorted children, and how name bytes are shown.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLocale>
#include <QPixmap>
#include <QStyle>
#include <QTest>

#include <string>
#include <vector>

#include "core/scan_command.h"
#include "scan/scan_file_list.h"
#include "tests/temp_tree.h"
#include "ui/qt/display_text.h"
#include "ui/qt/name_collator.h"
#include "ui/qt/tree_model.h"

using namespace sizewalk;

namespace {

QStringList ChildLabels(const QAbstractItemModel& m, const QModelIndex& parent) {
    QStringList out;
    for (int r = 0; r < m.rowCount(parent); ++r) out << m.index(r, 0, parent).data().toString();
    return out;
}

std::vector<std::string> SortedBytes(const CNameCollator& c, std::vector<std::string> labels) {
    std::vector<std::uint32_t> ids(labels.size());
    for (std::uint32_t i = 0; i < ids.size(); ++i) ids[i] = i;
    c.Sort(ids, [&](std::uint32_t id) { return std::string_view(labels[id]); });
    std::vector<std::string> out;
    for (auto id : ids) out.push_back(labels[id]);
    return out;
}

}  // namespace

class TreeModelTest : public QObject {
    Q_OBJECT
private slots:
    void collation_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany);
    }
    void collation() {
        QFETCH(QLocale, locale);
        const CNameCollator c(locale);
        // Digit runs compare as numbers, case is ignored, and labels that
        // still tie are ordered by their bytes whatever the input order.
        const std::vector<std::string> expected = {"a",      "B",      "c10",     "file1", "file2",
                                                   "file10", "File11", "file100", "Zeta"};
        std::vector<std::string> input(expected.rbegin(), expected.rend());
        QCOMPARE(SortedBytes(c, input), expected);

        const std::vector<std::string> ties = {"README", "ReadMe", "readme"};
        QCOMPARE(SortedBytes(c, {"readme", "README", "ReadMe"}), ties);
        QCOMPARE(SortedBytes(c, {"ReadMe", "readme", "README"}), ties);
        QVERIFY(c.Compare("x", "x") == 0);
        QVERIFY(c.Compare("file02", "file2") != 0);  // numerically equal, still ordered
        QCOMPARE(c.Compare("file02", "file2") < 0, c.Compare("file2", "file02") > 0);
        // Invalid bytes sort without trouble and keep a fixed place.
        const auto bad = SortedBytes(c, {"\xff", "b", "\xfe", "a"});
        QCOMPARE(bad, SortedBytes(c, {"a", "\xfe", "b", "\xff"}));
    }

    void displayText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QByteArray("docs [  1.00MB]")
                               << QStringLiteral("docs [  1.00MB]");
        QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9") << QStringLiteral("caf\u00e9");
        QTest::newRow("invalid byte") << QByteArray("caf\xe9 x") << QStringLiteral("caf\ufffd x");
        QTest::newRow("lone continuation") << QByteArray("\x80") << QStringLiteral("\ufffd");
        QTest::newRow("newline") << QByteArray("new\nline") << QStringLiteral("new\ufffdline");
        QTest::newRow("tab and cr") << QByteArray("a\tb\rc") << QStringLiteral("a\ufffdb\ufffdc");
        QTest::newRow("escape and del") << QByteArray("\x1b\x7f") << QStringLiteral("\ufffd\ufffd");
        QTest::newRow("C1 control") << QByteArray("a\xc2\x85") << QStringLiteral("a\ufffd");
        QTest::newRow("line separator") << QByteArray("a\xe2\x80\xa8") << QStringLiteral("a\ufffd");
        // Direction overrides, embeddings and isolates in a name would reorder
        // the size after it ("x" + U+202E showed "x ]BM10.0  [").
        QTest::newRow("right-to-left override")
            << QByteArray("x\xe2\x80\xae [  0.01MB]") << QStringLiteral("x\ufffd [  0.01MB]");
        QTest::newRow("embeddings and pop")
            << QByteArray("\xe2\x80\xaa\xe2\x80\xab\xe2\x80\xac\xe2\x80\xad")
            << QStringLiteral("\ufffd\ufffd\ufffd\ufffd");
        QTest::newRow("isolates") << QByteArray("\xe2\x81\xa6\xe2\x81\xa7\xe2\x81\xa8\xe2\x81\xa9")
                                  << QStringLiteral("\ufffd\ufffd\ufffd\ufffd");
        QTest::newRow("right-to-left letters stay")
            << QByteArray("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d")
            << QStringLiteral("\u05e9\u05dc\u05d5\u05dd");
    }
    void displayText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(DisplayText(
                     std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))),
                 shown);
    }

    // The command's fill of a real tree into the model: one top-level item,
    // children sorted on every level, labels as formatted, and a structure
    // the view can walk (checked by Qt's own model tester).
    void fillFromRealTree() {
        sizewalk::test::TempTree t;
        t.Dir("Data");
        for (const char* f :
             {"Data/file10", "Data/file2", "Data/B", "Data/a", "Data/new\nline", "Data/\xff\xfe"})
            t.File(f, 1024);
        t.Dir("Data/sub");
        t.File("Data/sub/z", 5);
        t.File("Data/sub/Y", 6);

        CDirScanner scanner;
        scanner.Scan(t.Path("Data"));
        CTreeModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        FillTree(scanner.GetList(), Units::KB, Files::Shown, model);

        QCOMPARE(model.rowCount(), 1);
        const QModelIndex top = model.index(0, 0);
        QCOMPARE(top.data().toString(), QString::fromStdString(t.Path("Data") + " [    6.01KB]"));
        QCOMPARE(ChildLabels(model, top),
                 QStringList({"a [    1.00KB]", "B [    1.00KB]", "file2 [    1.00KB]",
                              "file10 [    1.00KB]", "new\ufffdline [    1.00KB]",
                              "sub [    0.01KB]", "\ufffd\ufffd [    1.00KB]"}));
        const QModelIndex sub = model.index(5, 0, top);
        QCOMPARE(ChildLabels(model, sub), QStringList({"Y [    0.01KB]", "z [    0.00KB]"}));
        QCOMPARE(model.parent(model.index(1, 0, sub)), sub);
        QCOMPARE(model.parent(sub), top);
        QCOMPARE(model.parent(top), QModelIndex());
        QCOMPARE(model.LabelOf(model.index(6, 0, top)), std::string("\xff\xfe [    1.00KB]"));
        QCOMPARE(model.ItemCount(), std::size_t{10});

        // Without files only directories remain; a redraw replaces everything.
        FillTree(scanner.GetList(), Units::Bytes, Files::Hidden, model);
        QCOMPARE(model.ItemCount(), std::size_t{2});
        QCOMPARE(ChildLabels(model, model.index(0, 0)), QStringList({"sub [        11 bytes]"}));
        QCOMPARE(model.rowCount(model.index(0, 0, model.index(0, 0))), 0);

        model.DeleteAllItems();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.ItemCount(), std::size_t{0});
        QVERIFY(!model.index(0, 0).isValid());
    }

    // Wide parents are sorted when first looked at and stay consistent
    // however they are reached.
    void wideDirectoryIsSortedOnFirstLook() {
        sizewalk::test::TempTree t;
        for (int i = 300; i > 0; --i) t.File(test::Numbered("f", i), static_cast<std::uint64_t>(i));
        CDirScanner scanner;
        scanner.Scan(t.Root());
        CTreeModel model;
        FillTree(scanner.GetList(), Units::Bytes, Files::Shown, model);
        const QModelIndex top = model.index(0, 0);
        QCOMPARE(model.rowCount(top), 300);
        for (int r = 0; r < 300; ++r) {
            const QModelIndex i = model.index(r, 0, top);
            QCOMPARE(QString::fromStdString(model.LabelOf(i)).section(' ', 0, 0),
                     QStringLiteral("f%1").arg(r + 1));
            QCOMPARE(i.row(), r);
            QCOMPARE(model.parent(i), top);
        }
        QVERIFY(model.MemoryBytes() <= 301 * 24 + 64);
    }

    // The order and the size on show switch in place: persistent indexes
    // follow their items, and the structure stays sound throughout.
    void switchingKeepsPersistentIndexes() {
        sizewalk::test::TempTree t;
        t.File("a", 1);
        t.File("b", 300);
        t.File("c", 20);
        t.Dir("s");
        t.File("s/x", 50);
        CDirScanner scanner;
        scanner.Scan(t.Root());
        CTreeModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        FillTree(scanner.GetList(), Units::Bytes, Files::Shown, model);
        const QModelIndex top = model.index(0, 0);
        const QPersistentModelIndex b = model.index(1, 0, top);
        const QPersistentModelIndex x = model.index(0, 0, model.index(3, 0, top));
        auto names = [&] {
            QStringList out;
            for (const QString& l : ChildLabels(model, top)) out << l.section(' ', 0, 0);
            return out;
        };
        QCOMPARE(names(), QStringList({"a", "b", "c", "s"}));

        model.SetSortOrder(SortOrder::Size);
        QCOMPARE(names(), QStringList({"b", "s", "c", "a"}));
        QCOMPARE(b.row(), 0);
        QCOMPARE(b.data().toString(), QStringLiteral("b [       300 bytes]"));
        QCOMPARE(x.parent().row(), 1);

        // On disk the sparse files take nothing; the directory its blocks.
        model.SetSizeMode(SizeMode::OnDisk);
        QCOMPARE(names(), QStringList({"s", "a", "b", "c"}));
        QCOMPARE(b.row(), 2);
        QCOMPARE(b.data().toString(), QStringLiteral("b [         0 bytes]"));
        QCOMPARE(x.parent().row(), 0);
        QCOMPARE(model.parent(x), QModelIndex(x.parent()));

        model.SetSortOrder(SortOrder::Name);
        QCOMPARE(names(), QStringList({"a", "b", "c", "s"}));
        model.SetSizeMode(SizeMode::Apparent);
        QCOMPARE(b.row(), 1);
        QCOMPARE(b.data().toString(), QStringLiteral("b [       300 bytes]"));
        QCOMPARE(x.data().toString(), QStringLiteral("x [        50 bytes]"));
    }

    // A directory that could not be read, and only it, stands out: the
    // warning colour and icon, its label and tip as before.
    void unreadableDirectoryStandsOut() {
        CMemorySource in(
            "[1,2,{\"progname\":\"x\"},[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":5},"
            "[{\"name\":\"locked\",\"read_error\":true}],[{\"name\":\"open\"}]]]");
        CScanList list;
        ReadScanList(in, list);
        QCOMPARE(list.UnreadableCount(), std::size_t{1});
        CTreeModel model;
        FillTree(list, Units::Bytes, Files::Shown, model);
        model.SetShowDetails(true);
        const QModelIndex top = model.index(0, 0);
        const QStringList labels = ChildLabels(model, top);
        QCOMPARE(labels.size(), 3);
        QVERIFY2(labels[1].startsWith("locked [") && labels[1].endsWith("] (could not be read)"),
                 qPrintable(labels[1]));
        const QModelIndex locked = model.index(1, 0, top);
        QCOMPARE(locked.data(Qt::ForegroundRole).value<QColor>(), CTreeModel::WarningColour());
        const QIcon icon = locked.data(Qt::DecorationRole).value<QIcon>();
        QVERIFY(!icon.isNull());
        QCOMPARE(
            icon.pixmap(16).toImage(),
            QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16).toImage());
        QVERIFY(locked.data(Qt::ToolTipRole).toString().contains("Could not be read"));
        for (const QModelIndex& plain :
             {top, model.index(0, 0, top), model.index(2, 0, top), model.index(1, 1, top)}) {
            QVERIFY(!plain.data(Qt::ForegroundRole).isValid());
            QVERIFY(!plain.data(Qt::DecorationRole).isValid());
        }
    }

    void emptyFillShowsNothing() {
        CDirScanner unscanned;
        CTreeModel model;
        FillTree(unscanned.GetList(), Units::MB, Files::Shown, model);
        QCOMPARE(model.rowCount(), 0);
        model.DeleteAllItems();
        model.DeleteAllItems();
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_MAIN(TreeModelTest)
#include "tree_model_test.moc"
