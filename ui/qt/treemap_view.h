#pragma once
// The treemap pane: the map of a scan list (every file a tile, in the size on
// show) under a line that gives the path of the map's root. The pixels come
// from the toolkit-free renderer (model/treemap_picture.h) at the screen's
// device pixels, so the map is crisp at any scale; a map too dear to draw at
// once is drawn on a worker thread while the pane keeps answering and shows
// its last picture stretched.
//
// Pointing at a tile shows its details (SetDescriber); clicking selects it
// (itemSelected) and SetSelected() outlines an item, or the nearest of its
// directories that has a tile. Folders large enough show their names in
// small print on a dark plate, and the first levels a thin dark frame. Double-click or Enter zooms
// one level towards the tile (into the root's child that holds it); Backspace or "Zoom Out" in the
// context menu goes back up, Home or "Zoom to Top" to the start. The pane takes keyboard focus; its
// accessible name says what it shows.
//
// What is shown and when it is drawn is the controller's
// (core/treemap_controller.h): the pane paints its picture, hit-tests and
// forwards input. The worker reads the list: before the list changes, call
// SetList() (with null or the new list).

#include <QFont>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/treemap_controller.h"
#include "model/treemap_input.h"
#include "scan/scan_list.h"
#include "ui/qt/thread_wake.h"

class QAction;
class QLabel;

namespace sizewalk {

class CTreemapView : public QWidget, private CTreemapController::Client {
    Q_OBJECT
public:
    // The tooltip of a list index: the tree's, one line each.
    using Describer = std::function<QString(std::uint32_t index)>;

    explicit CTreemapView(QWidget* parent = nullptr);
    ~CTreemapView() override;

    // Shows `list` (null: nothing) from its top, with no selection. Waits for
    // a picture being drawn of the previous list.
    void SetList(const CScanList* list) { m_map.SetList(list); }
    const CScanList* List() const { return m_map.List(); }
    void SetSizeMode(SizeMode mode) { m_map.SetSizeMode(mode); }
    SizeMode GetSizeMode() const { return m_map.Mode(); }
    // The files of `type` as they are, the rest dimmed; none: every tile.
    void SetHighlight(std::optional<FileTypeFilter> type) { m_map.SetHighlight(std::move(type)); }
    void SetDescriber(Describer describer) { m_describer = std::move(describer); }

    // Outlines the tile of a list index, or of its nearest directory with a
    // tile; kNoNode (or an index outside the zoom root) outlines nothing.
    void SetSelected(std::uint32_t index) { m_map.SetSelected(index); }
    std::uint32_t Selected() const { return m_map.Selected(); }

    // The directory whose subtree the map shows (0 at the top).
    std::uint32_t ZoomRoot() const { return m_map.Root(); }
    // One level towards a tile; false for a file directly in the root.
    bool ZoomInto(std::uint32_t index) { return m_map.ZoomInto(index); }
    // One directory up; false at the top.
    bool ZoomOut() { return m_map.ZoomOut(); }
    // Back to the start; false when there.
    bool ZoomHome() { return m_map.ZoomHome(); }

    // The list index under a point of the pane (kNoNode outside the map).
    std::uint32_t IndexAt(QPoint pos) const;
    // Where the map is, in the pane's coordinates.
    QRect MapRect() const;
    // The picture on show with its outline (null before the first), at
    // device pixels.
    const QImage& Picture() const { return m_shown; }
    // The line above the map.
    QLabel* PathLabel() const { return m_pPath; }
    QAction* ZoomOutAction() const { return m_pZoomOut; }
    QAction* ZoomHomeAction() const { return m_pZoomHome; }
    // True while a newer picture is drawn in the background.
    bool IsRendering() const { return m_map.IsRendering(); }
    // The folders' names on show, in the picture's pixels.
    const std::vector<TreemapLabel>& Labels() const { return m_map.Labels(); }
    // Tuning and test seam: the queue that draws the pictures.
    CTreemapRenderQueue& RenderQueue() { return m_map.RenderQueue(); }

signals:
    // A click on a tile: the list index it shows. The pane outlines what it
    // is told to (SetSelected), not what was clicked.
    void itemSelected(quint32 index);
    // The map's root changed (zoom in or out, a new list).
    void zoomRootChanged(quint32 root);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void PictureChanged() override;
    void TextsChanged() override;
    void ZoomChanged(std::uint32_t root) override { emit zoomRootChanged(root); }
    // The map's size in device pixels (at most kMaxTreemapSide a side).
    QSize DeviceSize() const;
    // The map's size and its labels' height to the controller.
    void SizeChanged();
    void PaintLabels(QPainter& painter, const QRect& map) const;

    Describer m_describer;
    QLabel* m_pPath;
    QAction* m_pZoomOut;
    QAction* m_pZoomHome;
    QImage m_shown;        // the controller's picture with its outline
    QFont m_labelFont;     // the folders' names
    CThreadWake* m_pWake;  // before m_map: the renderer's worker wakes it
    CTreemapController m_map;
};

}  // namespace sizewalk
