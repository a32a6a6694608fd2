#pragma once
// File Types (CTypeTable) as a Qt table model: each kind's row in bold with
// its colour swatch, its types set in below it, the exact size as the Size
// cell's tip. It only adapts: the table sorts itself when the presenter
// asks, and the model is reset whenever the presenter shows a table.

#include <QAbstractTableModel>

#include <string>

#include "model/type_table.h"

namespace sizewalk {

class CTypeTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CTypeTableModel(std::string separator = ",", QObject* parent = nullptr);

    // The rows of `table` (null: none), which must outlive its use here.
    void SetTable(const CTypeTable* table);
    const CTypeTable* Table() const { return m_pTable; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const CTypeTable* m_pTable = nullptr;
    std::string m_strSeparator;
};

// A swatch of `color` (0xRRGGBB) for a legend, `side` pixels square, with
// a dark edge so that a light colour still shows on a light background.
QPixmap KindSwatch(std::uint32_t color, int side);

}  // namespace sizewalk
