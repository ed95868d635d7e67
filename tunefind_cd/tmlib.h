// tmlib: the module's support library. Counters, critical sections, sleep and thread-local storage over
// the platform; texts and UTF-8; the units that are started and stopped under reference counts; and the
// containers (hash table, string map, vector). All memory comes from the SDK manager's allocator. Internal
// to the module: nothing here is exported from the shared library.
#pragma once

#include <stdint.h>

#include "sdk_manager/tmsdk_sdkmanager.h"

// ---- Status codes -----------------------------------------------------------------------------------------

constexpr uint32_t TMLIB_RT_NULL = 0x90020001u;  // runtime: null pointer
constexpr uint32_t TMLIB_RT_NO_MEMORY = 0x90020002u;
constexpr uint32_t TMLIB_RT_NO_TLS_SLOT = 0x90020282u;
constexpr uint32_t TMLIB_UTF8_BAD_SEQUENCE = 0x900503A0u;
constexpr uint32_t TMLIB_DT_INVALID = 0x900D0001u;
constexpr uint32_t TMLIB_DT_NO_MEMORY = 0x900D0002u;
constexpr uint32_t TMLIB_DT_NOT_FOUND = 0x100D0003u;  // a warning
constexpr uint32_t TMLIB_DT_NOT_STARTED = 0x900D0007u;
constexpr uint32_t TMLIB_DT_NOT_VECTOR = 0x900D0320u;
constexpr uint32_t TMLIB_DT_NOT_HASHTABLE = 0x900D0321u;
constexpr uint32_t TMLIB_DT_BUCKET_RANGE = 0x900D0322u;
constexpr uint32_t TMLIB_DT_NOT_TEXT = 0x900D0360u;
// What the unit start and stop routines answer, outside the status-code layout.
constexpr uint32_t TMLIB_UNIT_START_FAILED = 10u;
constexpr uint32_t TMLIB_UNIT_NOT_STARTED = 7u;

// Hands a failure (bit 31 set) to the manager's error hook when the hook is set and the code's package has
// its report flag on; answers what is to be returned: the hook's answer, or the code itself when the hook
// answers 0 (a hook cannot turn a failure into success) or is not asked.
uint32_t tmlib_report(uint32_t code, uint32_t line, const char* source);
#define TMLIB_REPORT(code) tmlib_report((code), __LINE__, __FILE_NAME__)

// ---- Interlocked counters (package 0x02) ------------------------------------------------------------------

uint32_t tmlib_atomic_read(volatile uint32_t* counter, uint32_t* value);
uint32_t tmlib_atomic_increment(volatile uint32_t* counter, uint32_t* value);  // value: the new value, optional
uint32_t tmlib_atomic_decrement(volatile uint32_t* counter, uint32_t* value);

// ---- Critical sections, sleep -----------------------------------------------------------------------------

struct tmlib_critsec_t;  // recursive for its owning thread
uint32_t tmlib_critsec_create(tmlib_critsec_t** place);
uint32_t tmlib_critsec_delete(tmlib_critsec_t* section);
uint32_t tmlib_critsec_enter(tmlib_critsec_t* section);
uint32_t tmlib_critsec_leave(tmlib_critsec_t* section);
void tmlib_thread_sleep(uint32_t milliseconds);

// ---- Units ------------------------------------------------------------------------------------------------

// A unit's spin word and start count, with its start and stop routines (either may be null).
struct tmlib_unit_t {
    volatile uint32_t spin;
    volatile uint32_t count;
    uint32_t (*start)(void);
    uint32_t (*stop)(void);
};

// Counted start: the routine runs only for the first start. failure: what a failed first start answers
// (TMLIB_UNIT_START_FAILED for the support units; 0 passes the routine's own code on, as the module does).
uint32_t tmlib_unit_start(tmlib_unit_t* unit, uint32_t failure);
// Counted stop: the routine runs for the last stop, which is counted whatever it answers; its code is the
// result. A stop at count 0 answers TMLIB_UNIT_NOT_STARTED and changes nothing.
uint32_t tmlib_unit_stop(tmlib_unit_t* unit);

