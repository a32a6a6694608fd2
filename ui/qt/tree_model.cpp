#include "ui/qt/tree_model.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QStringList>
#include <QStyle>

#include <vector>

#include "model/detail_columns.h"
#include "model/labels.h"
#include "model/size_text.h"
#include "ui/qt/display_text.h"

namespace sizewalk {

CTreeModel::CTreeModel(QObject* parent)
    : QAbstractItemModel(parent), m_strGroupSeparator(QLocale().groupSeparator().toStdString()) {}

CTreeModel::~CTreeModel() = default;

void CTreeModel::DeleteAllItems() {
    beginResetModel();
    m_tree.reset();
    endResetModel();
}

void CTreeModel::ShowList(const CScanList& list, Units units, Files files) {
    beginResetModel();
    try {
        m_tree.reset();
        m_tree = std::make_unique<CScanTree>(list, files, m_collator);
        m_tree->SetOrder(m_order, m_mode);
        m_eUnits = units;
    } catch (...) {
        m_tree.reset();
        endResetModel();
        throw;
    }
    endResetModel();
}

std::size_t CTreeModel::MemoryBytes() const { return m_tree ? m_tree->MemoryBytes() : 0; }

CTreeModel::Item CTreeModel::ItemOf(const QModelIndex& index) const {
    if (!index.isValid() || !m_tree) return CScanTree::kNoItem;
    return static_cast<Item>(index.internalId());
}

QModelIndex CTreeModel::MakeIndex(Item item, int column) const {
    return createIndex(static_cast<int>(m_tree->Row(item)), column, quintptr{item});
}

QModelIndex CTreeModel::IndexOfItem(Item item) const {
    if (!m_tree || item >= m_tree->List().Count() || !m_tree->IsShown(item)) return {};
    return MakeIndex(item);
}

QModelIndex CTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!m_tree || column < 0 || column >= columnCount() || row < 0 || parent.column() > 0)
        return {};
    if (!parent.isValid()) return row == 0 ? createIndex(0, column, quintptr{0}) : QModelIndex();
    const auto children = m_tree->Children(ItemOf(parent));
    if (static_cast<std::size_t>(row) >= children.size()) return {};
    return createIndex(row, column, quintptr{children[static_cast<std::size_t>(row)]});
}

QModelIndex CTreeModel::parent(const QModelIndex& child) const {
    const Item item = ItemOf(child);
    if (item == CScanTree::kNoItem) return {};
    const Item up = m_tree->Parent(item);
    return up == CScanTree::kNoItem ? QModelIndex() : MakeIndex(up);
}

int CTreeModel::rowCount(const QModelIndex& parent) const {
    if (!m_tree || parent.column() > 0) return 0;
    if (!parent.isValid()) return m_tree->ItemCount() > 0 ? 1 : 0;
    return static_cast<int>(m_tree->ChildCount(ItemOf(parent)));
}

int CTreeModel::columnCount(const QModelIndex&) const {
    return m_bDetails ? kDetailColumnCount : 1;
}

QVariant CTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount())
        return {};
    return DisplayText(std::string(DetailHeader(static_cast<DetailColumn>(section))));
}

void CTreeModel::SetShowDetails(bool shown) {
    if (shown == m_bDetails) return;
    if (shown) {
        beginInsertColumns({}, 1, kDetailColumnCount - 1);
        m_bDetails = true;
        endInsertColumns();
        return;
    }
    // A change of layout, not a removal of columns (which would reach only
    // the top level's indexes): every index into the columns going away
    // becomes invalid, at every level. A view that keeps its current item
    // moves it to the labels first (two persistent indexes of one cell
    // would no longer compare equal).
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.push_back(index.column() > 0 ? QModelIndex() : index);
    changePersistentIndexList(before, after);
    m_bDetails = false;
    emit layoutChanged();
}

std::string CTreeModel::LabelOf(const QModelIndex& index) const {
    std::string label;
    const Item item = ItemOf(index);
    if (item != CScanTree::kNoItem) FormatItemLabel(label, *m_tree, item, m_eUnits, m_mode);
    return label;
}

