#include "ui/qt/type_table_model.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

#include <utility>

#include "model/size_text.h"
#include "ui/qt/display_text.h"

namespace sizewalk {

QPixmap KindSwatch(std::uint32_t color, int side) {
    QPixmap swatch(side, side);
    swatch.fill(QColor::fromRgb(color));
    QPainter painter(&swatch);
    painter.setPen(QColor(0, 0, 0, 140));
    painter.drawRect(0, 0, side - 1, side - 1);
    return swatch;
}

CTypeTableModel::CTypeTableModel(std::string separator, QObject* parent)
    : QAbstractTableModel(parent), m_strSeparator(std::move(separator)) {}

void CTypeTableModel::SetTable(const CTypeTable* table) {
    beginResetModel();
    m_pTable = table;
    endResetModel();
}

int CTypeTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_pTable) return 0;
    return static_cast<int>(m_pTable->RowCount());
}

int CTypeTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kTypeColumnCount);
}

QVariant CTypeTableModel::data(const QModelIndex& index, int role) const {
    if (!m_pTable || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const auto row = static_cast<std::size_t>(index.row());
    const auto column = static_cast<TypeColumn>(index.column());
    const bool kind = m_pTable->IsKind(row);
    const bool number = column != TypeColumn::Type;
    switch (role) {
        case Qt::DisplayRole:
            // A type is set in below its kind.
            if (column == TypeColumn::Type && !kind)
                return QStringLiteral("    ") + DisplayText(m_pTable->Text(row, column));
            return DisplayText(m_pTable->Text(row, column));
        case Qt::AccessibleTextRole:
            return DisplayText(m_pTable->Text(row, column));
        case Qt::DecorationRole:
            if (column != TypeColumn::Type || !kind) return {};
            return KindSwatch(m_pTable->Color(row), 12);
        case Qt::FontRole:
            if (!kind) return {};
            {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
        case Qt::ToolTipRole:
            if (column != TypeColumn::Size) return {};
            return DisplayText(GroupDigits(m_pTable->Size(row), m_strSeparator) + " bytes");
        case Qt::TextAlignmentRole:
            if (number)
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
            return {};
        default:
            return {};
    }
}

QVariant CTypeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(kTypeColumnCount))
        return {};
    const auto column = static_cast<TypeColumn>(section);
    switch (role) {
        case Qt::DisplayRole:
            return DisplayText(CTypeTable::Header(column));
        case Qt::TextAlignmentRole:
            if (column != TypeColumn::Type)
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
            return {};
        case Qt::InitialSortOrderRole:
            // A first click on a number puts the largest first.
            return column == TypeColumn::Type ? Qt::AscendingOrder : Qt::DescendingOrder;
        default:
            return {};
    }
}

}  // namespace sizewalk
