#pragma once
// The tree the dialog shows: a read-only item model over the scan tree
// (model/scan_tree.h) of the kept list. The model only adapts the tree to
// the view: an index's internal id is the item (the list index), rows come
// from the tree's order, labels are made when the view asks for them.
//
// The order (by name, size, items or time) and the size on show (apparent or
// on disk) can be switched at any time, and so can the details columns
// (model/detail_columns.h) beside the labels. A switch re-sorts only what is looked at
// again, keeps every persistent index (so a view keeps what it expanded and
// selected) and never touches the list.
//
// The model refers to the list it shows until DeleteAllItems(): the scan
// command empties it before the list changes.

#include <QAbstractItemModel>
#include <QColor>

#include <cstdint>
#include <memory>
#include <string>

#include "core/tree_sink.h"
#include "model/scan_tree.h"
#include "model/tree_order.h"
#include "ui/qt/name_collator.h"

namespace sizewalk {

class CTreeModel : public QAbstractItemModel, public CTreeSink {
    Q_OBJECT
public:
    using Item = CScanTree::Item;

    explicit CTreeModel(QObject* parent = nullptr);
    ~CTreeModel() override;

    // CTreeSink
    void DeleteAllItems() override;
    void ShowList(const CScanList& list, Units units, Files files) override;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The share of the parent (a double from 0 to 1) of a % cell, for its bar.
    static constexpr int kShareRole = Qt::UserRole + 1;
    // The label of a directory that could not be read: drawn in this colour
    // (dark red, readable on white; a selected row keeps the selection's
    // text colour) beside the style's warning icon.
    static QColor WarningColour();
    // The details columns after the labels, or the labels alone (the
    // default). Expanded items stay; indexes into the columns that go away
    // become invalid (move the current item to column 0 first).
    void SetShowDetails(bool shown);
    bool IsShowingDetails() const { return m_bDetails; }

    // Children by name (the default) or largest first.
    void SetSortOrder(SortOrder order);
    SortOrder GetSortOrder() const { return m_order; }
    // The size the labels show, and Sort by Size sorts by.
    void SetSizeMode(SizeMode mode);
    SizeMode GetSizeMode() const { return m_mode; }

    // The tree shown (null while empty).
    const CScanTree* Tree() const { return m_tree.get(); }
    // The item an index shows (kNoItem for none), and back.
    Item ItemOf(const QModelIndex& index) const;
    QModelIndex IndexOfItem(Item item) const;
    // The entry an index shows (null for none).
    const CScanEntry* EntryOf(const QModelIndex& index) const;
    // The full path of the item an index shows (empty for none).
    std::string PathOf(const QModelIndex& index) const;
    // The tooltip of an item: its details, one line each.
    QString DetailsOf(const QModelIndex& index) const;
    // The label bytes of an item, as the command formats them.
    std::string LabelOf(const QModelIndex& index) const;
    std::size_t ItemCount() const { return m_tree ? m_tree->ItemCount() : 0; }
    // Bytes the model and its tree hold for the items.
    std::size_t MemoryBytes() const;

private:
    // A directory that could not be read, wholly or in part.
    bool IsUnreadable(Item item) const;
    // Re-sorts on next look; every persistent index follows its item.
    void Reorder(bool resort);
    QModelIndex MakeIndex(Item item, int column = 0) const;

    std::unique_ptr<CScanTree> m_tree;
    Units m_eUnits = Units::MB;
    SortOrder m_order = SortOrder::Name;
    SizeMode m_mode = SizeMode::Apparent;
    bool m_bDetails = false;
    std::string m_strGroupSeparator;
    CNameCollator m_collator;
};

}  // namespace sizewalk
