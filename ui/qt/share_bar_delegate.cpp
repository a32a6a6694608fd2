#include "ui/qt/share_bar_delegate.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ui/qt/tree_model.h"

namespace sizewalk {

namespace {

// Room for a bar beside the widest text, in multiples of the font's height.
constexpr int kBarHeights = 4;

}  // namespace

void CShareBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);  // background, selection

    const double share = std::clamp(index.data(CTreeModel::kShareRole).toDouble(), 0.0, 1.0);
    const int margin = std::max(2, opt.rect.height() / 6);
    QRect bar = opt.rect.adjusted(margin, margin, -margin, -margin);
    if (share > 0 && bar.width() > 0) {
        bar.setWidth(std::max(1, static_cast<int>(std::lround(bar.width() * share))));
        const bool selected = (opt.state & QStyle::State_Selected) != 0;
        QColor fill = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight);
        fill.setAlpha(selected ? 90 : 110);
        painter->fillRect(bar, fill);
    }
    painter->save();
    painter->setPen(opt.palette.color(
        (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    painter->drawText(opt.rect.adjusted(margin * 2, 0, -margin * 2, 0),
                      Qt::AlignRight | Qt::AlignVCenter, text);
    painter->restore();
}

QSize CShareBarDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += kBarHeights * option.fontMetrics.height();
    return size;
}

}  // namespace sizewalk
