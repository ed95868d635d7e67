/*
 * tmsdk_sdkmanager: the SDK manager that the editor and the CD-recognition module talk to.
 *
 * Plain C. Every function answers a 32-bit status code: 0 success, otherwise 0xSSPPCCCC (SS 0x90 error or
 * 0x10 warning, PP the package, CCCC the code within it); the codes this library answers are listed below.
 * Texts are zero-terminated UTF-8. Handles are opaque pointers that the manager checks against its own
 * records before use, so a released or foreign handle is refused, never read.
 *
 * Ownership: texts handed out by value getters, contexts and display strings belong to the manager and stay
 * valid while the object (or list) they came from lives; serialised texts belong to the caller, who frees
 * them with tmsdk_sdkmanager_string_free. Every object handed out through an out parameter carries one
 * reference that the caller releases.
 *
 * sdk_manager/README.md documents the layouts, the status records, the disc catalogue and its mapping.
 */
#ifndef TMSDK_SDKMANAGER_H
#define TMSDK_SDKMANAGER_H

#include <stdint.h>

#if defined(TMSDK_SDKMANAGER_BUILD)
#define TMSDK_SDKMANAGER_API __attribute__((visibility("default")))
#else
#define TMSDK_SDKMANAGER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t tmsdk_status_t;

/* Status codes of the manager. Package 0x01 is the manager itself; its low words mean what the same low
 * words mean to the module (1 invalid argument, 2 no memory, 3 not found, 7 not started). */
#define TMSDK_STATUS_OK 0x00000000u
#define TMSDK_STATUS_INVALID_ARGUMENT 0x90010001u /* a null pointer, an empty or unknown text */
#define TMSDK_STATUS_NO_MEMORY 0x90010002u
#define TMSDK_STATUS_NOT_FOUND 0x10010003u      /* warning: absent key, value, child, or a null object */
#define TMSDK_STATUS_NOT_STARTED 0x90010007u    /* manager not initialised, or a stop with nothing to undo */
#define TMSDK_STATUS_UNKNOWN_HANDLE 0x90010010u /* not a live handle of this manager */
#define TMSDK_STATUS_WRONG_KIND 0x90010011u     /* a live handle, registered under another magic */
#define TMSDK_STATUS_ALREADY 0x90010012u        /* the handle is registered already */
#define TMSDK_STATUS_BUSY 0x90010020u           /* the lookup is executing */
#define TMSDK_STATUS_BAD_STATE 0x90010021u      /* the lookup was executed already, or not yet */
#define TMSDK_STATUS_NOT_UNDERSTOOD 0x90010030u /* a serialised text this manager did not write */
/* Package 0x04, lookups: the lookup's status function set the abort byte. */
#define TMSDK_STATUS_ABORTED 0x90040010u
/* Package 0x16, the service: no disc catalogue to answer from (the stand-in of an unreachable service),
 * or a catalogue in which not one disc record could be read. */
#define TMSDK_STATUS_SERVICE_UNREACHABLE 0x90160165u
#define TMSDK_STATUS_CATALOGUE_UNREADABLE 0x90160166u

#define TMSDK_SDKMANAGER_PACKAGE 0x01u
#define TMSDK_SDKMANAGER_HANDLE_MAGIC 0x1EEEEEE0u

/* Opaque handles. */
typedef struct tmsdk_client_s* tmsdk_client_t;
typedef struct tmsdk_user_s* tmsdk_user_t;
typedef struct tmsdk_list_s* tmsdk_list_t;
typedef struct tmsdk_gdo_s* tmsdk_gdo_t;       /* a result object */
typedef struct tmsdk_lookup_s* tmsdk_lookup_t; /* one lookup of the lookup interface */

/* The manager handle: what tmsdk_sdkmanager_initialize gives. A module binds the manager's interfaces by
 * name through interface_get and registers its status-code package through package_register; registering
 * the same package and name again succeeds, as does every further interface_get. */
typedef struct tmsdk_sdkmanager_handle {
    uint32_t magic; /* TMSDK_SDKMANAGER_HANDLE_MAGIC */
    tmsdk_status_t (*interface_get)(const char* name, const void** interface_table);
    tmsdk_status_t (*package_register)(uint32_t package, const char* name);
} tmsdk_sdkmanager_handle_t;

