#include "ui/win32/progress_view.h"

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
    return m_hCounts && m_hDir;
}

void CProgressView::Place(HDWP& positions, int x, int y, int w, int h) const {
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    const int half = h / 2;
    if (positions && m_hCounts)
        positions = ::DeferWindowPos(positions, m_hCounts, nullptr, x, y, w, half, flags);
    if (positions && m_hDir)
        positions = ::DeferWindowPos(positions, m_hDir, nullptr, x, y + half, w, h - half, flags);
}

void CProgressView::Show(bool shown) {
    if (!shown) {
        SetLine(m_hCounts, m_strCounts, std::string());
        SetLine(m_hDir, m_strDir, std::string());
    }
    for (HWND line : {m_hCounts, m_hDir})
        if (line) ::ShowWindow(line, shown ? SW_SHOWNA : SW_HIDE);
}

void CProgressView::SetText(const ProgressText& text) {
    SetLine(m_hCounts, m_strCounts, text.strCounts);
    SetLine(m_hDir, m_strDir, text.strDir);
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
