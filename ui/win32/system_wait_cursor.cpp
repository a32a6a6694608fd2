#include "ui/win32/system_wait_cursor.h"

namespace sizewalk {

void CSystemWaitCursor::Begin() {
    if (m_nDepth++ == 0) m_hPrevious = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}

void CSystemWaitCursor::End() {
    if (m_nDepth == 0) return;
    if (--m_nDepth == 0) ::SetCursor(m_hPrevious);
}

}  // namespace sizewalk