/* Interface names for interface_get, and the tables they give. Entry 0 of every table releases the
 * interface again (one release for every successful interface_get). */
#define TMSDK_INTERFACE_ERRORINFO "_tmsdk_sdkmanager_errorinfo_interface"
#define TMSDK_INTERFACE_HANDLES "_tmsdk_sdkmanager_handles_interface"
#define TMSDK_INTERFACE_LOOKUP "_tmsdk_sdkmanager_lookup_interface"
#define TMSDK_INTERFACE_GDO "_tmsdk_sdkmanager_gdo_interface"
#define TMSDK_INTERFACE_LISTS "_tmsdk_sdkmanager_lists_interface"

/* Error information: what a lookup's failure status (id 19) reported, kept per module handle. */
typedef struct tmsdk_errorinfo_interface {
    tmsdk_status_t (*release)(void);
    tmsdk_status_t (*set)(const void* handle, uint32_t code, uint32_t detail);
} tmsdk_errorinfo_interface_t;

/* Handles: a module registers its own handles under their magic; validation answers from these records
 * (and the manager's records of its clients, users and result objects) and never reads the handle. */
typedef struct tmsdk_handles_interface {
    tmsdk_status_t (*release)(void);
    tmsdk_status_t (*handle_register)(const void* handle, uint32_t magic);
    tmsdk_status_t (*handle_unregister)(const void* handle, uint32_t magic);
    tmsdk_status_t (*handle_validate)(const void* handle, uint32_t magic);
    tmsdk_status_t (*client_validate)(tmsdk_client_t client);
    tmsdk_status_t (*user_validate)(tmsdk_user_t user);
    tmsdk_status_t (*gdo_validate)(tmsdk_gdo_t object);
} tmsdk_handles_interface_t;

/* Lookup requests: their types, the service, and the data each type needs. */
#define TMSDK_LOOKUP_SERVICE "tfcd"
#define TMSDK_LOOKUP_TYPE_ALBUM_TOC "tmsdk_lookup_type_album_toc"                   /* TMSDK_LOOKUP_DATA_TOC */
#define TMSDK_LOOKUP_TYPE_ALBUM_TUI "tmsdk_lookup_type_album_tui"                   /* _DATA_TUI and _DATA_TUI_TAG */
#define TMSDK_LOOKUP_TYPE_ALBUM_LINK_CHAINED "tmsdk_lookup_type_album_link_chained" /* _DATA_CHAINED_INPUT */
#define TMSDK_LOOKUP_TYPE_ALBUM_EXTRA_CHAINED "tmsdk_lookup_type_album_extra_chained"
#define TMSDK_LOOKUP_DATA_TOC "tmsdk_lookup_data_toc" /* frame offsets of the tracks and the lead-out */
#define TMSDK_LOOKUP_DATA_TUI "tmsdk_lookup_data_tui"
#define TMSDK_LOOKUP_DATA_TUI_TAG "tmsdk_lookup_data_tui_tag"
#define TMSDK_LOOKUP_DATA_CHAINED_INPUT "tmsdk_lookup_data_chained_input_ident" /* an earlier request's id */

/* What responses hold: contexts, child keys, values, and the response codes. */
#define TMSDK_CTX_RESPONSE_ALBUM "tmsdk_ctx_responsealbum"
#define TMSDK_CTX_ALBUM "tmsdk_ctx_album"
#define TMSDK_CTX_TRACK "tmsdk_ctx_track"
#define TMSDK_CTX_CREDIT "tmsdk_ctx_credit"
#define TMSDK_KEY_ALBUMS "tmsdk_ctx_album!"
#define TMSDK_KEY_TRACKS "tmsdk_ctx_track!"
#define TMSDK_KEY_CREDITS "tmsdk_ctx_credit!"
#define TMSDK_KEY_TRACK_BY_NUMBER "tmsdk_ctx_track!number"
#define TMSDK_KEY_CREDIT_BY_ID "tmsdk_ctx_credit!id"
#define TMSDK_VAL_RESPONSE_CODE "_sdkmgr_val_response_code"
#define TMSDK_VAL_TUI_TYPE "_sdkmgr_val_tui_type"
#define TMSDK_VAL_TUI_ID "_sdkmgr_val_tui_id"
#define TMSDK_VAL_TUI_TAG "_sdkmgr_val_tui_tag"
#define TMSDK_VAL_CREDIT_ID "_sdkmgr_val_list_credit_id"
#define TMSDK_VAL_TRACKNUMBER "tmsdk_val_tracknumber"
#define TMSDK_VAL_ARTIST "tmsdk_val_artist"
#define TMSDK_VAL_TITLE "tmsdk_val_title"
#define TMSDK_VAL_DATE "tmsdk_val_date"
#define TMSDK_VAL_ALBUMLABEL "tmsdk_val_albumlabel"
#define TMSDK_VAL_GENRE "tmsdk_val_genre"
#define TMSDK_TUI_TYPE_ALBUM "tmsdk_tui_type_album"
#define TMSDK_RESULT_SINGLE_MATCH "tmsdk_result_single_match"
#define TMSDK_RESULT_MULTIEXACT_MATCHES "tmsdk_result_multiexact_matches"
#define TMSDK_RESULT_FUZZY_MATCHES "tmsdk_result_fuzzy_matches"
#define TMSDK_RESULT_NO_MATCHES "tmsdk_result_no_matches"