// The support units. Each start first starts (counted) the units it needs and each stop stops them again.
uint32_t tmlib_threads_start(void);
uint32_t tmlib_threads_stop(void);
uint32_t tmlib_strings_start(void);
uint32_t tmlib_strings_stop(void);
uint32_t tmlib_md5_start(void);
uint32_t tmlib_md5_stop(void);
uint32_t tmlib_time_start(void);
uint32_t tmlib_time_stop(void);
uint32_t tmlib_core_start(void);
uint32_t tmlib_core_stop(void);
uint32_t tmlib_datatypes_start(void);
uint32_t tmlib_datatypes_stop(void);

enum tmlib_unit_id { TMLIB_THREADS, TMLIB_STRINGS, TMLIB_MD5, TMLIB_TIME, TMLIB_CORE, TMLIB_DATATYPES };
uint32_t tmlib_unit_count(tmlib_unit_id unit);
// Ticks of the monotonic clock per microsecond, stored by the time unit's start (0 while stopped).
uint32_t tmlib_time_ticks_per_microsecond(void);

// Where tests make the platform fail (null restores the platform's own).
void tmlib_threads_set_slot_create(int (*create)(uint32_t* slot));
void tmlib_time_set_resolution(int (*resolution)(uint32_t* nanoseconds));

// ---- Texts (zero-terminated UTF-8) -------------------------------------------------------------------------

bool tmlib_string_equal(const char* a, const char* b, bool fold);
// 0 equal, 1 a greater (or b null), -1 a smaller (or a null): only the low 16 bits count (0xFFFF).
int32_t tmlib_string_compare(const char* a, const char* b);
uint32_t tmlib_string_length(const char* text);    // bytes; 0 for null
uint32_t tmlib_string_bytesize(const char* text);  // length + 1; 0 for null
bool tmlib_string_isempty(const char* text);       // null, empty, or a first character that is not valid UTF-8
void tmlib_string_free(char* text);
char* tmlib_string_strdup(const char* text);  // null for null or no memory
// Appends whole UTF-8 characters of text while they fit in the buffer of `size` bytes; always terminated.
uint32_t tmlib_string_append(char* buffer, uint32_t size, const char* text);
char* tmlib_string_strtok(char* text, const char* delimiters, char** cursor);
// Decimal digits, terminated; a buffer too small keeps the lowest size - 1 digits; size 0 writes nothing.
char* tmlib_string_u32toa(uint32_t value, char* buffer, uint32_t size);
uint32_t tmlib_string_atou32(const char* text);  // strtoul base 10, clamped to 32 bits; null gives 0
bool tmlib_string_atobool(const char* text);

// ---- UTF-8 (package 0x05) ---------------------------------------------------------------------------------

uint32_t tmlib_utf8_sequence_length(uint8_t lead, uint32_t* length);
uint32_t tmlib_utf8_decode(const char* text, uint32_t* code_point, uint32_t* length);
// Compares up to max_characters (0: no limit). result: the difference of the first differing code points,
// or, when one text ends first, positive for a longer a and negative for a longer b. equal_characters, and
// where each text stopped, are optional.
uint32_t tmlib_utf8_compare(const char* a, const char* b, uint32_t max_characters, bool case_sensitive, int32_t* result,
                            uint32_t* equal_characters, const char** a_stop, const char** b_stop);
// Copies whole characters within max_bytes (the terminator included) and max_characters (0: no limit).
uint32_t tmlib_utf8_copy(char* target, uint32_t max_bytes, const char* source, uint32_t max_characters,
                         uint32_t* copied_characters);

// ---- Containers (package 0x0D) -----------------------------------------------------------------------------

constexpr uint32_t TMLIB_HASHTABLE_MAGIC = 0x12ABCDEFu;
constexpr uint32_t TMLIB_STRINGMAP_MAGIC = 0x1ABCDEF2u;
constexpr uint32_t TMLIB_VECTOR_MAGIC = 0xABCDEF12u;

