#include "ui/qt/tree_model.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <span>

#include "ui/qt/display_text.h"
#include "core/scan_command.h"
#include "model/size_text.h"

namespace sizewalk {

CTreeModel::CTreeModel(QObject* parent)
    : QAbstractItemModel(parent), m_strGroupSeparator(QLocale().groupSeparator().toStdString()) {
    Release();
}

void CTreeModel::Release() {
    // Swapping with empty vectors really gives the memory back, and
    // allocates nothing, so emptying the tree cannot fail.
    std::vector<const CScanEntry*>().swap(m_entries);
    std::vector<Id>().swap(m_slot);
    std::vector<Id>().swap(m_first);
    std::vector<Id>().swap(m_children);
    std::vector<bool>().swap(m_sorted);
    m_bPublished = false;
}

void CTreeModel::DeleteAllItems() {
    if (!m_bResetting) beginResetModel();
    m_bResetting = true;
    Release();
    endResetModel();
    m_bResetting = false;
}

void CTreeModel::ReserveItems(std::size_t count) {
    if (count >= kMaxTreeItem) return;
    m_entries.reserve(count + 1);
    m_slot.reserve(count + 1);
}

TreeItem CTreeModel::InsertItem(TreeItem parent, const CScanEntry& entry, Units units) {
    if (m_bPublished) DeleteAllItems();  // a new fill starts over
    if (m_entries.size() > kMaxTreeItem) throw std::bad_alloc();  // ids are tree handles
    m_eUnits = units;
    if (m_entries.empty()) {  // id 0: the root above the top level
        m_entries.push_back(nullptr);
        m_slot.push_back(0);
    }
    m_entries.push_back(&entry);
    m_slot.push_back(static_cast<Id>(parent));
    return static_cast<TreeItem>(m_entries.size() - 1);
}

void CTreeModel::EndInsert() {
    beginResetModel();
    m_bResetting = true;
    try {
        Publish();
    } catch (...) {
        Release();
        endResetModel();
        m_bResetting = false;
        throw;
    }
    endResetModel();
    m_bResetting = false;
}

// Turns the parent of every item into the children of every parent in one
// counting pass, keeping insertion order until a parent is first sorted.
void CTreeModel::Publish() {
    const std::size_t n = m_entries.size();  // ids 0 .. n-1, 0 the root
    if (n == 0) return;                       // nothing inserted: stays empty
    if (m_entries.capacity() > n + n / 8) {
        m_entries.shrink_to_fit();
        m_slot.shrink_to_fit();
    }
    m_first.assign(n + 1, 0);
    m_children.assign(n - 1, 0);
    m_sorted.assign(n, false);
    for (std::size_t id = 1; id < n; ++id) ++m_first[m_slot[id] + 1];
    for (std::size_t id = 1; id <= n; ++id) m_first[id] += m_first[id - 1];
    // Scatter with m_first[p] as the cursor; afterwards it holds p's end,
    // which is p + 1's start, so shift back by one.
    for (std::size_t id = 1; id < n; ++id) {
        const Id pos = m_first[m_slot[id]]++;
        m_children[pos] = static_cast<Id>(id);
        m_slot[id] = pos;
    }
    for (std::size_t id = n; id > 0; --id) m_first[id] = m_first[id - 1];
    m_first[0] = 0;
    m_bPublished = true;
}

std::size_t CTreeModel::MemoryBytes() const {
    return m_entries.capacity() * sizeof(m_entries[0]) + m_slot.capacity() * sizeof(Id) +
           m_first.capacity() * sizeof(Id) + m_children.capacity() * sizeof(Id) +
           m_sorted.capacity() / 8;
}

CTreeModel::Id CTreeModel::IdOf(const QModelIndex& index) const {
    if (!index.isValid() || !m_bPublished) return 0;
    return static_cast<Id>(index.internalId());
}

// The parent is the item whose child range holds the item's slot: the last
// id whose range starts at or before it.
CTreeModel::Id CTreeModel::ParentOf(Id id) const {
    const auto it = std::upper_bound(m_first.begin(), m_first.end() - 1, m_slot[id]);
    return static_cast<Id>(it - m_first.begin() - 1);
}

void CTreeModel::EnsureSorted(Id parent) const {
    if (m_sorted[parent]) return;
    const Id begin = m_first[parent], end = m_first[parent + 1];
    std::span<Id> children(m_children.data() + begin, end - begin);
    SortChildren(children, m_entries, m_order, m_mode, m_collator);
    for (Id pos = begin; pos < end; ++pos) m_slot[m_children[pos]] = pos;
    m_sorted[parent] = true;
}

QModelIndex CTreeModel::IndexOf(Id id) const {
    if (id == 0) return {};
    const Id parent = ParentOf(id);
    return createIndex(static_cast<int>(m_slot[id] - m_first[parent]), 0, quintptr{id});
}

QModelIndex CTreeModel::IndexOfItem(TreeItem item) const {
    if (!m_bPublished || item == kNoTreeItem || item >= m_entries.size()) return {};
    std::vector<Id> chain;
    for (Id id = static_cast<Id>(item); id != 0;) {
        id = ParentOf(id);
        chain.push_back(id);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) EnsureSorted(*it);
    return IndexOf(static_cast<Id>(item));
}

QModelIndex CTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!m_bPublished || column != 0 || row < 0 || parent.column() > 0) return {};
    const Id p = IdOf(parent);
    const Id count = m_first[p + 1] - m_first[p];
    if (static_cast<Id>(row) >= count) return {};
    EnsureSorted(p);
    return createIndex(row, 0, quintptr{m_children[m_first[p] + static_cast<Id>(row)]});
}

