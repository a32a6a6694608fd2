#pragma once
// Draws a "% of Parent" cell: a bar as long as the share (CTreeModel::
// kShareRole) under the cell's text, right-aligned.

#include <QStyledItemDelegate>

namespace sizewalk {

class CShareBarDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace sizewalk
