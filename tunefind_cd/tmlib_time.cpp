// The time unit: its start stores the monotonic clock's ticks per microsecond.
#include <time.h>

#include "tunefind_cd/tmlib.h"
#include "tunefind_cd/tmlib_units.h"

namespace {

volatile uint32_t g_ticksPerMicrosecond = 0;

int PlatformResolution(uint32_t* nanoseconds) {
    timespec resolution;
    if (clock_getres(CLOCK_MONOTONIC, &resolution) != 0 || resolution.tv_sec != 0 || resolution.tv_nsec <= 0) return -1;
    *nanoseconds = static_cast<uint32_t>(resolution.tv_nsec);
    return 0;
}

int (*g_resolution)(uint32_t*) = PlatformResolution;

uint32_t StartTime() {
    uint32_t nanoseconds = 0;
    if (g_resolution(&nanoseconds) != 0 || nanoseconds == 0) return TMLIB_UNIT_START_FAILED;
    // A tick coarser than a microsecond still counts as one per microsecond.
    const uint32_t ticks = 1000u / nanoseconds;
    __atomic_store_n(&g_ticksPerMicrosecond, ticks ? ticks : 1u, __ATOMIC_SEQ_CST);
    return 0;
}

uint32_t StopTime() {
    __atomic_store_n(&g_ticksPerMicrosecond, 0u, __ATOMIC_SEQ_CST);
    return 0;
}

tmlib_unit_t g_time = {0, 0, StartTime, StopTime};

}  // namespace

void tmlib_time_set_resolution(int (*resolution)(uint32_t* nanoseconds)) {
    g_resolution = resolution ? resolution : PlatformResolution;
}

uint32_t tmlib_time_ticks_per_microsecond(void) { return __atomic_load_n(&g_ticksPerMicrosecond, __ATOMIC_SEQ_CST); }

uint32_t tmlib_time_start(void) { return tmlib_start_with(nullptr, 0, &g_time); }
uint32_t tmlib_time_stop(void) { return tmlib_stop_with(nullptr, 0, &g_time); }
tmlib_unit_t* tmlib_time_unit(void) { return &g_time; }