const CScanEntry* CTreeModel::EntryOf(const QModelIndex& index) const {
    const Item item = ItemOf(index);
    return item == CScanTree::kNoItem ? nullptr : &m_tree->Entry(item);
}

std::string CTreeModel::PathOf(const QModelIndex& index) const {
    const Item item = ItemOf(index);
    return item == CScanTree::kNoItem ? std::string() : m_tree->Path(item);
}

QString CTreeModel::DetailsOf(const QModelIndex& index) const {
    const Item item = ItemOf(index);
    if (item == CScanTree::kNoItem) return {};
    QStringList shown;
    for (const std::string& line : DescribeItem(*m_tree, item, m_strGroupSeparator))
        shown << DisplayText(line);
    return shown.join(QLatin1Char('\n'));
}

QVariant CTreeModel::data(const QModelIndex& index, int role) const {
    const Item item = ItemOf(index);
    if (item == CScanTree::kNoItem) return {};
    if (index.column() > 0) {
        const auto column = static_cast<DetailColumn>(index.column());
        switch (role) {
            case Qt::DisplayRole:
                return DisplayText(DetailText(*m_tree, item, column, m_mode, m_strGroupSeparator));
            case Qt::AccessibleTextRole:  // the bar says what its text says
                return DisplayText(DetailText(*m_tree, item, column, m_mode, m_strGroupSeparator));
            case Qt::TextAlignmentRole:
                return column == DetailColumn::Modified
                           ? QVariant()
                           : QVariant(static_cast<int>(Qt::AlignRight | Qt::AlignVCenter));
            case kShareRole:
                return column == DetailColumn::Percent
                           ? QVariant(ShareOfParent(*m_tree, item, m_mode).fFraction)
                           : QVariant();
            case Qt::ToolTipRole:
            case Qt::AccessibleDescriptionRole:
                return DetailsOf(index);
            default:
                return {};
        }
    }
    switch (role) {
        case Qt::DisplayRole:
            return DisplayText(LabelOf(index));
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole:
            return DetailsOf(index);
        case Qt::ForegroundRole:
            return IsUnreadable(item) ? QVariant(WarningColour()) : QVariant();
        case Qt::DecorationRole:
            // The view scales the icon to its icon size, one row high.
            return IsUnreadable(item)
                       ? QVariant(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning))
                       : QVariant();
        default:
            return {};
    }
}

QColor CTreeModel::WarningColour() { return QColor(0xA0, 0x00, 0x00); }

bool CTreeModel::IsUnreadable(Item item) const {
    return m_tree->Entry(item).IsDirectory() && m_tree->List().ReadErrorOf(item) != 0;
}

void CTreeModel::SetSortOrder(SortOrder order) {
    if (order == m_order) return;
    m_order = order;
    Reorder(true);
}

void CTreeModel::SetSizeMode(SizeMode mode) {
    if (mode == m_mode) return;
    m_mode = mode;
    // Only an order by size changes; the texts do in any case.
    Reorder(m_order == SortOrder::Size);
}

void CTreeModel::Reorder(bool resort) {
    emit layoutAboutToBeChanged();
    if (m_tree) {
        const QModelIndexList before = persistentIndexList();
        std::vector<Item> items;
        items.reserve(static_cast<std::size_t>(before.size()));
        for (const QModelIndex& index : before) items.push_back(ItemOf(index));
        m_tree->SetOrder(m_order, m_mode);
        if (resort) {
            // Asking for their rows sorts the parents of the persistent items.
            QModelIndexList after;
            after.reserve(before.size());
            for (qsizetype i = 0; i < before.size(); ++i) {
                const Item item = items[static_cast<std::size_t>(i)];
                after.push_back(item == CScanTree::kNoItem ? QModelIndex()
                                                           : MakeIndex(item, before[i].column()));
            }
            changePersistentIndexList(before, after);
        }
    }
    emit layoutChanged();
}

}  // namespace sizewalk
