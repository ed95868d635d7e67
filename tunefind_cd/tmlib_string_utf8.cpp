// Texts over zero-terminated UTF-8, the small UTF-8 decoder they use, and the strings unit.
#include <stdlib.h>
#include <string.h>

#include "tunefind_cd/tmlib.h"
#include "tunefind_cd/tmlib_units.h"

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
uint32_t UpperCodePoint(uint32_t c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

tmlib_unit_t g_strings = {0, 0, nullptr, nullptr};
const tmlib_dependency_t kStringsNeeds[] = {kPlatformLayer};

}  // namespace

uint32_t tmlib_strings_start(void) { return tmlib_start_with(kStringsNeeds, 1, &g_strings); }
uint32_t tmlib_strings_stop(void) { return tmlib_stop_with(kStringsNeeds, 1, &g_strings); }
tmlib_unit_t* tmlib_strings_unit(void) { return &g_strings; }

// ---- UTF-8 ----------------------------------------------------------------------------------------------

uint32_t tmlib_utf8_sequence_length(uint8_t lead, uint32_t* length) {
    if (!length) return TMLIB_REPORT(TMLIB_RT_NULL);
    if (lead <= 0x7F)
        *length = 1;
    else if (lead >= 0xC0 && lead <= 0xDF)
        *length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        *length = 3;
    else
        return TMLIB_REPORT(TMLIB_UTF8_BAD_SEQUENCE);  // a continuation byte or the lead of four bytes
    return 0;
}

// A continuation byte must lie in 0x80..0xBF, so a terminator inside a sequence ends it as bad and nothing
// past the terminator is read.
uint32_t tmlib_utf8_decode(const char* text, uint32_t* code_point, uint32_t* length) {
    if (!text || !code_point || !length) return TMLIB_REPORT(TMLIB_RT_NULL);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    uint32_t n = 0;
    if (const uint32_t status = tmlib_utf8_sequence_length(bytes[0], &n)) return status;
    static const uint8_t kLeadBits[] = {0x7F, 0x1F, 0x0F};
    uint32_t value = bytes[0] & kLeadBits[n - 1];
    for (uint32_t i = 1; i < n; ++i) {
        if (bytes[i] < 0x80 || bytes[i] > 0xBF) return TMLIB_REPORT(TMLIB_UTF8_BAD_SEQUENCE);
        value = (value << 6) | (bytes[i] & 0x3Fu);
    }
    *code_point = value;
    *length = n;
    return 0;
}

uint32_t tmlib_utf8_compare(const char* a, const char* b, uint32_t max_characters, bool case_sensitive, int32_t* result,
                            uint32_t* equal_characters, const char** a_stop, const char** b_stop) {
    if (!a || !b || !result) return TMLIB_REPORT(TMLIB_RT_NULL);
    uint32_t equal = 0, status = 0;
    int32_t difference = 0;
    while (max_characters == 0 || equal < max_characters) {
        if (!*a || !*b) {
            difference = *a ? 1 : (*b ? -1 : 0);
            break;
        }
        uint32_t ca, cb, la, lb;
        if ((status = tmlib_utf8_decode(a, &ca, &la)) != 0 || (status = tmlib_utf8_decode(b, &cb, &lb)) != 0) break;
        if (!case_sensitive) {
            ca = UpperCodePoint(ca);
            cb = UpperCodePoint(cb);
        }
        if (ca != cb) {
            difference = static_cast<int32_t>(ca) - static_cast<int32_t>(cb);
            break;
        }
        a += la;
        b += lb;
        ++equal;
    }
    *result = difference;
    if (equal_characters) *equal_characters = equal;
    if (a_stop) *a_stop = a;
    if (b_stop) *b_stop = b;
    return status;
}

uint32_t tmlib_utf8_copy(char* target, uint32_t max_bytes, const char* source, uint32_t max_characters,
                         uint32_t* copied_characters) {
    if (!target || !source || max_bytes == 0) return TMLIB_REPORT(TMLIB_RT_NULL);
    uint32_t used = 0, characters = 0, status = 0;
    while (*source && (max_characters == 0 || characters < max_characters)) {
        uint32_t code, length;
        if ((status = tmlib_utf8_decode(source, &code, &length)) != 0) break;
        if (used + length + 1 > max_bytes) break;  // room for the terminator is kept
        memcpy(target + used, source, length);
        used += length;
        source += length;
        ++characters;
    }
    target[used] = '\0';
    if (copied_characters) *copied_characters = characters;
    return status;
}

