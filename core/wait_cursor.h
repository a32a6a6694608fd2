#pragma once
// The busy indication shown while the command compares paths and scans.

namespace sizewalk {

class CWaitCursor {
public:
    virtual ~CWaitCursor() = default;
    virtual void Begin() = 0;
    virtual void End() = 0;
};

// Shows the wait cursor for the lifetime of the scope, also when it is left
// by an exception.
class CWaitCursorScope {
public:
    explicit CWaitCursorScope(CWaitCursor& cursor) : m_cursor(cursor) { m_cursor.Begin(); }
    ~CWaitCursorScope() { m_cursor.End(); }
    CWaitCursorScope(const CWaitCursorScope&) = delete;
    CWaitCursorScope& operator=(const CWaitCursorScope&) = delete;

private:
    CWaitCursor& m_cursor;
};

}  // namespace sizewalk
