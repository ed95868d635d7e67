#include "platform/system/Clock.h"

#include <atomic>
#include <ctime>

namespace platform {

namespace {

class SystemClock : public IClock {
public:
    uint32_t TickCount() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);
    }
};

std::atomic<IClock*>& InstalledClock() {
    static std::atomic<IClock*> clock{nullptr};
    return clock;
}

}  // namespace

IClock& GetClock() {
    static SystemClock system;
    IClock* installed = InstalledClock().load();
    return installed ? *installed : system;
}

void SetClock(IClock* clock) { InstalledClock().store(clock); }

}  // namespace platform