// ---- Texts ----------------------------------------------------------------------------------------------

bool tmlib_string_equal(const char* a, const char* b, bool fold) {
    if (a == b) return true;
    if (!a || !b) return false;
    for (; *a && *b; ++a, ++b)
        if (fold ? Upper(*a) != Upper(*b) : *a != *b) return false;
    return *a == *b;
}

int32_t tmlib_string_compare(const char* a, const char* b) {
    if (a == b) return 0;
    if (!b) return 1;
    if (!a) return -1;
    int32_t result = 0;
    if (tmlib_utf8_compare(a, b, 0, true, &result, nullptr, nullptr, nullptr) != 0) {
        // A bad sequence: bytes decide from where the decoding stopped.
        result = strcmp(a, b);
    }
    return result > 0 ? 1 : (result < 0 ? -1 : 0);
}

uint32_t tmlib_string_length(const char* text) {
    if (!text) return 0;
    const size_t length = strlen(text);
    return length > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<uint32_t>(length);
}

uint32_t tmlib_string_bytesize(const char* text) { return text ? tmlib_string_length(text) + 1 : 0; }

bool tmlib_string_isempty(const char* text) {
    if (!text || !*text) return true;
    uint32_t code, length;
    return tmlib_utf8_decode(text, &code, &length) != 0 || code == 0;
}

void tmlib_string_free(char* text) { tmsdk_sdkmanager_mem_free(text); }

char* tmlib_string_strdup(const char* text) {
    if (!text) return nullptr;
    const size_t length = strlen(text);
    if (length >= 0xFFFFFFFFu) return nullptr;
    auto* copy = static_cast<char*>(tmsdk_sdkmanager_mem_malloc(static_cast<uint32_t>(length + 1)));
    if (copy) memcpy(copy, text, length + 1);
    return copy;
}

uint32_t tmlib_string_append(char* buffer, uint32_t size, const char* text) {
    if (!buffer || !text || size == 0) return TMLIB_REPORT(TMLIB_RT_NULL);
    const void* end = memchr(buffer, '\0', size);
    if (!end) return TMLIB_REPORT(TMLIB_RT_NULL);  // no terminated text in the buffer to append to
    const uint32_t used = static_cast<uint32_t>(static_cast<const char*>(end) - buffer);
    return tmlib_utf8_copy(buffer + used, size - used, text, 0, nullptr);
}

char* tmlib_string_strtok(char* text, const char* delimiters, char** cursor) {
    if (!delimiters || !cursor) return nullptr;
    char* at = text ? text : *cursor;
    if (!at) return nullptr;
    at += strspn(at, delimiters);
    if (!*at) {
        *cursor = at;
        return nullptr;
    }
    char* token = at;
    at += strcspn(at, delimiters);
    if (*at) *at++ = '\0';
    *cursor = at;
    return token;
}

char* tmlib_string_u32toa(uint32_t value, char* buffer, uint32_t size) {
    if (!buffer || size == 0) return buffer;
    char digits[10];
    uint32_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    const uint32_t kept = n < size - 1 ? n : size - 1;  // the lowest digits when the buffer is small
    for (uint32_t i = 0; i < kept; ++i) buffer[i] = digits[kept - 1 - i];
    buffer[kept] = '\0';
    return buffer;
}

uint32_t tmlib_string_atou32(const char* text) {
    if (!text) return 0;
    const unsigned long value = strtoul(text, nullptr, 10);
    return value > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

bool tmlib_string_atobool(const char* text) {
    if (tmlib_string_isempty(text)) return false;
    if (tmlib_string_equal(text, "true", true) || tmlib_string_equal(text, "yes", true)
        || tmlib_string_equal(text, "y", true))
        return true;
    return strtoul(text, nullptr, 10) != 0;
}
