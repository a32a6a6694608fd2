#pragma once
// The Find dialog: a name pattern (offering the earlier ones), a least
// size, a range of days of the last change, and whether files, folders or
// both are found. It only shows and returns the texts; what they mean is
// read by ReadFindFields.

#include <QDialog>

#include <string>
#include <vector>

#include "core/find_fields.h"

class QComboBox;
class QLineEdit;

namespace sizewalk {

class CFindDialog : public QDialog {
    Q_OBJECT
public:
    // Filled with `fields`; `history` (newest first) in the name's list.
    CFindDialog(const FindFields& fields, const std::vector<std::string>& history,
                QWidget* parent = nullptr);

    // The fields as typed now.
    FindFields Fields() const;

private:
    QComboBox* m_pattern = nullptr;
    QLineEdit* m_minSize = nullptr;
    QLineEdit* m_after = nullptr;
    QLineEdit* m_before = nullptr;
    QComboBox* m_kinds = nullptr;
};

// Runs the dialog: true with `fields` as typed when the user pressed Find.
bool AskFindFields(QWidget* parent, FindFields& fields, const std::vector<std::string>& history);

}  // namespace sizewalk
