// Mutated records and tables of contents through the reader and the parser, under the sanitizers: whatever
// they are given, what they keep obeys the rules. Bounded by count and by time.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "sdk_manager/Catalogue.h"
#include "tests/support/Xmcd.h"

using namespace tmsdk;

namespace {

bool ValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 99;
        if (n == 99 || i + n >= text.size()) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

void ExpectSound(const Disc& d) {
    ASSERT_FALSE(d.offsets.empty());
    ASSERT_LE(d.offsets.size(), kMaxTracks);
    for (size_t i = 1; i < d.offsets.size(); ++i) ASSERT_LT(d.offsets[i - 1], d.offsets[i]);
    ASSERT_LE(d.offsets.back(), kMaxFrame);
    ASSERT_LE(d.lengthSeconds, kMaxSeconds);
    ASSERT_GT((uint64_t{d.lengthSeconds} + 1) * kFramesPerSecond, d.offsets.back());
    ASSERT_EQ(d.id.size(), 8u);
    ASSERT_EQ(d.trackTitles.size(), d.offsets.size());
    ASSERT_EQ(d.trackArtists.size(), d.offsets.size());
    for (const std::string* text : {&d.artist, &d.title, &d.year, &d.genre}) ASSERT_TRUE(ValidUtf8(*text)) << *text;
    for (const std::string& title : d.trackTitles) ASSERT_TRUE(ValidUtf8(title)) << title;
}

std::string Mutate(std::string bytes, std::mt19937& random) {
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
        const size_t at = bytes.empty() ? 0 : random() % bytes.size();
        switch (random() % 7) {
            case 0:  // flip a byte
                if (!bytes.empty()) bytes[at] = static_cast<char>(random());
                break;
            case 1:  // cut the rest
                bytes.resize(at);
                break;
            case 2:  // drop a span
                bytes.erase(at, random() % 64);
                break;
            case 3:  // a run of digits, as a huge number or count would be
                bytes.insert(at, std::string(1 + random() % 24, static_cast<char>('0' + random() % 10)));
                break;
            case 4: {  // repeat a line
                const size_t start = bytes.rfind('\n', at);
                const size_t end = bytes.find('\n', at);
                const size_t from = start == std::string::npos ? 0 : start + 1;
                if (end != std::string::npos) bytes.insert(from, bytes.substr(from, end - from + 1));
                break;
            }
            case 5:  // bytes that are not UTF-8
                bytes.insert(at, 1, static_cast<char>(0x80 + random() % 0x80));
                break;
            default:  // a known keyword where it does not belong
                bytes.insert(at, random() % 2 ? "\n# Track frame offsets:\n" : "\nTTITLE98=x\n# xmcd\n");
                break;
        }
    }
    return bytes;
}

TEST(CatalogueFuzzTest, MutatedRecordsNeverBreakTheReadersRules) {
    gbxtest::XmcdDisc various = gbxtest::EvenDisc("1234abcd", "Various / Hits", 12, 200);
    various.tracks[0] = "Singer / Song";
    const std::vector<std::string> seeds = {
        gbxtest::XmcdRecord(gbxtest::EvenDisc("0a0b0c0d", "Artist / Album", 9, 180)),
        gbxtest::XmcdRecord(various) + gbxtest::XmcdRecord(gbxtest::EvenDisc("", "Caf\xE9 / X", 3, 60)),
    };
    std::mt19937 random(20260101);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int runs = 0;
    for (; runs < 4000 && std::chrono::steady_clock::now() < deadline; ++runs) {
        const std::string bytes = Mutate(seeds[runs % seeds.size()], random);
        std::vector<Disc> discs;
        ReadReport report;
        ReadXmcd(bytes, "fuzz", discs, report);
        EXPECT_EQ(report.reasons.size(), report.skipped);
        for (const Disc& d : discs) {
            ExpectSound(d);
            if (HasFatalFailure()) {
                ADD_FAILURE() << "input: " << ::testing::PrintToString(bytes);
                return;
            }
        }
    }
    EXPECT_GT(runs, 100);
}

TEST(CatalogueFuzzTest, RandomTablesOfContentsParseOnlyWhenSound) {
    std::mt19937 random(7);
    const char alphabet[] = "0123456789          x-\t";
    for (int run = 0; run < 20000; ++run) {
        std::string text(random() % 120, ' ');
        for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
        std::vector<uint32_t> offsets;
        uint32_t leadOut = 0;
        if (!ParseToc(text.c_str(), offsets, leadOut)) continue;
        ASSERT_FALSE(offsets.empty()) << text;
        ASSERT_LE(offsets.size(), kMaxTracks) << text;
        for (size_t i = 1; i < offsets.size(); ++i) ASSERT_LT(offsets[i - 1], offsets[i]) << text;
        ASSERT_LT(offsets.back(), leadOut) << text;
    }
}

}  // namespace
