// The query's table of contents: parsed from the caller's text, and written as the text a lookup sends.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/TmsdkSession.h"
#include "tunefind_cd/tfcd_internal.h"

namespace {

// A started module with one query, whose table is read straight from its record.
class TocTest : public ::testing::Test {
protected:
    gbxtest::TmsdkSession session;
    tmsdk_tunefindcd_query_t query = nullptr;
    void SetUp() override {
        ASSERT_STATUS(tmsdk_tunefindcd_initialize(session.handle), 0u);
        ASSERT_STATUS(tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query), 0u);
    }
    void TearDown() override {
        EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
        tmsdk_tunefindcd_shutdown();
    }
    std::vector<uint32_t> Offsets() const {
        std::vector<uint32_t> offsets;
        for (uint32_t i = 0; i < TFCD_TOC_ENTRIES; ++i)
            if (i == 0 || query->offsets[i] != 0)
                offsets.push_back(query->offsets[i]);
            else
                break;
        return offsets;
    }
};

std::string Numbers(uint32_t count, uint32_t first, uint32_t step) {
    std::string text;
    for (uint32_t i = 0; i < count; ++i) text += std::to_string(first + i * step) + " ";
    return text;
}

TEST_F(TocTest, TextsAreReadAsTheirNumbers) {
    const struct {
        std::string text;
        uint32_t status;
        std::vector<uint32_t> offsets;  // what the table holds afterwards
    } rows[] = {
        {"150 300 450", 0, {150, 300, 450}},
        {"150 21052 39817 ", 0, {150, 21052, 39817}},  // as the editor writes it
        {"   150    300   ", 0, {150, 300}},
        {"0 300", 0, {0, 300}},
        {"abc 300", 0, {0, 300}},  // a token without leading digits reads as 0
        {"150", 0x908100C4u, {150}},
        {"150 150 300", 0x908100C4u, {150, 150}},             // the offending entry stays
        {"300 abc", 0x908100C4u, {300}},                      // 300 then 0; the table ends at that 0
        {"150\t300", 0x908100C4u, {150}},                     // a tab does not separate
        {"150 300 99999999999", 0, {150, 300, 4294967295u}},  // clamped to 32 bits
        {"150 4294967295 4294967296", 0x908100C4u, {150, 4294967295u, 4294967295u}},
        {Numbers(100, 150, 1000), 0, {}},
        {Numbers(101, 150, 1000), 0x90810001u, {}},  // no room for a 101st entry
    };
    for (const auto& r : rows) {
        EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, r.text.c_str(), 7), r.status) << r.text;
        if (!r.offsets.empty()) {
            EXPECT_EQ(Offsets(), r.offsets) << r.text;
        }
        EXPECT_EQ(query->toc_value, 7u);
    }
    EXPECT_EQ(Offsets().size(), 100u);  // the 101 numbers filled the table and no further
    EXPECT_EQ(query->offsets[99], 150u + 99 * 1000);
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, "", 0), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(nullptr, "", 0), 0x90810001u);  // the text is tested first
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(nullptr, "150 300", 0), 0x90810001u);
}

TEST_F(TocTest, EntriesAreSetOneByOne) {
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_entry(query, 0, 150, 10), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_entry(query, 1, 100, 10), 0x908100C4u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_entry(query, 1, 300, 20), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_entry(query, 100, 400, 0), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_entry(nullptr, 100, 400, 0), 0x90810001u);
    EXPECT_EQ(Offsets(), (std::vector<uint32_t>{150, 300}));
    EXPECT_EQ(query->lengths[1], 20u);
    EXPECT_EQ(query->toc_value, 0u);
}

TEST(TocTextTest, TheTextFillsItsBufferAndNeverPassesIt) {
    // Offsets as given, or that many nine-digit and then ten-digit numbers.
    const struct {
        const char* what;
        std::vector<uint32_t> offsets;
        uint32_t nineDigits, tenDigits, status;
        size_t length;
    } rows[] = {
        {"three", {150, 300, 450}, 0, 0, 0, 11},
        {"entry 0 may be 0", {0, 300}, 0, 0, 0, 5},
        {"empty: entry 0 is always written", {}, 0, 0, 0, 1},
        {"a 0 ends the table", {150, 0, 450}, 0, 0, 0, 3},
        {"100 nine-digit numbers", {}, 100, 0, 0, 999},
        {"76 nine- and 24 ten-digit numbers: exactly 1024 bytes", {}, 76, 24, 0, 1023},
        {"75 nine- and 25 ten-digit numbers: one byte too many", {}, 75, 25, 0x908100C4u, 0},
        {"93 ten-digit numbers", {}, 0, 93, 0, 1022},
        {"94 ten-digit numbers", {}, 0, 94, 0x908100C4u, 0},
    };
    for (const auto& r : rows) {
        tfcd_query_t query = {};
        std::vector<uint32_t> offsets = r.offsets;
        for (uint32_t i = 0; i < r.nineDigits; ++i) offsets.push_back(100000000u + i);
        for (uint32_t i = 0; i < r.tenDigits; ++i) offsets.push_back(1000000000u + i);
        for (size_t i = 0; i < offsets.size(); ++i) query.offsets[i] = offsets[i];
        char text[TFCD_TOC_TEXT_BYTES + 16];
        std::memset(text, 0, TFCD_TOC_TEXT_BYTES);
        std::memset(text + TFCD_TOC_TEXT_BYTES, 'X', 16);
        EXPECT_STATUS(tfcd_toc_text(&query, text), r.status) << r.what;
        if (r.status == 0) {
            EXPECT_EQ(std::strlen(text), r.length) << r.what;
            EXPECT_NE(text[r.length - 1], ' ') << r.what;
        }
        EXPECT_EQ(std::string(text + TFCD_TOC_TEXT_BYTES, 16), std::string(16, 'X')) << r.what;
    }
    tfcd_query_t query = {};
    query.offsets[0] = 150;
    query.offsets[1] = 300;
    query.offsets[2] = 450;
    char text[TFCD_TOC_TEXT_BYTES] = {};
    ASSERT_STATUS(tfcd_toc_text(&query, text), 0u);
    EXPECT_STREQ(text, "150 300 450");
}

TEST_F(TocTest, RandomTextsLeaveASoundTableThatWritesBackAsItsNumbers) {
    std::mt19937 random(11);
    const char alphabet[] = "0123456789      \ta-";
    for (int run = 0; run < 3000; ++run) {
        std::string text(1 + random() % 300, ' ');
        for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
        if (text.find_first_not_of(' ') == std::string::npos) text[0] = '1';
        const uint32_t status = tmsdk_tunefindcd_query_set_toc_string(query, text.c_str(), 0);
        ASSERT_TRUE(status == 0 || status == 0x908100C4u || status == 0x90810001u) << text;
        if (status != 0) continue;
        const std::vector<uint32_t> offsets = Offsets();
        ASSERT_GE(offsets.size(), 2u) << text;
        for (size_t i = 1; i < offsets.size(); ++i) ASSERT_LT(offsets[i - 1], offsets[i]) << text;
        char written[TFCD_TOC_TEXT_BYTES] = {};
        if (tfcd_toc_text(query, written) != 0) continue;  // too long as text: refused, never cut
        ASSERT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, written, 0), 0u) << written;
        ASSERT_EQ(Offsets(), offsets) << text;
    }
}

}  // namespace
