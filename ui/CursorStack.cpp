#include "ui/CursorStack.h"

#include "ui/ResourcePictures.h"

#include <climits>
#include <string>

namespace UL {

CResourceException::CResourceException(int id)
    : std::runtime_error("cursor " + std::to_string(id) + " cannot be made"), m_id(id) {}

ACursor::ACursor() { m_stack.reserve(32); }

int ACursor::Push(int cursorId, ICursorChanger* changer) {
    SetCursor(cursorId);  // throws before the stack changes when the cursor cannot be made
    const int serial = m_nextSerial;
    m_nextSerial = serial == INT_MAX ? 0 : serial + 1;
    m_stack.push_back(Entry{serial, cursorId, changer});
    return serial;
}

void ACursor::Pop(int serial) {
    for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
        if (it->serial == serial) {
            m_stack.erase(std::next(it).base());
            break;
        }
    }
    if (m_stack.empty())
        Reset();
    else
        SetCursor(m_stack.back().cursorId);
}

void ACursor::Reset() {
    m_stack.clear();
    platform::ClearOverrideCursor();
}

int ACursor::Refresh(platform::Point) {
    if (m_stack.empty()) return 0;
    if (m_stack.back().changer != nullptr) m_stack.back().changer->OnRefresh();
    SetCursor(m_stack.back().cursorId);
    return 1;
}

void ACursor::SetCursor(int cursorId) { platform::SetOverrideCursor(MakeCursor(cursorId)); }

CCursor::CCursor() {
    m_table[0] = Source{true, int(platform::CursorShape::Arrow)};
    m_table[1] = Source{true, int(platform::CursorShape::Wait)};
    m_table[2] = Source{true, int(platform::CursorShape::IBeam)};
    m_table[3] = Source{true, int(platform::CursorShape::Cross)};
    const int resources[] = {26634, 26633, 26638, 26637, 26629, 26635, 26636, 26631,
                             26632, 26630, 26640, 26641, 26643, 26642, 26639};
    for (int i = 0; i < 15; ++i) m_table[4 + i] = Source{false, resources[i]};
}

CCursor& CCursor::GetInstance() {
    static CCursor cursor;
    return cursor;
}

void CCursor::RegisterCursor(int cursorId, int resourceId) { m_table[cursorId] = Source{false, resourceId}; }

platform::Cursor CCursor::MakeCursor(int cursorId) const {
    auto found = m_table.find(cursorId);
    if (found == m_table.end()) throw CResourceException(cursorId);
    if (found->second.system) return platform::Cursor(platform::CursorShape(found->second.id));
    platform::Cursor cursor;
    if (!LoadCursorResource(found->second.id, cursor)) throw CResourceException(cursorId);
    return cursor;
}

ICursor& GetCursor() { return CCursor::GetInstance(); }

void ACursorChanger::Request(int cursorId) {
    if (m_serial >= 0 && m_stack.GetTopSerial() == m_serial && m_cursorId == cursorId) return;
    if (m_serial >= 0) m_stack.Pop(m_serial);
    m_cursorId = -1;
    m_serial = -1;
    m_serial = m_stack.Push(cursorId, this);
    m_cursorId = cursorId;
}

void ACursorChanger::Withdraw() {
    if (m_serial < 0) return;
    const int serial = m_serial;
    m_cursorId = -1;
    m_serial = -1;
    m_stack.Pop(serial);
}

CWaitCursor::CWaitCursor(ICursor& stack) : ACursorChanger(stack) { Request(1); }
CWaitCursor::~CWaitCursor() { Withdraw(); }
void CWaitCursor::Restore() { Withdraw(); }

}  // namespace UL
