// The md5 unit: counted like the others, with nothing of its own to start.
#include "tunefind_cd/tmlib.h"
#include "tunefind_cd/tmlib_units.h"

namespace {

tmlib_unit_t g_md5 = {0, 0, nullptr, nullptr};
const tmlib_dependency_t kMd5Needs[] = {kPlatformLayer};

}  // namespace

uint32_t tmlib_md5_start(void) { return tmlib_start_with(kMd5Needs, 1, &g_md5); }
uint32_t tmlib_md5_stop(void) { return tmlib_stop_with(kMd5Needs, 1, &g_md5); }
tmlib_unit_t* tmlib_md5_unit(void) { return &g_md5; }
