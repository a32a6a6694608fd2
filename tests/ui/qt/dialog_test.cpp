// The main dialog as a user meets it, driven with keys and clicks offscreen.

#include <QButtonGroup>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "tests/temp_tree.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/tree_model.h"

using namespace sizewalk;

namespace {

struct SeenBox {
    bool seen = false;
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* owner = nullptr;
};

// Watches for the modal message box a press opens, notes what it shows and
// dismisses it, as a user would with OK.
void DismissNextBox(SeenBox& seen, QObject* context) {
    auto* timer = new QTimer(context);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [&seen, timer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        timer->stop();
        timer->deleteLater();
        seen.seen = true;
        seen.text = box->text();
        seen.caption = box->windowTitle();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.owner = box->parentWidget();
        box->button(QMessageBox::Ok)->click();
    });
    timer->start();
}

QStringList ChildLabels(const QAbstractItemModel& m, const QModelIndex& parent) {
    QStringList out;
    for (int r = 0; r < m.rowCount(parent); ++r) out << m.index(r, 0, parent).data().toString();
    return out;
}

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("sizewalk-test")); }

    void defaultsOnFirstShow() {
        CSizewalkDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* edit = static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR));
        QCOMPARE(edit->text(), QStringLiteral("/"));
        QVERIFY(static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_MB))->isChecked());
        QVERIFY(!static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_KB))->isChecked());
        QVERIFY(!static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_BYTES))->isChecked());
        QVERIFY(!static_cast<QCheckBox*>(dlg.GetDlgItem(IDC_SHOW_FILES))->isChecked());
        QCOMPARE(dlg.GetTreeModel().rowCount(), 0);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Sizewalk"));
        QCOMPARE(QApplication::focusWidget(), dlg.GetDlgItem(IDOK));
        QVERIFY(static_cast<QPushButton*>(dlg.GetDlgItem(IDOK))->isDefault());
        QVERIFY(!dlg.windowIcon().isNull());
        QVERIFY(!dlg.windowIcon().availableSizes().isEmpty());
        QCOMPARE(static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR))->maxLength(),
                 std::numeric_limits<int>::max());

        // Opens at the template's size, which is also its smallest; centred
        // on the screen, controls inside the window and in template order
        // for Tab.
        QCOMPARE(dlg.size(), dlg.minimumSize());
        QCOMPARE(dlg.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        const QRect screen = dlg.screen()->availableGeometry();
        QVERIFY(qAbs(dlg.frameGeometry().center().x() - screen.center().x()) <= 2);
        QVERIFY(qAbs(dlg.frameGeometry().center().y() - screen.center().y()) <= 2);
        for (int id : {IDOK, IDCANCEL, IDC_TREE, IDC_START_DIR, IDC_SHOW_FILES, IDC_UNITS_MB,
                       IDC_UNITS_KB, IDC_UNITS_BYTES})
            QVERIFY2(dlg.rect().contains(dlg.GetDlgItem(id)->geometry()),
                     qPrintable(QString::number(id)));
        QWidget* w = dlg.GetDlgItem(IDOK);
        for (int id : {IDCANCEL, IDC_TREE, IDC_START_DIR, IDC_SHOW_FILES}) {
            w = w->nextInFocusChain();
            // As Tab goes: past what is hidden (the list in the tree's place).
            while (w->focusPolicy() == Qt::NoFocus || !w->isVisible()) w = w->nextInFocusChain();
            QCOMPARE(w, dlg.GetDlgItem(id));
        }
        // The label is never clipped, whatever the font.
        auto* label = dlg.findChild<QLabel*>(QStringLiteral("startLabel"));
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY(label->geometry().right() < dlg.GetDlgItem(IDC_START_DIR)->geometry().left());
    }

    // Tab goes round OK, Cancel, the tree, the edit box, Show Files, the
    // Treemap box and the view switch, and never stops at a unit; a unit clicked takes the focus,
    // and the arrow keys then move the choice among the three.
    void unitsTakeNoTabStopButAnswerTheArrows() {
        CSizewalkDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(QApplication::focusWidget(), dlg.GetDlgItem(IDOK));
        const int ring[] = {IDCANCEL,    IDC_TREE, IDC_START_DIR, IDC_SHOW_FILES,
                            IDC_TREEMAP, IDC_VIEW, IDOK};
        for (int round = 0; round < 2; ++round) {
            for (int id : ring) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget(), dlg.GetDlgItem(id));
            }
        }
        for (int id :
             {IDC_VIEW, IDC_TREEMAP, IDC_SHOW_FILES, IDC_START_DIR, IDC_TREE, IDCANCEL, IDOK}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget(), dlg.GetDlgItem(id));
        }

        auto* mb = static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_MB));
        auto* kb = static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_KB));
        auto* bytes = static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_BYTES));
        QTest::mouseClick(mb, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), mb);
        QTest::keyClick(mb, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), kb);
        QVERIFY(kb->isChecked());
        QTest::keyClick(kb, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), bytes);
        QVERIFY(bytes->isChecked());
        QTest::keyClick(bytes, Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), kb);
        QVERIFY(kb->isChecked() && !mb->isChecked() && !bytes->isChecked());
        // Tab leaves the group for the next stop and does not come back to it.
        QTest::keyClick(kb, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != mb && QApplication::focusWidget() != kb &&
                QApplication::focusWidget() != bytes);
    }

    void layoutFollowsTheFont() {
        CSizewalkDlg small;
        QFont bigFont = small.font();
        bigFont.setPointSizeF(bigFont.pointSizeF() * 2);
        CSizewalkDlg big;
        big.setFont(bigFont);
        QVERIFY(big.width() > small.width() * 3 / 2);
        QVERIFY(big.GetDlgItem(IDC_TREE)->width() > small.GetDlgItem(IDC_TREE)->width() * 3 / 2);
    }

    void enterRunsOkAndTheDialogStaysOpen() {
        sizewalk::test::TempTree t;
        t.Dir("d");
        t.File("d/file10", 1536);
        t.File("d/file2", 512);
        t.File("d/B", 0);
        t.Dir("d/a");
        CSizewalkDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* edit = static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR));
        edit->setText(QString::fromStdString(t.Path("d") + "/"));
        QTest::mouseClick(static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_KB)), Qt::LeftButton);
        QTest::mouseClick(static_cast<QCheckBox*>(dlg.GetDlgItem(IDC_SHOW_FILES)), Qt::LeftButton);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
        QTRY_VERIFY(!dlg.IsScanning());  // the scan runs in the background

        const CTreeModel& model = dlg.GetTreeModel();
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex top = model.index(0, 0);
        QCOMPARE(top.data().toString(), QString::fromStdString(t.Path("d") + " [    2.00KB]"));
        QCOMPARE(ChildLabels(model, top),
                 QStringList({"a [    0.00KB]", "B [    0.00KB]", "file2 [    0.50KB]",
                              "file10 [    1.50KB]"}));
        // The field keeps the stripped path; the edit box what was typed.
        QCOMPARE(dlg.Fields().m_strStartDir, t.Path("d"));
        QCOMPARE(edit->text(), QString::fromStdString(t.Path("d") + "/"));

        // Nothing expanded or selected after a fill.
        auto* view = static_cast<QTreeView*>(dlg.GetDlgItem(IDC_TREE));
        QVERIFY(!view->isExpanded(top));
        QVERIFY(view->selectionModel()->selectedIndexes().isEmpty());

        // Enter on the tree and on the OK button run OK too; only the unit
        // changed, so the kept scan is redrawn.
        QTest::mouseClick(static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_BYTES)),
                          Qt::LeftButton);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.GetTreeModel().index(0, 0).data().toString(),
                 QString::fromStdString(t.Path("d") + " [      2048 bytes]"));
        QTest::mouseClick(static_cast<QCheckBox*>(dlg.GetDlgItem(IDC_SHOW_FILES)), Qt::LeftButton);
        QTest::keyClick(dlg.GetDlgItem(IDOK), Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QCOMPARE(ChildLabels(model, model.index(0, 0)), QStringList({"a [         0 bytes]"}));
    }

    void escapeCloses() {
        CSizewalkDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }

    void enterOnCancelCloses() {
        CSizewalkDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.GetDlgItem(IDCANCEL)->setFocus();
        QTest::keyClick(dlg.GetDlgItem(IDCANCEL), Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
    }

    void invalidStartDirectoryShowsTheMessage() {
        sizewalk::test::TempTree t;
        t.File("plain", 1);
        CSizewalkDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* edit = static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR));
        for (const std::string& bad : {std::string(), t.Path("plain"), t.Path("missing")}) {
            edit->setText(QString::fromStdString(bad));
            SeenBox seen;
            DismissNextBox(seen, &dlg);
            QTest::mouseClick(static_cast<QPushButton*>(dlg.GetDlgItem(IDOK)), Qt::LeftButton);
            QVERIFY(seen.seen);
            QCOMPARE(seen.text,
                     QStringLiteral("Start directory does not exist or is not a directory"));
            QCOMPARE(seen.caption, QStringLiteral("sizewalk-test"));
            QCOMPARE(seen.icon, QMessageBox::NoIcon);
            QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(seen.owner, &dlg);
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.GetTreeModel().rowCount(), 0);
        }
    }

    void dataExchangeRules() {
        CSizewalkDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        // An out-of-range unit leaves every button unchecked, which reads
        // as none.
        dlg.Fields().m_eUnits = static_cast<Units>(5);
        dlg.Fields().m_strStartDir = "/some/where";
        dlg.UpdateData(false);
        for (int id : {IDC_UNITS_MB, IDC_UNITS_KB, IDC_UNITS_BYTES})
            QVERIFY(!static_cast<QRadioButton*>(dlg.GetDlgItem(id))->isChecked());
        dlg.UpdateData(true);
        QCOMPARE(dlg.Fields().m_eUnits, Units::None);
        QCOMPARE(dlg.Fields().m_strStartDir, std::string("/some/where"));

        dlg.Fields().m_eUnits = Units::Bytes;
        dlg.Fields().m_eFiles = Files::Shown;
        dlg.UpdateData(false);
        QVERIFY(static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_BYTES))->isChecked());
        QVERIFY(static_cast<QCheckBox*>(dlg.GetDlgItem(IDC_SHOW_FILES))->isChecked());
        // Only one unit can be checked by clicking.
        QTest::mouseClick(static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_MB)), Qt::LeftButton);
        dlg.UpdateData(true);
        QCOMPARE(dlg.Fields().m_eUnits, Units::MB);
        QVERIFY(!static_cast<QRadioButton*>(dlg.GetDlgItem(IDC_UNITS_BYTES))->isChecked());

        // A very long path is taken whole.
        const QString longText(40000, QLatin1Char('x'));
        static_cast<QLineEdit*>(dlg.GetDlgItem(IDC_START_DIR))->setText(longText);
        dlg.UpdateData(true);
        QCOMPARE(dlg.Fields().m_strStartDir.size(), std::size_t{40000});
    }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
