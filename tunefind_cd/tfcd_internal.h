// What the module's sources share: its state (the manager's bound interfaces), the query record, codes,
// and carrying codes of other packages into the module's package.
#pragma once

#include "tunefind_cd/tmlib.h"
#include "tunefind_cd/tmsdk_tunefind_cd.h"

constexpr uint32_t TFCD_PACKAGE = 0x81u;
constexpr const char* TFCD_PACKAGE_NAME = "TMSDK TF-CD";
constexpr uint32_t TFCD_QUERY_MAGIC = 0x33BAAB23u;
constexpr uint32_t TFCD_TOC_ENTRIES = 100;
constexpr uint32_t TFCD_TOC_TEXT_BYTES = 1024;

// Process-wide: the module's unit and the five interfaces bound at its first start.
struct tfcd_state_t {
    tmlib_unit_t unit;
    const tmsdk_errorinfo_interface_t* errorinfo;
    const tmsdk_handles_interface_t* handles;
    const tmsdk_lookup_interface_t* lookup;
    const tmsdk_gdo_interface_t* gdo;
    const tmsdk_lists_interface_t* lists;
};
extern tfcd_state_t g_tfcd;

bool tfcd_started(void);

struct tfcd_query_s {
    uint32_t magic;
    tmlib_critsec_t* lock;
    tmsdk_client_t client;
    tmsdk_user_t user;
    tmsdk_tunefindcd_status_fn callback;  // may be null
    void* callback_data;
    volatile uint32_t in_callback;       // depth of status callbacks running; a nested one never clears it
    tmlib_stringmap_t* options;          // null until the first option is set
    uint32_t offsets[TFCD_TOC_ENTRIES];  // track starts, then the lead-out; ends at the first 0 after entry 0
    uint32_t lengths[TFCD_TOC_ENTRIES];
    uint32_t toc_value;
    tmsdk_gdo_t source;  // when set, lookups go by this album's identifier
};
typedef tfcd_query_s tfcd_query_t;

// A code of another package carried into package 0x81.
uint32_t tfcd_map(uint32_t code);
// A manager validation that failed: its low word under package 0x81.
inline uint32_t tfcd_validation(uint32_t code) { return code ? 0x90810000u | (code & 0xFFFFu) : 0; }

// Null: invalid argument; refused by the manager's records: the validation's code. Reported.
uint32_t tfcd_query_validate(tfcd_query_t* query);
bool tfcd_query_in_callback(tfcd_query_t* query);
// The option's text read as a boolean (missing: false). Query lock held.
bool tfcd_query_option_bool(tfcd_query_t* query, const char* key);
void tfcd_status_adapter(void* data, const tmsdk_lookup_status_t* status, uint8_t* abort);

// The album identifier of an album object (type, id and tag values); the texts stay the object's.
uint32_t tfcd_album_identifier(tmsdk_gdo_t album, const char** id, const char** tag);

// Writes the query's offsets as decimal numbers separated by one space into a zero-filled buffer of
// TFCD_TOC_TEXT_BYTES; refuses with 0x908100C4 what would not fit with its terminator.
uint32_t tfcd_toc_text(const tfcd_query_t* query, char* text);

// The album table behind a response object, and its result object.
struct tfcd_album_entry_t {
    uintptr_t reserved0;
    tmsdk_gdo_t main;
    tmsdk_gdo_t extra;
    tmsdk_gdo_t link;
    uintptr_t reserved4;
};
struct tfcd_album_table_t {
    uint32_t count;
    tfcd_album_entry_t* entries;
};
// A table of count empty entries; null for no memory.
tfcd_album_table_t* tfcd_album_table_create(uint32_t count);
// Releases every object in the table and frees it.
void tfcd_album_table_free(tfcd_album_table_t* table);
// A response object over the table, which it then owns (also when this fails: the table is freed).
uint32_t tfcd_response_create(tfcd_album_table_t* table, tmsdk_gdo_t* response);

#define TFCD_REPORT(code) tmlib_report((code), __LINE__, __FILE_NAME__)
