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
// directories that has a tile. Double-click or Enter zooms into the tile's
// directory; Backspace or "Zoom Out" in the context menu goes back up. The
// pane takes keyboard focus; its accessible name says what it shows.
//
// The pane reads the list from the worker thread too: before the list
// changes, call SetList() (with null or the new list).

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "model/treemap_input.h"
#include "model/treemap_picture.h"
#include "model/treemap_state.h"
#include "scan/scan_list.h"
#include "ui/qt/thread_wake.h"

class QAction;
class QLabel;

namespace sizewalk {

class CTreemapView : public QWidget {
    Q_OBJECT
public:
    // The tooltip of a list index: the tree's, one line each.
    using Describer = std::function<QString(std::uint32_t index)>;

    explicit CTreemapView(QWidget* parent = nullptr);
    ~CTreemapView() override;

    // Shows `list` (null: nothing) from its top, with no selection. Waits for
    // a picture being drawn of the previous list.
    void SetList(const CScanList* list);
    const CScanList* List() const { return m_state.List(); }
    void SetSizeMode(SizeMode mode);
    SizeMode GetSizeMode() const { return m_state.Mode(); }
    void SetDescriber(Describer describer) { m_describer = std::move(describer); }

    // Outlines the tile of a list index, or of its nearest directory with a
    // tile; kNoNode (or an index outside the zoom root) outlines nothing.
    void SetSelected(std::uint32_t index);
    std::uint32_t Selected() const { return m_state.Selected(); }

    // The directory whose subtree the map shows (0 at the top).
    std::uint32_t ZoomRoot() const { return m_state.Root(); }
    // Zooms into the directory a tile belongs to (a directory itself, a
    // file's parent); false when that is already the root.
    bool ZoomInto(std::uint32_t index);
    // One directory up; false at the top.
    bool ZoomOut();

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
    // True while a newer picture is drawn in the background.
    bool IsRendering() const;
    // Tuning and test seam: the queue that draws the pictures.
    CTreemapRenderQueue& RenderQueue() { return *m_queue; }

signals:
    // A click on a tile: the list index it shows.
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
    // Asks for a picture of the current list, mode, root and size.
    void Rerender();
    // The map's size in device pixels (at most kMaxTreemapSide a side).
    QSize DeviceSize() const;
    void OnPictureReady();
    void Adopt(std::unique_ptr<TreemapPicture> picture);
    // The shown image: the picture and the selection's outline.
    void UpdateShown();
    // The path line and the accessible name.
    void UpdateTexts();
    // After the zoom root changed: texts and picture.
    void RootChanged();

    CTreemapState m_state;
    Describer m_describer;
    QLabel* m_pPath;
    QAction* m_pZoomOut;
    QSize m_requested;                          // of the newest request
    std::unique_ptr<TreemapPicture> m_picture;  // the newest picture received
    QImage m_shown;
    CThreadWake* m_pWake;  // before m_queue: the queue's worker wakes it
    std::unique_ptr<CTreemapRenderQueue> m_queue;
};

}  // namespace sizewalk
