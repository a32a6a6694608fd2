#include "ui/win32/progress_view.h"

#include <commctrl.h>

#include <string_view>

#include "ui/win32/label_text.h"

namespace sizewalk {

namespace {

HWND MakeLine(HWND dialog, int id, DWORD ellipsis) {
    HWND line = ::CreateWindowExW(
        0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX | ellipsis, 0, 0, 0, 0, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (line) ::SendMessageW(line, WM_SETFONT, ::SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    return line;
}

}  // namespace

bool CProgressView::Create(HWND dialog) {
    m_hCounts = MakeLine(dialog, IDC_PROGRESS_COUNTS, SS_ENDELLIPSIS);
    // The path keeps its last part; the middle gives way.
    m_hDir = MakeLine(dialog, IDC_PROGRESS_DIR, SS_PATHELLIPSIS);
    // The link is an extra: without it the counts line says the same.
    INITCOMMONCONTROLSEX link{sizeof link, ICC_LINK_CLASS};
    if (::InitCommonControlsEx(&link)) {
        m_hLink =
            ::CreateWindowExW(0, WC_LINK, L"", WS_CHILD | WS_TABSTOP, 0, 0, 0, 0, dialog,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_LINK)),
                              ::GetModuleHandleW(nullptr), nullptr);
        if (m_hLink)
            ::SendMessageW(m_hLink, WM_SETFONT, ::SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    }
    return m_hCounts && m_hDir;
}

void CProgressView::Place(HDWP& positions, int x, int y, int w, int h) const {
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    const int half = h / 2;
    if (positions && m_hCounts)
        positions = ::DeferWindowPos(positions, m_hCounts, nullptr, x, y, w, half, flags);
    // The link wraps where the line is too narrow: it takes the whole band.
    if (positions && m_hLink)
        positions = ::DeferWindowPos(positions, m_hLink, nullptr, x, y, w, h, flags);
    if (positions && m_hDir)
        positions = ::DeferWindowPos(positions, m_hDir, nullptr, x, y + half, w, h - half, flags);
}

void CProgressView::Show(bool shown) {
    if (!shown) {
        SetLine(m_hCounts, m_strCounts, std::string());
        SetLine(m_hDir, m_strDir, std::string());
    }
    m_bShown = shown;
    ShowCountsOrLink();
}

void CProgressView::SetText(const ProgressText& text) {
    SetLine(m_hCounts, m_strCounts, text.strCounts);
    SetLine(m_hDir, m_strDir, text.strDir);
    if (m_hLink) {
        if (std::wstring markup = LinkMarkup(text.strCounts, text.strDir); markup != m_strLink) {
            m_strLink = std::move(markup);
            ::SetWindowTextW(m_hLink, m_strLink.c_str());
        }
    }
    ShowCountsOrLink();
}

void CProgressView::ShowCountsOrLink() {
    const bool link = m_bShown && m_hLink && !m_strLink.empty();
    if (m_hLink) ::ShowWindow(m_hLink, link ? SW_SHOWNA : SW_HIDE);
    for (HWND line : {m_hCounts, m_hDir})
        if (line) ::ShowWindow(line, m_bShown && !link ? SW_SHOWNA : SW_HIDE);
}

std::wstring CProgressView::LinkMarkup(const std::string& utf8, const std::string& dir) {
    // The notes' last sentence, when it counts directories not read.
    constexpr std::string_view kUnread = " could not be read.";
    const std::string_view counts = utf8;
    if (!counts.ends_with(kUnread)) return {};
    const std::size_t end = counts.rfind(". ", counts.size() - kUnread.size() - 1);
    const std::size_t start = end == std::string_view::npos ? 0 : end + 2;
    // The control reads '<' as markup; the counts hold digits, words and
    // separators, so only that is kept out.
    auto plain = [](std::string_view part) {
        std::wstring text;
        AppendLabelText(text, std::string(part));
        std::erase(text, L'<');
        return text;
    };
    std::wstring markup =
        plain(counts.substr(0, start)) + L"<a>" + plain(counts.substr(start)) + L"</a>";
    // The second line only when the sentence starts the first: after a
    // file's origin it wraps to the second in a narrow window, and the
    // file's path gives way.
    if (start == 0 && !dir.empty()) markup += L"\n" + plain(dir);
    return markup;
}

void CProgressView::SetLine(HWND line, std::wstring& shown, const std::string& utf8) {
    std::wstring text;
    AppendLabelText(text, utf8);
    if (!line || text == shown) return;
    shown = std::move(text);
    ::SetWindowTextW(line, shown.c_str());
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, line, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace sizewalk
