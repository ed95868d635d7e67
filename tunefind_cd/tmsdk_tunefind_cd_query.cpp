// The query: its record and lock, options, table of contents, album source, release, and the adapter that
// passes a lookup's statuses on to the caller's callback.
#include <string.h>

#include "tunefind_cd/tfcd_internal.h"

namespace {

constexpr uint32_t kOptionBuckets = 8;

// Frees what a query holds and the record; the first failure is the result.
uint32_t FreeQuery(tfcd_query_t* query) {
    uint32_t first = 0;
    auto keep = [&first](uint32_t code) {
        if (!first) first = code;
    };
    if (query->lock) keep(tmlib_critsec_delete(query->lock));
    keep(tmlib_stringmap_delete(query->options));
    if (query->source) keep(g_tfcd.gdo->gdo_release(query->source));
    query->magic = 0;
    tmsdk_sdkmanager_mem_free(query);
    return first;
}

void ClearToc(tfcd_query_t* query) {
    memset(query->offsets, 0, sizeof query->offsets);
    memset(query->lengths, 0, sizeof query->lengths);
}

}  // namespace

uint32_t tfcd_query_validate(tfcd_query_t* query) {
    if (!query) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    // The manager answers from its records without reading the query, so a released one is refused here.
    if (const uint32_t bad = tfcd_validation(g_tfcd.handles->handle_validate(query, TFCD_QUERY_MAGIC)))
        return TFCD_REPORT(bad);
    if (query->magic != TFCD_QUERY_MAGIC) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    return 0;
}

bool tfcd_query_in_callback(tfcd_query_t* query) {
    uint32_t depth = 0;
    tmlib_atomic_read(&query->in_callback, &depth);
    return depth != 0;
}

bool tfcd_query_option_bool(tfcd_query_t* query, const char* key) {
    const char* text = nullptr;
    if (!query->options || tmlib_stringmap_value_find(query->options, key, &text) != 0) return false;
    return tmlib_string_atobool(text);
}

uint32_t tfcd_album_identifier(tmsdk_gdo_t album, const char** id, const char** tag) {
    const char* type = nullptr;
    if (g_tfcd.gdo->value_get(album, TMSDK_VAL_TUI_TYPE, 1, &type) != 0
        || !tmlib_string_equal(type, TMSDK_TUI_TYPE_ALBUM, false)
        || g_tfcd.gdo->value_get(album, TMSDK_VAL_TUI_ID, 1, id) != 0
        || g_tfcd.gdo->value_get(album, TMSDK_VAL_TUI_TAG, 1, tag) != 0 || !*id || !*tag)
        return TFCD_REPORT(TMSDK_TUNEFINDCD_BAD_ALBUM);
    return 0;
}

void tfcd_status_adapter(void* data, const tmsdk_lookup_status_t* status, uint8_t* abort) {
    auto* query = static_cast<tfcd_query_t*>(data);
    if (!query || !status) return;
    // The record's size says which of its words hold data; nothing past it is read.
    const uint32_t size = status->size, id = status->id;
    uint32_t clientStatus = 0, value1 = 0, value2 = 0;
    if (id == 1) {
        clientStatus = TMSDK_TUNEFINDCD_STATUS_STARTED;
    } else if (id >= 7 && id <= 12) {
        clientStatus = id <= 10 ? TMSDK_TUNEFINDCD_STATUS_PROGRESS : TMSDK_TUNEFINDCD_STATUS_MATCHING;
        if (size == 16) {
            value1 = status->value[0];
            value2 = status->value[1];
        }
    } else if (id == 18) {
        clientStatus = TMSDK_TUNEFINDCD_STATUS_FINISHED;
    } else if (id == 19) {
        if (size >= 20) g_tfcd.errorinfo->set(query, status->value[0], status->value[2]);
    }
    if (clientStatus && query->callback) {
        tmlib_atomic_increment(&query->in_callback, nullptr);
        query->callback(query->callback_data, query, clientStatus, value1, value2, abort);
        tmlib_atomic_decrement(&query->in_callback, nullptr);
    }
    tmsdk_sdkmanager_log_fn log = tmsdk_sdkmanager_log_callback;
    if (abort && *abort == 1 && log && (tmsdk_sdkmanager_package_flags[TFCD_PACKAGE] & TMSDK_PACKAGE_FLAG_LOG))
        log(__LINE__, __FILE_NAME__, TFCD_PACKAGE, 8, "Provided callback aborted the Tunefind-CD Query request.");
}

