#include "ui/qt/find_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>

namespace sizewalk {

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// The kinds in the order the "Find:" list shows them.
constexpr FindKinds kKindOrder[] = {FindKinds::Both, FindKinds::Files, FindKinds::Directories};

}  // namespace

CFindDialog::CFindDialog(const FindFields& fields, const std::vector<std::string>& history,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Find"));

    m_pattern = new QComboBox(this);
    m_pattern->setEditable(true);
    // What is typed is kept by the presenter's history, not by the list.
    m_pattern->setInsertPolicy(QComboBox::NoInsert);
    m_pattern->setMinimumContentsLength(24);
    for (const std::string& earlier : history) m_pattern->addItem(Text(earlier));
    m_pattern->setCurrentIndex(-1);
    m_pattern->setEditText(Text(fields.strPattern));
    m_pattern->lineEdit()->setPlaceholderText(QStringLiteral("*.iso or /regex/"));

    auto line = [this](const std::string& text, const QString& placeholder) {
        auto* edit = new QLineEdit(Text(text), this);
        edit->setPlaceholderText(placeholder);
        return edit;
    };
    m_minSize = line(fields.strMinSize, QStringLiteral("10 MB"));
    m_after = line(fields.strAfter, QStringLiteral("2026-12-01"));
    m_before = line(fields.strBefore, QStringLiteral("2026-12-01"));

    m_kinds = new QComboBox(this);
    m_kinds->addItems(
        {QStringLiteral("Files and folders"), QStringLiteral("Files"), QStringLiteral("Folders")});
    for (int i = 0; i < static_cast<int>(std::size(kKindOrder)); ++i)
        if (kKindOrder[i] == fields.eKinds) m_kinds->setCurrentIndex(i);

    auto* form = new QFormLayout;
    auto add = [this, form](const QString& label, QWidget* field) {
        auto* text = new QLabel(label, this);
        text->setBuddy(field);
        // A screen reader names the field by its label, without the mnemonic.
        field->setAccessibleName(QString(label).remove(QLatin1Char('&')).chopped(1));
        form->addRow(text, field);
    };
    add(QStringLiteral("&Name:"), m_pattern);
    add(QStringLiteral("At &least:"), m_minSize);
    add(QStringLiteral("Modified &after:"), m_after);
    add(QStringLiteral("Modified &before:"), m_before);
    add(QStringLiteral("F&ind:"), m_kinds);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* find = buttons->addButton(QStringLiteral("Find"), QDialogButtonBox::AcceptRole);
    find->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_pattern->setFocus(Qt::OtherFocusReason);
}

FindFields CFindDialog::Fields() const {
    FindFields fields;
    fields.strPattern = m_pattern->currentText().toStdString();
    fields.strMinSize = m_minSize->text().toStdString();
    fields.strAfter = m_after->text().toStdString();
    fields.strBefore = m_before->text().toStdString();
    const int kind = m_kinds->currentIndex();
    fields.eKinds = kind >= 0 ? kKindOrder[kind] : FindKinds::Both;
    return fields;
}

bool AskFindFields(QWidget* parent, FindFields& fields, const std::vector<std::string>& history) {
    CFindDialog dialog(fields, history, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    fields = dialog.Fields();
    return true;
}

}  // namespace sizewalk
