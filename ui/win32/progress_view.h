#pragma once
// The progress of a running scan in the dialog: two static controls in the
// band between the start directory and the tree, one with the entries found
// and their size, one with the directory being read. The control elides that
// directory in the middle to its width when it paints, while its text (and
// so the accessible name a screen reader reads) stays whole. A text is set
// only when it changes, so nothing flickers, and each change is announced to
// accessibility clients.

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
    HWND Dir() const { return m_hDir; }

private:
    void SetLine(HWND line, std::wstring& shown, const std::string& utf8);

    HWND m_hCounts = nullptr;
    HWND m_hDir = nullptr;
    std::wstring m_strCounts, m_strDir;
};

}  // namespace sizewalk
