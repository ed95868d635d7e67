/*
 * tmsdk_tunefind_cd: matches an audio CD's table of contents, or an album identifier, against the metadata
 * service through the SDK manager (sdk_manager/tmsdk_sdkmanager.h), whose handle the caller passes in.
 *
 * Plain C. Every function but the version, build-date and shutdown functions answers a 32-bit status code:
 * 0 success, otherwise 0xSSPPCCCC (SS 0x90 error or 0x10 warning, PP the package, CCCC the code). Codes of
 * the manager and of the support library are carried into this module's package 0x81: low word 2 becomes
 * TMSDK_TUNEFINDCD_NO_MEMORY, low word 3 TMSDK_TUNEFINDCD_NOT_FOUND, the manager's lookup packages 0x04 and
 * 0x14 0x90810400, 0x15 0x90810402, 0x10 0x90810403, 0x07 0x90810404, 0x0E 0x90810405, 0x16 0x90810165 to
 * 0x90810167 or 0x90810401, anything else 0x90810000 | its low word. Texts are zero-terminated UTF-8. While the module
 * is not started every function from tmsdk_tunefindcd_retrieve_lists on answers TMSDK_TUNEFINDCD_NOT_STARTED.
 *
 * A typical lookup (the editor's):
 *   tmsdk_sdkmanager_initialize(&manager);  tmsdk_tunefindcd_initialize(manager);
 *   client and user from the manager;       tmsdk_tunefindcd_query_create(client, user, callback, data, &query);
 *   tmsdk_tunefindcd_query_set_toc_string(query, "150 21052 39817 ", 0);
 *   tmsdk_tunefindcd_query_find_albums(query, &match, &response);
 *   match 1: read album child 1 of the response; match 2 or 3: tmsdk_tunefindcd_query_resolve for each
 *   album from 1 to the response's count of "tmsdk_ctx_album!" children, reading album child 1 of each;
 *   release every response with tmsdk_sdkmanager_gdo_release and the query with tmsdk_tunefindcd_query_release;
 *   tmsdk_tunefindcd_shutdown();  tmsdk_sdkmanager_shutdown();
 */
#ifndef TMSDK_TUNEFIND_CD_H
#define TMSDK_TUNEFIND_CD_H

#include <stdint.h>

#include "sdk_manager/tmsdk_sdkmanager.h"

#if defined(TMSDK_TUNEFINDCD_BUILD)
#define TMSDK_TUNEFINDCD_API __attribute__((visibility("default")))
#else
#define TMSDK_TUNEFINDCD_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define TMSDK_TUNEFINDCD_PACKAGE 0x81u

#define TMSDK_TUNEFINDCD_INVALID_ARGUMENT 0x90810001u /* null pointer, empty text, index out of range */
#define TMSDK_TUNEFINDCD_NO_MEMORY 0x90810002u
#define TMSDK_TUNEFINDCD_NOT_FOUND 0x10810003u    /* warning: the key, child or value does not exist */
#define TMSDK_TUNEFINDCD_EMPTY_OBJECT 0x90810003u /* a merged result object holds no object to ask */
#define TMSDK_TUNEFINDCD_IN_CALLBACK 0x90810006u  /* the query is inside its status callback */
#define TMSDK_TUNEFINDCD_NOT_STARTED 0x90810007u
#define TMSDK_TUNEFINDCD_UNIT_START_FAILED 0x9081000Au
#define TMSDK_TUNEFINDCD_BAD_TOC 0x908100C4u /* fewer than two offsets, not increasing, or too long as text */
#define TMSDK_TUNEFINDCD_NOT_ALBUM_RESPONSE 0x908101A3u
#define TMSDK_TUNEFINDCD_BAD_ALBUM 0x908101A4u /* an album's type, identifier or tag missing or wrong */
#define TMSDK_TUNEFINDCD_UNKNOWN_RESPONSE 0x90810206u

/* Match kinds of tmsdk_tunefindcd_query_find_albums. */
#define TMSDK_TUNEFINDCD_MATCH_NONE 0u
#define TMSDK_TUNEFINDCD_MATCH_SINGLE 1u
#define TMSDK_TUNEFINDCD_MATCH_MULTIPLE_EXACT 2u
#define TMSDK_TUNEFINDCD_MATCH_FUZZY 3u