constexpr uint32_t TMLIB_FLAG_LOCKED = 0x01u;          // own lock; a hash table keeps superseded values
constexpr uint32_t TMLIB_FLAG_CASE_SENSITIVE = 0x10u;  // hash table keys; for a vector: kept sorted
constexpr uint32_t TMLIB_FLAG_SORTED = 0x10u;
constexpr uint32_t TMLIB_FLAG_INSERTION_ORDER = 0x20u;
constexpr uint32_t TMLIB_FLAG_MULTI = 0x40u;

typedef void (*tmlib_value_free_fn)(void* value, uint32_t size);
typedef int (*tmlib_compare_fn)(const void* a, const void* b);
typedef void (*tmlib_element_free_fn)(void* element);

struct tmlib_vector_t {
    uint32_t magic;
    tmlib_critsec_t* lock;
    void** items;
    uint32_t capacity;
    uint32_t count;
    uint32_t flags;
    tmlib_compare_fn compare;
    tmlib_element_free_fn free_element;
};

struct tmlib_hash_node_t {
    char* key;  // null on a node of the superseded list
    uint32_t bucket;
    uint32_t hash;
    void* value;
    uint32_t size;
    uint32_t owned;
    tmlib_hash_node_t* next;
    tmlib_hash_node_t* previous;
};

struct tmlib_hashtable_t {
    uint32_t magic;
    tmlib_critsec_t* lock;
    tmlib_hash_node_t** buckets;
    uint32_t bucket_count;
    tmlib_hash_node_t* superseded;
    uint32_t node_count;
    tmlib_vector_t* order;
    uint32_t flags;
    tmlib_value_free_fn free_value;
};

struct tmlib_stringmap_t {
    uint32_t magic;
    tmlib_hashtable_t* table;
    uint32_t flags;
};

uint32_t tmlib_hash(const char* key, bool case_sensitive);

uint32_t tmlib_hashtable_create(tmlib_hashtable_t** place, uint32_t buckets, uint32_t flags,
                                tmlib_value_free_fn free_value);
uint32_t tmlib_hashtable_value_add(tmlib_hashtable_t* table, const char* key, void* value, uint32_t size, bool copy);
uint32_t tmlib_hashtable_value_find_index(tmlib_hashtable_t* table, const char* key, uint32_t n, void** value,
                                          uint32_t* size);
uint32_t tmlib_hashtable_value_find(tmlib_hashtable_t* table, const char* key, void** value, uint32_t* size);
// Nodes in one bucket's chain.
uint32_t tmlib_hashtable_bucket_length(tmlib_hashtable_t* table, uint32_t bucket, uint32_t* length);
uint32_t tmlib_hashtable_clear(tmlib_hashtable_t* table);
uint32_t tmlib_hashtable_delete(tmlib_hashtable_t* table);

uint32_t tmlib_stringmap_create(tmlib_stringmap_t** place, uint32_t buckets, uint32_t flags);
uint32_t tmlib_stringmap_delete(tmlib_stringmap_t* map);
uint32_t tmlib_stringmap_value_add(tmlib_stringmap_t* map, const char* key, const char* text);
uint32_t tmlib_stringmap_value_find(tmlib_stringmap_t* map, const char* key, const char** text);

uint32_t tmlib_vector_create(tmlib_vector_t** place, uint32_t flags, tmlib_compare_fn compare,
                             tmlib_element_free_fn free_element);
uint32_t tmlib_vector_delete(tmlib_vector_t* vector);
uint32_t tmlib_vector_add(tmlib_vector_t* vector, void* element);
uint32_t tmlib_vector_insert_at(tmlib_vector_t* vector, uint32_t index, void* element);
// Sorted: bisects and answers the insertion index (0 when an equal element is there, else not found);
// otherwise the index of the first element that compares equal.
uint32_t tmlib_vector_find(tmlib_vector_t* vector, const void* element, uint32_t* index);
uint32_t tmlib_vector_clear(tmlib_vector_t* vector);
