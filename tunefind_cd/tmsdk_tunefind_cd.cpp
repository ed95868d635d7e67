// The module's frame: start and stop under the module's counter, version texts, the descriptor lists, and
// carrying codes of other packages into the module's package.
#include <string.h>

#include "tunefind_cd/tfcd_internal.h"

namespace {

uint32_t StartModule();
uint32_t StopModule();

}  // namespace

tfcd_state_t g_tfcd = {{0, 0, StartModule, StopModule}, nullptr, nullptr, nullptr, nullptr, nullptr};

namespace {

// The handle given to the initialise running on this thread. The module's start routine runs on the same
// thread under the module's spin word, so another thread's initialise cannot change it meanwhile.
thread_local const tmsdk_sdkmanager_handle_t* t_starting = nullptr;

// Binds the interfaces in this order; entry 0 of each table releases it.
struct Binding {
    const char* name;
    const void** slot;
};

Binding* Bindings() {
    static Binding bindings[] = {
        {TMSDK_INTERFACE_ERRORINFO, reinterpret_cast<const void**>(&g_tfcd.errorinfo)},
        {TMSDK_INTERFACE_HANDLES, reinterpret_cast<const void**>(&g_tfcd.handles)},
        {TMSDK_INTERFACE_LOOKUP, reinterpret_cast<const void**>(&g_tfcd.lookup)},
        {TMSDK_INTERFACE_GDO, reinterpret_cast<const void**>(&g_tfcd.gdo)},
        {TMSDK_INTERFACE_LISTS, reinterpret_cast<const void**>(&g_tfcd.lists)},
    };
    return bindings;
}
constexpr int kBindingCount = 5;

// Every interface table starts with its release entry.
uint32_t ReleaseBinding(const void** slot) {
    if (!*slot) return 0;
    auto release = *static_cast<tmsdk_status_t (*const*)(void)>(*slot);
    *slot = nullptr;
    return release();
}

uint32_t ReleaseBindings() {
    uint32_t first = 0;
    for (int i = 0; i < kBindingCount; ++i) {
        const uint32_t code = ReleaseBinding(Bindings()[i].slot);
        if (!first) first = code;
    }
    return first;
}

uint32_t StartModule() {
    const tmsdk_sdkmanager_handle_t* manager = t_starting;
    uint32_t code = manager->package_register(TFCD_PACKAGE, TFCD_PACKAGE_NAME);
    for (int i = 0; code == 0 && i < kBindingCount; ++i) {
        const void* table = nullptr;
        code = manager->interface_get(Bindings()[i].name, &table);
        if (code == 0 && !table) code = TMSDK_STATUS_INVALID_ARGUMENT;
        if (code == 0) *Bindings()[i].slot = table;
    }
    if (code != 0) ReleaseBindings();
    return TFCD_REPORT(code);
}

// Lets go of every interface; the first failure is reported, and the tables are cleared in any case.
uint32_t StopModule() { return TFCD_REPORT(ReleaseBindings()); }

struct Step {
    uint32_t (*start)(void);
    uint32_t (*stop)(void);
};

uint32_t PlatformShutdown() { return tmsdk_sdkmanager_platform_shutdown(); }

const Step kSteps[] = {{tmsdk_sdkmanager_platform_initialize, PlatformShutdown},
                       {tmlib_threads_start, tmlib_threads_stop},
                       {tmlib_strings_start, tmlib_strings_stop},
                       {tmlib_datatypes_start, tmlib_datatypes_stop}};
constexpr int kStepCount = 4;

}  // namespace

bool tfcd_started(void) {
    uint32_t count = 0;
    tmlib_atomic_read(&g_tfcd.unit.count, &count);
    return count > 0;
}

uint32_t tfcd_map(uint32_t code) {
    if (code == 0) return 0;
    const uint32_t package = (code >> 16) & 0xFFu, low = code & 0xFFFFu;
    if (package == TFCD_PACKAGE) return code;
    if (low == 2) return 0x90810002u;
    if (low == 3) return 0x10810003u;
    switch (package) {
        case 0x16:
            return (low >= 0x165 && low <= 0x167) ? 0x90810000u | low : 0x90810401u;
        case 0x04:
        case 0x14:
            return 0x90810400u;
        case 0x07:
            return 0x90810404u;
        case 0x0E:
            return 0x90810405u;
        case 0x10:
            return 0x90810403u;
        case 0x15:
            return 0x90810402u;
        default:
            return 0x90810000u | low;
    }
}

extern "C" {

tmsdk_status_t tmsdk_tunefindcd_initialize(const tmsdk_sdkmanager_handle_t* manager) {
    if (!manager || manager->magic != TMSDK_SDKMANAGER_HANDLE_MAGIC)
        return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    int started = 0;
    uint32_t code = 0;
    for (; started < kStepCount; ++started)
        if ((code = kSteps[started].start()) != 0) break;
    if (code == 0) {
        t_starting = manager;
        code = tmlib_unit_start(&g_tfcd.unit, 0);
        t_starting = nullptr;
    }
    if (code != 0)
        for (int i = 0; i < started; ++i) kSteps[i].stop();  // in the order they were started
    return TFCD_REPORT(tfcd_map(code));
}

void tmsdk_tunefindcd_shutdown(void) {
    // With no start to undo nothing else is stopped either: the platform layer may be another caller's.
    if (tmlib_unit_stop(&g_tfcd.unit) == TMLIB_UNIT_NOT_STARTED) {
        TFCD_REPORT(tfcd_map(TMLIB_UNIT_NOT_STARTED));
        return;
    }
    for (int i = kStepCount; i-- > 1;) kSteps[i].stop();
    TFCD_REPORT(tfcd_map(kSteps[0].stop()));
}

const char* tmsdk_tunefindcd_get_version(void) { return "1.3.0.65"; }

const char* tmsdk_tunefindcd_get_build_date(void) { return "2009-04-22 00:04 UTC"; }

tmsdk_status_t tmsdk_tunefindcd_retrieve_lists(const char* language, const char* region, const char* descriptor,
                                               tmsdk_client_t client, tmsdk_user_t user, tmsdk_list_status_fn callback,
                                               void* data) {
    if (!tfcd_started()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (tmlib_string_isempty(language) || !client || !user) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    if (const uint32_t bad = tfcd_validation(g_tfcd.handles->client_validate(client))) return TFCD_REPORT(bad);
    if (const uint32_t bad = tfcd_validation(g_tfcd.handles->user_validate(user))) return TFCD_REPORT(bad);
    static const char* const kLists[] = {"list_type_languages", "list_type_genres",       "list_type_origins",
                                         "list_type_eras",      "list_type_artist_types", "list_type_roles"};
    for (const char* type : kLists) {
        const uint32_t code =
            g_tfcd.lists->retrieve(type, language, region, descriptor, client, user, callback, data, nullptr);
        if (code != 0) return TFCD_REPORT(tfcd_map(code));
    }
    return 0;
}

}  // extern "C"
