#pragma once
// The tree the dialog shows: a read-only item model filled by the scan
// command through CTreeSink. Items keep only a pointer to their entry and
// their place in the structure (20 bytes each); label text is made when the
// view asks for it, and the children of a parent are sorted the first time
// anyone looks at them, so a fill of a million items stays linear.
//
// The order (by name or by size) and the size on show (apparent or on disk)
// can be switched at any time. A switch re-sorts only what is looked at
// again, keeps every persistent index (so a view keeps what it expanded and
// selected) and never touches the scanner.
//
// Items show the scanner's entries: they must be deleted before those
// entries are released (the scan command does so).

#include <QAbstractItemModel>

#include <cstdint>
#include <string>
#include <vector>

#include "core/entry_source.h"
#include "ui/qt/name_collator.h"
#include "model/tree_order.h"
#include "core/tree_sink.h"

namespace sizewalk {

class CTreeModel : public QAbstractItemModel, public CTreeSink {
    Q_OBJECT
public:
    explicit CTreeModel(QObject* parent = nullptr);

    // CTreeSink
    void DeleteAllItems() override;
    void ReserveItems(std::size_t count) override;
    TreeItem InsertItem(TreeItem parent, const CScanEntry& entry, Units units) override;
    void EndInsert() override;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Children by name (the default) or largest first.
    void SetSortOrder(SortOrder order);
    SortOrder GetSortOrder() const { return m_order; }
    // The size the labels show, and Sort by Size sorts by.
    void SetSizeMode(SizeMode mode);
    SizeMode GetSizeMode() const { return m_mode; }
    // Where tooltips find an item's path and the entries below it; without
    // one, the tooltip is the label.
    void SetEntrySource(const CEntrySource* source) { m_source = source; }

    // The entry an index shows (null for none).
    const CScanEntry* EntryOf(const QModelIndex& index) const;
    // The tooltip of an item: its details, one line each.
    QString DetailsOf(const QModelIndex& index) const;

    // The index of an item by the handle InsertItem returned (sorting the
    // children of its ancestors first, as expanding down to it would).
    QModelIndex IndexOfItem(TreeItem item) const;
    // The label bytes of an item, as the command formats them.
    std::string LabelOf(const QModelIndex& index) const;
    std::size_t ItemCount() const { return m_bPublished ? m_entries.size() - 1 : 0; }
    // Bytes the model holds for its items.
    std::size_t MemoryBytes() const;

private:
    using Id = std::uint32_t;  // 0 is the invisible root above the top level

    void Publish();
    // Re-sorts on next look; every persistent index follows its item.
    void Reorder(bool resort);
    void Release();
    Id IdOf(const QModelIndex& index) const;
    Id ParentOf(Id id) const;
    void EnsureSorted(Id parent) const;
    QModelIndex IndexOf(Id id) const;

    // Per id: the entry shown (null for the root); while inserting the parent
    // id, once published the item's slot in m_children.
    std::vector<const CScanEntry*> m_entries;
    mutable std::vector<Id> m_slot;
    // Once published: the children of id are m_children[m_first[id] ..
    // m_first[id + 1]), sorted when m_sorted[id] is set.
    std::vector<Id> m_first;
    mutable std::vector<Id> m_children;
    mutable std::vector<bool> m_sorted;
    bool m_bPublished = false;
    bool m_bResetting = false;
    Units m_eUnits = Units::MB;
    SortOrder m_order = SortOrder::Name;
    SizeMode m_mode = SizeMode::Apparent;
    const CEntrySource* m_source = nullptr;
    std::string m_strGroupSeparator;
    CNameCollator m_collator;
};

}  // namespace sizewalk
