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
    // Shown in the menu; keyPressEvent acts.
    m_pZoomOut->setShortcut(KeySequenceOf(InfoOf(Command::ZoomOut).key));
    m_pZoomOut->setEnabled(false);
    connect(m_pZoomOut, &QAction::triggered, this, [this] { ZoomOut(); });
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
        this, [this] { m_map.SetSize(DeviceSize().width(), DeviceSize().height()); },
        Qt::QueuedConnection);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(map), m_shown, QRectF(m_shown.rect()));
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
    m_map.SetSize(DeviceSize().width(), DeviceSize().height());
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
        default:
            QWidget::keyPressEvent(e);
    }
}

void CTreemapView::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    menu.addAction(m_pZoomOut);
    menu.exec(e->globalPos());
}

}  // namespace sizewalk
