#pragma once
// A flat list's rows (CRowTable) as a Qt table model: the table's texts,
// the exact size as the Size cell's tip, and the table's headers. It only
// adapts: the table sorts itself when the presenter asks, and the model is
// reset whenever the presenter shows a table, the same one included.

#include <QAbstractTableModel>

#include <string>

#include "model/row_table.h"

namespace sizewalk {

class CRowTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // `separator` groups the digits of the exact size in a tip.
    explicit CRowTableModel(std::string separator = ",", QObject* parent = nullptr);

    // The rows of `table` (null: none), which must outlive its use here.
    void SetTable(const CRowTable* table);
    const CRowTable* Table() const { return m_pTable; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const CRowTable* m_pTable = nullptr;
    std::string m_strSeparator;
};

}  // namespace sizewalk