extern "C" {

tmsdk_status_t tmsdk_tunefindcd_query_create(tmsdk_client_t client, tmsdk_user_t user,
                                             tmsdk_tunefindcd_status_fn callback, void* data,
                                             tmsdk_tunefindcd_query_t* place) {
    if (!tfcd_started()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (!place || !client) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    if (const uint32_t bad = tfcd_validation(g_tfcd.handles->client_validate(client))) return TFCD_REPORT(bad);
    if (!user) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    if (const uint32_t bad = tfcd_validation(g_tfcd.handles->user_validate(user))) return TFCD_REPORT(bad);
    auto* query = static_cast<tfcd_query_t*>(tmsdk_sdkmanager_mem_malloc(sizeof(tfcd_query_t)));
    if (!query) return TFCD_REPORT(TMSDK_TUNEFINDCD_NO_MEMORY);
    memset(query, 0, sizeof *query);
    query->magic = TFCD_QUERY_MAGIC;
    query->client = client;
    query->user = user;
    query->callback = callback;
    query->callback_data = data;
    uint32_t code = tmlib_critsec_create(&query->lock);
    if (code == 0) code = g_tfcd.handles->handle_register(query, TFCD_QUERY_MAGIC);
    if (code != 0) {
        FreeQuery(query);
        return TFCD_REPORT(tfcd_map(code));
    }
    *place = query;
    return 0;
}

tmsdk_status_t tmsdk_tunefindcd_query_option_set(tmsdk_tunefindcd_query_t query, const char* key, const char* value) {
    if (!tfcd_started()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (const uint32_t bad = tfcd_query_validate(query)) return bad;
    if (!key || !*key) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    tmlib_critsec_enter(query->lock);
    uint32_t code = 0;
    if (!query->options) code = tmlib_stringmap_create(&query->options, kOptionBuckets, 0);
    if (code == 0) code = tmlib_stringmap_value_add(query->options, key, value);
    tmlib_critsec_leave(query->lock);
    return TFCD_REPORT(tfcd_map(code));
}

tmsdk_status_t tmsdk_tunefindcd_query_option_get(tmsdk_tunefindcd_query_t query, const char* key, const char** value) {
    if (!tfcd_started()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (const uint32_t bad = tfcd_query_validate(query)) return bad;
    if (!key || !*key || !value) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    tmlib_critsec_enter(query->lock);
    uint32_t code = 0;
    if (query->options) code = tmlib_stringmap_value_find(query->options, key, value);
    tmlib_critsec_leave(query->lock);
    return TFCD_REPORT(tfcd_map(code));
}

tmsdk_status_t tmsdk_tunefindcd_query_set_toc_string(tmsdk_tunefindcd_query_t query, const char* toc, uint32_t value) {
    if (!tfcd_started()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (!toc || !*toc) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    if (const uint32_t bad = tfcd_query_validate(query)) return bad;
    tmlib_critsec_enter(query->lock);
    query->toc_value = value;
    ClearToc(query);
    uint32_t code = 0, count = 0;
    char* copy = tmlib_string_strdup(toc);
    if (!copy) code = TFCD_REPORT(TMSDK_TUNEFINDCD_NO_MEMORY);
    char* cursor = nullptr;
    for (char* token = copy ? tmlib_string_strtok(copy, " ", &cursor) : nullptr; token && code == 0;
         token = tmlib_string_strtok(nullptr, " ", &cursor)) {
        if (count >= TFCD_TOC_ENTRIES) {
            code = TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);  // no room for a 101st offset
            break;
        }
        const uint32_t offset = tmlib_string_atou32(token);
        query->offsets[count] = offset;
        if (count > 0 && query->offsets[count - 1] >= offset) code = TFCD_REPORT(TMSDK_TUNEFINDCD_BAD_TOC);
        ++count;
    }
    tmlib_critsec_leave(query->lock);
    tmlib_string_free(copy);
    if (code == 0 && count < 2) code = TMSDK_TUNEFINDCD_BAD_TOC;
    return TFCD_REPORT(code);
}

tmsdk_status_t tmsdk_tunefindcd_query_set_toc_entry(tmsdk_tunefindcd_query_t query, uint32_t index, uint32_t offset,
                                                    uint32_t length) {
    if (!tfcd_started()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (index >= TFCD_TOC_ENTRIES) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    if (const uint32_t bad = tfcd_query_validate(query)) return bad;
    tmlib_critsec_enter(query->lock);
    query->toc_value = 0;
    uint32_t code = 0;
    if (index > 0 && query->offsets[index - 1] >= offset) {
        code = TMSDK_TUNEFINDCD_BAD_TOC;
    } else {
        query->offsets[index] = offset;
        query->lengths[index] = length;
    }
    tmlib_critsec_leave(query->lock);
    return TFCD_REPORT(code);
}

tmsdk_status_t tmsdk_tunefindcd_query_set_gdo(tmsdk_tunefindcd_query_t query, tmsdk_gdo_t album) {
    if (!tfcd_started()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (const uint32_t bad = tfcd_query_validate(query)) return bad;
    if (!album) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    if (const uint32_t bad = tfcd_validation(g_tfcd.handles->gdo_validate(album))) return TFCD_REPORT(bad);
    tmlib_critsec_enter(query->lock);
    query->toc_value = 0;
    ClearToc(query);
    if (query->source) g_tfcd.gdo->gdo_release(query->source);
    query->source = nullptr;
    const char* id = nullptr;
    const char* tag = nullptr;
    uint32_t code = tfcd_album_identifier(album, &id, &tag);
    if (code == 0) code = tfcd_map(g_tfcd.gdo->addref(album));
    if (code == 0) query->source = album;
    tmlib_critsec_leave(query->lock);
    return TFCD_REPORT(code);
}

tmsdk_status_t tmsdk_tunefindcd_query_release(tmsdk_tunefindcd_query_t query) {
    if (!tfcd_started()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (const uint32_t bad = tfcd_query_validate(query)) return bad;
    if (tfcd_query_in_callback(query)) return TFCD_REPORT(TMSDK_TUNEFINDCD_IN_CALLBACK);
    tmlib_critsec_enter(query->lock);
    const uint32_t code = g_tfcd.handles->handle_unregister(query, TFCD_QUERY_MAGIC);
    tmlib_critsec_leave(query->lock);
    // A query the manager still knows must stay alive, or its validation would pass a freed record.
    if (code != 0) return TFCD_REPORT(tfcd_map(code));
    return TFCD_REPORT(tfcd_map(FreeQuery(query)));
}

}  // extern "C"
