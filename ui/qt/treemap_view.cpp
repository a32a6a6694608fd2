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

#include "model/list_treemap_input.h"
#include "model/treemap_render.h"
#include "ui/qt/command_actions.h"
#include "ui/qt/display_text.h"

namespace sizewalk {

CTreemapView::CTreemapView(QWidget* parent)
    : QWidget(parent),
      m_pPath(new QLabel(this)),
      m_pZoomOut(new QAction(ActionText(InfoOf(Command::ZoomOut)), this)),
      m_pWake(new CThreadWake([this] { OnPictureReady(); }, this)),
      // Worker thread: only wake; the picture is taken on this thread.
      m_queue(std::make_unique<CTreemapRenderQueue>([this] { m_pWake->Wake(); })) {
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
    UpdateTexts();
}

CTreemapView::~CTreemapView() {
    m_queue.reset();  // joins the worker before anything it may post to goes
}

void CTreemapView::SetList(const CScanList* list) {
    m_queue->Cancel();
    m_state.SetList(list);
    m_picture.reset();
    m_shown = QImage();
    UpdateTexts();
    emit zoomRootChanged(0);
    Rerender();
}

void CTreemapView::SetSizeMode(SizeMode mode) {
    if (!m_state.SetSizeMode(mode)) return;
    UpdateTexts();
    Rerender();
}

void CTreemapView::SetSelected(std::uint32_t index) {
    if (!m_state.SetSelected(index)) return;
    UpdateShown();
}

bool CTreemapView::ZoomInto(std::uint32_t index) {
    if (!m_state.ZoomInto(index)) return false;
    RootChanged();
    return true;
}

bool CTreemapView::ZoomOut() {
    if (!m_state.ZoomOut()) return false;
    RootChanged();
    return true;
}

void CTreemapView::RootChanged() {
    UpdateTexts();
    emit zoomRootChanged(m_state.Root());
    Rerender();
}

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

void CTreemapView::Rerender() {
    if (!m_state.List()) {
        // Nothing to draw, and nothing to allocate for it.
        m_queue->Cancel();
        m_picture.reset();
        m_shown = QImage();
        update();
        return;
    }
    TreemapRequest request;
    request.pList = m_state.List();
    request.mode = m_state.Mode();
    request.nRoot = m_state.Root();
    m_requested = DeviceSize();
    request.nWidth = m_requested.width();
    request.nHeight = m_requested.height();
    bool ready = false;
    try {
        ready = m_queue->Request(request);
    } catch (const std::bad_alloc&) {
        return;  // keeps the last picture
    }
    if (ready) Adopt(m_queue->Take());
    update();
}

void CTreemapView::OnPictureReady() {
    if (auto picture = m_queue->Take()) Adopt(std::move(picture));
}

void CTreemapView::Adopt(std::unique_ptr<TreemapPicture> picture) {
    if (!picture) return;
    m_picture = std::move(picture);
    UpdateShown();
}

bool CTreemapView::IsRendering() const { return m_queue->Busy(); }

void CTreemapView::UpdateShown() {
    if (!m_picture || m_picture->pixels.empty()) {
        m_shown = QImage();
        update();
        return;
    }
    const int w = m_picture->request.nWidth, h = m_picture->request.nHeight;
    m_shown = QImage(w, h, QImage::Format_RGB32);
    // 0xAARRGGBB words are what Format_RGB32 holds; its rows are w words.
    std::copy(m_picture->pixels.begin(), m_picture->pixels.end(),
              reinterpret_cast<std::uint32_t*>(m_shown.bits()));
    if (m_state.Selected() != kNoNode && m_state.List()) {
        const CListTreemapInput input(*m_state.List(), m_picture->request.mode);
        const std::uint32_t shown = m_picture->layout.VisibleAncestor(input, m_state.Selected());
        if (shown != kNoNode) {
            const auto* bits = reinterpret_cast<std::uint32_t*>(m_shown.bits());
            const std::span<std::uint32_t> pixels(const_cast<std::uint32_t*>(bits),
                                                  static_cast<std::size_t>(w) * h);
            const int thickness = std::max(2, qRound(2 * devicePixelRatioF()));
            DrawTreemapOutline(pixels, w, h, m_picture->layout.Rect(shown), thickness);
        }
    }
    update();
}

void CTreemapView::UpdateTexts() {
    QString path, name = tr("Treemap");
    if (m_state.List() && m_state.Root() < m_state.List()->Count()) {
        path = DisplayText(m_state.List()->PathOf(m_state.Root()));
        name = DisplayText(DescribeTreemap(*m_state.List(), m_state.Root(), m_state.Mode()));
    }
    m_pPath->setText(path);
    m_pPath->setToolTip(path);
    m_pPath->setAccessibleName(tr("Treemap root"));
    setAccessibleName(name);
    m_pZoomOut->setEnabled(m_state.List() && m_state.Root() != 0);
}

std::uint32_t CTreemapView::IndexAt(QPoint pos) const {
    if (!m_picture || !m_state.List() || m_picture->request.nWidth <= 0) return kNoNode;
    const QRect map = MapRect();
    if (!map.contains(pos)) return kNoNode;
    // The picture may be older than the pane's size: scale into it.
    const int x =
        static_cast<int>((pos.x() - map.x()) * static_cast<qint64>(m_picture->request.nWidth) /
                         std::max(1, map.width()));
    const int y =
        static_cast<int>((pos.y() - map.y()) * static_cast<qint64>(m_picture->request.nHeight) /
                         std::max(1, map.height()));
    const CListTreemapInput input(*m_state.List(), m_picture->request.mode);
    return m_picture->layout.HitTest(input, x, y);
}

bool CTreemapView::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const std::uint32_t index = IndexAt(help->pos());
        if (index == kNoNode) {
            QToolTip::hideText();
        } else {
            const QString text =
                m_describer ? m_describer(index) : DisplayText(m_state.List()->PathOf(index));
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
        return;
    }
    // At device pixels the picture lands 1:1; an older one is stretched
    // until its successor arrives. One at another scale (the window moved to
    // another screen) is drawn anew.
    if (DeviceSize() != m_requested) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (DeviceSize() != m_requested) Rerender();
            },
            Qt::QueuedConnection);
    }
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
    Rerender();
}

void CTreemapView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    setFocus(Qt::MouseFocusReason);
    const std::uint32_t index = IndexAt(e->position().toPoint());
    if (index == kNoNode) return;
    SetSelected(index);
    emit itemSelected(index);
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
            if (m_state.Selected() == kNoNode) return e->ignore();  // the dialog's default button
            ZoomInto(m_state.Selected());
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
