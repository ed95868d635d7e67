/*
 * Calls of tmsdk_sdkmanager that only tests use: failing the N-th allocation, counting live blocks and
 * handles, failing a named call. Neither the editor nor a module calls these.
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

#ifdef __cplusplus
}
#endif

#endif /* TMSDK_SDKMANAGER_TEST_H */
