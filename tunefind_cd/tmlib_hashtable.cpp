// A hash table keyed by texts (djb2, ASCII letters folded unless keys are case-sensitive), with chains per
// bucket, optional several values per key, optional insertion order, and superseded values kept readable
// until the table is cleared when it has its own lock.
#include <string.h>

#include "tunefind_cd/tmlib_containers.h"

namespace {

uint32_t Check(const tmlib_hashtable_t* table) {
    if (!table) return TMLIB_REPORT(TMLIB_DT_INVALID);
    if (table->magic != TMLIB_HASHTABLE_MAGIC) return TMLIB_REPORT(TMLIB_DT_NOT_HASHTABLE);
    return 0;
}

bool CaseSensitive(const tmlib_hashtable_t* table) { return (table->flags & TMLIB_FLAG_CASE_SENSITIVE) != 0; }

void FreeValue(const tmlib_hashtable_t* table, void* value, uint32_t size, uint32_t owned) {
    if (owned)
        tmsdk_sdkmanager_mem_free(value);
    else if (value && table->free_value)
        table->free_value(value, size);
}

void FreeNode(const tmlib_hashtable_t* table, tmlib_hash_node_t* node) {
    FreeValue(table, node->value, node->size, node->owned);
    tmsdk_sdkmanager_mem_free(node->key);
    tmsdk_sdkmanager_mem_free(node);
}

// The value a node will hold: a copy the node owns, or the caller's pointer.
uint32_t TakeValue(void* value, uint32_t size, bool copy, void** held, uint32_t* owned) {
    *held = value;
    *owned = 0;
    if (!copy || !value) return 0;
    void* block = tmsdk_sdkmanager_mem_malloc(size);
    if (!block) return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    memcpy(block, value, size);
    *held = block;
    *owned = 1;
    return 0;
}

tmlib_hash_node_t* FindNode(const tmlib_hashtable_t* table, const char* key, uint32_t hash, uint32_t n) {
    const bool fold = !CaseSensitive(table);
    for (tmlib_hash_node_t* node = table->buckets[hash & (table->bucket_count - 1)]; node; node = node->next)
        if (node->hash == hash && tmlib_string_equal(node->key, key, fold) && n-- == 0) return node;
    return nullptr;
}

uint32_t Replace(tmlib_hashtable_t* table, tmlib_hash_node_t* node, void* value, uint32_t size, bool copy) {
    void* held;
    uint32_t owned;
    if (const uint32_t status = TakeValue(value, size, copy, &held, &owned)) return status;
    if (table->flags & TMLIB_FLAG_LOCKED) {
        // The old value stays readable for whoever still holds it, until the table is cleared.
        auto* old = static_cast<tmlib_hash_node_t*>(tmlib_alloc_array(1, sizeof(tmlib_hash_node_t)));
        if (!old) {
            FreeValue(table, held, size, owned);
            return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
        }
        old->value = node->value;
        old->size = node->size;
        old->owned = node->owned;
        old->next = table->superseded;
        table->superseded = old;
    } else {
        FreeValue(table, node->value, node->size, node->owned);
    }
    node->value = held;
    node->size = size;
    node->owned = owned;
    return 0;
}

uint32_t AddNode(tmlib_hashtable_t* table, const char* key, uint32_t hash, void* value, uint32_t size, bool copy) {
    auto* node = static_cast<tmlib_hash_node_t*>(tmlib_alloc_array(1, sizeof(tmlib_hash_node_t)));
    if (!node) return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    node->key = tmlib_string_strdup(key);
    uint32_t status =
        node->key ? TakeValue(value, size, copy, &node->value, &node->owned) : TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    if (status == 0 && (table->flags & TMLIB_FLAG_INSERTION_ORDER)) {
        if (!table->order) status = tmlib_vector_create(&table->order, 0, nullptr, nullptr);
        if (status == 0) status = tmlib_vector_add(table->order, node);
    }
    if (status != 0) {
        // Nothing of the node stays behind; a value the caller handed over stays the caller's.
        if (node->owned) tmsdk_sdkmanager_mem_free(node->value);
        tmsdk_sdkmanager_mem_free(node->key);
        tmsdk_sdkmanager_mem_free(node);
        return status;
    }
    node->size = size;
    node->hash = hash;
    node->bucket = hash & (table->bucket_count - 1);
    tmlib_hash_node_t** link = &table->buckets[node->bucket];
    while (*link) {
        node->previous = *link;
        link = &(*link)->next;
    }
    *link = node;
    ++table->node_count;
    return 0;
}

void Clear(tmlib_hashtable_t* table) {
    for (uint32_t b = 0; b < table->bucket_count; ++b) {
        for (tmlib_hash_node_t* node = table->buckets[b]; node;) {
            tmlib_hash_node_t* next = node->next;
            FreeNode(table, node);
            node = next;
        }
        table->buckets[b] = nullptr;
    }
    for (tmlib_hash_node_t* node = table->superseded; node;) {
        tmlib_hash_node_t* next = node->next;
        FreeNode(table, node);
        node = next;
    }
    table->superseded = nullptr;
    table->node_count = 0;
    if (table->order) table->order->count = 0;
}

}  // namespace

