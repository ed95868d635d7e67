// Counted start and stop of units, the core unit with the library's global critical section, and the
// reporting of failures to the manager's error hook.
#include "tunefind_cd/tmlib.h"
#include "tunefind_cd/tmlib_units.h"

const tmlib_dependency_t kPlatformLayer = {tmsdk_sdkmanager_platform_initialize, tmsdk_sdkmanager_platform_shutdown};

uint32_t tmlib_report(uint32_t code, uint32_t line, const char* source) {
    if (!(code & 0x80000000u)) return code;
    tmsdk_sdkmanager_error_fn hook = tmsdk_sdkmanager_error_callback;
    if (!hook || !(tmsdk_sdkmanager_package_flags[(code >> 16) & 0xFFu] & TMSDK_PACKAGE_FLAG_REPORT_ERRORS))
        return code;
    const uint32_t answer = hook(line, source, code, 0);
    return answer ? answer : code;
}

namespace {

// Takes the unit's spin word: the increment that yields 1 owns it; others step back and wait.
uint32_t TakeSpin(volatile uint32_t* spin) {
    for (;;) {
        uint32_t value = 0;
        if (tmlib_atomic_increment(spin, &value) != 0) return TMLIB_UNIT_START_FAILED;
        if (value == 1) return 0;
        tmlib_atomic_decrement(spin, nullptr);
        for (;;) {
            if (tmlib_atomic_read(spin, &value) != 0) return TMLIB_UNIT_START_FAILED;
            if (value == 0) break;
            tmlib_thread_sleep(10);
        }
    }
}

}  // namespace

uint32_t tmlib_unit_start(tmlib_unit_t* unit, uint32_t failure) {
    if (!unit || TakeSpin(&unit->spin) != 0) return TMLIB_UNIT_START_FAILED;
    uint32_t count = 0, result = 0;
    tmlib_atomic_read(&unit->count, &count);
    if (count == 0) {
        const uint32_t code = unit->start ? unit->start() : 0;
        if (code == 0)
            tmlib_atomic_increment(&unit->count, nullptr);
        else
            result = failure ? failure : code;
    } else {
        tmlib_atomic_increment(&unit->count, nullptr);
    }
    tmlib_atomic_decrement(&unit->spin, nullptr);
    return result;
}

uint32_t tmlib_unit_stop(tmlib_unit_t* unit) {
    if (!unit || TakeSpin(&unit->spin) != 0) return TMLIB_UNIT_START_FAILED;
    uint32_t count = 0, result = 0;
    tmlib_atomic_read(&unit->count, &count);
    if (count == 0) {
        result = TMLIB_UNIT_NOT_STARTED;
    } else {
        // The last stop is counted whatever its routine answers: the routine has let go of what it could,
        // and a count left at 1 would let later calls through to what is gone.
        if (count == 1 && unit->stop) result = unit->stop();
        tmlib_atomic_decrement(&unit->count, nullptr);
    }
    tmlib_atomic_decrement(&unit->spin, nullptr);
    return result;
}

uint32_t tmlib_start_with(const tmlib_dependency_t* needs, size_t count, tmlib_unit_t* unit) {
    for (size_t i = 0; i < count; ++i) {
        if (const uint32_t code = needs[i].start()) {
            while (i-- > 0) needs[i].stop();
            return code;
        }
    }
    if (const uint32_t code = tmlib_unit_start(unit, TMLIB_UNIT_START_FAILED)) {
        for (size_t i = count; i-- > 0;) needs[i].stop();
        return code;
    }
    return 0;
}

uint32_t tmlib_stop_with(const tmlib_dependency_t* needs, size_t count, tmlib_unit_t* unit) {
    uint32_t first = tmlib_unit_stop(unit);
    if (first == TMLIB_UNIT_NOT_STARTED) return first;
    for (size_t i = count; i-- > 0;) {
        const uint32_t code = needs[i].stop();
        if (!first) first = code;
    }
    return first;
}

namespace {

tmlib_critsec_t* g_global = nullptr;

uint32_t StartCore() { return tmlib_critsec_create(&g_global); }

uint32_t StopCore() {
    const uint32_t code = tmlib_critsec_delete(g_global);
    g_global = nullptr;
    return code;
}

tmlib_unit_t g_core = {0, 0, StartCore, StopCore};
const tmlib_dependency_t kCoreNeeds[] = {kPlatformLayer,
                                         {tmlib_threads_start, tmlib_threads_stop},
                                         {tmlib_time_start, tmlib_time_stop},
                                         {tmlib_strings_start, tmlib_strings_stop},
                                         {tmlib_md5_start, tmlib_md5_stop}};

}  // namespace

uint32_t tmlib_core_start(void) { return tmlib_start_with(kCoreNeeds, 5, &g_core); }
uint32_t tmlib_core_stop(void) { return tmlib_stop_with(kCoreNeeds, 5, &g_core); }
tmlib_unit_t* tmlib_core_unit(void) { return &g_core; }

uint32_t tmlib_unit_count(tmlib_unit_id id) {
    tmlib_unit_t* units[] = {tmlib_threads_unit(), tmlib_strings_unit(), tmlib_md5_unit(),
                             tmlib_time_unit(),    tmlib_core_unit(),    tmlib_datatypes_unit()};
    uint32_t count = 0;
    tmlib_atomic_read(&units[id]->count, &count);
    return count;
}
