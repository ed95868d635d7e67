#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tests/support/TmsdkSession.h"
#include "tunefind_cd/tmlib.h"

namespace {

TEST(RuntimeTest, InterlockedCounters) {
    volatile uint32_t counter = 0xFFFFFFFFu;
    uint32_t value = 0;
    EXPECT_STATUS(tmlib_atomic_increment(&counter, &value), 0u);
    EXPECT_EQ(value, 0u);  // wraps as a 32-bit counter
    EXPECT_STATUS(tmlib_atomic_increment(&counter, nullptr), 0u);
    EXPECT_STATUS(tmlib_atomic_decrement(&counter, &value), 0u);
    EXPECT_EQ(value, 0u);
    EXPECT_STATUS(tmlib_atomic_read(&counter, &value), 0u);
    EXPECT_EQ(value, 0u);
    EXPECT_STATUS(tmlib_atomic_read(nullptr, &value), 0x90020001u);
    EXPECT_STATUS(tmlib_atomic_read(&counter, nullptr), 0x90020001u);
    EXPECT_STATUS(tmlib_atomic_increment(nullptr, &value), 0x90020001u);
    EXPECT_STATUS(tmlib_atomic_decrement(nullptr, &value), 0x90020001u);
}

TEST(RuntimeTest, CriticalSectionIsRecursiveForItsOwnerAndHoldsOthersOff) {
    tmlib_critsec_t* section = nullptr;
    EXPECT_STATUS(tmlib_critsec_create(nullptr), 0x90020001u);
    tmsdk_sdkmanager_test_allocation_fail_at(1);
    EXPECT_STATUS(tmlib_critsec_create(&section), 0x90020002u);
    tmsdk_sdkmanager_test_allocation_fail_at(0);
    ASSERT_STATUS(tmlib_critsec_create(&section), 0u);
    ASSERT_STATUS(tmlib_critsec_enter(section), 0u);
    ASSERT_STATUS(tmlib_critsec_enter(section), 0u);
    std::atomic<bool> entered{false};
    std::thread other([&] {
        tmlib_critsec_enter(section);
        entered = true;
        tmlib_critsec_leave(section);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(entered);
    tmlib_critsec_leave(section);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(entered);  // still held once
    tmlib_critsec_leave(section);
    other.join();
    EXPECT_TRUE(entered);
    EXPECT_STATUS(tmlib_critsec_delete(section), 0u);
    EXPECT_STATUS(tmlib_critsec_enter(nullptr), 0x90020001u);
    EXPECT_STATUS(tmlib_critsec_leave(nullptr), 0x90020001u);
    EXPECT_STATUS(tmlib_critsec_delete(nullptr), 0x90020001u);
}

TEST(RuntimeTest, SleepWaitsAtLeastItsTime) {
    const auto start = std::chrono::steady_clock::now();
    tmlib_thread_sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

TEST(Utf8Test, SequencesOfOneToThreeBytesAndTheRefusals) {
    const struct {
        const char* bytes;
        uint32_t status, codePoint, length;
    } rows[] = {
        {"A", 0, 0x41, 1},
        {"\x7F", 0, 0x7F, 1},
        {"\xC3\xA9", 0, 0xE9, 2},
        {"\xDF\xBF", 0, 0x7FF, 2},
        {"\xE3\x81\x82", 0, 0x3042, 3},
        {"\xEF\xBF\xBF", 0, 0xFFFF, 3},
        {"\xC0\xAF", 0, 0x2F, 2},         // over-long forms are not looked for
        {"\xC3\x41", 0x900503A0u, 0, 0},  // second byte not a continuation byte
        {"\xE3\x81", 0x900503A0u, 0, 0},  // cut short by the terminator
        {"\x80", 0x900503A0u, 0, 0},      // a continuation byte as lead
        {"\xBF", 0x900503A0u, 0, 0},
        {"\xF0\x9F\x98\x80", 0x900503A0u, 0, 0},  // four-byte sequences are not read
        {"\xFF", 0x900503A0u, 0, 0},
    };
    for (const auto& r : rows) {
        uint32_t codePoint = 0, length = 0;
        EXPECT_STATUS(tmlib_utf8_decode(r.bytes, &codePoint, &length), r.status) << r.bytes;
        if (r.status == 0) {
            EXPECT_EQ(codePoint, r.codePoint) << r.bytes;
            EXPECT_EQ(length, r.length) << r.bytes;
        }
    }
    uint32_t length = 0;
    EXPECT_STATUS(tmlib_utf8_sequence_length(0xE0, &length), 0u);
    EXPECT_EQ(length, 3u);
    EXPECT_STATUS(tmlib_utf8_sequence_length(0xF8, &length), 0x900503A0u);
    EXPECT_STATUS(tmlib_utf8_decode(nullptr, &length, &length), 0x90020001u);
}

TEST(Utf8Test, Comparison) {
    const struct {
        const char *a, *b;
        uint32_t max;
        bool caseSensitive;
        int sign;
        uint32_t equal;
    } rows[] = {
        {"abc", "abc", 0, true, 0, 3},
        {"abc", "abd", 0, true, -1, 2},
        {"abcd", "abc", 0, true, 1, 3},
        {"abc", "abcd", 0, true, -1, 3},
        {"ABC", "abc", 0, false, 0, 3},
        {"ABC", "abc", 0, true, -1, 0},
        {"abX", "abY", 2, true, 0, 2},
        {"\xC3\xA9", "e", 0, true, 1, 0},
        {"x\xE3\x81\x82", "x\xE3\x81\x83", 0, true, -1, 1},
        {"", "", 0, true, 0, 0},
    };
    for (const auto& r : rows) {
        int32_t result = 99;
        uint32_t equal = 99;
        const char *aStop = nullptr, *bStop = nullptr;
        ASSERT_STATUS(tmlib_utf8_compare(r.a, r.b, r.max, r.caseSensitive, &result, &equal, &aStop, &bStop), 0u);
        EXPECT_EQ((result > 0) - (result < 0), r.sign) << r.a << " / " << r.b;
        EXPECT_EQ(equal, r.equal) << r.a << " / " << r.b;
        EXPECT_NE(aStop, nullptr);
        EXPECT_NE(bStop, nullptr);
    }
    int32_t result = 0;
    uint32_t equal = 0;
    const char* aStop = nullptr;
    EXPECT_STATUS(tmlib_utf8_compare("ab\x80", "abc", 0, true, &result, &equal, &aStop, nullptr), 0x900503A0u);
    EXPECT_EQ(equal, 2u);
    EXPECT_EQ(*aStop, '\x80');
    // The result is the difference of the first differing code points.
    ASSERT_STATUS(tmlib_utf8_compare("\xC3\xA9", "e", 0, true, &result, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(result, 0xE9 - 'e');
}

TEST(Utf8Test, CopyKeepsWholeCharactersAndTheTerminator) {
    const struct {
        const char* source;
        uint32_t maxBytes, maxCharacters;
        const char* expected;
        uint32_t status, characters;
    } rows[] = {
        {"a\xC3\xA9", 4, 0, "a\xC3\xA9", 0, 2},
        {"a\xC3\xA9", 3, 0, "a", 0, 1},  // the second character would leave no room for the terminator
        {"a\xC3\xA9", 1, 0, "", 0, 0},
        {"abc", 10, 2, "ab", 0, 2},
        {"ab\xFF"
         "c",
         10, 0, "ab", 0x900503A0u, 2},
    };
    for (const auto& r : rows) {
        char target[16];
        std::memset(target, 'X', sizeof target);
        uint32_t characters = 99;
        EXPECT_STATUS(tmlib_utf8_copy(target, r.maxBytes, r.source, r.maxCharacters, &characters), r.status)
            << r.source;
        EXPECT_STREQ(target, r.expected) << r.source;
        EXPECT_EQ(characters, r.characters) << r.source;
        EXPECT_EQ(target[r.maxBytes], 'X') << "wrote past the limit";
    }
}

TEST(StringsTest, EqualityAndComparison) {
    EXPECT_TRUE(tmlib_string_equal("Key", "Key", false));
    EXPECT_FALSE(tmlib_string_equal("Key", "KEY", false));
    EXPECT_TRUE(tmlib_string_equal("Key", "KEY", true));
    EXPECT_FALSE(tmlib_string_equal("Key", "Keys", true));
    EXPECT_FALSE(tmlib_string_equal(nullptr, "a", true));
    EXPECT_TRUE(tmlib_string_equal(nullptr, nullptr, true));

    // The same pointer is equal without being read: a freed block would be caught by the sanitizer.
    char* freed = static_cast<char*>(tmsdk_sdkmanager_mem_malloc(4));
    tmsdk_sdkmanager_mem_free(freed);
    EXPECT_EQ(tmlib_string_compare(freed, freed), 0);
    EXPECT_EQ(tmlib_string_compare(nullptr, "a") & 0xFFFF, 0xFFFF);
    EXPECT_EQ(tmlib_string_compare("a", nullptr), 1);
    EXPECT_EQ(tmlib_string_compare("abc", "abd") & 0xFFFF, 0xFFFF);
    EXPECT_EQ(tmlib_string_compare("\xC3\xA9", "z"), 1);  // by code point, not by byte sign
    EXPECT_EQ(tmlib_string_compare("abc", "abc"), 0);
}

TEST(StringsTest, LengthsEmptinessAndCopies) {
    EXPECT_EQ(tmlib_string_length(nullptr), 0u);
    EXPECT_EQ(tmlib_string_length("\xC3\xA9"), 2u);
    EXPECT_EQ(tmlib_string_bytesize(nullptr), 0u);
    EXPECT_EQ(tmlib_string_bytesize("abc"), 4u);
    const struct {
        const char* text;
        bool empty;
    } rows[] = {{nullptr, true},
                {"", true},
                {"\x80"
                 "abc",
                 true},
                {"\xC3", true},
                {"a", false},
                {"\xC3\xA9", false}};
    for (const auto& r : rows) EXPECT_EQ(tmlib_string_isempty(r.text), r.empty) << (r.text ? r.text : "null");

    const uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
    char* copy = tmlib_string_strdup("text");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "text");
    tmlib_string_free(copy);
    tmlib_string_free(nullptr);
    EXPECT_EQ(tmlib_string_strdup(nullptr), nullptr);
    tmsdk_sdkmanager_test_allocation_fail_at(1);
    EXPECT_EQ(tmlib_string_strdup("text"), nullptr);
    tmsdk_sdkmanager_test_allocation_fail_at(0);
    EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks);
}

TEST(StringsTest, AppendAndTokens) {
    char buffer[6] = "ab";
    EXPECT_STATUS(tmlib_string_append(buffer, 6, "cd\xC3\xA9"), 0u);
    EXPECT_STREQ(buffer, "abcd");  // the two-byte character would not fit with the terminator
    char full[3] = {'x', 'y', 'z'};
    EXPECT_STATUS(tmlib_string_append(full, 3, "a"), 0x90020001u);  // no terminated text to append to

    char text[] = "  150 \t300  450 ";
    char* cursor = nullptr;
    std::vector<std::string> tokens;
    for (char* t = tmlib_string_strtok(text, " ", &cursor); t; t = tmlib_string_strtok(nullptr, " ", &cursor))
        tokens.push_back(t);
    EXPECT_EQ(tokens, (std::vector<std::string>{"150", "\t300", "450"}));
    EXPECT_EQ(tmlib_string_strtok(nullptr, " ", &cursor), nullptr);
}

TEST(StringsTest, NumberTexts) {
    const struct {
        uint32_t value, size;
        const char* expected;
    } written[] = {
        {0, 11, "0"},    {4294967295u, 11, "4294967295"}, {4294967295u, 5, "7295"}, {1000, 3, "00"}, {123, 1, ""},
        {150, 4, "150"},
    };
    for (const auto& w : written) {
        char buffer[16];
        std::memset(buffer, 'X', sizeof buffer);
        EXPECT_EQ(tmlib_string_u32toa(w.value, buffer, w.size), buffer);
        EXPECT_STREQ(buffer, w.expected) << w.value << " in " << w.size;
        EXPECT_EQ(buffer[w.size], 'X') << "wrote past the buffer";
    }
    char untouched[4] = "abc";
    tmlib_string_u32toa(42, untouched, 0);  // a size of 0 writes nothing
    EXPECT_STREQ(untouched, "abc");

    const struct {
        const char* text;
        uint32_t value;
    } read[] = {{nullptr, 0},
                {"150", 150},
                {"4294967295", 4294967295u},
                {"4294967296", 4294967295u},
                {"99999999999999999999", 4294967295u},
                {"abc", 0},
                {"12abc", 12},
                {"\t7", 7},
                {"-1", 4294967295u}};
    for (const auto& r : read) EXPECT_EQ(tmlib_string_atou32(r.text), r.value) << (r.text ? r.text : "null");

    const struct {
        const char* text;
        bool value;
    } booleans[] = {{"Y", true},
                    {"TRUE", true},
                    {"yes", true},
                    {"7", true},
                    {"-1", true},
                    {"0", false},
                    {"", false},
                    {nullptr, false},
                    {"no", false},
                    {"\x80"
                     "1",
                     false},
                    {"yesno", false}};
    for (const auto& b : booleans) EXPECT_EQ(tmlib_string_atobool(b.text), b.value) << (b.text ? b.text : "null");
}

}  // namespace
