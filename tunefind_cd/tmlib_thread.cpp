// Critical sections, sleep, and the threads unit with its thread-local slot.
#include <errno.h>
#include <pthread.h>
#include <time.h>

#include "tunefind_cd/tmlib.h"
#include "tunefind_cd/tmlib_units.h"

struct tmlib_critsec_t {
    pthread_mutex_t mutex;
};

uint32_t tmlib_critsec_create(tmlib_critsec_t** place) {
    if (!place) return TMLIB_REPORT(TMLIB_RT_NULL);
    auto* section = static_cast<tmlib_critsec_t*>(tmsdk_sdkmanager_mem_malloc(sizeof(tmlib_critsec_t)));
    if (!section) return TMLIB_REPORT(TMLIB_RT_NO_MEMORY);
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    const int failed = pthread_mutex_init(&section->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (failed) {
        tmsdk_sdkmanager_mem_free(section);
        return TMLIB_REPORT(TMLIB_RT_NO_MEMORY);
    }
    *place = section;
    return 0;
}

uint32_t tmlib_critsec_delete(tmlib_critsec_t* section) {
    if (!section) return TMLIB_REPORT(TMLIB_RT_NULL);
    pthread_mutex_destroy(&section->mutex);
    tmsdk_sdkmanager_mem_free(section);
    return 0;
}

uint32_t tmlib_critsec_enter(tmlib_critsec_t* section) {
    if (!section) return TMLIB_REPORT(TMLIB_RT_NULL);
    pthread_mutex_lock(&section->mutex);
    return 0;
}

uint32_t tmlib_critsec_leave(tmlib_critsec_t* section) {
    if (!section) return TMLIB_REPORT(TMLIB_RT_NULL);
    pthread_mutex_unlock(&section->mutex);
    return 0;
}

void tmlib_thread_sleep(uint32_t milliseconds) {
    timespec wait = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

namespace {

pthread_key_t g_slot;

int PlatformSlotCreate(uint32_t* slot) {
    (void)slot;
    return pthread_key_create(&g_slot, nullptr);
}

int (*g_slotCreate)(uint32_t*) = PlatformSlotCreate;

uint32_t StartThreads() {
    uint32_t unused = 0;
    return g_slotCreate(&unused) == 0 ? 0 : TMLIB_REPORT(TMLIB_RT_NO_TLS_SLOT);
}

uint32_t StopThreads() {
    pthread_key_delete(g_slot);
    return 0;
}

tmlib_unit_t g_threads = {0, 0, StartThreads, StopThreads};
const tmlib_dependency_t kThreadsNeeds[] = {kPlatformLayer};

}  // namespace

void tmlib_threads_set_slot_create(int (*create)(uint32_t* slot)) {
    g_slotCreate = create ? create : PlatformSlotCreate;
}

uint32_t tmlib_threads_start(void) { return tmlib_start_with(kThreadsNeeds, 1, &g_threads); }
uint32_t tmlib_threads_stop(void) { return tmlib_stop_with(kThreadsNeeds, 1, &g_threads); }
tmlib_unit_t* tmlib_threads_unit(void) { return &g_threads; }