uint32_t tmlib_hash(const char* key, bool case_sensitive) {
    uint32_t h = 5381;
    for (const auto* p = reinterpret_cast<const uint8_t*>(key); *p; ++p) {
        uint32_t c = *p;
        if (!case_sensitive && c >= 'a' && c <= 'z') c -= 32;
        h = h * 33 + c;
    }
    return h;
}

uint32_t tmlib_hashtable_create(tmlib_hashtable_t** place, uint32_t buckets, uint32_t flags,
                                tmlib_value_free_fn free_value) {
    if (!tmlib_datatypes_started()) return TMLIB_REPORT(TMLIB_DT_NOT_STARTED);
    if (!place || buckets == 0 || (buckets & (buckets - 1)) != 0) return TMLIB_REPORT(TMLIB_DT_INVALID);
    auto* table = static_cast<tmlib_hashtable_t*>(tmlib_alloc_array(1, sizeof(tmlib_hashtable_t)));
    if (!table) return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    table->buckets = static_cast<tmlib_hash_node_t**>(tmlib_alloc_array(buckets, sizeof(tmlib_hash_node_t*)));
    if (!table->buckets || ((flags & TMLIB_FLAG_LOCKED) && tmlib_critsec_create(&table->lock) != 0)) {
        tmsdk_sdkmanager_mem_free(table->buckets);
        tmsdk_sdkmanager_mem_free(table);
        return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    }
    table->magic = TMLIB_HASHTABLE_MAGIC;
    table->bucket_count = buckets;
    table->flags = flags;
    table->free_value = free_value;
    *place = table;
    return 0;
}

uint32_t tmlib_hashtable_value_add(tmlib_hashtable_t* table, const char* key, void* value, uint32_t size, bool copy) {
    if (const uint32_t bad = Check(table)) return bad;
    if (!key || !*key || (value == nullptr) != (size == 0)) return TMLIB_REPORT(TMLIB_DT_INVALID);
    tmlib_section_guard guard(table->lock);
    const uint32_t hash = tmlib_hash(key, CaseSensitive(table));
    if (!(table->flags & TMLIB_FLAG_MULTI))
        if (tmlib_hash_node_t* node = FindNode(table, key, hash, 0)) return Replace(table, node, value, size, copy);
    return AddNode(table, key, hash, value, size, copy);
}

uint32_t tmlib_hashtable_value_find_index(tmlib_hashtable_t* table, const char* key, uint32_t n, void** value,
                                          uint32_t* size) {
    if (!table) return TMLIB_DT_NOT_FOUND;
    if (const uint32_t bad = Check(table)) return bad;
    if (!key || !*key || !value) return TMLIB_REPORT(TMLIB_DT_INVALID);
    tmlib_section_guard guard(table->lock);
    const tmlib_hash_node_t* node = FindNode(table, key, tmlib_hash(key, CaseSensitive(table)), n);
    if (!node) return TMLIB_DT_NOT_FOUND;
    *value = node->value;
    if (size) *size = node->size;
    return 0;
}

uint32_t tmlib_hashtable_value_find(tmlib_hashtable_t* table, const char* key, void** value, uint32_t* size) {
    return tmlib_hashtable_value_find_index(table, key, 0, value, size);
}

uint32_t tmlib_hashtable_bucket_length(tmlib_hashtable_t* table, uint32_t bucket, uint32_t* length) {
    if (const uint32_t bad = Check(table)) return bad;
    if (!length) return TMLIB_REPORT(TMLIB_DT_INVALID);
    tmlib_section_guard guard(table->lock);
    if (bucket >= table->bucket_count) return TMLIB_REPORT(TMLIB_DT_BUCKET_RANGE);
    uint32_t n = 0;
    for (const tmlib_hash_node_t* node = table->buckets[bucket]; node; node = node->next) ++n;
    *length = n;
    return 0;
}

uint32_t tmlib_hashtable_clear(tmlib_hashtable_t* table) {
    if (const uint32_t bad = Check(table)) return bad;
    tmlib_section_guard guard(table->lock);
    Clear(table);
    return 0;
}

uint32_t tmlib_hashtable_delete(tmlib_hashtable_t* table) {
    if (!table) return 0;
    if (const uint32_t bad = Check(table)) return bad;
    {
        tmlib_section_guard guard(table->lock);
        Clear(table);
    }
    tmlib_vector_delete(table->order);
    if (table->lock) tmlib_critsec_delete(table->lock);
    tmsdk_sdkmanager_mem_free(table->buckets);
    table->magic = 0;
    tmsdk_sdkmanager_mem_free(table);
    return 0;
}
