#include "ui/win32/treemap_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "platform/wide_text_win32.h"
#include "ui/win32/command_keys.h"

namespace sizewalk {

namespace {

constexpr wchar_t kClass[] = L"SizewalkTreemap";
constexpr UINT_PTR kZoomOutCommand = 1;
constexpr UINT_PTR kZoomHomeCommand = 2;
constexpr int kPathIndent = 4;  // the path line's gap to the left edge

// Device pixels per 96 of the screen.
int ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

CTreemapWindow::CTreemapWindow(HWND parent, int id, const RECT& rect, bool visible)
    : m_map(*this, [this] {
          // Worker thread: only post; the picture is taken on the window's.
          if (HWND hwnd = m_hWnd) ::PostMessageW(hwnd, kPictureReady, 0, 0);
      }) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;  // double-click zooms
    wc.lpfnWndProc = &CTreemapWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kClass;
    ::RegisterClassW(&wc);  // fails harmlessly once registered
    // WindowProc sets m_hWnd on WM_NCCREATE; until the path line exists,
    // messages go to DefWindowProc.
    ::CreateWindowExW(0, kClass, L"Treemap",
                      WS_CHILD | WS_TABSTOP | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0),
                      rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
    if (!m_hWnd) return;
    m_hPath = ::CreateWindowExW(0, L"STATIC", L"",
                                WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 0,
                                0, 0, 0, m_hWnd, nullptr, instance, nullptr);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    ::SendMessageW(m_hPath, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    m_hFont = font;

    m_hTip =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, instance, nullptr);
    if (m_hTip) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = m_hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(m_hTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(m_hTip, TTM_SETMAXTIPWIDTH, 0, 600);  // lines break where the text does
    }
    Layout();
    SizeChanged();  // its WM_SIZE came before the path line existed
    TextsChanged();
}

CTreemapWindow::~CTreemapWindow() {
    m_map.RenderQueue().Cancel();  // the worker is idle: nothing posts from now on
    if (m_hWnd) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hWnd);
    }
    FreeDib();  // the tooltip went with the window that owns it
}

void CTreemapWindow::SetList(const CScanList* list) {
    m_nHot = kNoNode;
    m_map.SetList(list);
}

RECT CTreemapWindow::MapRect() const {
    RECT client{}, path{};
    ::GetClientRect(m_hWnd, &client);
    ::GetWindowRect(m_hPath, &path);
    client.top = std::min(client.bottom, client.top + (path.bottom - path.top));
    return client;
}

void CTreemapWindow::Layout() {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    HDC dc = ::GetDC(m_hPath);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(m_hPath, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hPath, dc);
    ::MoveWindow(m_hPath, kPathIndent, 0, std::max<LONG>(0, client.right - kPathIndent),
                 metrics.tmHeight + 4, TRUE);
    m_map.SetLabelHeight(metrics.tmHeight + 2);  // a line with a pixel above and below
}

void CTreemapWindow::SizeChanged() {
    const RECT map = MapRect();
    m_map.SetSize(map.right - map.left, map.bottom - map.top);
}

void CTreemapWindow::FreeDib() {
    if (m_hDib) ::DeleteObject(m_hDib);
    m_hDib = nullptr;
    m_pBits = nullptr;
    m_nDibWidth = m_nDibHeight = 0;
}

void CTreemapWindow::PictureChanged() {
    const int w = m_map.PictureWidth(), h = m_map.PictureHeight();
    if (w <= 0 || h <= 0) {
        FreeDib();
    } else {
        if (w != m_nDibWidth || h != m_nDibHeight) {
            FreeDib();
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = w;
            info.bmiHeader.biHeight = -h;  // top row first, as the renderer writes
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            m_hDib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (!m_hDib) return;  // no memory for it: the pane stays blank
            m_pBits = static_cast<std::uint32_t*>(bits);
            m_nDibWidth = w;
            m_nDibHeight = h;
        }
        ::GdiFlush();
        // 0xAARRGGBB words are the DIB's blue, green, red, unused bytes.
        m_map.Compose(std::span<std::uint32_t>(m_pBits, static_cast<std::size_t>(w) * h),
                      std::max(2, (2 * ScreenDpi() + 48) / 96));  // 2 at 100%
    }
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CTreemapWindow::TextsChanged() {
    ::SetWindowTextW(m_hPath, WideFromUtf8(m_map.PathText()).c_str());
    ::SetWindowTextW(m_hWnd, WideFromUtf8(m_map.Description()).c_str());
}

std::uint32_t CTreemapWindow::IndexAt(POINT point) const {
    const RECT map = MapRect();
    return m_map.IndexAt(point.x - map.left, point.y - map.top, map.right - map.left,
                         map.bottom - map.top);
}

void CTreemapWindow::Paint(HDC dc) {
    const RECT map = MapRect();
    const RECT strip{0, 0, map.right, map.top};  // around the path line
    ::FillRect(dc, &strip, ::GetSysColorBrush(COLOR_BTNFACE));
    if (!m_hDib) {
        ::FillRect(dc, &map, ::GetSysColorBrush(COLOR_BTNFACE));
        if (::GetFocus() == m_hWnd) {  // an empty map is a tab stop all the same
            RECT focus = map;
            ::InflateRect(&focus, -1, -1);
            ::DrawFocusRect(dc, &focus);
        }
        return;
    }
    HDC memory = ::CreateCompatibleDC(dc);
    const HGDIOBJ old = ::SelectObject(memory, m_hDib);
    const int w = map.right - map.left, h = map.bottom - map.top;
    if (w == m_nDibWidth && h == m_nDibHeight) {
        ::BitBlt(dc, map.left, map.top, w, h, memory, 0, 0, SRCCOPY);
    } else {  // an older picture, until its successor arrives
        ::SetStretchBltMode(dc, COLORONCOLOR);
        ::StretchBlt(dc, map.left, map.top, w, h, memory, 0, 0, m_nDibWidth, m_nDibHeight, SRCCOPY);
    }
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    PaintLabels(dc, map);
    if (::GetFocus() == m_hWnd) {
        RECT focus = map;
        ::InflateRect(&focus, -1, -1);
        ::DrawFocusRect(dc, &focus);
    }
}

void CTreemapWindow::PaintLabels(HDC dc, const RECT& map) const {
    const auto& labels = m_map.Labels();
    if (labels.empty() || m_nDibWidth <= 0 || m_nDibHeight <= 0) return;
    const HGDIOBJ oldFont = ::SelectObject(dc, m_hFont);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::GetTextColor(dc);
    const int w = map.right - map.left, h = map.bottom - map.top;
    // Scaled as the picture is, so a stretched older one keeps its names.
    auto x = [&](int px) { return map.left + MulDiv(px, w, m_nDibWidth); };
    auto y = [&](int py) { return map.top + MulDiv(py, h, m_nDibHeight); };
    constexpr UINT kFlags = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS;
    for (const TreemapLabel& label : labels) {
        const std::wstring name = WideFromUtf8(label.strName);
        const RECT box{x(label.rect.x0) + 1, y(label.rect.y0), x(label.rect.x1) - 1,
                       y(label.rect.y1)};
        // White with a dark halo reads on every colour of the map.
        ::SetTextColor(dc, RGB(0, 0, 0));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx == 0 && dy == 0) continue;
                RECT halo = box;
                ::OffsetRect(&halo, dx, dy);
                ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &halo, kFlags);
            }
        ::SetTextColor(dc, RGB(255, 255, 255));
        RECT text = box;
        ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &text, kFlags);
    }
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
    ::SelectObject(dc, oldFont);
}

