// The containers unit: containers can be made only while it is started.
#include "tunefind_cd/tmlib.h"
#include "tunefind_cd/tmlib_containers.h"
#include "tunefind_cd/tmlib_units.h"

namespace {

tmlib_unit_t g_datatypes = {0, 0, nullptr, nullptr};
const tmlib_dependency_t kDatatypesNeeds[] = {kPlatformLayer,
                                              {tmlib_threads_start, tmlib_threads_stop},
                                              {tmlib_strings_start, tmlib_strings_stop},
                                              {tmlib_core_start, tmlib_core_stop}};

}  // namespace

uint32_t tmlib_datatypes_start(void) { return tmlib_start_with(kDatatypesNeeds, 4, &g_datatypes); }
uint32_t tmlib_datatypes_stop(void) { return tmlib_stop_with(kDatatypesNeeds, 4, &g_datatypes); }
tmlib_unit_t* tmlib_datatypes_unit(void) { return &g_datatypes; }
bool tmlib_datatypes_started(void) { return tmlib_unit_count(TMLIB_DATATYPES) > 0; }
