#pragma once
// The progress of a running scan in the dialog: two static controls in the
// band between the start directory and the tree, one with the entries found
// and their size, one with the directory being read. The control elides that
// directory in the middle to its width when it paints, while its text (and
// so the accessible name a screen reader reads) stays whole. A text is set
// only when it changes, so nothing flickers, and each change is announced to
// accessibility clients.
//
// When the counts line ends by saying how many directories could not be
// read, a link control (SysLink) takes the band's place with both lines,
// that sentence its link: a tab stop; Enter or a click reports NM_CLICK or
// NM_RETURN to the dialog, which shows their list.

#include <windows.h>

#include <string>

#include "core/control_ids.h"  // IDC_PROGRESS_COUNTS, IDC_PROGRESS_DIR
#include "model/size_text.h"

namespace sizewalk {

class CProgressView {
public:
    // Makes the two lines, hidden, in the dialog's font. False when the
    // system gave no window.
    bool Create(HWND dialog);
    // Places the two lines one above the other in the band (pixels).
    void Place(HDWP& positions, int x, int y, int w, int h) const;
    // Shows the lines, or hides and empties them.
    void Show(bool shown);
    void SetText(const ProgressText& text);

    HWND Counts() const { return m_hCounts; }
    // The link that shows instead of the counts line (null: none made).
    HWND Link() const { return m_hLink; }
    HWND Dir() const { return m_hDir; }

private:
    void SetLine(HWND line, std::wstring& shown, const std::string& utf8);
    // The link's markup for the counts `utf8` and the second line `dir`, or
    // empty when the counts name no unread directories.
    static std::wstring LinkMarkup(const std::string& utf8, const std::string& dir);
    // The counts line, or the link in its place, shown as it should be.
    void ShowCountsOrLink();

    HWND m_hCounts = nullptr;
    HWND m_hDir = nullptr;
    HWND m_hLink = nullptr;
    bool m_bShown = false;
    std::wstring m_strCounts, m_strDir, m_strLink;
};

}  // namespace sizewalk
