#include "ui/qt/treemap_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <span>

#include "ui/qt/command_actions.h"
#include "ui/qt/display_text.h"

namespace sizewalk {

CTreemapView::CTreemapView(QWidget* parent)
    : QWidget(parent),
      m_pPath(new QLabel(this)),
      m_pZoomOut(new QAction(ActionText(InfoOf(Command::ZoomOut)), this)),
      m_pZoomHome(new QAction(ActionText(InfoOf(Command::ZoomHome)), this)),
      m_pWake(new CThreadWake([this] { m_map.OnPictureReady(); }, this)),
      // Worker thread: only wake; the picture is taken on this thread.
      m_map(*this, [this] { m_pWake->Wake(); }) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(64, 48);
    m_pPath->setObjectName(QStringLiteral("treemapPath"));
    m_pPath->setTextFormat(Qt::PlainText);
    m_pPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pPath->setAutoFillBackground(true);
    m_pPath->setIndent(4);
    if (m_labelFont.pointSizeF() > 0)
        m_labelFont.setPointSizeF(m_labelFont.pointSizeF() * 0.85);
    else
        m_labelFont.setPixelSize(std::max(8, m_labelFont.pixelSize() * 85 / 100));
    // Shown in the menu; keyPressEvent acts.
    m_pZoomOut->setShortcut(KeySequenceOf(InfoOf(Command::ZoomOut).key));
    m_pZoomOut->setEnabled(false);
    connect(m_pZoomOut, &QAction::triggered, this, [this] { ZoomOut(); });
    m_pZoomHome->setShortcut(KeySequenceOf(InfoOf(Command::ZoomHome).key));
    m_pZoomHome->setEnabled(false);
    connect(m_pZoomHome, &QAction::triggered, this, [this] { ZoomHome(); });
    TextsChanged();
}

CTreemapView::~CTreemapView() = default;  // m_map joins the worker first

QRect CTreemapView::MapRect() const {
    const int top = m_pPath->geometry().bottom() + 1;
    return QRect(0, top, width(), std::max(0, height() - top));
}

QSize CTreemapView::DeviceSize() const {
    const QRect map = MapRect();
    const qreal ratio = devicePixelRatioF();
    return QSize(static_cast<int>(std::lround(map.width() * ratio)),
                 static_cast<int>(std::lround(map.height() * ratio)))
        .boundedTo(QSize(kMaxTreemapSide, kMaxTreemapSide));
}

void CTreemapView::PictureChanged() {
    const int w = m_map.PictureWidth(), h = m_map.PictureHeight();
    if (w <= 0 || h <= 0) {
        m_shown = QImage();
    } else {
        if (m_shown.width() != w || m_shown.height() != h)
            m_shown = QImage(w, h, QImage::Format_RGB32);
        // 0xAARRGGBB words are what Format_RGB32 holds; its rows are w words.
        const std::span<std::uint32_t> pixels(reinterpret_cast<std::uint32_t*>(m_shown.bits()),
                                              static_cast<std::size_t>(w) * h);
        m_map.Compose(pixels, std::max(2, qRound(2 * devicePixelRatioF())));
    }
    update();
}

void CTreemapView::TextsChanged() {
    const QString path = DisplayText(m_map.PathText());
    m_pPath->setText(path);
    m_pPath->setToolTip(path);
    m_pPath->setAccessibleName(tr("Treemap root"));
    setAccessibleName(m_map.List() ? DisplayText(m_map.Description()) : tr("Treemap"));
    m_pZoomOut->setEnabled(m_map.CanZoomOut());
    m_pZoomHome->setEnabled(m_map.CanZoomOut());
}

std::uint32_t CTreemapView::IndexAt(QPoint pos) const {
    const QRect map = MapRect();
    return m_map.IndexAt(pos.x() - map.x(), pos.y() - map.y(), map.width(), map.height());
}
bool CTreemapView::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const std::uint32_t index = IndexAt(help->pos());
        if (index == kNoNode) {
            QToolTip::hideText();
        } else {
            const QString text =
                m_describer ? m_describer(index) : DisplayText(m_map.List()->PathOf(index));
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(e);
}

void CTreemapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect map = MapRect();
    if (m_shown.isNull()) {
        painter.fillRect(map, palette().window());
        if (hasFocus()) {  // an empty map is a tab stop all the same
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = map.adjusted(1, 1, -1, -1);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
        return;
    }
    // At device pixels the picture lands 1:1; an older one is stretched
    // until its successor arrives. One at another scale (the window moved to
    // another screen) is drawn anew.
    QMetaObject::invokeMethod(
        this, [this] { SizeChanged(); }, Qt::QueuedConnection);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(map), m_shown, QRectF(m_shown.rect()));
    PaintLabels(painter, map);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = map.adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void CTreemapView::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    update();
}

void CTreemapView::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    update();
}

void CTreemapView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    m_pPath->setGeometry(0, 0, width(), m_pPath->sizeHint().height());
    SizeChanged();
}

void CTreemapView::SizeChanged() {
    // A line of the labels' print with a pixel above and below, at device pixels.
    const qreal line = QFontMetricsF(m_labelFont).height() + 2;
    m_map.SetLabelHeight(static_cast<int>(std::ceil(line * devicePixelRatioF())));
    m_map.SetSize(DeviceSize().width(), DeviceSize().height());
}

void CTreemapView::PaintLabels(QPainter& painter, const QRect& map) const {
    const auto& labels = m_map.Labels();
    if (labels.empty()) return;
    // Scaled as the picture is: a stretched older picture keeps its names on
    // their folders.
    const qreal sx = map.width() / qreal(m_shown.width());
    const qreal sy = map.height() / qreal(m_shown.height());
    const QFontMetricsF metrics(m_labelFont);
    painter.setFont(m_labelFont);
    painter.setPen(Qt::white);
    for (const TreemapLabel& label : labels) {
        const QRectF box(map.x() + label.rect.x0 * sx, map.y() + label.rect.y0 * sy,
                         label.rect.Width() * sx, label.rect.Height() * sy);
        const QString text =
            metrics.elidedText(DisplayText(label.strName), Qt::ElideRight, box.width() - 6);
        if (text.isEmpty() || text == QStringLiteral("\u2026")) continue;
        // White on a translucent dark plate reads on every colour of the map.
        const QRectF plate(
            box.topLeft(),
            QSizeF(std::min(box.width(), metrics.horizontalAdvance(text) + 6), box.height()));
        painter.fillRect(plate, QColor(0, 0, 0, 150));
        painter.drawText(plate.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

void CTreemapView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    setFocus(Qt::MouseFocusReason);
    const std::uint32_t index = IndexAt(e->position().toPoint());
    if (index != kNoNode) emit itemSelected(index);
}

void CTreemapView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(e);
    const std::uint32_t index = IndexAt(e->position().toPoint());
    if (index != kNoNode) ZoomInto(index);
}

void CTreemapView::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!m_map.ZoomIntoSelected()) e->ignore();  // the dialog's default button
            return;
        case Qt::Key_Backspace:
            ZoomOut();
            return;
        case Qt::Key_Home:
            ZoomHome();
            return;
        default:
            QWidget::keyPressEvent(e);
    }
}

void CTreemapView::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    menu.addAction(m_pZoomOut);
    menu.addAction(m_pZoomHome);
    menu.exec(e->globalPos());
}

}  // namespace sizewalk
