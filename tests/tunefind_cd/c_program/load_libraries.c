/* Loads the SDK manager and the CD-recognition module with dlopen, resolves every export by name, starts
 * both, runs one query through them and stops them again: the manager's allocator must end with no live
 * block. Written in C, so the public headers are proven to be C. */
#define _POSIX_C_SOURCE 200809L

#include <dlfcn.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "sdk_manager/tmsdk_sdkmanager.h"
#include "sdk_manager/tmsdk_sdkmanager_test.h"
#include "tunefind_cd/tmsdk_tunefind_cd.h"

static int failures = 0;

#define CHECK(condition)                                                            \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                             \
        }                                                                           \
    } while (0)

#define CHECK_STATUS(call, expected)                                                                         \
    do {                                                                                                     \
        const tmsdk_status_t got_ = (call);                                                                  \
        if (got_ != (expected)) {                                                                            \
            fprintf(stderr, "%s:%d: %s answered 0x%08X, expected 0x%08X\n", __FILE__, __LINE__, #call, got_, \
                    (unsigned)(expected));                                                                   \
            ++failures;                                                                                      \
        }                                                                                                    \
    } while (0)

static void* Resolve(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (!symbol) {
        fprintf(stderr, "not exported: %s\n", name);
        ++failures;
    }
    return symbol;
}

/* A function pointer from dlsym, through a union: ISO C has no cast from an object pointer to a function
 * pointer. type must be a typedef name. */