void CTreemapWindow::ShowContextMenu(POINT screen) {
    HMENU menu = ::CreatePopupMenu();
    if (!menu) return;
    const bool canZoomOut = m_map.CanZoomOut();
    ::AppendMenuW(menu, MF_STRING | (canZoomOut ? MF_ENABLED : MF_GRAYED), kZoomOutCommand,
                  MenuItemText(InfoOf(Command::ZoomOut)).c_str());
    ::AppendMenuW(menu, MF_STRING | (canZoomOut ? MF_ENABLED : MF_GRAYED), kZoomHomeCommand,
                  MenuItemText(InfoOf(Command::ZoomHome)).c_str());
    if (screen.x == -1 && screen.y == -1) {  // from the keyboard: at the map's corner
        const RECT map = MapRect();
        screen = {map.left + 8, map.top + 8};
        ::ClientToScreen(m_hWnd, &screen);
    }
    const UINT chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y,
                                         0, m_hWnd, nullptr);
    ::DestroyMenu(menu);
    if (chosen == kZoomOutCommand) ZoomOut();
    if (chosen == kZoomHomeCommand) ZoomHome();
}

LRESULT CALLBACK CTreemapWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<CTreemapWindow*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->m_hWnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<CTreemapWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->m_hPath) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        self->m_hWnd = self->m_hPath = self->m_hTip = nullptr;
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CTreemapWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            // Destroyed with its parent: nothing may post to it any more.
            m_map.RenderQueue().Cancel();
            break;
        case WM_SIZE:
            Layout();
            SizeChanged();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers it all
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(m_hWnd, &ps);
            Paint(dc);
            ::EndPaint(m_hWnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case kPictureReady:
            m_map.OnPictureReady();
            return 0;
        case WM_MOUSEMOVE: {
            const std::uint32_t hot = IndexAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            if (hot != m_nHot && m_hTip) {
                m_nHot = hot;
                ::SendMessageW(m_hTip, TTM_POP, 0, 0);  // the next tip asks for the new text
            }
            break;
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->hwndFrom == m_hTip && header->code == TTN_GETDISPINFOW) {
                auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
                m_tipText.clear();
                if (m_nHot != kNoNode && m_map.List() && m_nHot < m_map.List()->Count())
                    m_tipText = m_describer ? m_describer(m_nHot)
                                            : WideFromUtf8(m_map.List()->PathOf(m_nHot));
                info->lpszText = m_tipText.data();
                return 0;
            }
            break;
        }
        case WM_LBUTTONDOWN: {
            ::SetFocus(m_hWnd);
            const std::uint32_t index = IndexAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            if (index != kNoNode && m_onSelect) m_onSelect(index);
            return 0;
        }
        case WM_LBUTTONDBLCLK: {
            const std::uint32_t index = IndexAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            if (index != kNoNode) ZoomInto(index);
            return 0;
        }
        case WM_GETDLGCODE: {
            // Enter zooms when there is a level towards the selection; else
            // it is the dialog's.
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
            if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN &&
                m_map.CanZoomIntoSelected())
                code |= DLGC_WANTMESSAGE;
            return code;
        }
        case WM_KEYDOWN:
            if (wParam == VK_RETURN && m_map.ZoomIntoSelected()) return 0;
            if (wParam == VK_BACK) {
                ZoomOut();
                return 0;
            }
            if (wParam == VK_HOME) {
                ZoomHome();
                return 0;
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:  // the focus rectangle
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
            break;
        case WM_CONTEXTMENU:
            ShowContextMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

}  // namespace sizewalk
