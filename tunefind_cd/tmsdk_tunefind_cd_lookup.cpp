// Finding the albums of a query and resolving one album of an answer: a lookup through the manager, run on
// the caller's thread under the query's lock, whose albums come back wrapped in a response of our own.
#include <string.h>

#include "tunefind_cd/tfcd_internal.h"

namespace {

constexpr const char* kMainRequest = "TFCD_1";
constexpr const char* kLinkRequest = "TFCD_LINK";
constexpr const char* kExtraRequest = "TFCD_EXTRA";

struct MatchKind {
    const char* code;
    uint32_t kind;
};
const MatchKind kMatchKinds[] = {
    {TMSDK_RESULT_SINGLE_MATCH, TMSDK_TUNEFINDCD_MATCH_SINGLE},
    {TMSDK_RESULT_MULTIEXACT_MATCHES, TMSDK_TUNEFINDCD_MATCH_MULTIPLE_EXACT},
    {TMSDK_RESULT_FUZZY_MATCHES, TMSDK_TUNEFINDCD_MATCH_FUZZY},
    {TMSDK_RESULT_NO_MATCHES, TMSDK_TUNEFINDCD_MATCH_NONE},
};

uint32_t EvaluateMatch(const char* code, uint32_t* kind) {
    for (const MatchKind& m : kMatchKinds)
        if (tmlib_string_equal(code, m.code, false)) {
            *kind = m.kind;
            return 0;
        }
    return TFCD_REPORT(TMSDK_TUNEFINDCD_UNKNOWN_RESPONSE);
}

uint32_t AddChained(tmsdk_lookup_t lookup, const char* type, const char* id) {
    uint32_t code = g_tfcd.lookup->request_add(lookup, type, id, TMSDK_LOOKUP_SERVICE);
    if (code == 0) code = g_tfcd.lookup->data_set(lookup, id, TMSDK_LOOKUP_DATA_CHAINED_INPUT, kMainRequest, 1);
    return code;
}

// A lookup by table of contents (album id null) or by album identifier, with the chained requests that the
// query's options ask for. The texts are copied into the lookup. Query lock held.
uint32_t SetUpLookup(tfcd_query_t* query, const char* albumId, const char* albumTag, tmsdk_lookup_t* made) {
    const bool link = tfcd_query_option_bool(query, TMSDK_TUNEFINDCD_OPTION_ENABLE_LINK);
    const bool extra = tfcd_query_option_bool(query, TMSDK_TUNEFINDCD_OPTION_ENABLE_EXTRA);
    char toc[TFCD_TOC_TEXT_BYTES];
    if (!albumId) {
        memset(toc, 0, sizeof toc);
        if (const uint32_t code = tfcd_toc_text(query, toc)) return code;
    }
    tmsdk_lookup_t lookup = nullptr;
    uint32_t code = g_tfcd.lookup->create(query->client, query->user, tfcd_status_adapter, query, &lookup);
    if (code != 0) return TFCD_REPORT(code);
    const tmsdk_lookup_interface_t* li = g_tfcd.lookup;
    if (!albumId) {
        code = li->request_add(lookup, TMSDK_LOOKUP_TYPE_ALBUM_TOC, kMainRequest, TMSDK_LOOKUP_SERVICE);
        if (code == 0) code = li->data_set(lookup, kMainRequest, TMSDK_LOOKUP_DATA_TOC, toc, 1);
    } else {
        code = li->request_add(lookup, TMSDK_LOOKUP_TYPE_ALBUM_TUI, kMainRequest, TMSDK_LOOKUP_SERVICE);
        if (code == 0) code = li->data_set(lookup, kMainRequest, TMSDK_LOOKUP_DATA_TUI, albumId, 1);
        if (code == 0) code = li->data_set(lookup, kMainRequest, TMSDK_LOOKUP_DATA_TUI_TAG, albumTag, 1);
    }
    if (code == 0 && link) code = AddChained(lookup, TMSDK_LOOKUP_TYPE_ALBUM_LINK_CHAINED, kLinkRequest);
    if (code == 0 && extra) code = AddChained(lookup, TMSDK_LOOKUP_TYPE_ALBUM_EXTRA_CHAINED, kExtraRequest);
    if (code != 0) {
        li->lookup_release(lookup);
        return TFCD_REPORT(code);
    }
    *made = lookup;
    return 0;
}

// Executes the lookup and wraps the albums of its answer in a response of our own. With kind non-null the
// match kind is read from the answer's response code while the answer is still held.
uint32_t BuildResponse(tfcd_query_t* query, tmsdk_lookup_t lookup, tmsdk_gdo_t* response, uint32_t* kind) {
    const bool link = tfcd_query_option_bool(query, TMSDK_TUNEFINDCD_OPTION_ENABLE_LINK);
    const bool extra = tfcd_query_option_bool(query, TMSDK_TUNEFINDCD_OPTION_ENABLE_EXTRA);
    const tmsdk_lookup_interface_t* li = g_tfcd.lookup;
    const tmsdk_gdo_interface_t* gi = g_tfcd.gdo;
    tmsdk_gdo_t main = nullptr, linked = nullptr, extras = nullptr;
    uint32_t code = li->execute(lookup);
    if (code == 0) code = li->response_get(lookup, kMainRequest, &main);
    if (code == 0 && link && li->response_get(lookup, kLinkRequest, &linked) != 0) linked = nullptr;
    if (code == 0 && extra && li->response_get(lookup, kExtraRequest, &extras) != 0) extras = nullptr;
    const char* responseCode = nullptr;
    uint32_t count = 0;
    if (code == 0) code = gi->value_get(main, TMSDK_VAL_RESPONSE_CODE, 1, &responseCode);
    if (code == 0) code = gi->child_count(main, TMSDK_KEY_ALBUMS, &count);
    if (code == 0 && kind) code = EvaluateMatch(responseCode, kind);
    tfcd_album_table_t* table = nullptr;
    if (code == 0 && !(table = tfcd_album_table_create(count))) code = TMSDK_TUNEFINDCD_NO_MEMORY;
    for (uint32_t i = 0; code == 0 && i < count; ++i) {
        // A child that cannot be had leaves its slot empty.
        tfcd_album_entry_t& entry = table->entries[i];
        if (gi->child_get(main, TMSDK_KEY_ALBUMS, i + 1, 1, &entry.main) != 0) entry.main = nullptr;
        if (linked && gi->child_get(linked, TMSDK_KEY_ALBUMS, i + 1, 1, &entry.link) != 0) entry.link = nullptr;
        if (extras && gi->child_get(extras, TMSDK_KEY_ALBUMS, i + 1, 1, &entry.extra) != 0) entry.extra = nullptr;
    }
    if (code == 0)
        code = tfcd_response_create(table, response);
    else
        tfcd_album_table_free(table);
    gi->gdo_release(main);
    gi->gdo_release(linked);
    gi->gdo_release(extras);
    return TFCD_REPORT(code);
}

}  // namespace

