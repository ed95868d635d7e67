// The millisecond tick count, behind an interface so that tests can drive time.
#pragma once

#include <cstdint>

namespace platform {

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds of CLOCK_MONOTONIC, wrapping modulo 2^32.
    virtual uint32_t TickCount() = 0;
};

// The clock in use: the installed one, else the system's monotonic clock.
IClock& GetClock();
// Installs a clock (tests); null restores the system clock. The caller keeps ownership.
void SetClock(IClock* clock);

}  // namespace platform