/* Lookup status record, handed to a lookup's status function. size says how many of its bytes hold data:
 *   8  (size, id)                   ids 1 (lookup started) and 18 (lookup finished)
 *   16 (size, id, value 0, value 1) progress ids 7 to 12, value 0 of value 1 done
 *   20 (size, id, three values)     id 19, a failure: the code, the request (from 1; 0 for the lookup), a detail
 * Setting *abort to 1 ends the lookup with TMSDK_STATUS_ABORTED. */
typedef struct tmsdk_lookup_status {
    uint32_t size;
    uint32_t id;
    uint32_t value[3];
} tmsdk_lookup_status_t;

#define TMSDK_LOOKUP_STATUS_STARTED 1u
#define TMSDK_LOOKUP_STATUS_CATALOGUE_OPENING 7u /* 0 of 0 */
#define TMSDK_LOOKUP_STATUS_CATALOGUE_READING 8u /* files read of files found */
#define TMSDK_LOOKUP_STATUS_REQUEST_SENT 9u      /* request of requests */
#define TMSDK_LOOKUP_STATUS_ANSWER_RECEIVED 10u  /* request of requests */
#define TMSDK_LOOKUP_STATUS_MATCHING 11u         /* discs compared of discs in the catalogue */
#define TMSDK_LOOKUP_STATUS_ANSWER_READY 12u     /* request of requests */
#define TMSDK_LOOKUP_STATUS_FINISHED 18u
#define TMSDK_LOOKUP_STATUS_FAILED 19u

typedef void (*tmsdk_lookup_status_fn)(void* data, const tmsdk_lookup_status_t* status, uint8_t* abort);

/* Lookups: create, add requests (type, id, service "tfcd"), set each request's data, execute once, read
 * each request's response (a reference the caller releases), release. The lookup owns its responses: texts
 * read from them stay valid until the lookup is released. Data texts are always copied. */
typedef struct tmsdk_lookup_interface {
    tmsdk_status_t (*release)(void);
    tmsdk_status_t (*create)(tmsdk_client_t client, tmsdk_user_t user, tmsdk_lookup_status_fn status, void* data,
                             tmsdk_lookup_t* lookup);
    tmsdk_status_t (*request_add)(tmsdk_lookup_t lookup, const char* type, const char* id, const char* service);
    tmsdk_status_t (*data_set)(tmsdk_lookup_t lookup, const char* id, const char* key, const char* value,
                               uint32_t copy);
    tmsdk_status_t (*execute)(tmsdk_lookup_t lookup);
    tmsdk_status_t (*response_get)(tmsdk_lookup_t lookup, const char* id, tmsdk_gdo_t* response);
    tmsdk_status_t (*lookup_release)(tmsdk_lookup_t lookup);
} tmsdk_lookup_interface_t;

/* A result object made by a module over its own data: the manager answers the object's questions through
 * this nine-slot table. It calls slots 1 to 5 and 7 (never 0 or 6), and slot 8 exactly once, when the
 * object's last reference goes. Texts a slot hands out must stay valid while the object lives; a child a
 * slot hands out carries one reference for the caller. The table must outlive every object made over it. */
