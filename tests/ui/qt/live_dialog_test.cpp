// The Qt dialog's widgets wired to the presenter (whose behaviour
// main_presenter_test.cpp holds), with a scanner stand-in that holds each
// scan until the test lets it through: a real click, key or close reaches
// it, and what it tells the window shows in the widgets. Also what is the
// dialog's own: the layout, the elided progress, the menu and the tooltips.

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "model/detail_columns.h"
#include "tests/core/blocking_source.h"
#include "tests/temp_tree.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/share_bar_delegate.h"
#include "ui/qt/tree_model.h"
#include "ui/qt/treemap_view.h"

using namespace sizewalk;
using sizewalk::test::BlockingSource;
using sizewalk::test::TempTree;

namespace {

QStringList ChildLabels(const QAbstractItemModel& m, const QModelIndex& parent) {
    QStringList out;
    for (int r = 0; r < m.rowCount(parent); ++r) out << m.index(r, 0, parent).data().toString();
    return out;
}

QModelIndex ChildNamed(const QAbstractItemModel& m, const QModelIndex& parent,
                       const QString& name) {
    for (int r = 0; r < m.rowCount(parent); ++r) {
        const QModelIndex i = m.index(r, 0, parent);
        if (i.data().toString().section(QLatin1Char(' '), 0, 0) == name) return i;
    }
    return {};
}

// A file with `size` bytes written, so that it has blocks on disk.
void Written(const TempTree& t, const std::string& rel, std::size_t size) {
    const int fd = ::open(t.Path(rel).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    const std::string bytes(size, 'x');
    QCOMPARE(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(size));
    ::close(fd);
}

// Takes file URLs the dialog would hand to the file manager.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// One dialog over a stand-in scanner, shown.
struct Fixture {
    BlockingSource source;
    CKeptScan kept;
    CSizewalkDlg dlg{source, kept};

    Fixture() {
        dlg.show();
        if (!QTest::qWaitForWindowExposed(&dlg)) qFatal("dialog not exposed");
    }
    QTreeView* Tree() const { return static_cast<QTreeView*>(dlg.GetDlgItem(IDC_TREE)); }
    // Types the path and presses OK (F5 with `rescan`), with the unit and
    // file switch given.
    void Press(const std::string& path, Units units = Units::Bytes, bool files = true,
               bool rescan = false) {
        static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR))
            ->setText(QString::fromStdString(path));
        static_cast<QRadioButton*>(dlg.GetDlgItem(units == Units::MB   ? IDC_UNITS_MB
                                                  : units == Units::KB ? IDC_UNITS_KB
                                                                       : IDC_UNITS_BYTES))
            ->setChecked(true);
        static_cast<QCheckBox*>(dlg.GetDlgItem(IDC_SHOW_FILES))->setChecked(files);
        if (rescan)
            QTest::keyClick(&dlg, Qt::Key_F5);
        else
            QTest::mouseClick(static_cast<QPushButton*>(dlg.GetDlgItem(IDOK)), Qt::LeftButton);
    }
    // Presses OK and lets the scan through; true once the tree is filled.
    bool Scan(const std::string& path, Units units = Units::Bytes, bool files = true,
              bool rescan = false) {
        Press(path, units, files, rescan);
        if (!source.WaitUntilWaiting()) return false;
        source.Release();
        return QTest::qWaitFor([&] { return !dlg.IsScanning(); }, 10000);
    }
};

}  // namespace

class LiveDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QCoreApplication::setApplicationName(QStringLiteral("sizewalk-test"));
        // Digits are grouped as the locale does; these tests expect commas.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void aScanDisablesThePressAndShowsItsProgress() {
        TempTree t;
        t.Dir("d");
        Fixture f;
        QLabel* progress = f.dlg.GetProgressLabel();
        QVERIFY(!progress->isVisible());
        auto* ok = static_cast<QPushButton*>(f.dlg.GetDlgItem(IDOK));
        ok->setFocus();
        f.Press(t.Path("d"), Units::KB);
        QVERIFY(f.source.WaitUntilWaiting());
        QVERIFY(f.dlg.IsScanning());

        // The press's controls wait; Cancel and the tree do not, and the
        // tree holds the focus meanwhile.
        for (int id :
             {IDOK, IDC_START_DIR, IDC_UNITS_MB, IDC_UNITS_KB, IDC_UNITS_BYTES, IDC_SHOW_FILES})
            QVERIFY2(!f.dlg.GetDlgItem(id)->isEnabled(), qPrintable(QString::number(id)));
        QVERIFY(f.dlg.GetDlgItem(IDCANCEL)->isEnabled());
        QVERIFY(f.dlg.GetDlgItem(IDC_TREE)->isEnabled());
        QCOMPARE(QApplication::focusWidget(), f.dlg.GetDlgItem(IDC_TREE));
        QVERIFY(!f.dlg.GetAction(TreeAction::Rescan)->isEnabled());
        QCOMPARE(f.dlg.cursor().shape(), Qt::WaitCursor);
        QVERIFY(progress->isVisible());
        // The counts with the time so far, then the directory being read.
        auto withoutClock = [](QString text) {
            return text.remove(QRegularExpression(QStringLiteral(", \\d+:\\d\\d(?=\\n|,|$)")));
        };
        QCOMPARE(withoutClock(progress->text()),
                 QString::fromStdString("Scanning: 0 entries, 0.00KB\n" + t.Path("d")));

        // The event loop runs: a timer fires, and the ticks show the progress
        // with the locale's grouping.
        bool fired = false;
        QTimer::singleShot(10, &f.dlg, [&] { fired = true; });
        QTRY_VERIFY(fired);
        f.source.Report(1234, 3072, 8192, t.Path("d") + "/deeper");
        QTRY_COMPARE(
            withoutClock(progress->text()),
            QString::fromStdString("Scanning: 1,234 entries, 3.00KB\n" + t.Path("d") + "/deeper"));
        QCOMPARE(
            withoutClock(progress->accessibleName()),
            QString::fromStdString("Scanning: 1,234 entries, 3.00KB, " + t.Path("d") + "/deeper"));

        // A long directory is elided in the middle to the label's width.
        const std::string deep = t.Path("d") + "/" + std::string(300, 'x') + "/end";
        f.source.Report(1, 0, 0, deep);
        QTRY_VERIFY(progress->text().contains(QChar(0x2026)));
        QVERIFY(progress->text().endsWith(QStringLiteral("/end")));
        QVERIFY(progress->fontMetrics().horizontalAdvance(progress->text().section('\n', 1)) <=
                progress->contentsRect().width());
        QCOMPARE(
            withoutClock(progress->accessibleName()),
            QStringLiteral("Scanning: 1,235 entries, 3.00KB, ") + QString::fromStdString(deep));

        // The worker's notice arrives through the event loop.
        f.source.Release();
        QTRY_VERIFY(!f.dlg.IsScanning());
        QVERIFY(!progress->isVisible());
        QCOMPARE(f.dlg.cursor().shape(), Qt::ArrowCursor);
        for (int id :
             {IDOK, IDC_START_DIR, IDC_UNITS_MB, IDC_UNITS_KB, IDC_UNITS_BYTES, IDC_SHOW_FILES})
            QVERIFY(f.dlg.GetDlgItem(id)->isEnabled());
        QVERIFY(f.dlg.GetAction(TreeAction::Rescan)->isEnabled());
        QCOMPARE(QApplication::focusWidget(), ok);
        QCOMPARE(f.dlg.GetTreeModel().rowCount(), 1);
    }

    void cancelAndEscapeStopTheScan() {
        TempTree t;
        t.Dir("b");
        Fixture f;
        for (const bool escape : {false, true}) {
            f.Press(t.Path("b"));
            QVERIFY(f.source.WaitUntilWaiting());
            if (escape)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            else
                QTest::mouseClick(static_cast<QPushButton*>(f.dlg.GetDlgItem(IDCANCEL)),
                                  Qt::LeftButton);
            QVERIFY(!f.dlg.IsScanning());
            QVERIFY(f.dlg.isVisible());
            QCOMPARE(f.dlg.GetTreeModel().rowCount(), 0);
            // The band says so; the worker returns in its own time.
            QVERIFY(f.dlg.GetProgressLabel()->isVisible());
            QVERIFY(f.dlg.GetProgressLabel()->text().startsWith(QStringLiteral("Scan stopped")));
            QTRY_VERIFY(!f.dlg.IsStopping());
        }
        // With no scan running, Escape closes as before.
        QTest::keyClick(&f.dlg, Qt::Key_Escape);
        QVERIFY(!f.dlg.isVisible());
    }

    void closingDuringAScanEndsCleanly() {
        TempTree t;
        BlockingSource source;
        CKeptScan kept;
        {
            CSizewalkDlg dlg(source, kept);
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR))
                ->setText(QString::fromStdString(t.Root()));
            dlg.OnOK();
            QVERIFY(source.WaitUntilWaiting());
            QVERIFY(dlg.close());  // the close box
            QVERIFY(!dlg.isVisible());
            QVERIFY(!dlg.IsScanning());
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
        }
        {
            // Destroyed with a scan still running: stopped and joined.
            auto* dlg = new CSizewalkDlg(source, kept);
            static_cast<QLineEdit*>(dlg->GetDlgItem(IDC_START_DIR))
                ->setText(QString::fromStdString(t.Root()));
            dlg->OnOK();
            QVERIFY(source.WaitUntilWaiting());
            delete dlg;
        }
        QCoreApplication::processEvents();  // a late notice finds no dialog
        QCOMPARE(source.Scanned().size(), std::size_t{2});
    }

    void theTreeTakesTheExtraRoom() {
        Fixture f;
        const QSize base = f.dlg.size();
        QCOMPARE(f.dlg.minimumSize(), base);
        QWidget* tree = f.dlg.GetDlgItem(IDC_TREE);
        const QRect treeBefore = tree->geometry();
        const int editWidth = f.dlg.GetDlgItem(IDC_START_DIR)->width();
        auto gapToRight = [&](int id) {
            return f.dlg.width() - f.dlg.GetDlgItem(id)->geometry().right();
        };
        const int okGap = gapToRight(IDOK), filesGap = gapToRight(IDC_SHOW_FILES),
                  mbGap = gapToRight(IDC_UNITS_MB);
        const int filesTop = f.dlg.GetDlgItem(IDC_SHOW_FILES)->y();

        f.dlg.resize(base + QSize(300, 200));
        QTRY_COMPARE(f.dlg.size(), base + QSize(300, 200));
        QCOMPARE(tree->geometry(), treeBefore.adjusted(0, 0, 300, 200));
        QCOMPARE(f.dlg.GetDlgItem(IDC_START_DIR)->width(), editWidth + 300);
        QCOMPARE(gapToRight(IDOK), okGap);
        QCOMPARE(gapToRight(IDCANCEL), okGap);
        QCOMPARE(gapToRight(IDC_SHOW_FILES), filesGap);
        QCOMPARE(gapToRight(IDC_UNITS_MB), mbGap);
        QCOMPARE(f.dlg.GetDlgItem(IDC_SHOW_FILES)->y(), filesTop);
        const QRect treeInDialog(tree->mapTo(&f.dlg, QPoint()), tree->size());
        for (int id : {IDOK, IDCANCEL, IDC_START_DIR, IDC_SHOW_FILES, IDC_UNITS_BYTES, IDC_TREEMAP})
            QVERIFY(!f.dlg.GetDlgItem(id)->geometry().intersects(treeInDialog));

        // Never smaller than the template.
        f.dlg.resize(base - QSize(100, 100));
        QTRY_COMPARE(f.dlg.size(), base);
        QCOMPARE(tree->geometry(), treeBefore);
    }

    void copyPathAndOpenInFileManager() {
        TempTree t;
        t.Dir("d");
        t.Dir("d/sub");
        t.File("d/sub/file name", 3);
        Fixture f;
        QVERIFY(f.Scan(t.Path("d") + "/"));
        const CTreeModel& model = f.dlg.GetTreeModel();
        const QModelIndex sub = ChildNamed(model, model.index(0, 0), QStringLiteral("sub"));
        const QModelIndex file = model.index(0, 0, sub);
        QTreeView* tree = f.Tree();

        tree->setFocus();
        tree->setCurrentIndex(file);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString::fromStdString(t.Path("d/sub/file name")));

        // In the edit box, Ctrl+C copies its own text.
        auto* edit = static_cast<QLineEdit*>(f.dlg.GetDlgItem(IDC_START_DIR));
        edit->setText(QStringLiteral("typed"));
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("typed"));

        // The file manager gets the directory holding the file.
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        f.dlg.GetAction(TreeAction::OpenInFileManager)->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls,
                 QList<QUrl>({QUrl::fromLocalFile(QString::fromStdString(t.Path("d/sub")))}));
    }

    void contextMenuOnAnItem() {
        TempTree t;
        t.File("f", 1);
        Fixture f;
        QVERIFY(f.Scan(t.Root()));
        QTreeView* tree = f.Tree();
        QStringList seen;
        QTimer::singleShot(50, &f.dlg, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* a : menu->actions())
                    if (!a->isSeparator())
                        seen << a->text() + QLatin1Char('|') + a->shortcut().toString();
                menu->close();
            }
        });
        const QPoint at = tree->visualRect(f.dlg.GetTreeModel().index(0, 0)).center();
        emit tree->customContextMenuRequested(at);
        QCOMPARE(seen, QStringList({"&Copy Path|Ctrl+C", "&Open in File Manager|",
                                    "Sort by &Name|Ctrl+1", "Sort by &Size|Ctrl+2",
                                    "Size on &Disk|Ctrl+D", "Show &Treemap|F9", "Show D&etails|F8",
                                    "&Rescan|F5", "Open Ter&minal Here|", "Move to Tr&ash|Del",
                                    "Delete &Permanently|Shift+Del", "&Largest Files|Ctrl+L",
                                    "File &Types|F3", "Largest Files of this T&ype|",
                                    "&Find\u2026|Ctrl+F", "&Unreadable Folders|Ctrl+U",
                                    "Save Scan\u2026|Ctrl+S", "Open Scan\u2026|Ctrl+O"}));
        QCOMPARE(tree->currentIndex(), f.dlg.GetTreeModel().index(0, 0));
        // F5 is the only key of Rescan, whatever the desktop's key scheme.
        QCOMPARE(f.dlg.GetAction(TreeAction::Rescan)->shortcuts(),
                 QList<QKeySequence>({QKeySequence(Qt::Key_F5)}));
    }

    // The table's states reach the menu items, and a selection made in the
    // tree reaches the presenter, so that its items' actions (and keys) wake.
    void theItemsActionsFollowTheTreesSelection() {
        TempTree t;
        t.Dir("d");
        Fixture f;
        QAction* copy = f.dlg.GetAction(TreeAction::CopyPath);
        QVERIFY(!copy->isEnabled() && !f.dlg.GetAction(TreeAction::SaveScan)->isEnabled());
        QVERIFY(f.dlg.GetAction(TreeAction::OpenScan)->isEnabled());
        QVERIFY(f.Scan(t.Path("d")));
        QVERIFY(f.dlg.GetAction(TreeAction::SaveScan)->isEnabled());
        f.Tree()->setCurrentIndex(f.dlg.GetTreeModel().index(0, 0));
        QVERIFY(copy->isEnabled() && f.dlg.GetAction(TreeAction::MoveToTrash)->isEnabled());
        QGuiApplication::clipboard()->clear();
        f.Tree()->setFocus();
        QTest::keyClick(f.Tree(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(t.Path("d")));
        f.Tree()->setCurrentIndex(QModelIndex());
        QVERIFY(!copy->isEnabled());
    }

    // Ctrl+S and Ctrl+O through the file dialog: the scan saved, another
    // scanned, the saved one opened as the kept scan of its path.
    void saveAndOpenAScan() {
        TempTree t;
        t.Dir("d");
        t.File("d/f", 7);
        t.Dir("e");
        Fixture f;
        QVERIFY(f.Scan(t.Path("d")));
        CTreeModel& model = f.dlg.GetTreeModel();
        const QString top = model.index(0, 0).data().toString();
        const QString file = QString::fromStdString(t.Path("saved.json"));
        QStringList titles;
        // Answers the next file dialog with `file`.
        auto answer = [&] {
            QTimer::singleShot(50, &f.dlg, [&] {
                auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!box) return;
                titles << box->windowTitle();
                // Typed into the name box, as a user would.
                if (auto* name = box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(file);
                QMetaObject::invokeMethod(box, "accept");
            });
        };
        answer();
        QTest::keyClick(f.Tree(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(QFile::exists(file));
        QVERIFY(f.Scan(t.Path("e")));
        answer();
        // The window is active again once the file dialog has gone, as a
        // window manager would make it.
        f.dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.dlg));
        QTest::keyClick(f.dlg.GetDlgItem(IDC_START_DIR), Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!f.dlg.IsScanning(), 10000);  // read on the scan's worker
        QCOMPARE(titles, QStringList({"Save Scan", "Open Scan"}));
        QVERIFY(!QGuiApplication::overrideCursor());  // the wait cursor of reading is gone
        QCOMPARE(model.index(0, 0).data().toString(), top);
        QCOMPARE(static_cast<QLineEdit*>(f.dlg.GetDlgItem(IDC_START_DIR))->text(),
                 QString::fromStdString(t.Path("d")));
        QVERIFY(f.dlg.GetProgressLabel()->isVisible());
        QVERIFY2(f.dlg.GetProgressLabel()->text().startsWith("From a file, made "),
                 qPrintable(f.dlg.GetProgressLabel()->text()));
        // OK with its path redraws it; no scan waits at the gate.
        f.Press(t.Path("d"));
        QVERIFY(!f.dlg.IsScanning());
        QCOMPARE(model.index(0, 0).data().toString(), top);
    }

    // A saved scan with folders not read: the band's count of them is a
    // link (the rest plain, a name's '<' too) that lists them; a screen
    // reader hears the text unchanged.
    void unreadableCountInTheBandLinksToTheirList() {
        TempTree t;
        const std::string file = t.Path("<u>.json");
        std::ofstream(file) << "[1,2,{\"progname\":\"x\",\"timestamp\":1796947710},"
                               "[{\"name\":\"/r\"},[{\"name\":\"a\",\"read_error\":true}],"
                               "[{\"name\":\"b\",\"read_error\":true}]]]";
        Fixture f;
        QTimer::singleShot(50, &f.dlg, [&] {
            if (auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                if (auto* name = box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(QString::fromStdString(file));
                QMetaObject::invokeMethod(box, "accept");
            }
        });
        QTest::keyClick(f.dlg.GetDlgItem(IDC_START_DIR), Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!f.dlg.IsScanning(), 10000);
        QLabel* band = f.dlg.GetProgressLabel();
        QCOMPARE(band->textFormat(), Qt::RichText);
        // At the window's smallest the link starts the second line, whole.
        QVERIFY2(band->text().contains(". <br><a href=\"#unreadable\">2 directories could not be "
                                       "read.</a>"),
                 qPrintable(band->text()));
        QVERIFY(band->fontMetrics().horizontalAdvance(QStringLiteral(
                    "2 directories could not be read.")) <= band->contentsRect().width());
        // Wide enough, one line says it all, and the file's path follows.
        f.dlg.resize(f.dlg.width() * 3, f.dlg.height());
        const QString text = band->text();
        QVERIFY2(text.startsWith("From a file, made ") &&
                     text.contains(". <a href=\"#unreadable\">2 directories could not be "
                                   "read.</a><br>") &&
                     text.contains("&lt;u&gt;.json") && !text.contains("<u>"),
                 qPrintable(text));
        QVERIFY(band->textInteractionFlags() & Qt::LinksAccessibleByKeyboard);
        QVERIFY2(
            band->accessibleName().contains(QStringLiteral(" 2 directories could not be read., ") +
                                            QString::fromStdString(file)),
            qPrintable(band->accessibleName()));

        emit band->linkActivated(QStringLiteral("#unreadable"));
        auto* rows = static_cast<QTreeView*>(f.dlg.GetDlgItem(IDC_ROWS));
        QVERIFY(rows && rows->isVisible());
        QCOMPARE(rows->model()->rowCount(), 2);
        QCOMPARE(static_cast<QLabel*>(f.dlg.GetDlgItem(IDC_ROWS_TITLE))->text(),
                 QStringLiteral("Unreadable Folders in /r: 2 folders"));
        QVERIFY(f.dlg.GetAction(TreeAction::UnreadableFolders)->isEnabled());

        // The switch and the key reach the same list by keyboard alone.
        auto* view = static_cast<QComboBox*>(f.dlg.GetDlgItem(IDC_VIEW));
        QCOMPARE(view->currentText(), QStringLiteral("Unreadable Folders"));
        f.dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.dlg));
        QCOMPARE(QApplication::focusWidget(), rows);
        QTest::keyClick(rows, Qt::Key_Escape);
        QCOMPARE(view->currentText(), QStringLiteral("Tree"));
        QTest::keyClick(f.dlg.GetDlgItem(IDC_TREE), Qt::Key_U, Qt::ControlModifier);
        QVERIFY(rows->isVisible());
        QTest::keyClick(rows, Qt::Key_Escape);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_End);
        QVERIFY(rows->isVisible());
        QCOMPARE(QApplication::focusWidget(), rows);
        QCOMPARE(view->currentText(), QStringLiteral("Unreadable Folders"));
    }

    // Delete asks, with No the default: Enter keeps the file. Shift+Delete
    // and Yes remove it, and the tree follows without a rescan.
    void deleteKeysAskThenRemove() {
        TempTree t;
        t.Dir("d");
        Written(t, "d/victim", 300);
        Written(t, "d/other", 100);
        Fixture f;
        QVERIFY(f.Scan(t.Path("d")));
        CTreeModel& model = f.dlg.GetTreeModel();
        const QModelIndex top = model.index(0, 0);
        f.Tree()->expand(top);
        f.Tree()->setFocus();
        f.Tree()->setCurrentIndex(ChildNamed(model, top, QStringLiteral("victim")));
        QString asked;
        bool noIsDefault = false;
        auto answer = [&](QMessageBox::StandardButton button) {
            QTimer::singleShot(50, &f.dlg, [&, button] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                asked = box->text();
                noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
                if (button == QMessageBox::No)
                    QTest::keyClick(box, Qt::Key_Return);
                else
                    box->button(button)->click();
            });
        };
        answer(QMessageBox::No);
        QTest::keyClick(f.Tree(), Qt::Key_Delete);
        QVERIFY(asked.startsWith(QStringLiteral("Move this item to the trash?")));
        QVERIFY(asked.contains(QString::fromStdString(t.Path("d/victim"))));
        QVERIFY(noIsDefault);
        QVERIFY(std::filesystem::exists(t.Path("d/victim")));

        asked.clear();
        // The box gave the window back its activation, as a desktop would.
        QApplication::setActiveWindow(&f.dlg);
        f.Tree()->setFocus();
        QTRY_VERIFY(f.Tree()->hasFocus());
        answer(QMessageBox::Yes);
        QTest::keyClick(f.Tree(), Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(asked.startsWith(QStringLiteral("Delete this item permanently?")));
        QVERIFY(!std::filesystem::exists(t.Path("d/victim")));
        QCOMPARE(model.rowCount(model.index(0, 0)), 1);
        QVERIFY(f.Tree()->isExpanded(model.index(0, 0)));
        // The selection went to its neighbour, the one before it.
        QCOMPARE(f.Tree()->currentIndex(),
                 ChildNamed(model, model.index(0, 0), QStringLiteral("other")));
        QVERIFY(f.Tree()->selectionModel()->isSelected(f.Tree()->currentIndex()));
        QVERIFY(model.index(0, 0).data().toString().contains(QStringLiteral("100")));
        QCOMPARE(f.source.Scanned().size(), std::size_t{1});
    }

    // The keys reach the presenter from any control; the model switches in
    // place (tree_model_test.cpp holds how) and the menu shows the choice.
    void sortAndSizeModeKeys() {
        TempTree t;
        t.Dir("d");
        Written(t, "d/a-small", 100);
        Written(t, "d/b-large", 5000);
        Fixture f;
        QVERIFY(f.Scan(t.Path("d")));
        CTreeModel& model = f.dlg.GetTreeModel();
        const QModelIndex top = model.index(0, 0);
        f.Tree()->expand(top);

        QTest::keyClick(f.dlg.GetDlgItem(IDC_START_DIR), Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(model.GetSortOrder(), SortOrder::Size);
        QVERIFY(f.dlg.GetAction(TreeAction::SortBySize)->isChecked());
        QVERIFY(!f.dlg.GetAction(TreeAction::SortByName)->isChecked());
        QVERIFY(model.index(0, 0, top).data().toString().startsWith(QStringLiteral("b-large [")));
        QVERIFY(f.Tree()->isExpanded(top));
        QTest::keyClick(f.Tree(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(model.GetSizeMode(), SizeMode::OnDisk);
        QVERIFY(f.dlg.GetAction(TreeAction::SizeOnDisk)->isChecked());

        QTest::keyClick(&f.dlg, Qt::Key_1, Qt::ControlModifier);
        QTest::keyClick(&f.dlg, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(model.GetSortOrder(), SortOrder::Name);
        QCOMPARE(model.GetSizeMode(), SizeMode::Apparent);
        QVERIFY(f.dlg.GetAction(TreeAction::SortByName)->isChecked());
        QVERIFY(!f.dlg.GetAction(TreeAction::SizeOnDisk)->isChecked());
        QCOMPARE(f.source.Scanned().size(), std::size_t{1});
    }

    void f5RescansTheSamePath() {
        TempTree t;
        t.Dir("d");
        t.File("d/old", 1);
        t.Dir("d/sub");
        t.File("d/sub/inner", 3);
        Fixture f;
        QVERIFY(f.Scan(t.Path("d")));
        // What is open, and the selection, come back where they still exist.
        CTreeModel& model = f.dlg.GetTreeModel();
        const QModelIndex top = model.index(0, 0);
        f.Tree()->expand(top);
        f.Tree()->expand(model.index(1, 0, top));
        f.Tree()->setCurrentIndex(model.index(0, 0, model.index(1, 0, top)));
        t.File("d/new", 2);
        QVERIFY(f.Scan(t.Path("d"), Units::Bytes, true, true));  // F5
        QCOMPARE(ChildLabels(model, model.index(0, 0)),
                 QStringList({"new [         2 bytes]", "old [         1 bytes]",
                              "sub [         3 bytes]"}));
        QCOMPARE(f.source.Scanned().size(), std::size_t{2});
        const QModelIndex sub = model.index(2, 0, model.index(0, 0));
        QVERIFY(f.Tree()->isExpanded(model.index(0, 0)));
        QVERIFY(f.Tree()->isExpanded(sub));
        QCOMPARE(model.LabelOf(f.Tree()->currentIndex()), std::string("inner [         3 bytes]"));
    }

    // The treemap comes with F9 or its check box, below the tree, the window
    // growing from its smallest; selection follows both ways.
    void treemapShowsBelowTheTreeWhenAsked() {
        TempTree t;
        t.Dir("d");
        t.File("d/big", 100000);
        t.Dir("d/sub");
        t.File("d/sub/x", 50000);
        Fixture f;
        QVERIFY(f.Scan(t.Path("d")));
        auto* box = static_cast<QCheckBox*>(f.dlg.GetDlgItem(IDC_TREEMAP));
        auto* map = f.dlg.findChild<CTreemapView*>(QStringLiteral("treemap"));
        QVERIFY(box && map);
        QVERIFY(!box->isChecked());
        QVERIFY(map->isHidden());
        QCOMPARE(box->text(), QStringLiteral("Treemap"));
        const QSize before = f.dlg.size();

        QTest::keyClick(&f.dlg, Qt::Key_F9);
        QVERIFY(!map->isHidden());
        QVERIFY(box->isChecked());
        QVERIFY(f.dlg.GetAction(TreeAction::ShowTreemap)->isChecked());
        QTRY_VERIFY(f.dlg.height() > before.height());
        QVERIFY(map->mapTo(&f.dlg, QPoint()).y() >=
                f.Tree()->mapTo(&f.dlg, QPoint()).y() + f.Tree()->height());
        const CScanTree* tree = f.dlg.GetTreeModel().Tree();
        QVERIFY(tree);
        QCOMPARE(map->List(), &tree->List());

        // The tree's selection is outlined in the map; a tile selects its item.
        CTreeModel& model = f.dlg.GetTreeModel();
        const CScanTree::Item sub = tree->Find(t.Path("d/sub"));
        const CScanTree::Item x = tree->Find(t.Path("d/sub/x"));
        f.Tree()->setCurrentIndex(model.IndexOfItem(sub));
        QCOMPARE(map->Selected(), sub);
        // A click on x's tile reaches the presenter: the tree selects it.
        QTRY_VERIFY(!map->IsRendering() && !map->Picture().isNull());
        QPoint onX(-1, -1);
        const QRect area = map->MapRect();
        for (int y = area.top(); y < area.bottom() && onX.x() < 0; y += 2)
            for (int px = area.left(); px < area.right() && onX.x() < 0; px += 2)
                if (map->IndexAt(QPoint(px, y)) == x) onX = QPoint(px, y);
        QVERIFY(onX.x() >= 0);
        QTest::mouseClick(map, Qt::LeftButton, {}, onX);
        QCOMPARE(model.ItemOf(f.Tree()->currentIndex()), x);
        QVERIFY(f.Tree()->isExpanded(model.IndexOfItem(sub)));
        QCOMPARE(map->Selected(), x);

        // Off again: the window as it was.
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(map->isHidden());
        QCOMPARE(map->List(), nullptr);
        QTRY_COMPARE(f.dlg.size(), before);

        // An assistive tool's toggle, which never clicks, shows it too, once.
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(box);
        QVERIFY(access && access->actionInterface());
        access->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(box->isChecked());
        QVERIFY(!map->isHidden());
        QVERIFY(f.dlg.GetAction(TreeAction::ShowTreemap)->isChecked());
        QCOMPARE(map->List(), &tree->List());
        box->setChecked(false);
        QVERIFY(map->isHidden());
        QVERIFY(!f.dlg.GetAction(TreeAction::ShowTreemap)->isChecked());
    }

    // F8 adds the columns beside the unchanged labels; a header sorts by its
    // column, the menu following; what is open and selected stays.
    void detailsColumnsSortFromTheirHeaders() {
        TempTree t;
        t.Dir("d");
        Written(t, "d/a-small", 100);
        Written(t, "d/b-large", 4900);
        t.Dir("d/c-sub");
        t.File("d/c-sub/x", 0);
        t.File("d/c-sub/y", 0);
        const timespec recent[2] = {{1800000000, 0}, {1800000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, t.Path("d/a-small").c_str(), recent, 0), 0);
        Fixture f;
        QVERIFY(f.Scan(t.Path("d")));
        CTreeModel& model = f.dlg.GetTreeModel();
        QTreeView* tree = f.Tree();
        const QModelIndex top = model.index(0, 0);
        tree->expand(top);
        const QString largeLabel =
            ChildNamed(model, top, QStringLiteral("b-large")).data().toString();
        QVERIFY(tree->isHeaderHidden());
        QCOMPARE(model.columnCount(), 1);

        QTest::keyClick(&f.dlg, Qt::Key_F8);
        QVERIFY(f.dlg.GetAction(TreeAction::ShowDetails)->isChecked());
        QVERIFY(!tree->isHeaderHidden());
        QCOMPARE(model.columnCount(), kDetailColumnCount);
        QStringList headers;
        for (int c = 0; c < model.columnCount(); ++c)
            headers << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"Name", "% of Parent", "Size", "Items", "Last Modified"}));
        const QModelIndex large = ChildNamed(model, top, QStringLiteral("b-large"));
        QCOMPARE(large.data().toString(), largeLabel);
        const QModelIndex share = large.siblingAtColumn(1);
        QCOMPARE(share.data().toString(), QStringLiteral("98.0%"));
        QCOMPARE(share.data(Qt::AccessibleTextRole).toString(), QStringLiteral("98.0%"));
        QCOMPARE(share.data(CTreeModel::kShareRole).toDouble(), 0.98);
        QCOMPARE(large.siblingAtColumn(2).data().toString(), QStringLiteral("4.8 KB"));
        const QModelIndex sub = ChildNamed(model, top, QStringLiteral("c-sub"));
        QCOMPARE(sub.siblingAtColumn(3).data().toString(), QStringLiteral("2"));
        QCOMPARE(top.siblingAtColumn(4).data().toString(),
                 QString::fromStdString(FormatLocalTime(1800000000)));
        QVERIFY(qobject_cast<CShareBarDelegate*>(tree->itemDelegateForColumn(1)));

        // The bar: drawn in the large item's cell a third of the way in, not in the small one's.
        f.dlg.resize(1400, f.dlg.height());
        QTRY_VERIFY(tree->viewport()->width() > tree->header()->sectionPosition(2));
        const QImage shot = tree->viewport()->grab().toImage();
        const QModelIndex small = ChildNamed(model, top, QStringLiteral("a-small"));
        auto third = [&](const QModelIndex& i) {
            const QRect r = tree->visualRect(i.siblingAtColumn(1));
            return shot.pixel(r.left() + r.width() / 3, r.center().y());
        };
        QVERIFY(third(large) != third(small));

        // Items, then back by Ctrl+1: the menu checks neither order meanwhile.
        tree->setCurrentIndex(sub.siblingAtColumn(2));
        tree->header()->sectionClicked(3);
        QCOMPARE(model.GetSortOrder(), SortOrder::Items);
        QCOMPARE(tree->header()->sortIndicatorSection(), 3);
        QVERIFY(!f.dlg.GetAction(TreeAction::SortByName)->isChecked());
        QVERIFY(!f.dlg.GetAction(TreeAction::SortBySize)->isChecked());
        auto first = [&] { return model.index(0, 0, top).data().toString().section(' ', 0, 0); };
        QCOMPARE(first(), QStringLiteral("c-sub"));
        tree->header()->sectionClicked(4);
        QCOMPARE(first(), QStringLiteral("a-small"));
        tree->header()->sectionClicked(1);
        QCOMPARE(model.GetSortOrder(), SortOrder::Size);
        QVERIFY(f.dlg.GetAction(TreeAction::SortBySize)->isChecked());
        QCOMPARE(tree->header()->sortIndicatorSection(), 2);
        QTest::keyClick(&f.dlg, Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(tree->header()->sortIndicatorSection(), 0);
        QCOMPARE(tree->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(model.ItemOf(tree->currentIndex()), model.ItemOf(sub));
        QCOMPARE(tree->currentIndex().column(), 2);

        // Off again: the labels alone, the selection on the same item.
        f.dlg.GetAction(TreeAction::ShowDetails)->trigger();
        QVERIFY(tree->isHeaderHidden());
        QCOMPARE(model.columnCount(), 1);
        QCOMPARE(tree->header()->count(), 1);
        QCOMPARE(model.ItemOf(tree->currentIndex()), model.ItemOf(sub));
        QCOMPARE(tree->currentIndex().column(), 0);
        QVERIFY(tree->isExpanded(top));
        QCOMPARE(f.source.Scanned().size(), std::size_t{1});
    }

    void tooltipTellsPathBytesShareAndCount() {
        TempTree t;
        t.Dir("d");
        t.Dir("d/sub");
        t.File("d/sub/big", 3000000);
        t.File("d/small", 1000000);
        Fixture f;
        QVERIFY(f.Scan(t.Path("d")));
        const CTreeModel& model = f.dlg.GetTreeModel();
        const QModelIndex top = model.index(0, 0);
        const QModelIndex sub = ChildNamed(model, top, QStringLiteral("sub"));
        QCOMPARE(sub.data(Qt::ToolTipRole).toString(),
                 QString::fromStdString(t.Path("d/sub")) +
                     QStringLiteral("\nSize: 3,000,000 bytes (75.0% of parent)"
                                    "\nSize on disk: %1 bytes (%2% of parent)"
                                    "\n1 entry below")
                         .arg(QLocale().toString(qulonglong{model.EntryOf(sub)->GetDiskSize()}))
                         .arg(100.0 * double(model.EntryOf(sub)->GetDiskSize()) /
                                  double(model.EntryOf(top)->GetDiskSize()),
                              0, 'f', 1));
        const QString small =
            ChildNamed(model, top, QStringLiteral("small")).data(Qt::ToolTipRole).toString();
        QCOMPARE(small.section('\n', 0, 1),
                 QString::fromStdString(t.Path("d/small")) +
                     QStringLiteral("\nSize: 1,000,000 bytes (25.0% of parent)"));
        QCOMPARE(small.count('\n'), 2);  // a file has no count below
        QCOMPARE(top.data(Qt::ToolTipRole).toString().section('\n', 1, 1),
                 QStringLiteral("Size: 4,000,000 bytes"));
        // A screen reader finds the same details.
        QCOMPARE(sub.data(Qt::AccessibleDescriptionRole), sub.data(Qt::ToolTipRole));
    }
};

QTEST_MAIN(LiveDialogTest)
#include "live_dialog_test.moc"
