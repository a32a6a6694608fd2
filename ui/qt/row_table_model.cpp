#include "ui/qt/row_table_model.h"

#include <utility>

#include "model/size_text.h"
#include "ui/qt/display_text.h"

namespace sizewalk {

CRowTableModel::CRowTableModel(std::string separator, QObject* parent)
    : QAbstractTableModel(parent), m_strSeparator(std::move(separator)) {}

void CRowTableModel::SetTable(const CRowTable* table) {
    beginResetModel();
    m_pTable = table;
    endResetModel();
}

int CRowTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_pTable) return 0;
    return static_cast<int>(m_pTable->RowCount());
}

int CRowTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kRowColumnCount);
}

QVariant CRowTableModel::data(const QModelIndex& index, int role) const {
    if (!m_pTable || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const auto row = static_cast<std::size_t>(index.row());
    const auto column = static_cast<RowColumn>(index.column());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return DisplayText(m_pTable->Text(row, column));
        case Qt::ToolTipRole:
            if (column != RowColumn::Size) return {};
            return DisplayText(GroupDigits(m_pTable->Size(row), m_strSeparator) + " bytes");
        case Qt::TextAlignmentRole:
            if (column == RowColumn::Size)
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
            return {};
        default:
            return {};
    }
}

QVariant CRowTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(kRowColumnCount))
        return {};
    const auto column = static_cast<RowColumn>(section);
    switch (role) {
        case Qt::DisplayRole:
            return DisplayText(CRowTable::Header(column));
        case Qt::TextAlignmentRole:
            if (column == RowColumn::Size)
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
            return {};
        case Qt::InitialSortOrderRole:
            // A first click on sizes and times puts the largest and newest first.
            return (column == RowColumn::Size || column == RowColumn::Modified)
                       ? Qt::DescendingOrder
                       : Qt::AscendingOrder;
        default:
            return {};
    }
}

}  // namespace sizewalk
