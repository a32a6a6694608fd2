// The Find dialog: filled from the fields, each control named for a screen
// reader by its label, and returning the fields as typed on Enter (Find).

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "ui/qt/find_dialog.h"

using namespace sizewalk;

class FindDialogTest : public QObject {
    Q_OBJECT
private slots:
    void filledTypedAndReturned() {
        const FindFields given{"*.iso", "10 MB", "2026-01-01", "", FindKinds::Files};
        CFindDialog dialog(given, {"*.iso", "/x+/", "a*"});
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Find"));
        QCOMPARE(dialog.Fields(), given);
        auto named = [&](const char* name) {
            for (QWidget* w : dialog.findChildren<QWidget*>())
                if (w->accessibleName() == QLatin1String(name)) return w;
            return static_cast<QWidget*>(nullptr);
        };
        auto* pattern = qobject_cast<QComboBox*>(named("Name"));
        auto* before = qobject_cast<QLineEdit*>(named("Modified before"));
        auto* kinds = qobject_cast<QComboBox*>(named("Find"));
        QVERIFY(pattern && before && kinds && named("At least") && named("Modified after"));
        QVERIFY(pattern->isEditable());
        QCOMPARE(pattern->count(), 3);
        QCOMPARE(pattern->itemText(1), QStringLiteral("/x+/"));  // newest first
        QCOMPARE(kinds->currentText(), QStringLiteral("Files"));

        // An earlier pattern picked, a day typed, folders only; Enter is Find.
        dialog.show();
        pattern->setCurrentIndex(1);
        QTest::keyClicks(before, "2026-12-01");
        kinds->setCurrentIndex(2);
        QTest::keyClick(before, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Fields(),
                 (FindFields{"/x+/", "10 MB", "2026-01-01", "2026-12-01", FindKinds::Directories}));

        // An empty pattern stays empty rather than taking an earlier one.
        QCOMPARE(CFindDialog(FindFields{}, {"*.iso"}).Fields(), FindFields{});
    }
};

QTEST_MAIN(FindDialogTest)
#include "find_dialog_test.moc"