#define RESOLVE(library, type, name)              \
    type name;                                    \
    {                                             \
        union {                                   \
            void* object;                         \
            type function;                        \
        } symbol_;                                \
        symbol_.object = Resolve(library, #name); \
        name = symbol_.function;                  \
    }

typedef tmsdk_status_t (*ManagerInitialize)(const tmsdk_sdkmanager_handle_t**);
typedef tmsdk_status_t (*NoArguments)(void);
typedef uint32_t (*Counter)(void);
typedef tmsdk_status_t (*ClientCreate)(const char*, const char*, const char*, tmsdk_client_t*);
typedef tmsdk_status_t (*ClientRelease)(tmsdk_client_t);
typedef tmsdk_status_t (*UserRegister)(tmsdk_client_t, uint32_t, tmsdk_user_t*);
typedef tmsdk_status_t (*UserRelease)(tmsdk_user_t);
typedef tmsdk_status_t (*ModuleInitialize)(const tmsdk_sdkmanager_handle_t*);
typedef void (*ModuleShutdown)(void);
typedef const char* (*Text)(void);
typedef tmsdk_status_t (*QueryCreate)(tmsdk_client_t, tmsdk_user_t, tmsdk_tunefindcd_status_fn, void*,
                                      tmsdk_tunefindcd_query_t*);
typedef tmsdk_status_t (*QuerySetTocString)(tmsdk_tunefindcd_query_t, const char*, uint32_t);
typedef tmsdk_status_t (*QueryFindAlbums)(tmsdk_tunefindcd_query_t, uint32_t*, tmsdk_gdo_t*);
typedef tmsdk_status_t (*QueryRelease)(tmsdk_tunefindcd_query_t);

static const char* const kManagerExports[] = {
    "tmsdk_sdkmanager_initialize",        "tmsdk_sdkmanager_shutdown",
    "tmsdk_sdkmanager_client_create",     "tmsdk_sdkmanager_client_option_set",
    "tmsdk_sdkmanager_client_release",    "tmsdk_sdkmanager_user_register_new",
    "tmsdk_sdkmanager_user_serialize",    "tmsdk_sdkmanager_user_deserialize",
    "tmsdk_sdkmanager_user_release",      "tmsdk_sdkmanager_string_free",
    "tmsdk_sdkmanager_list_retrieve",     "tmsdk_sdkmanager_list_deserialize",
    "tmsdk_sdkmanager_list_update",       "tmsdk_sdkmanager_list_serialize",
    "tmsdk_sdkmanager_list_release",      "tmsdk_sdkmanager_list_get_display_string_by_gdo",
    "tmsdk_sdkmanager_gdo_get_context",   "tmsdk_sdkmanager_gdo_child_count",
    "tmsdk_sdkmanager_gdo_child_get",     "tmsdk_sdkmanager_gdo_value_get",
    "tmsdk_sdkmanager_gdo_release",       "tmsdk_sdkmanager_platform_initialize",
    "tmsdk_sdkmanager_platform_shutdown", "tmsdk_sdkmanager_mem_malloc",
    "tmsdk_sdkmanager_mem_realloc",       "tmsdk_sdkmanager_mem_free",
    "tmsdk_sdkmanager_mem_memcpy",        "tmsdk_sdkmanager_mem_memset",
    "tmsdk_sdkmanager_package_flags",     "tmsdk_sdkmanager_log_callback",
    "tmsdk_sdkmanager_error_callback"};

static const char* const kModuleExports[] = {
    "tmsdk_tunefindcd_initialize",           "tmsdk_tunefindcd_shutdown",
    "tmsdk_tunefindcd_get_version",          "tmsdk_tunefindcd_get_build_date",
    "tmsdk_tunefindcd_retrieve_lists",       "tmsdk_tunefindcd_query_create",
    "tmsdk_tunefindcd_query_option_set",     "tmsdk_tunefindcd_query_option_get",
    "tmsdk_tunefindcd_query_set_toc_string", "tmsdk_tunefindcd_query_set_toc_entry",
    "tmsdk_tunefindcd_query_set_gdo",        "tmsdk_tunefindcd_query_find_albums",
    "tmsdk_tunefindcd_query_resolve",        "tmsdk_tunefindcd_query_release"};

static void CheckLayouts(void) {
    /* The records shared between module and manager. */
    CHECK(sizeof(tmsdk_lookup_status_t) == 20);
    CHECK(offsetof(tmsdk_lookup_status_t, id) == 4);
    CHECK(offsetof(tmsdk_lookup_status_t, value) == 8);
    CHECK(sizeof(tmsdk_gdo_provider_t) == 9 * sizeof(void*));
    CHECK(offsetof(tmsdk_gdo_provider_t, release) == 8 * sizeof(void*));
    CHECK(offsetof(tmsdk_sdkmanager_handle_t, magic) == 0);
    CHECK(offsetof(tmsdk_sdkmanager_handle_t, interface_get) == sizeof(void*));
    CHECK(sizeof(tmsdk_gdo_interface_t) == 10 * sizeof(void*));
    CHECK(sizeof(tmsdk_lookup_interface_t) == 7 * sizeof(void*));
    CHECK(sizeof(tmsdk_handles_interface_t) == 7 * sizeof(void*));
}

int main(void) {
    char folder[4096];
    const char* temporary = getenv("TMPDIR");
    snprintf(folder, sizeof folder, "%s/gbx-c-program-XXXXXX", temporary && *temporary ? temporary : "/tmp");
    if (!mkdtemp(folder)) return 2;
    char catalogue[4200];
    snprintf(catalogue, sizeof catalogue, "%s/no-catalogue", folder);
    setenv("XDG_DATA_HOME", folder, 1);
    setenv("XDG_CACHE_HOME", folder, 1);
    setenv("TMSDK_CATALOGUE", catalogue, 1);

    CheckLayouts();
    void* manager = dlopen(MANAGER_LIBRARY, RTLD_NOW | RTLD_GLOBAL);
    void* module = dlopen(MODULE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!manager || !module) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    size_t i;
    for (i = 0; i < sizeof kManagerExports / sizeof kManagerExports[0]; ++i) Resolve(manager, kManagerExports[i]);
    for (i = 0; i < sizeof kModuleExports / sizeof kModuleExports[0]; ++i) Resolve(module, kModuleExports[i]);

    RESOLVE(manager, ManagerInitialize, tmsdk_sdkmanager_initialize);
    RESOLVE(manager, NoArguments, tmsdk_sdkmanager_shutdown);
    RESOLVE(manager, ClientCreate, tmsdk_sdkmanager_client_create);
    RESOLVE(manager, ClientRelease, tmsdk_sdkmanager_client_release);
    RESOLVE(manager, UserRegister, tmsdk_sdkmanager_user_register_new);
    RESOLVE(manager, UserRelease, tmsdk_sdkmanager_user_release);
    RESOLVE(manager, Counter, tmsdk_sdkmanager_test_live_blocks);
    RESOLVE(manager, Counter, tmsdk_sdkmanager_test_platform_count);
    RESOLVE(module, ModuleInitialize, tmsdk_tunefindcd_initialize);
    RESOLVE(module, ModuleShutdown, tmsdk_tunefindcd_shutdown);
    RESOLVE(module, Text, tmsdk_tunefindcd_get_version);
    RESOLVE(module, QueryCreate, tmsdk_tunefindcd_query_create);
    RESOLVE(module, QuerySetTocString, tmsdk_tunefindcd_query_set_toc_string);
    RESOLVE(module, QueryFindAlbums, tmsdk_tunefindcd_query_find_albums);
    RESOLVE(module, QueryRelease, tmsdk_tunefindcd_query_release);
    uint32_t* flags = (uint32_t*)Resolve(manager, "tmsdk_sdkmanager_package_flags");
    if (failures) return 1;

    CHECK(flags[TMSDK_TUNEFINDCD_PACKAGE] == 0);
    CHECK(strcmp(tmsdk_tunefindcd_get_version(), "1.3.0.65") == 0);
    const tmsdk_sdkmanager_handle_t* handle = NULL;
    tmsdk_client_t client = NULL;
    tmsdk_user_t user = NULL;
    tmsdk_tunefindcd_query_t query = NULL;
    uint32_t match = 99;
    tmsdk_gdo_t response = NULL;
    CHECK_STATUS(tmsdk_sdkmanager_initialize(&handle), 0u);
    CHECK_STATUS(tmsdk_tunefindcd_initialize(handle), 0u);
    CHECK_STATUS(tmsdk_sdkmanager_client_create("4718263", "7C2E9A41D05B38F6A1C4E7092B5D8F30", "1", &client), 0u);
    CHECK_STATUS(tmsdk_sdkmanager_user_register_new(client, 0, &user), 0u);
    CHECK_STATUS(tmsdk_tunefindcd_query_create(client, user, NULL, NULL, &query), 0u);
    CHECK_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, "150 21052 39817 ", 0), 0u);
    /* No catalogue: the lookup fails as an unreachable service, a clear status. */
    CHECK_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0x90810165u);
    CHECK(response == NULL);
    CHECK_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
    CHECK_STATUS(tmsdk_sdkmanager_user_release(user), 0u);
    CHECK_STATUS(tmsdk_sdkmanager_client_release(client), 0u);
    tmsdk_tunefindcd_shutdown();
    CHECK_STATUS(tmsdk_sdkmanager_shutdown(), 0u);
    CHECK(tmsdk_sdkmanager_test_live_blocks() == 0);
    CHECK(tmsdk_sdkmanager_test_platform_count() == 0);

    dlclose(module);
    dlclose(manager);
    rmdir(folder);
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? 1 : 0;
}
