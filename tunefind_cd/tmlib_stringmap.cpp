// A map of texts to texts over the hash table; the map keeps its own copies.
#include <string.h>

#include "tunefind_cd/tmlib_containers.h"

namespace {

uint32_t Check(const tmlib_stringmap_t* map) {
    if (!map) return TMLIB_REPORT(TMLIB_DT_INVALID);
    if (map->magic != TMLIB_STRINGMAP_MAGIC) return TMLIB_REPORT(TMLIB_DT_NOT_HASHTABLE);
    return 0;
}

}  // namespace

uint32_t tmlib_stringmap_create(tmlib_stringmap_t** place, uint32_t buckets, uint32_t flags) {
    if (!tmlib_datatypes_started()) return TMLIB_REPORT(TMLIB_DT_NOT_STARTED);
    if (!place) return TMLIB_REPORT(TMLIB_DT_INVALID);
    auto* map = static_cast<tmlib_stringmap_t*>(tmlib_alloc_array(1, sizeof(tmlib_stringmap_t)));
    if (!map) return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    if (const uint32_t status =
            tmlib_hashtable_create(&map->table, buckets, flags | TMLIB_FLAG_INSERTION_ORDER, nullptr)) {
        tmsdk_sdkmanager_mem_free(map);
        return status;
    }
    map->magic = TMLIB_STRINGMAP_MAGIC;
    map->flags = flags;
    *place = map;
    return 0;
}

uint32_t tmlib_stringmap_delete(tmlib_stringmap_t* map) {
    if (!map) return 0;
    if (const uint32_t bad = Check(map)) return bad;
    const uint32_t status = tmlib_hashtable_delete(map->table);
    map->magic = 0;
    tmsdk_sdkmanager_mem_free(map);
    return status;
}

// A null text stores the key with no value, which is then found as a null text.
uint32_t tmlib_stringmap_value_add(tmlib_stringmap_t* map, const char* key, const char* text) {
    if (const uint32_t bad = Check(map)) return bad;
    if (text && strlen(text) >= 0xFFFFFFFFu) return TMLIB_REPORT(TMLIB_DT_INVALID);
    return tmlib_hashtable_value_add(map->table, key, const_cast<char*>(text), tmlib_string_bytesize(text), true);
}

uint32_t tmlib_stringmap_value_find(tmlib_stringmap_t* map, const char* key, const char** text) {
    if (const uint32_t bad = Check(map)) return bad;
    if (!text) return TMLIB_REPORT(TMLIB_DT_INVALID);
    void* value = nullptr;
    uint32_t size = 0;
    if (const uint32_t status = tmlib_hashtable_value_find(map->table, key, &value, &size)) return status;
    if (value && (size == 0 || static_cast<const char*>(value)[size - 1] != '\0'))
        return TMLIB_REPORT(TMLIB_DT_NOT_TEXT);
    *text = static_cast<const char*>(value);
    return 0;
}
