#pragma once
// What a treemap pane does, whatever toolkit draws it: the list, size and
// zoom on show, the item outlined, which picture to ask the renderer for and
// when, and what the pane's texts say. The Qt and the Win32 pane own one;
// they paint the picture it composes, hit-test through it and forward their
// input (a click, a double-click, Enter, Backspace, a new size) to it.
//
// Threads: everything runs on the pane's thread except `ready`, which the
// renderer's worker calls when a picture is finished; it should only post to
// the pane's thread, which then calls OnPictureReady(). The worker reads the
// list: before the list changes, call SetList() (with null or the new list).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/treemap_input.h"
#include "model/treemap_picture.h"
#include "model/treemap_state.h"
#include "scan/scan_list.h"

namespace sizewalk {

class CTreemapController {
public:
    // What the pane shows follows these, on the pane's thread.
    class Client {
    public:
        // The picture or its outline changed: Compose() again and repaint.
        virtual void PictureChanged() = 0;
        // The path line, the pane's name and Zoom Out's state changed.
        virtual void TextsChanged() = 0;
        // The map's root changed: a zoom, or a new list (root 0).
        virtual void ZoomChanged(std::uint32_t root) = 0;

    protected:
        ~Client() = default;
    };

    CTreemapController(Client& client, std::function<void()> ready);
    // Joins the renderer's worker.
    ~CTreemapController();
    CTreemapController(const CTreemapController&) = delete;
    CTreemapController& operator=(const CTreemapController&) = delete;

    // Shows `list` (null: nothing) from its top, with nothing outlined; the
    // previous list's picture is dropped at once.
    void SetList(const CScanList* list);
    void SetSizeMode(SizeMode mode);
    // The files of `type` as they are and the rest dimmed (none: every tile
    // as it is); a new list starts with none.
    void SetHighlight(std::optional<FileTypeFilter> type);
    const std::optional<FileTypeFilter>& Highlight() const { return m_highlight; }
    // Outlines the tile of a list index, or of its nearest directory with a
    // tile; kNoNode (or an index outside the zoom root) outlines nothing.
    void SetSelected(std::uint32_t index);
    // One level down, towards a tile: into the child directory of the root
    // that holds it. False for a file directly in the root (nothing to zoom
    // into) and for an index outside the root.
    bool ZoomInto(std::uint32_t index);
    // One directory up; false at the top.
    bool ZoomOut();
    // Back to the map's start (node 0); false when already there.
    bool ZoomHome();
    // Enter: one level towards the outlined item. False when nothing is
    // outlined or there is nothing to zoom into: the key then belongs to
    // the dialog.
    bool ZoomIntoSelected();
    bool CanZoomIntoSelected() const;
    // The map's size in device pixels (at most kMaxTreemapSide a side): a
    // picture of another size is asked for; the same size asks for nothing.
    void SetSize(int width, int height);
    // The worker's picture, once `ready` has been posted.
    void OnPictureReady();

    const CScanList* List() const { return m_state.List(); }
    SizeMode Mode() const { return m_state.Mode(); }
    std::uint32_t Root() const { return m_state.Root(); }
    std::uint32_t Selected() const { return m_state.Selected(); }
    bool CanZoomOut() const { return List() && Root() != 0; }
    // The root's path (empty without a list) and what the map shows
    // ("Treemap of /home: largest src, 41.0%", or "Treemap"; zoomed in,
    // with how deep: "..., zoom level 2").
    std::string PathText() const;
    std::string Description() const;

    // The size of the newest picture received (0 before the first, or
    // without a list); Compose() fills that many pixels.
    int PictureWidth() const;
    int PictureHeight() const;
    // The picture with the selection's outline, `thickness` device pixels
    // wide, into `pixels` (PictureWidth() × PictureHeight() 0xAARRGGBB words,
    // top row first).
    void Compose(std::span<std::uint32_t> pixels, int thickness) const;
    // Where the folders' names go, in the picture's pixels (scale them as
    // the picture is scaled); none before the first picture or without a
    // label height.
    const std::vector<TreemapLabel>& Labels() const;
    // The height of a line of the pane's small print in device pixels (0:
    // no labels); another height asks for a new picture.
    void SetLabelHeight(int height);
    // The list index at (x, y) of the map drawn `width` × `height` in the
    // pane's units (the picture may be older than that size); kNoNode
    // outside the map.
    std::uint32_t IndexAt(int x, int y, int width, int height) const;

    // True while a newer picture is drawn in the background.
    bool IsRendering() const { return m_queue->Busy(); }
    // Tuning and test seam: the queue that draws the pictures.
    CTreemapRenderQueue& RenderQueue() { return *m_queue; }

private:
    // Asks for a picture of the current list, mode, root and size.
    void Rerender();
    void Adopt(std::unique_ptr<TreemapPicture> picture);
    void RootChanged();

    Client& m_client;
    CTreemapState m_state;
    std::optional<FileTypeFilter> m_highlight;
    int m_nWidth = 0, m_nHeight = 0;  // the map's size now
    int m_nLabelHeight = 0;
    int m_nAskedWidth = -1, m_nAskedHeight = -1;   // of the newest request
    std::unique_ptr<TreemapPicture> m_picture;     // the newest picture received
    std::unique_ptr<CTreemapRenderQueue> m_queue;  // last: joined first
};

}  // namespace sizewalk
