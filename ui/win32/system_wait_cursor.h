#pragma once
// The system's wait cursor while the scan command compares paths and scans.
// The cursor in place before is put back at the end. Nested Begin/End pairs
// keep the wait cursor until the outermost End.

#include <windows.h>

#include "core/wait_cursor.h"

namespace sizewalk {

class CSystemWaitCursor : public CWaitCursor {
public:
    void Begin() override;
    void End() override;

private:
    int m_nDepth = 0;
    HCURSOR m_hPrevious = nullptr;
};

}  // namespace sizewalk
