// The Find dialog: filled from the fields, returning them as typed on Find
// and leaving them on Cancel, each control named for a screen reader.

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "ui/qt/find_dialog.h"

using namespace sizewalk;

namespace {

QWidget* Named(QWidget& dialog, const QString& name) {
    for (QWidget* w : dialog.findChildren<QWidget*>())
        if (w->accessibleName() == name) return w;
    return nullptr;
}

// Runs `act` on the modal dialog once it is up.
void WhenUp(std::function<void(CFindDialog&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<CFindDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(*dialog);
    });
}

}  // namespace

class FindDialogTest : public QObject {
    Q_OBJECT
private slots:
    void filledTypedAndReturned() {
        const FindFields given{"*.iso", "10 MB", "2026-01-01", "", FindKinds::Files};
        CFindDialog dialog(given, {"*.iso", "/x+/", "a*"});
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Find"));
        QCOMPARE(dialog.Fields(), given);

        auto* name = qobject_cast<QComboBox*>(Named(dialog, "Name"));
        auto* least = qobject_cast<QLineEdit*>(Named(dialog, "At least"));
        auto* after = qobject_cast<QLineEdit*>(Named(dialog, "Modified after"));
        auto* before = qobject_cast<QLineEdit*>(Named(dialog, "Modified before"));
        auto* kinds = qobject_cast<QComboBox*>(Named(dialog, "Find"));
        QVERIFY(name && least && after && before && kinds);
        QVERIFY(name->isEditable());
        QStringList offered;
        for (int i = 0; i < name->count(); ++i) offered << name->itemText(i);
        QCOMPARE(offered, QStringList({"*.iso", "/x+/", "a*"}));  // newest first
        QCOMPARE(kinds->currentText(), QStringLiteral("Files"));
        QCOMPARE(before->placeholderText(), QStringLiteral("2026-12-01"));
        QCOMPARE(least->placeholderText(), QStringLiteral("10 MB"));
        QVERIFY(!name->lineEdit()->placeholderText().isEmpty());

        // An empty pattern stays empty rather than taking an earlier one.
        CFindDialog blank(FindFields{}, {"*.iso"});
        QCOMPARE(blank.Fields(), FindFields{});

        // Typed, then Enter: the default button is Find.
        FindFields fields = given;
        WhenUp([](CFindDialog& d) {
            auto* n = qobject_cast<QComboBox*>(Named(d, "Name"));
            n->setCurrentIndex(1);  // an earlier pattern picked from the list
            auto* b = qobject_cast<QLineEdit*>(Named(d, "Modified before"));
            QTest::keyClicks(b, "2026-12-01");
            auto* k = qobject_cast<QComboBox*>(Named(d, "Find"));
            k->setCurrentIndex(2);
            QTest::keyClick(b, Qt::Key_Return);
        });
        QVERIFY(AskFindFields(nullptr, fields, {"*.iso", "/x+/"}));
        QCOMPARE(fields,
                 (FindFields{"/x+/", "10 MB", "2026-01-01", "2026-12-01", FindKinds::Directories}));

        // Cancel keeps the fields, whatever was typed.
        const FindFields before2 = fields;
        WhenUp([](CFindDialog& d) {
            QTest::keyClicks(qobject_cast<QLineEdit*>(Named(d, "At least")), "5 GB");
            auto* box = d.findChild<QDialogButtonBox*>();
            QTest::mouseClick(box->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        });
        QVERIFY(!AskFindFields(nullptr, fields, {}));
        QCOMPARE(fields, before2);
    }
};

QTEST_MAIN(FindDialogTest)
#include "find_dialog_test.moc"
