#pragma once
// The treemap pane on Windows: a child window that shows the map of a scan
// list (every file a tile, in the size on show) under a static line that
// gives the path of the map's root. The pixels come from the toolkit-free
// renderer (model/treemap_picture.h) through a 32-bit top-down DIB section,
// one device pixel each; a map too dear to draw at once is drawn on a worker
// thread while the window keeps answering and shows its last picture
// stretched.
//
// Pointing at a tile shows its details in a tooltip (SetDescriber); a click
// selects it (SetOnSelect) and SetSelected() outlines an item, or the nearest
// of its directories with a tile. Folders large enough show their names in
// the dialog's font, white with a dark halo, and the first levels a thin
// dark frame. Double-click or Enter zooms one level
// towards the tile (into the root's child that holds it); Backspace or "Zoom
// Out" in the context menu goes back up, Home or "Zoom to Top" to the start.
// The
// window takes the focus, and its text says what it shows ("Treemap of
// C:\Windows: largest system32, 41.0%"), which screen readers read as its
// name.
//
// What is shown and when it is drawn is the controller's
// (core/treemap_controller.h): the window paints its picture, hit-tests and
// forwards input. The worker reads the list: before the list changes, call
// SetList() (with null or the new list).

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/treemap_controller.h"
#include "model/treemap_input.h"
#include "scan/scan_list.h"

namespace sizewalk {

class CTreemapWindow : private CTreemapController::Client {
public:
    // The details of a list index, one line each (CRLF between lines).
    using Describer = std::function<std::wstring(std::uint32_t index)>;
    using SelectHandler = std::function<void(std::uint32_t index)>;
    using ZoomHandler = std::function<void(std::uint32_t root)>;

    // A child of `parent` with control id `id`, at `rect` in the parent's
    // client coordinates (hidden unless `visible`).
    CTreemapWindow(HWND parent, int id, const RECT& rect, bool visible = true);
    // Joins the worker and destroys the window.
    ~CTreemapWindow();
    CTreemapWindow(const CTreemapWindow&) = delete;
    CTreemapWindow& operator=(const CTreemapWindow&) = delete;

    // False when the system gave no window.
    bool IsValid() const { return m_hWnd != nullptr; }
    HWND Window() const { return m_hWnd; }
    // The static line above the map.
    HWND PathWindow() const { return m_hPath; }

    // Shows `list` (null: nothing) from its top, with no selection.
    void SetList(const CScanList* list);
    void SetSizeMode(SizeMode mode) { m_map.SetSizeMode(mode); }
    const CScanList* List() const { return m_map.List(); }
    // The files of `type` as they are, the rest dimmed; none: every tile.
    void SetHighlight(std::optional<FileTypeFilter> type) { m_map.SetHighlight(std::move(type)); }
    SizeMode GetSizeMode() const { return m_map.Mode(); }
    void SetDescriber(Describer describer) { m_describer = std::move(describer); }
    // Called on a click on a tile with its list index. The window outlines
    // what it is told to (SetSelected), not what was clicked.
    void SetOnSelect(SelectHandler handler) { m_onSelect = std::move(handler); }
    // Called when the map's root changed (zoom in or out, a new list).
    void SetOnZoom(ZoomHandler handler) { m_onZoom = std::move(handler); }

    // Outlines the tile of a list index, or of its nearest directory with a
    // tile; kNoNode (or an index outside the zoom root) outlines nothing.
    void SetSelected(std::uint32_t index) { m_map.SetSelected(index); }
    std::uint32_t Selected() const { return m_map.Selected(); }
    std::uint32_t ZoomRoot() const { return m_map.Root(); }
    // One level towards a tile; false for a file directly in the root.
    bool ZoomInto(std::uint32_t index) { return m_map.ZoomInto(index); }
    // One directory up; false at the top.
    bool ZoomOut() { return m_map.ZoomOut(); }
    // Back to the start; false when there.
    bool ZoomHome() { return m_map.ZoomHome(); }

    // The list index under a point of the window's client area (kNoNode
    // outside the map).
    std::uint32_t IndexAt(POINT point) const;
    // Where the map is, in client coordinates.
    RECT MapRect() const;
    // The picture on show with its outline: 0x00RRGGBB words, top row first
    // (null before the first picture).
    const std::uint32_t* Bits() const { return m_pBits; }
    int PictureWidth() const { return m_nDibWidth; }
    int PictureHeight() const { return m_nDibHeight; }
    bool IsRendering() const { return m_map.IsRendering(); }
    // The folders' names on show, in the picture's pixels.
    const std::vector<TreemapLabel>& Labels() const { return m_map.Labels(); }
    // Tuning and test seam: the queue that draws the pictures.
    CTreemapRenderQueue& RenderQueue() { return m_map.RenderQueue(); }

    // The message the worker posts when a picture is ready.
    static constexpr UINT kPictureReady = WM_APP + 0x7A;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The DIB: the picture and the selection's outline.
    void PictureChanged() override;
    void TextsChanged() override;
    void ZoomChanged(std::uint32_t root) override {
        if (m_onZoom) m_onZoom(root);
    }
    // The map's size to the controller.
    void SizeChanged();
    void Paint(HDC dc);
    void PaintLabels(HDC dc, const RECT& map) const;
    void Layout();
    void ShowContextMenu(POINT screen);
    void FreeDib();

    HWND m_hWnd = nullptr;
    HWND m_hPath = nullptr;
    HWND m_hTip = nullptr;
    HFONT m_hFont = nullptr;  // the parent's: the path line's and the labels'

    std::uint32_t m_nHot = kNoNode;  // the tile the tooltip tells of
    Describer m_describer;
    SelectHandler m_onSelect;
    ZoomHandler m_onZoom;
    HBITMAP m_hDib = nullptr;
    std::uint32_t* m_pBits = nullptr;
    int m_nDibWidth = 0;
    int m_nDibHeight = 0;
    std::wstring m_tipText;
    CTreemapController m_map;  // last: joins the worker before the rest goes
};

}  // namespace sizewalk
