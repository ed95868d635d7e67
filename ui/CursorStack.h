#pragma once
// The cursor stack: parts of the program ask for a cursor in turn; the newest request shows.
#include "platform/window/Cursor.h"
#include "platform/window/Geometry.h"

#include <map>
#include <stdexcept>
#include <vector>

namespace UL {

// A cursor id that names no cursor, or a cursor that cannot be made.
class CResourceException : public std::runtime_error {
public:
    explicit CResourceException(int id);
    int GetId() const { return m_id; }

private:
    int m_id;
};

class ICursorChanger {
public:
    virtual ~ICursorChanger() = default;
    // Called before the stack shows this changer's cursor again.
    virtual void OnRefresh() {}
};

class ICursor {
public:
    virtual ~ICursor() = default;
    virtual void RegisterCursor(int cursorId, int resourceId) = 0;
    // Puts the cursor on top and shows it; answers the entry's serial. Throws CResourceException,
    // leaving the stack unchanged, when the cursor cannot be made.
    virtual int Push(int cursorId, ICursorChanger* changer) = 0;
    virtual void Pop(int serial) = 0;
    // Empties the stack; every window shows its own cursor again.
    virtual void Reset() = 0;
    // Shows the top entry's cursor again; 0 when the stack is empty.
    virtual int Refresh(platform::Point point) = 0;
    virtual bool IsActive() const = 0;
    virtual int GetTopSerial() const = 0;
};

class ACursor : public ICursor {
public:
    ACursor();
    int Push(int cursorId, ICursorChanger* changer) override;
    void Pop(int serial) override;
    void Reset() override;
    int Refresh(platform::Point point) override;
    bool IsActive() const override { return !m_stack.empty(); }
    int GetTopSerial() const override { return m_stack.empty() ? -1 : m_stack.back().serial; }

    // Shows the cursor; throws CResourceException when it cannot be made.
    virtual void SetCursor(int cursorId);
    int GetTopCursorId() const { return m_stack.empty() ? -1 : m_stack.back().cursorId; }
    size_t GetDepth() const { return m_stack.size(); }

protected:
    virtual platform::Cursor MakeCursor(int cursorId) const = 0;
    // The serial the next push gets (tests start the counter near its end).
    void SetNextSerial(int serial) { m_nextSerial = serial; }

private:
    struct Entry {
        int serial;
        int cursorId;
        ICursorChanger* changer;
    };
    std::vector<Entry> m_stack;
    int m_nextSerial = 0;
};

// Cursor ids: 0 arrow, 1 wait, 2 text beam, 3 cross hair; 4 to 18 the library's own cursors.
class CCursor : public ACursor {
public:
    CCursor();
    static CCursor& GetInstance();
    void RegisterCursor(int cursorId, int resourceId) override;

protected:
    platform::Cursor MakeCursor(int cursorId) const override;

private:
    struct Source {
        bool system;
        int id;  // a stock shape (as platform::CursorShape) or a resource id
    };
    std::map<int, Source> m_table;
};

// The process-wide cursor stack.
ICursor& GetCursor();

// A request on the stack that can be renewed and withdrawn.
class ACursorChanger : public ICursorChanger {
public:
    explicit ACursorChanger(ICursor& stack = GetCursor()) : m_stack(stack) {}
    ~ACursorChanger() override = default;
    void Request(int cursorId);
    void Withdraw();
    int GetCursorId() const { return m_cursorId; }
    int GetSerial() const { return m_serial; }

private:
    ICursor& m_stack;
    int m_cursorId = -1;
    int m_serial = -1;
};

// Shows the wait cursor for as long as it lives.
class CWaitCursor : public ACursorChanger {
public:
    explicit CWaitCursor(ICursor& stack = GetCursor());
    ~CWaitCursor() override;
    void Restore();
};

}  // namespace UL
