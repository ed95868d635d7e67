// A vector of non-null pointers, appended to or kept sorted by a compare callback.
#include <stdint.h>
#include <string.h>

#include "tunefind_cd/tmlib_containers.h"

void* tmlib_alloc_array(uint32_t count, uint32_t size) {
    if (size != 0 && count > 0xFFFFFFFFu / size) return nullptr;
    const uint32_t bytes = count * size;
    void* block = tmsdk_sdkmanager_mem_malloc(bytes);
    if (block) memset(block, 0, bytes ? bytes : 1);
    return block;
}

namespace {

uint32_t Check(const tmlib_vector_t* vector) {
    if (!vector) return TMLIB_REPORT(TMLIB_DT_INVALID);
    if (vector->magic != TMLIB_VECTOR_MAGIC) return TMLIB_REPORT(TMLIB_DT_NOT_VECTOR);
    return 0;
}

int Compare(const tmlib_vector_t* vector, const void* a, const void* b) {
    if (vector->compare) return vector->compare(a, b);
    const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// Equal elements are ordered by their pointer values.
bool Before(const tmlib_vector_t* vector, const void* a, const void* b) {
    const int c = Compare(vector, a, b);
    return c < 0 || (c == 0 && reinterpret_cast<uintptr_t>(a) < reinterpret_cast<uintptr_t>(b));
}

// Room for one more item: the capacity doubles, starting at 2; the vector is unchanged on failure.
uint32_t Grow(tmlib_vector_t* vector) {
    if (vector->count < vector->capacity) return 0;
    const uint32_t capacity = vector->capacity ? vector->capacity * 2 : 2;
    if (capacity < vector->capacity || capacity > 0xFFFFFFFFu / sizeof(void*)) return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    void* items = tmsdk_sdkmanager_mem_realloc(vector->items, static_cast<uint32_t>(capacity * sizeof(void*)));
    if (!items) return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    vector->items = static_cast<void**>(items);
    vector->capacity = capacity;
    return 0;
}

void Place(tmlib_vector_t* vector, uint32_t index, void* element) {
    memmove(vector->items + index + 1, vector->items + index, (vector->count - index) * sizeof(void*));
    vector->items[index] = element;
    ++vector->count;
}

void Clear(tmlib_vector_t* vector) {
    if (vector->free_element)
        for (uint32_t i = 0; i < vector->count; ++i) vector->free_element(vector->items[i]);
    vector->count = 0;
}

}  // namespace

uint32_t tmlib_vector_create(tmlib_vector_t** place, uint32_t flags, tmlib_compare_fn compare,
                             tmlib_element_free_fn free_element) {
    if (!tmlib_datatypes_started()) return TMLIB_REPORT(TMLIB_DT_NOT_STARTED);
    if (!place) return TMLIB_REPORT(TMLIB_DT_INVALID);
    auto* vector = static_cast<tmlib_vector_t*>(tmlib_alloc_array(1, sizeof(tmlib_vector_t)));
    if (!vector) return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    if ((flags & TMLIB_FLAG_LOCKED) && tmlib_critsec_create(&vector->lock) != 0) {
        tmsdk_sdkmanager_mem_free(vector);
        return TMLIB_REPORT(TMLIB_DT_NO_MEMORY);
    }
    vector->magic = TMLIB_VECTOR_MAGIC;
    vector->flags = flags;
    vector->compare = compare;
    vector->free_element = free_element;
    *place = vector;
    return 0;
}

uint32_t tmlib_vector_delete(tmlib_vector_t* vector) {
    if (!vector) return 0;
    if (const uint32_t bad = Check(vector)) return bad;
    {
        tmlib_section_guard guard(vector->lock);
        Clear(vector);
    }
    if (vector->lock) tmlib_critsec_delete(vector->lock);
    tmsdk_sdkmanager_mem_free(vector->items);
    vector->magic = 0;
    tmsdk_sdkmanager_mem_free(vector);
    return 0;
}

uint32_t tmlib_vector_add(tmlib_vector_t* vector, void* element) {
    if (const uint32_t bad = Check(vector)) return bad;
    if (!element) return TMLIB_REPORT(TMLIB_DT_INVALID);
    tmlib_section_guard guard(vector->lock);
    if (const uint32_t status = Grow(vector)) return status;
    uint32_t index = vector->count;
    if (vector->flags & TMLIB_FLAG_SORTED) {
        uint32_t low = 0, high = vector->count;
        while (low < high) {
            const uint32_t middle = low + (high - low) / 2;
            if (Before(vector, vector->items[middle], element))
                low = middle + 1;
            else
                high = middle;
        }
        index = low;
    }
    Place(vector, index, element);
    return 0;
}

uint32_t tmlib_vector_insert_at(tmlib_vector_t* vector, uint32_t index, void* element) {
    if (const uint32_t bad = Check(vector)) return bad;
    if (!element) return TMLIB_REPORT(TMLIB_DT_INVALID);
    tmlib_section_guard guard(vector->lock);
    if (index > vector->count) return TMLIB_REPORT(TMLIB_DT_INVALID);
    if (const uint32_t status = Grow(vector)) return status;
    Place(vector, index, element);
    if (vector->flags & TMLIB_FLAG_SORTED) {
        const bool afterPrevious = index == 0 || Compare(vector, vector->items[index - 1], element) <= 0;
        const bool beforeNext = index + 1 >= vector->count || Compare(vector, element, vector->items[index + 1]) <= 0;
        if (!afterPrevious || !beforeNext) vector->flags &= ~TMLIB_FLAG_SORTED;
    }
    return 0;
}

uint32_t tmlib_vector_find(tmlib_vector_t* vector, const void* element, uint32_t* index) {
    if (const uint32_t bad = Check(vector)) return bad;
    if (!element || !index) return TMLIB_REPORT(TMLIB_DT_INVALID);
    tmlib_section_guard guard(vector->lock);
    if (vector->flags & TMLIB_FLAG_SORTED) {
        uint32_t low = 0, high = vector->count;
        while (low < high) {
            const uint32_t middle = low + (high - low) / 2;
            if (Compare(vector, vector->items[middle], element) < 0)
                low = middle + 1;
            else
                high = middle;
        }
        *index = low;
        return low < vector->count && Compare(vector, vector->items[low], element) == 0 ? 0 : TMLIB_DT_NOT_FOUND;
    }
    for (uint32_t i = 0; i < vector->count; ++i)
        if (Compare(vector, vector->items[i], element) == 0) {
            *index = i;
            return 0;
        }
    return TMLIB_DT_NOT_FOUND;
}

uint32_t tmlib_vector_clear(tmlib_vector_t* vector) {
    if (const uint32_t bad = Check(vector)) return bad;
    tmlib_section_guard guard(vector->lock);
    Clear(vector);
    return 0;
}