typedef struct tmsdk_gdo_provider {
    tmsdk_status_t (*nothing)(void* data);
    tmsdk_status_t (*context)(void* data, const char** context);
    tmsdk_status_t (*child_count)(void* data, const char* key, uint32_t* count);
    tmsdk_status_t (*child_get)(void* data, const char* key, uint32_t ordinal, uint32_t flag, tmsdk_gdo_t* child);
    tmsdk_status_t (*value_count)(void* data, const char* key, uint32_t* count);
    tmsdk_status_t (*value_get)(void* data, const char* key, uint32_t ordinal, const char** value);
    void (*none)(void); /* always null */
    tmsdk_status_t (*forward)(void* data, uint32_t a, uint32_t b, uint32_t c);
    tmsdk_status_t (*release)(void* data);
} tmsdk_gdo_provider_t;

/* Result objects: reference-counted, with a context, values (ordered texts under a key, ordinals from 1)
 * and children (ordered objects under a key, ordinals from 1). Child keys are the child's context and "!"
 * ("tmsdk_ctx_album!"); "tmsdk_ctx_track!number" and "tmsdk_ctx_credit!id" address a child by its
 * "tmsdk_val_tracknumber" or "_sdkmgr_val_list_credit_id" value instead of its position. Release accepts
 * null; asking a null object, an absent key or an ordinal out of range answers TMSDK_STATUS_NOT_FOUND.
 * The child flag is 0 or 1; the manager's own children are independent objects either way. Forward hands
 * three values to a module's object (slot 7); the manager's own objects take them and answer 0. */
typedef struct tmsdk_gdo_interface {
    tmsdk_status_t (*release)(void);
    tmsdk_status_t (*create)(void* data, const tmsdk_gdo_provider_t* provider, tmsdk_gdo_t* object);
    tmsdk_status_t (*addref)(tmsdk_gdo_t object);
    tmsdk_status_t (*gdo_release)(tmsdk_gdo_t object);
    tmsdk_status_t (*context_get)(tmsdk_gdo_t object, const char** context);
    tmsdk_status_t (*value_count)(tmsdk_gdo_t object, const char* key, uint32_t* count);
    tmsdk_status_t (*value_get)(tmsdk_gdo_t object, const char* key, uint32_t ordinal, const char** value);
    tmsdk_status_t (*child_count)(tmsdk_gdo_t object, const char* key, uint32_t* count);
    tmsdk_status_t (*child_get)(tmsdk_gdo_t object, const char* key, uint32_t ordinal, uint32_t flag,
                                tmsdk_gdo_t* child);
    tmsdk_status_t (*forward)(tmsdk_gdo_t object, uint32_t a, uint32_t b, uint32_t c);
} tmsdk_gdo_interface_t;

/* Status function of list calls: (data, status id, value 0, value 1, abort byte); the ids are those of the
 * lookup status record (1 started, 18 finished). */
typedef void (*tmsdk_list_status_fn)(void* data, uint32_t status, uint32_t value0, uint32_t value1, uint8_t* abort);

/* Lists: retrieve with a null list place only checks that the list can be had. */
typedef struct tmsdk_lists_interface {
    tmsdk_status_t (*release)(void);
    tmsdk_status_t (*retrieve)(const char* type, const char* language, const char* region, const char* descriptor,
                               tmsdk_client_t client, tmsdk_user_t user, tmsdk_list_status_fn status, void* data,
                               tmsdk_list_t* list);
} tmsdk_lists_interface_t;

/* ---- For the editor ---------------------------------------------------------------------------------- */

