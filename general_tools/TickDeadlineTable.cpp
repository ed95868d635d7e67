#include "general_tools/TickDeadlineTable.h"

#include "platform/system/Clock.h"

namespace GT {

namespace {
// The tick count wraps every 2^32 ms; differences are read as signed.
int32_t Signed(uint32_t difference) { return static_cast<int32_t>(difference); }
}  // namespace

CTickDeadlineTable::CTickDeadlineTable(platform::IClock* clock) : m_clock(clock) {}

uint32_t CTickDeadlineTable::Now() const { return (m_clock ? *m_clock : platform::GetClock()).TickCount(); }

void CTickDeadlineTable::Start(int key, uint32_t durationMs) { m_entries[key] = CEntry{Now(), durationMs}; }

int32_t CTickDeadlineTable::GetElapsed(int key) const {
    const auto it = m_entries.find(key);
    return it == m_entries.end() ? 0 : Signed(Now() - it->second.start);
}

int32_t CTickDeadlineTable::GetRemaining(int key) const {
    const auto it = m_entries.find(key);
    return it == m_entries.end() ? 0 : Signed(it->second.start + it->second.duration - Now());
}

bool CTickDeadlineTable::IsExpired(int key) const { return GetRemaining(key) < 1; }

}  // namespace GT
