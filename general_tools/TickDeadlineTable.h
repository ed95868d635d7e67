// Waits measured on the millisecond tick count: a key maps to a start and a duration.
#pragma once

#include <cstdint>
#include <map>

namespace platform {
class IClock;
}

namespace GT {

class CTickDeadlineTable {
public:
    // clock: null for the process's clock (platform::GetClock) at each reading.
    explicit CTickDeadlineTable(platform::IClock* clock = nullptr);

    // Starts (or restarts) the wait for key now.
    void Start(int key, uint32_t durationMs);
    // Milliseconds since the start; 0 for a key never started.
    int32_t GetElapsed(int key) const;
    // Milliseconds left, negative once passed; 0 for a key never started.
    int32_t GetRemaining(int key) const;
    // Nothing left (also for a key never started).
    bool IsExpired(int key) const;

private:
    struct CEntry {
        uint32_t start;
        uint32_t duration;
    };
    uint32_t Now() const;

    platform::IClock* m_clock;
    std::map<int, CEntry> m_entries;
};

}  // namespace GT
