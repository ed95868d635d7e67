// Result objects of the module's own: a response over the albums of one lookup, and merged objects that
// show an album, track or credit of the main, link and extra answers as one.
#include <stdlib.h>

#include "tunefind_cd/tfcd_internal.h"

namespace {

struct tfcd_merged_object_t {
    const char* context;  // informational: the context operation asks the wrapped objects
    tmsdk_gdo_t main;
    tmsdk_gdo_t extra;
    tmsdk_gdo_t link;
    uintptr_t reserved;
};

const tmsdk_gdo_interface_t* Gdo() { return g_tfcd.gdo; }

// Provider slots answer in the module's package, and report like every other function.
uint32_t Answer(uint32_t code) { return TFCD_REPORT(tfcd_map(code)); }

uint32_t Nothing(void*) { return 0; }

// ---- Merged objects -------------------------------------------------------------------------------------

extern const tmsdk_gdo_provider_t kMergedProvider;

// The three sources in the order they are asked: main, then link, then extra.
void Sources(const tfcd_merged_object_t* merged, tmsdk_gdo_t sources[3]) {
    sources[0] = merged->main;
    sources[1] = merged->link;
    sources[2] = merged->extra;
}

void ReleaseMerged(tfcd_merged_object_t* merged) {
    if (const tmsdk_gdo_interface_t* gi = Gdo()) {
        gi->gdo_release(merged->main);
        gi->gdo_release(merged->link);
        gi->gdo_release(merged->extra);
    }
    tmsdk_sdkmanager_mem_free(merged);
}

// Wraps the objects, whose references pass to the wrapper (also on failure, when they are released).
uint32_t MakeMerged(const char* context, tmsdk_gdo_t main, tmsdk_gdo_t link, tmsdk_gdo_t extra, tmsdk_gdo_t* object) {
    auto* merged = static_cast<tfcd_merged_object_t*>(tmsdk_sdkmanager_mem_malloc(sizeof(tfcd_merged_object_t)));
    if (!merged) {
        Gdo()->gdo_release(main);
        Gdo()->gdo_release(link);
        Gdo()->gdo_release(extra);
        return TFCD_REPORT(TMSDK_TUNEFINDCD_NO_MEMORY);
    }
    *merged = {context, main, extra, link, 0};
    const uint32_t code = Gdo()->create(merged, &kMergedProvider, object);
    if (code != 0) ReleaseMerged(merged);
    return TFCD_REPORT(code);
}

uint32_t MergedContext(void* data, const char** context) {
    if (!Gdo()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    tmsdk_gdo_t sources[3];
    Sources(static_cast<tfcd_merged_object_t*>(data), sources);
    for (tmsdk_gdo_t source : sources)
        if (source && Gdo()->context_get(source, context) == 0) return 0;
    return TFCD_REPORT(TMSDK_TUNEFINDCD_EMPTY_OBJECT);
}

uint32_t MergedChildCount(void* data, const char* key, uint32_t* count) {
    if (!Gdo()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    tmsdk_gdo_t sources[3];
    Sources(static_cast<tfcd_merged_object_t*>(data), sources);
    for (tmsdk_gdo_t source : sources) {
        uint32_t n = 0;
        if (source && Gdo()->child_count(source, key, &n) == 0) {
            if (n == 0) return TMSDK_TUNEFINDCD_NOT_FOUND;
            *count = n;
            return 0;
        }
    }
    return TMSDK_TUNEFINDCD_NOT_FOUND;
}

uint32_t MergedValueCount(void* data, const char* key, uint32_t* count) {
    if (!Gdo()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    tmsdk_gdo_t sources[3];
    Sources(static_cast<tfcd_merged_object_t*>(data), sources);
    for (tmsdk_gdo_t source : sources)
        if (source && Gdo()->value_count(source, key, count) == 0) return 0;
    return TMSDK_TUNEFINDCD_NOT_FOUND;
}

uint32_t MergedValueGet(void* data, const char* key, uint32_t ordinal, const char** value) {
    if (!Gdo()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    tmsdk_gdo_t sources[3];
    Sources(static_cast<tfcd_merged_object_t*>(data), sources);
    for (tmsdk_gdo_t source : sources)
        if (source && Gdo()->value_get(source, key, ordinal, value) == 0) return 0;
    return TMSDK_TUNEFINDCD_NOT_FOUND;
}

// Children of the link and extra answers are matched to the main answer's child by identity (a track by
// its number, a credit by its id), not by position.
uint32_t MergedChildGet(void* data, const char* key, uint32_t ordinal, uint32_t flag, tmsdk_gdo_t* child) {
    (void)flag;
    const tmsdk_gdo_interface_t* gi = Gdo();
    if (!gi) return TMSDK_TUNEFINDCD_NOT_STARTED;
    auto* merged = static_cast<tfcd_merged_object_t*>(data);
    tmsdk_gdo_t main = nullptr, link = nullptr, extra = nullptr;
    const char* otherKey = key;
    uint32_t otherOrdinal = ordinal;
    const char* context = nullptr;
    if (merged->main && gi->child_get(merged->main, key, ordinal, 0, &main) == 0 && main
        && gi->context_get(main, &context) == 0) {
        const char* identity = nullptr;
        if (tmlib_string_equal(context, TMSDK_CTX_TRACK, false)
            && gi->value_get(main, TMSDK_VAL_TRACKNUMBER, 1, &identity) == 0) {
            otherKey = TMSDK_KEY_TRACK_BY_NUMBER;
            otherOrdinal = static_cast<uint32_t>(strtoul(identity, nullptr, 10));
        } else if (tmlib_string_equal(context, TMSDK_CTX_CREDIT, false)
                   && gi->value_get(main, TMSDK_VAL_CREDIT_ID, 1, &identity) == 0) {
            otherKey = TMSDK_KEY_CREDIT_BY_ID;
            otherOrdinal = static_cast<uint32_t>(strtoul(identity, nullptr, 10));
        }
    }
    if (merged->link && gi->child_get(merged->link, otherKey, otherOrdinal, 0, &link) != 0) link = nullptr;
    if (merged->extra && gi->child_get(merged->extra, otherKey, otherOrdinal, 0, &extra) != 0) extra = nullptr;
    if (!main && !link && !extra) return TMSDK_TUNEFINDCD_NOT_FOUND;
    if (!main || gi->context_get(main, &context) != 0) context = nullptr;
    if (!context && link && gi->context_get(link, &context) != 0) context = nullptr;
    return Answer(MakeMerged(context, main, link, extra, child));
}

uint32_t MergedForward(void* data, uint32_t a, uint32_t b, uint32_t c) {
    if (!Gdo()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    return Answer(Gdo()->forward(static_cast<tfcd_merged_object_t*>(data)->main, a, b, c));
}

uint32_t MergedRelease(void* data) {
    ReleaseMerged(static_cast<tfcd_merged_object_t*>(data));
    return 0;
}

const tmsdk_gdo_provider_t kMergedProvider = {Nothing,        MergedContext,    MergedChildCount,
                                              MergedChildGet, MergedValueCount, MergedValueGet,
                                              nullptr,        MergedForward,    MergedRelease};

// ---- Response -------------------------------------------------------------------------------------------

extern const tmsdk_gdo_provider_t kResponseProvider;

uint32_t ResponseContext(void*, const char** context) {
    *context = TMSDK_CTX_RESPONSE_ALBUM;
    return 0;
}

uint32_t ResponseChildCount(void* data, const char* key, uint32_t* count) {
    if (!tmlib_string_equal(key, TMSDK_KEY_ALBUMS, false)) return TMSDK_TUNEFINDCD_NOT_FOUND;
    *count = static_cast<tfcd_album_table_t*>(data)->count;
    return 0;
}

uint32_t ResponseChildGet(void* data, const char* key, uint32_t ordinal, uint32_t flag, tmsdk_gdo_t* child) {
    (void)flag;
    const tmsdk_gdo_interface_t* gi = Gdo();
    if (!gi) return TMSDK_TUNEFINDCD_NOT_STARTED;
    auto* table = static_cast<tfcd_album_table_t*>(data);
    if (!tmlib_string_equal(key, TMSDK_KEY_ALBUMS, false) || ordinal == 0 || ordinal > table->count)
        return TMSDK_TUNEFINDCD_NOT_FOUND;
    const tfcd_album_entry_t& entry = table->entries[ordinal - 1];
    tmsdk_gdo_t taken[3] = {entry.main, entry.link, entry.extra};
    for (int i = 0; i < 3; ++i) {
        const uint32_t code = taken[i] ? gi->addref(taken[i]) : 0;
        if (code != 0) {
            while (i-- > 0) gi->gdo_release(taken[i]);
            return Answer(code);
        }
    }
    return Answer(MakeMerged(TMSDK_CTX_ALBUM, taken[0], taken[1], taken[2], child));
}

// A response's own values are those of its first album; with no album there is nothing to answer.
uint32_t ResponseValueCount(void* data, const char* key, uint32_t* count) {
    auto* table = static_cast<tfcd_album_table_t*>(data);
    if (!Gdo()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (table->count == 0) return TMSDK_TUNEFINDCD_NOT_FOUND;
    return tfcd_map(Gdo()->value_count(table->entries[0].main, key, count));
}

uint32_t ResponseValueGet(void* data, const char* key, uint32_t ordinal, const char** value) {
    auto* table = static_cast<tfcd_album_table_t*>(data);
    if (!Gdo()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    if (table->count == 0) return TMSDK_TUNEFINDCD_NOT_FOUND;
    return tfcd_map(Gdo()->value_get(table->entries[0].main, key, ordinal, value));
}

uint32_t ResponseForward(void* data, uint32_t a, uint32_t b, uint32_t c) {
    if (!Gdo()) return TMSDK_TUNEFINDCD_NOT_STARTED;
    auto* table = static_cast<tfcd_album_table_t*>(data);
    uint32_t first = 0;
    for (uint32_t i = 0; i < table->count; ++i) {
        if (!table->entries[i].main) continue;
        const uint32_t code = Gdo()->forward(table->entries[i].main, a, b, c);
        if (!first) first = code;
    }
    return Answer(first);
}

uint32_t ResponseRelease(void* data) {
    tfcd_album_table_free(static_cast<tfcd_album_table_t*>(data));
    return 0;
}

const tmsdk_gdo_provider_t kResponseProvider = {Nothing,          ResponseContext,    ResponseChildCount,
                                                ResponseChildGet, ResponseValueCount, ResponseValueGet,
                                                nullptr,          ResponseForward,    ResponseRelease};

}  // namespace

tfcd_album_table_t* tfcd_album_table_create(uint32_t count) {
    auto* table = static_cast<tfcd_album_table_t*>(tmsdk_sdkmanager_mem_malloc(sizeof(tfcd_album_table_t)));
    if (!table) return nullptr;
    table->count = count;
    table->entries = nullptr;
    if (count == 0) return table;
    if (count > 0xFFFFFFFFu / sizeof(tfcd_album_entry_t)) {
        tmsdk_sdkmanager_mem_free(table);
        return nullptr;
    }
    const uint32_t bytes = static_cast<uint32_t>(count * sizeof(tfcd_album_entry_t));
    table->entries = static_cast<tfcd_album_entry_t*>(tmsdk_sdkmanager_mem_malloc(bytes));
    if (!table->entries) {
        tmsdk_sdkmanager_mem_free(table);
        return nullptr;
    }
    tmsdk_sdkmanager_mem_memset(table->entries, 0, bytes);
    return table;
}

void tfcd_album_table_free(tfcd_album_table_t* table) {
    if (!table) return;
    if (const tmsdk_gdo_interface_t* gi = Gdo())
        for (uint32_t i = 0; i < table->count; ++i) {
            gi->gdo_release(table->entries[i].main);
            gi->gdo_release(table->entries[i].link);
            gi->gdo_release(table->entries[i].extra);
        }
    tmsdk_sdkmanager_mem_free(table->entries);
    tmsdk_sdkmanager_mem_free(table);
}

uint32_t tfcd_response_create(tfcd_album_table_t* table, tmsdk_gdo_t* response) {
    const uint32_t code = Gdo()->create(table, &kResponseProvider, response);
    if (code != 0) tfcd_album_table_free(table);
    return TFCD_REPORT(code);
}
