/*
 * Calls of tmsdk_sdkmanager that only tests use: failing the N-th allocation, counting live blocks and
 * handles, failing a named call, installing a scripted backend in place of the disc catalogue, and building
 * result objects for it. Neither the editor nor a module calls these.
 */
#ifndef TMSDK_SDKMANAGER_TEST_H
#define TMSDK_SDKMANAGER_TEST_H

#include "sdk_manager/tmsdk_sdkmanager.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Allocator --------------------------------------------------------------------------------------- */

/* The n-th allocation call from now (malloc or realloc, counted from 1) answers null; 0 fails none.
 * Either way the count of allocation calls starts again at 0. */
TMSDK_SDKMANAGER_API void tmsdk_sdkmanager_test_allocation_fail_at(uint32_t n);
/* Allocation calls since the last tmsdk_sdkmanager_test_allocation_fail_at. */
TMSDK_SDKMANAGER_API uint32_t tmsdk_sdkmanager_test_allocation_calls(void);
/* Blocks handed out by malloc and realloc and not yet freed. */
TMSDK_SDKMANAGER_API uint32_t tmsdk_sdkmanager_test_live_blocks(void);

/* ---- Failing a named call ---------------------------------------------------------------------------- */

/* The n-th call (from 1, counted from now) of the named operation answers code without doing anything;
 * n 0 stops failing it; a null name stops failing every operation. Names: "platform_initialize",
 * "platform_shutdown", "package_register", an interface name (its interface_get), "handle_register",
 * "handle_unregister", "lookup_create", "request_add", "data_set", "execute", "response_get",
 * "lookup_release", "gdo_create", "gdo_addref", "gdo_child_get", "gdo_value_get", "gdo_child_count". */
TMSDK_SDKMANAGER_API void tmsdk_sdkmanager_test_fail(const char* operation, uint32_t n, tmsdk_status_t code);

/* ---- Counters ---------------------------------------------------------------------------------------- */

TMSDK_SDKMANAGER_API uint32_t tmsdk_sdkmanager_test_platform_count(void);
TMSDK_SDKMANAGER_API uint32_t tmsdk_sdkmanager_test_initialize_count(void);
/* Interfaces bound and not yet released, over all five. */
TMSDK_SDKMANAGER_API uint32_t tmsdk_sdkmanager_test_interfaces_held(void);
/* Module handles registered through the handles interface and not yet unregistered. */
TMSDK_SDKMANAGER_API uint32_t tmsdk_sdkmanager_test_handles_registered(void);
/* Result objects and lookups alive. */
TMSDK_SDKMANAGER_API uint32_t tmsdk_sdkmanager_test_objects_live(void);
TMSDK_SDKMANAGER_API uint32_t tmsdk_sdkmanager_test_lookups_live(void);
/* The name a package registered with, or null. */
TMSDK_SDKMANAGER_API const char* tmsdk_sdkmanager_test_package_name(uint32_t package);
/* What the error-information interface was last told about a handle: TMSDK_STATUS_NOT_FOUND when nothing. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_test_errorinfo_get(const void* handle, uint32_t* code,
                                                                        uint32_t* detail);
/* What the catalogue's index held when a lookup last used it: disc records, and records (or files) left out. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_test_catalogue_report(uint32_t* discs, uint32_t* skipped);

/* ---- Scripted backend -------------------------------------------------------------------------------- */

/* One request of an executing lookup, as a scripted backend sees it; valid during the call. */
typedef struct tmsdk_sdkmanager_test_request {
    const char* id;
    const char* type;
    const char* service;
    uint32_t data_count;
    const char* const* data_keys;
    const char* const* data_values;
} tmsdk_sdkmanager_test_request_t;

/* Answers request `index` (from 1) of `count`. On 0, *response holds a result object made with the calls
 * below, whose reference passes to the lookup; any other code ends the execution with that code and the
 * remaining requests are not asked. A backend may sleep, and it sends whatever statuses it likes through
 * tmsdk_sdkmanager_test_status: the manager sends none of its own while a scripted backend is installed. */
typedef tmsdk_status_t (*tmsdk_sdkmanager_test_backend_fn)(void* context, tmsdk_lookup_t lookup, uint32_t index,
                                                           uint32_t count,
                                                           const tmsdk_sdkmanager_test_request_t* request,
                                                           tmsdk_gdo_t* response);

/* Installs the backend for every lookup executed from now on; null returns to the disc catalogue. */
TMSDK_SDKMANAGER_API void tmsdk_sdkmanager_test_backend_set(tmsdk_sdkmanager_test_backend_fn backend, void* context);
/* Hands a status record of the given size (8 to 20) to the executing lookup's status function. Answers
 * TMSDK_STATUS_ABORTED when it set the abort byte; the execution then ends with that code once the backend
 * returns. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_test_status(tmsdk_lookup_t lookup, uint32_t size, uint32_t id,
                                                                 uint32_t value0, uint32_t value1, uint32_t value2);

/* A result object of the manager's own, with one reference for the caller. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_test_gdo_create(const char* context, tmsdk_gdo_t* object);
/* Appends a text under a key. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_test_gdo_value_add(tmsdk_gdo_t object, const char* key,
                                                                        const char* value);
/* Appends a child under a key (the parent takes a reference of its own); a null child only declares the key,
 * which then counts 0 children without a warning. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_test_gdo_child_add(tmsdk_gdo_t parent, const char* key,
                                                                        tmsdk_gdo_t child);

#ifdef __cplusplus
}
#endif

#endif /* TMSDK_SDKMANAGER_TEST_H */
