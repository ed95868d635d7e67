// How the support units start what they need: each needed start is itself counted, a failure stops again
// what was started, and a stop mirrors the start.
#pragma once

#include <stddef.h>

#include "tunefind_cd/tmlib.h"

struct tmlib_dependency_t {
    uint32_t (*start)(void);
    uint32_t (*stop)(void);
};

// The manager's platform layer, the first need of most units.
extern const tmlib_dependency_t kPlatformLayer;

// Starts the needs in order, then the unit itself (counted); on a failure stops again, in reverse order,
// what it had started, and answers that failure (a failed start of the unit itself: 10).
uint32_t tmlib_start_with(const tmlib_dependency_t* needs, size_t count, tmlib_unit_t* unit);
// Stops the unit, then its needs in reverse order, keeping the first error; a unit with no start to undo
// stops nothing else.
uint32_t tmlib_stop_with(const tmlib_dependency_t* needs, size_t count, tmlib_unit_t* unit);

tmlib_unit_t* tmlib_threads_unit(void);
tmlib_unit_t* tmlib_strings_unit(void);
tmlib_unit_t* tmlib_md5_unit(void);
tmlib_unit_t* tmlib_time_unit(void);
tmlib_unit_t* tmlib_core_unit(void);
tmlib_unit_t* tmlib_datatypes_unit(void);
