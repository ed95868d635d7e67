// Interlocked counters: every unit counter and spin word changes only through these.
#include "tunefind_cd/tmlib.h"

uint32_t tmlib_atomic_read(volatile uint32_t* counter, uint32_t* value) {
    if (!counter || !value) return TMLIB_REPORT(TMLIB_RT_NULL);
    *value = __atomic_fetch_add(counter, 0u, __ATOMIC_SEQ_CST);
    return 0;
}

uint32_t tmlib_atomic_increment(volatile uint32_t* counter, uint32_t* value) {
    if (!counter) return TMLIB_REPORT(TMLIB_RT_NULL);
    const uint32_t now = __atomic_add_fetch(counter, 1u, __ATOMIC_SEQ_CST);
    if (value) *value = now;
    return 0;
}

uint32_t tmlib_atomic_decrement(volatile uint32_t* counter, uint32_t* value) {
    if (!counter) return TMLIB_REPORT(TMLIB_RT_NULL);
    const uint32_t now = __atomic_sub_fetch(counter, 1u, __ATOMIC_SEQ_CST);
    if (value) *value = now;
    return 0;
}