/* Options ("true", "yes", "y" in any case, or a number other than 0, are true). */
#define TMSDK_TUNEFINDCD_OPTION_ENABLE_LINK "tmsdk_tfcd_option_enable_link"
#define TMSDK_TUNEFINDCD_OPTION_ENABLE_EXTRA "tmsdk_tfcd_option_enable_extra"

/* Statuses handed to a query's callback: 1 started, 2 and 3 progress (value 1 of value 2), 4 finished. */
#define TMSDK_TUNEFINDCD_STATUS_STARTED 1u
#define TMSDK_TUNEFINDCD_STATUS_PROGRESS 2u
#define TMSDK_TUNEFINDCD_STATUS_MATCHING 3u
#define TMSDK_TUNEFINDCD_STATUS_FINISHED 4u

typedef struct tfcd_query_s* tmsdk_tunefindcd_query_t;

/* Called during a lookup on the thread that runs it, with the query's lock held. Setting *abort to 1 ends
 * the lookup; the callback may use its query's setters and options, but not release, find or resolve. */
typedef void (*tmsdk_tunefindcd_status_fn)(void* data, tmsdk_tunefindcd_query_t query, uint32_t status, uint32_t value1,
                                           uint32_t value2, uint8_t* abort);

/* Counted: each successful initialise needs one shutdown. manager: what tmsdk_sdkmanager_initialize gave. */
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_initialize(const tmsdk_sdkmanager_handle_t* manager);
TMSDK_TUNEFINDCD_API void tmsdk_tunefindcd_shutdown(void);
TMSDK_TUNEFINDCD_API const char* tmsdk_tunefindcd_get_version(void);    /* "1.3.0.65", at any time */
TMSDK_TUNEFINDCD_API const char* tmsdk_tunefindcd_get_build_date(void); /* "2009-04-22 00:04 UTC" */

/* Fetches the six descriptor lists (languages, genres, origins, eras, artist types, roles) into the
 * manager; region and descriptor may be null. */
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_retrieve_lists(const char* language, const char* region,
                                                                    const char* descriptor, tmsdk_client_t client,
                                                                    tmsdk_user_t user, tmsdk_list_status_fn callback,
                                                                    void* data);

TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_query_create(tmsdk_client_t client, tmsdk_user_t user,
                                                                  tmsdk_tunefindcd_status_fn callback, void* data,
                                                                  tmsdk_tunefindcd_query_t* query);
/* A null value stores the key without a value. */
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_query_option_set(tmsdk_tunefindcd_query_t query, const char* key,
                                                                      const char* value);
/* The query's own copy, valid until the key is set again or the query is released. An absent key answers
 * TMSDK_TUNEFINDCD_NOT_FOUND; before the first option is set the call answers 0; either way *value is left
 * as it was. */
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_query_option_get(tmsdk_tunefindcd_query_t query, const char* key,
                                                                      const char** value);
/* The start frame of every track, then the lead-out frame, as decimal numbers separated by spaces (at
 * least two, strictly increasing, at most 100). value is kept with the table and not used by lookups. */
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_query_set_toc_string(tmsdk_tunefindcd_query_t query,
                                                                          const char* toc, uint32_t value);
/* One entry (index 0 to 99) of the table; length is kept and not used by lookups. */
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_query_set_toc_entry(tmsdk_tunefindcd_query_t query, uint32_t index,
                                                                         uint32_t offset, uint32_t length);
/* Looks up by this album's identifier from now on (clears the table of contents); the query keeps a
 * reference to the album. */
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_query_set_gdo(tmsdk_tunefindcd_query_t query, tmsdk_gdo_t album);
/* On 0, *match is a TMSDK_TUNEFINDCD_MATCH_* kind; unless it is NONE, *response is a result object of
 * context "tmsdk_ctx_responsealbum" that the caller releases through the manager. */
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_query_find_albums(tmsdk_tunefindcd_query_t query, uint32_t* match,
                                                                       tmsdk_gdo_t* response);
/* Looks album `ordinal` (from 1) of a response up again in full; *album_response holds it as its one album. */
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_query_resolve(tmsdk_tunefindcd_query_t query, tmsdk_gdo_t response,
                                                                   uint32_t ordinal, tmsdk_gdo_t* album_response);
TMSDK_TUNEFINDCD_API tmsdk_status_t tmsdk_tunefindcd_query_release(tmsdk_tunefindcd_query_t query);

#ifdef __cplusplus
}
#endif

#endif /* TMSDK_TUNEFIND_CD_H */
