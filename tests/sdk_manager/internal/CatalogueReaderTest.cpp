#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sdk_manager/Catalogue.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Xmcd.h"

using namespace tmsdk;

namespace {

std::vector<Disc> Read(const std::string& bytes, uint32_t* skipped = nullptr, const std::string& name = "rock/f00d") {
    std::vector<Disc> discs;
    ReadReport report;
    ReadXmcd(bytes, name, discs, report);
    if (skipped) *skipped = report.skipped;
    EXPECT_EQ(report.reasons.size(), report.skipped);
    return discs;
}

TEST(CatalogueReaderTest, ReadsTheFieldsOfARecord) {
    const std::string record =
        "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#       21052\r\n# 39817\r\n#\r\n"
        "# Disc length: 682 seconds\r\n#\r\nDISCID=1B02AA03,1b02aa04\r\nDTITLE=The Artist / The \r\n"
        "DTITLE=Album\r\nDYEAR=1999\r\nDGENRE=Heavy Metal\r\nTTITLE0=One\\nLine\r\nTTITLE1=Back\\\\slash\r\n"
        "TTITLE2=Three\r\nEXTD=notes\r\nEXTT0=\r\nPLAYORDER=\r\n";
    const std::vector<Disc> discs = Read(record);
    ASSERT_EQ(discs.size(), 1u);
    const Disc& d = discs[0];
    EXPECT_EQ(d.offsets, (std::vector<uint32_t>{150, 21052, 39817}));
    EXPECT_EQ(d.lengthSeconds, 682u);
    EXPECT_EQ(d.id, "1b02aa03");  // the first of several, in lower case
    EXPECT_EQ(d.tag, "rock/f00d");
    EXPECT_EQ(d.artist, "The Artist");
    EXPECT_EQ(d.title, "The Album");  // a value continued on a second line
    EXPECT_EQ(d.year, "1999");
    EXPECT_EQ(d.genre, "Heavy Metal");
    EXPECT_EQ(d.trackTitles, (std::vector<std::string>{"One Line", "Back\\slash", "Three"}));
    EXPECT_EQ(d.trackArtists, (std::vector<std::string>{"", "", ""}));
}

TEST(CatalogueReaderTest, TitlesWithoutArtistAndCompilations) {
    gbxtest::XmcdDisc disc = gbxtest::EvenDisc("00000002", "Self Titled", 2, 60);
    std::vector<Disc> discs = Read(gbxtest::XmcdRecord(disc));
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(discs[0].artist, "Self Titled");
    EXPECT_EQ(discs[0].title, "Self Titled");

    disc.dtitle = "Various / Hits";
    disc.tracks = {"Singer / Song", "Plain"};
    discs = Read(gbxtest::XmcdRecord(disc));
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(discs[0].trackArtists, (std::vector<std::string>{"Singer", ""}));
    EXPECT_EQ(discs[0].trackTitles, (std::vector<std::string>{"Song", "Plain"}));

    disc.dtitle = "Band / Album";  // not a compilation: " / " stays part of the title
    discs = Read(gbxtest::XmcdRecord(disc));
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(discs[0].trackTitles[0], "Singer / Song");
}

TEST(CatalogueReaderTest, TextThatIsNotUtf8IsReadAsLatin1) {
    gbxtest::XmcdDisc disc = gbxtest::EvenDisc("00000003", "Caf\xE9 / Na\xEFve", 1, 60);
    std::vector<Disc> discs = Read(gbxtest::XmcdRecord(disc));
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(discs[0].artist, "Caf\xC3\xA9");
    EXPECT_EQ(discs[0].title, "Na\xC3\xAFve");
    disc.dtitle = "Caf\xC3\xA9 / \xE6\x97\xA5\xE6\x9C\xAC";  // valid UTF-8 stays as it is
    discs = Read(gbxtest::XmcdRecord(disc));
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(discs[0].title, "\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(CatalogueReaderTest, SeveralRecordsInOneFileAreTaggedByPosition) {
    const std::string two = gbxtest::XmcdRecord(gbxtest::EvenDisc("00000004", "A / One", 2, 60))
                            + gbxtest::XmcdRecord(gbxtest::EvenDisc("00000005", "B / Two", 3, 60));
    const std::vector<Disc> discs = Read(two, nullptr, "all.xmcd");
    ASSERT_EQ(discs.size(), 2u);
    EXPECT_EQ(discs[0].tag, "all.xmcd#1");
    EXPECT_EQ(discs[1].tag, "all.xmcd#2");
    EXPECT_EQ(discs[1].offsets.size(), 3u);
}

TEST(CatalogueReaderTest, DiscIdIsDerivedWhenTheRecordHasNone) {
    // Seconds 2, 266 and 533 give digit sums 2 + 14 + 11 = 27; 600 - 2 = 598 seconds; three tracks.
    EXPECT_EQ(DiscIdOf({150, 20000, 40000}, 600), "1b025603");
    gbxtest::XmcdDisc disc;
    disc.offsets = {150, 20000, 40000};
    disc.lengthSeconds = 600;
    disc.dtitle = "A / B";
    for (const char* id : {"", "not-hex!", "1234567"}) {
        disc.discId = id;
        const std::vector<Disc> discs = Read(gbxtest::XmcdRecord(disc));
        ASSERT_EQ(discs.size(), 1u) << id;
        EXPECT_EQ(discs[0].id, "1b025603") << id;
    }
}

TEST(CatalogueReaderTest, DiscIdsAsTheFormatsDocumentationGivesThem) {
    // Four tracks at frames 150, 11563, 25174 and 45863, the lead-out at 55370 (738 seconds): digit sums
    // 2 + 10 + 11 + 8 = 31, 736 seconds after the first track.
    EXPECT_EQ(DiscIdOf({150, 11563, 25174, 45863}, 55370 / 75), "1f02e004");
    // A digit sum above 255 wraps, and so does a length beyond 16 bits.
    std::vector<uint32_t> many;
    for (uint32_t i = 0; i < 99; ++i) many.push_back(150 + i * 75 * 599);
    EXPECT_EQ(DiscIdOf(many, 99 * 599 + 2).substr(6), "63");
}

// The same ids from python3, written apart from the reader from the format's description.
TEST(CatalogueReaderTest, DiscIdsAgreeWithAnIndependentComputation) {
    std::mt19937 random(7);
    std::string tocs;
    std::vector<std::string> ours;
    for (int disc = 0; disc < 300; ++disc) {
        std::vector<uint32_t> offsets;
        uint32_t frame = random() % 2 ? 150 : 182 + random() % 30000;
        const uint32_t tracks = 1 + random() % 99;
        for (uint32_t t = 0; t < tracks; ++t) {
            offsets.push_back(frame);
            frame += 1 + random() % 40000;
        }
        const uint32_t seconds = frame / 75 + random() % 3;
        for (uint32_t offset : offsets) tocs += std::to_string(offset) + " ";
        tocs += std::to_string(seconds) + "\n";
        ours.push_back(DiscIdOf(offsets, seconds));
    }
    const gbxtest::TempDir dir;
    gbxtest::WriteText(dir.File("tocs"), tocs);
    const char* script = R"(
import sys
for line in open(sys.argv[1]):
    numbers = [int(n) for n in line.split()]
    offsets, seconds = numbers[:-1], numbers[-1]
    digits = sum(sum(int(d) for d in str(o // 75)) for o in offsets)
    print('%08x' % (((digits % 255) << 24) | (((seconds - offsets[0] // 75) & 0xFFFF) << 8) | len(offsets)))
)";
    const gbxtest::CommandResult python = gbxtest::Python(script, {dir.File("tocs")});
    ASSERT_EQ(python.exitCode, 0);
    std::string expected;
    for (const std::string& id : ours) expected += id + "\n";
    EXPECT_EQ(python.output, expected);
}

TEST(CatalogueReaderTest, HostileRecordsAreLeftOutWithAReason) {
    const std::string good = gbxtest::XmcdRecord(gbxtest::EvenDisc("0000000a", "A / B", 3, 100));
    std::string manyOffsets = "# Track frame offsets:\n";
    for (int i = 0; i < 150; ++i) manyOffsets += "# " + std::to_string(150 + i * 100) + "\n";
    manyOffsets += "# Disc length: 300 seconds\nDTITLE=A / B\n";
    const struct {
        const char* what;
        std::string bytes;
        size_t discs;
        uint32_t skipped;
    } rows[] = {
        {"truncated before the disc length", good.substr(0, good.find("# Disc length")), 0, 1},
        {"truncated inside a title", good.substr(0, good.find("TTITLE1") + 4), 1, 0},  // still a disc
        {"more than 99 tracks", manyOffsets, 0, 1},
        {"an absurd offset", "# Track frame offsets:\n# 150\n# 99999999999999999999\n# Disc length: 60 seconds\n", 0,
         1},
        {"offsets not increasing", "# Track frame offsets:\n# 300\n# 150\n# Disc length: 60 seconds\n", 0, 1},
        {"an absurd disc length", "# Track frame offsets:\n# 150\n# Disc length: 4294967296 seconds\n", 0, 1},
        {"a disc length before the last track", "# Track frame offsets:\n# 150\n# 9000\n# Disc length: 100 seconds\n",
         0, 1},
        {"no offsets", "# Disc length: 100 seconds\nDISCID=12345678\nDTITLE=A / B\n", 0, 1},
        {"a huge track number", good + "TTITLE99999999999999999999=Nothing\nTTITLE99=Nothing\n", 1, 0},
        {"a negative offset", "# Track frame offsets:\n#\t150\n#\t-5000\n#\n# Disc length: 600 seconds\n", 0, 1},
        {"a hexadecimal offset", "# Track frame offsets:\n#\t150\n#\t0x5000\n#\n# Disc length: 600 seconds\n", 0, 1},
        {"an offset with a unit", "# Track frame offsets:\n#\t150\n#\t5000 frames\n#\n# Disc length: 600 seconds\n", 0,
         1},
        // The list ends at an empty comment line or at words.
        {"the disc length right after the offsets", "# Track frame offsets:\n#\t150\n# Disc length: 600 seconds\n", 1,
         0},
        {"stray text and binary bytes", "\x01\x02garbage\xFF\xFE\nno equals sign here\n\n", 0, 1},
        {"empty", "", 0, 1},
    };
    for (const auto& r : rows) {
        uint32_t skipped = 0;
        const std::vector<Disc> discs = Read(r.bytes, &skipped);
        EXPECT_EQ(discs.size(), r.discs) << r.what;
        EXPECT_EQ(skipped, r.skipped) << r.what;
        for (const Disc& d : discs) EXPECT_EQ(d.trackTitles.size(), d.offsets.size()) << r.what;
    }
}

TEST(CatalogueReaderTest, LongValuesAreBoundedWithoutCuttingACharacter) {
    gbxtest::XmcdDisc disc = gbxtest::EvenDisc("0000000b", "", 1, 60);
    std::string record = gbxtest::XmcdRecord(disc);
    const std::string line = "DTITLE=" + std::string(1000, 'x') + "\xC3\xA9" + std::string(999, 'y') + "\n";
    for (int i = 0; i < 100; ++i) record += line;
    const std::vector<Disc> discs = Read(record);
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_LE(discs[0].title.size(), 64u * 1024);
    EXPECT_GT(discs[0].title.size(), 60u * 1024);
    EXPECT_NE(static_cast<unsigned char>(discs[0].title.back()) & 0xC0, 0xC0);  // no lead byte left alone
}

TEST(CatalogueMatcherTest, TablesOfContentsAsLookupsGiveThem) {
    const struct {
        const char* text;
        bool ok;
        std::vector<uint32_t> offsets;
        uint32_t leadOut;
    } rows[] = {
        {"150 300 450", true, {150, 300}, 450},
        {"150 300 450 ", true, {150, 300}, 450},
        {"  150   300 ", true, {150}, 300},
        {"0 4294967295", true, {0}, 4294967295u},
        {"150", false, {}, 0},
        {"150 150", false, {}, 0},
        {"300 150", false, {}, 0},
        {"150 4294967296", false, {}, 0},
        {"150 3x0", false, {}, 0},
        {"150\t300", false, {}, 0},
        {"", false, {}, 0},
    };
    for (const auto& r : rows) {
        std::vector<uint32_t> offsets;
        uint32_t leadOut = 0;
        EXPECT_EQ(ParseToc(r.text, offsets, leadOut), r.ok) << r.text;
        if (r.ok) {
            EXPECT_EQ(offsets, r.offsets) << r.text;
            EXPECT_EQ(leadOut, r.leadOut) << r.text;
        }
    }
    std::string hundred, hundredAndOne;
    for (int i = 1; i <= 101; ++i) (i <= 100 ? hundred : hundredAndOne) += std::to_string(i) + " ";
    hundredAndOne = hundred + hundredAndOne;
    std::vector<uint32_t> offsets;
    uint32_t leadOut = 0;
    EXPECT_TRUE(ParseToc(hundred.c_str(), offsets, leadOut));
    EXPECT_FALSE(ParseToc(hundredAndOne.c_str(), offsets, leadOut));
    EXPECT_FALSE(ParseToc(nullptr, offsets, leadOut));
}

Catalogue Make(const std::vector<gbxtest::XmcdDisc>& discs) {
    Catalogue catalogue;
    ReadReport report;
    for (size_t i = 0; i < discs.size(); ++i)
        ReadXmcd(gbxtest::XmcdRecord(discs[i]), "disc" + std::to_string(i), catalogue.discs, report);
    catalogue.Index();
    return catalogue;
}

TEST(CatalogueMatcherTest, ExactMultipleFuzzyAndNoMatches) {
    gbxtest::XmcdDisc a = gbxtest::EvenDisc("000000a1", "A / One", 3, 200);  // offsets 150, 15150, 30150
    gbxtest::XmcdDisc b = a;
    b.discId = "000000b2";
    gbxtest::XmcdDisc near = a;  // the second track 40 frames later
    near.discId = "000000c3";
    near.offsets[1] += 40;
    gbxtest::XmcdDisc nearer = a;  // 10 frames later
    nearer.discId = "000000d4";
    nearer.offsets[1] += 10;
    const uint32_t leadOut = a.lengthSeconds * 75;
    const std::vector<uint32_t> toc = a.offsets;
    const struct {
        const char* what;
        std::vector<gbxtest::XmcdDisc> discs;
        std::vector<uint32_t> offsets;
        uint32_t leadOut;
        MatchKind kind;
        std::vector<uint32_t> matched;
    } rows[] = {
        {"one exact", {a, near}, toc, leadOut, MatchKind::kSingle, {0}},
        {"the lead-out within the second", {a}, toc, leadOut + 74, MatchKind::kSingle, {0}},
        {"two exact", {a, near, b}, toc, leadOut, MatchKind::kMultipleExact, {0, 2}},
        {"only near ones, nearest first", {near, nearer}, toc, leadOut, MatchKind::kFuzzy, {1, 0}},
        {"a lead-out a second off", {a}, toc, leadOut + 75, MatchKind::kFuzzy, {0}},
        {"a lead-out two seconds off", {a}, toc, leadOut + 150, MatchKind::kNone, {}},
        {"a track 76 frames off", {a}, {150, 15226, 30150}, leadOut, MatchKind::kNone, {}},
        {"another track count", {a}, {150, 15150}, leadOut, MatchKind::kNone, {}},
        {"an empty catalogue", {}, toc, leadOut, MatchKind::kNone, {}},
    };
    for (const auto& r : rows) {
        const Catalogue catalogue = Make(r.discs);
        const Matches matches = MatchToc(catalogue, r.offsets, r.leadOut);
        EXPECT_EQ(static_cast<int>(matches.kind), static_cast<int>(r.kind)) << r.what;
        EXPECT_EQ(matches.discs, r.matched) << r.what;
    }
}

TEST(CatalogueMatcherTest, AlbumsAreFoundByIdentifierAndTag) {
    gbxtest::XmcdDisc a = gbxtest::EvenDisc("0000ABCD", "A / One", 2, 60);
    const Catalogue catalogue = Make({a, a});  // the same disc id in two files
    const Disc* found = FindAlbum(catalogue, "0000abcd", "disc1");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, &catalogue.discs[1]);
    EXPECT_EQ(FindAlbum(catalogue, "0000ABCD", "disc0"), &catalogue.discs[0]);
    EXPECT_EQ(FindAlbum(catalogue, "0000abcd", "disc2"), nullptr);
    EXPECT_EQ(FindAlbum(catalogue, "0000abce", "disc0"), nullptr);
}

}  // namespace