QModelIndex CTreeModel::parent(const QModelIndex& child) const {
    const Id id = IdOf(child);
    if (id == 0) return {};
    return IndexOf(ParentOf(id));
}

int CTreeModel::rowCount(const QModelIndex& parent) const {
    if (!m_bPublished || parent.column() > 0) return 0;
    const Id p = IdOf(parent);
    return static_cast<int>(m_first[p + 1] - m_first[p]);
}

int CTreeModel::columnCount(const QModelIndex&) const { return 1; }

std::string CTreeModel::LabelOf(const QModelIndex& index) const {
    std::string label;
    const Id id = IdOf(index);
    if (id != 0) FormatLabel(label, *m_entries[id], m_eUnits, m_mode);
    return label;
}

const CScanEntry* CTreeModel::EntryOf(const QModelIndex& index) const {
    return m_entries.empty() ? nullptr : m_entries[IdOf(index)];
}

QString CTreeModel::DetailsOf(const QModelIndex& index) const {
    const Id id = IdOf(index);
    if (id == 0) return {};
    if (!m_source) return DisplayText(LabelOf(index));
    const std::vector<std::string> lines =
        DescribeEntry(*m_source, *m_entries[id], m_entries[ParentOf(id)], m_strGroupSeparator);
    QStringList shown;
    for (const std::string& line : lines) shown << DisplayText(line);
    return shown.join(QLatin1Char('\n'));
}

QVariant CTreeModel::data(const QModelIndex& index, int role) const {
    if (IdOf(index) == 0) return {};
    switch (role) {
        case Qt::DisplayRole: return DisplayText(LabelOf(index));
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole: return DetailsOf(index);
        default: return {};
    }
}

void CTreeModel::SetSortOrder(SortOrder order) {
    if (order == m_order) return;
    m_order = order;
    Reorder(true);
}

void CTreeModel::SetSizeMode(SizeMode mode) {
    if (mode == m_mode) return;
    m_mode = mode;
    // By name the order stays; only the labels change.
    Reorder(m_order == SortOrder::Size);
}

void CTreeModel::Reorder(bool resort) {
    emit layoutAboutToBeChanged();
    if (m_bPublished && resort) {
        const QModelIndexList before = persistentIndexList();
        std::vector<Id> ids;
        ids.reserve(static_cast<std::size_t>(before.size()));
        for (const QModelIndex& index : before) ids.push_back(IdOf(index));
        m_sorted.assign(m_sorted.size(), false);
        // Sorting the parents of the persistent items gives them their rows.
        QModelIndexList after;
        after.reserve(before.size());
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] != 0) EnsureSorted(ParentOf(ids[i]));
            after.push_back(ids[i] == 0 ? QModelIndex() : IndexOf(ids[i]));
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged();
}

}  // namespace sizewalk