uint32_t tfcd_toc_text(const tfcd_query_t* query, char* text) {
    uint32_t used = 0;
    for (uint32_t i = 0; i < TFCD_TOC_ENTRIES; ++i) {
        if (i > 0 && query->offsets[i] == 0) break;
        char digits[11];
        tmlib_string_u32toa(query->offsets[i], digits, sizeof digits);
        const uint32_t length = tmlib_string_length(digits);
        const uint32_t separator = i > 0 ? 1 : 0;
        // The separator, the digits and the terminator must all fit, or the text is refused.
        if (used + separator + length + 1 > TFCD_TOC_TEXT_BYTES) return TFCD_REPORT(TMSDK_TUNEFINDCD_BAD_TOC);
        if (separator) text[used++] = ' ';
        memcpy(text + used, digits, length);
        used += length;
    }
    text[used] = '\0';
    return 0;
}

extern "C" {

tmsdk_status_t tmsdk_tunefindcd_query_find_albums(tmsdk_tunefindcd_query_t query, uint32_t* match,
                                                  tmsdk_gdo_t* response) {
    if (!tfcd_started()) return TFCD_REPORT(TMSDK_TUNEFINDCD_NOT_STARTED);
    if (!match || !response) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    if (const uint32_t bad = tfcd_query_validate(query)) return TFCD_REPORT(bad);
    if (tfcd_query_in_callback(query)) return TFCD_REPORT(TMSDK_TUNEFINDCD_IN_CALLBACK);
    tmlib_critsec_enter(query->lock);
    const char* id = nullptr;
    const char* tag = nullptr;
    uint32_t code = query->source ? tfcd_album_identifier(query->source, &id, &tag) : 0;
    tmsdk_lookup_t lookup = nullptr;
    if (code == 0) code = SetUpLookup(query, id, tag, &lookup);
    tmsdk_gdo_t made = nullptr;
    uint32_t kind = 0;
    if (code == 0) {
        code = BuildResponse(query, lookup, &made, &kind);
        g_tfcd.lookup->lookup_release(lookup);
    }
    if (code == 0) {
        *match = kind;
        if (kind != TMSDK_TUNEFINDCD_MATCH_NONE)
            *response = made;
        else
            g_tfcd.gdo->gdo_release(made);
    }
    tmlib_critsec_leave(query->lock);
    return TFCD_REPORT(tfcd_map(code));
}

tmsdk_status_t tmsdk_tunefindcd_query_resolve(tmsdk_tunefindcd_query_t query, tmsdk_gdo_t response, uint32_t ordinal,
                                              tmsdk_gdo_t* album_response) {
    if (!tfcd_started()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (ordinal == 0 || !album_response) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    if (const uint32_t bad = tfcd_query_validate(query)) return TFCD_REPORT(bad);
    if (!response) return TFCD_REPORT(TMSDK_TUNEFINDCD_INVALID_ARGUMENT);
    if (const uint32_t bad = tfcd_validation(g_tfcd.handles->gdo_validate(response))) return TFCD_REPORT(bad);
    const char* context = nullptr;
    if (g_tfcd.gdo->context_get(response, &context) != 0
        || !tmlib_string_equal(context, TMSDK_CTX_RESPONSE_ALBUM, false))
        return TFCD_REPORT(TMSDK_TUNEFINDCD_NOT_ALBUM_RESPONSE);
    // A resolve from inside the callback would free what the running lookup uses.
    if (tfcd_query_in_callback(query)) return TFCD_REPORT(TMSDK_TUNEFINDCD_IN_CALLBACK);
    tmlib_critsec_enter(query->lock);
    tmsdk_gdo_t album = nullptr;
    const char* id = nullptr;
    const char* tag = nullptr;
    uint32_t code = g_tfcd.gdo->child_get(response, TMSDK_KEY_ALBUMS, ordinal, 0, &album) == 0
                        ? 0
                        : TFCD_REPORT(TMSDK_TUNEFINDCD_BAD_ALBUM);
    if (code == 0
        && (g_tfcd.gdo->value_get(album, TMSDK_VAL_TUI_ID, 1, &id) != 0
            || g_tfcd.gdo->value_get(album, TMSDK_VAL_TUI_TAG, 1, &tag) != 0))
        code = TFCD_REPORT(TMSDK_TUNEFINDCD_BAD_ALBUM);
    tmsdk_lookup_t lookup = nullptr;
    if (code == 0) code = SetUpLookup(query, id, tag, &lookup);
    g_tfcd.gdo->gdo_release(album);  // the lookup holds copies of its identifier and tag now
    tmsdk_gdo_t made = nullptr;
    if (code == 0) {
        code = BuildResponse(query, lookup, &made, nullptr);
        g_tfcd.lookup->lookup_release(lookup);
    }
    if (code == 0) *album_response = made;
    tmlib_critsec_leave(query->lock);
    return TFCD_REPORT(tfcd_map(code));
}

}  // extern "C"