/* Counted: every successful initialise needs one shutdown; the last shutdown forgets every client, user,
 * list, lookup and result object still held. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_initialize(const tmsdk_sdkmanager_handle_t** handle);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_shutdown(void);

TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_client_create(const char* client_id, const char* client_tag,
                                                                   const char* version, tmsdk_client_t* client);
/* The only option is "tmsdk_proxy_host" ("server:port"); the stand-in keeps it and has no network to use it. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_client_option_set(tmsdk_client_t client, const char* key,
                                                                       const char* value);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_client_release(tmsdk_client_t client);

/* reserved must be 0. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_user_register_new(tmsdk_client_t client, uint32_t reserved,
                                                                       tmsdk_user_t* user);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_user_serialize(tmsdk_user_t user, char** text);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_user_deserialize(const char* text, uint32_t reserved,
                                                                      tmsdk_user_t* user);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_user_release(tmsdk_user_t user);
/* Frees a serialised text; null is accepted. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_string_free(char* text);

/* List types: "list_type_languages", "list_type_genres", "list_type_origins", "list_type_eras",
 * "list_type_artist_types", "list_type_roles". Lists have up to three levels; a display string answers the
 * entry an object names (its genre, era, ...) at a level from 1 to 3, with flag 1 or 2. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_list_retrieve(const char* type, const char* language,
                                                                   const char* region, const char* descriptor,
                                                                   tmsdk_client_t client, tmsdk_user_t user,
                                                                   tmsdk_list_status_fn status, void* data,
                                                                   tmsdk_list_t* list);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_list_deserialize(const char* text, tmsdk_list_t* list);
/* *updated: 1 when the list was older than the service's and has been replaced, else 0. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_list_update(tmsdk_list_t list, tmsdk_client_t client,
                                                                 tmsdk_user_t user, tmsdk_list_status_fn status,
                                                                 void* data, uint8_t* updated);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_list_serialize(tmsdk_list_t list, char** text);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_list_release(tmsdk_list_t list);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_list_get_display_string_by_gdo(tmsdk_list_t list,
                                                                                    tmsdk_gdo_t object, uint32_t level,
                                                                                    uint32_t flag, const char** text);

TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_gdo_get_context(tmsdk_gdo_t object, const char** context);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_gdo_child_count(tmsdk_gdo_t object, const char* key,
                                                                     uint32_t* count);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_gdo_child_get(tmsdk_gdo_t object, const char* key,
                                                                   uint32_t ordinal, tmsdk_gdo_t* child);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_gdo_value_get(tmsdk_gdo_t object, const char* key,
                                                                   uint32_t ordinal, const char** value);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_gdo_release(tmsdk_gdo_t object);

/* ---- For modules ------------------------------------------------------------------------------------- */

/* The platform layer, counted apart from initialise and shutdown; a shutdown at count 0 answers
 * TMSDK_STATUS_NOT_STARTED and changes nothing. */
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_platform_initialize(void);
TMSDK_SDKMANAGER_API tmsdk_status_t tmsdk_sdkmanager_platform_shutdown(void);

/* Memory: null from malloc or realloc is out of memory (realloc then leaves the block as it was). A size
 * of 0 still gives a block of its own. free and realloc accept null. */
TMSDK_SDKMANAGER_API void* tmsdk_sdkmanager_mem_malloc(uint32_t size);
TMSDK_SDKMANAGER_API void* tmsdk_sdkmanager_mem_realloc(void* block, uint32_t size);
TMSDK_SDKMANAGER_API void tmsdk_sdkmanager_mem_free(void* block);
TMSDK_SDKMANAGER_API void* tmsdk_sdkmanager_mem_memcpy(void* target, const void* source, uint32_t size);
TMSDK_SDKMANAGER_API void* tmsdk_sdkmanager_mem_memset(void* target, int value, uint32_t size);

/* Per package: bit 0 report errors through the error hook, bit 3 log through the log hook. */
#define TMSDK_PACKAGE_FLAG_REPORT_ERRORS 0x1u
#define TMSDK_PACKAGE_FLAG_LOG 0x8u
TMSDK_SDKMANAGER_API extern uint32_t tmsdk_sdkmanager_package_flags[256];

typedef void (*tmsdk_sdkmanager_log_fn)(uint32_t line, const char* source, uint32_t package, uint32_t level,
                                        const char* text);
/* Called for a failure about to be returned; what it answers is returned instead (reserved is 0). */
typedef tmsdk_status_t (*tmsdk_sdkmanager_error_fn)(uint32_t line, const char* source, tmsdk_status_t code,
                                                    uint32_t reserved);
/* Both may be null. */
TMSDK_SDKMANAGER_API extern tmsdk_sdkmanager_log_fn tmsdk_sdkmanager_log_callback;
TMSDK_SDKMANAGER_API extern tmsdk_sdkmanager_error_fn tmsdk_sdkmanager_error_callback;

#ifdef __cplusplus
}
#endif

#endif /* TMSDK_SDKMANAGER_H */
