#include "general_tools/Mp3FileInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "tests/support/HeapPeak.h"
#include "tests/support/TestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;
using GT::CMp3FileInfo;
using GT::SyncsafeToInteger;

// ---- synthetic streams --------------------------------------------------------

// MPEG-1 Layer III, 44.1 kHz; joint stereo unless mono.
Bytes FrameHeader(int bitRateIndex, bool mono = false, bool padding = false) {
    return {0xFF, 0xFB, static_cast<uint8_t>((bitRateIndex << 4) | (padding ? 2 : 0)),
            static_cast<uint8_t>(mono ? 0xC4 : 0x64)};
}

Bytes Frame(int bitRateIndex) {
    Bytes f = FrameHeader(bitRateIndex);
    f.resize(static_cast<size_t>(GT::GetMpegFrameLength(f.data())), 0x11);
    return f;
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

Bytes Syncsafe(uint32_t v) {
    return {static_cast<uint8_t>((v >> 21) & 0x7F), static_cast<uint8_t>((v >> 14) & 0x7F),
            static_cast<uint8_t>((v >> 7) & 0x7F), static_cast<uint8_t>(v & 0x7F)};
}

Bytes Be32(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
            static_cast<uint8_t>(v)};
}

// One ID3v2 frame; 2.2 has 3-character ids and 3-byte sizes.
Bytes Id3Frame(int major, const std::string& id, const Bytes& body, uint8_t flags2 = 0) {
    Bytes f(id.begin(), id.end());
    if (major == 2) {
        const auto n = static_cast<uint32_t>(body.size());
        Append(f, {static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    } else {
        Append(f, major == 3 ? Be32(static_cast<uint32_t>(body.size())) : Syncsafe(static_cast<uint32_t>(body.size())));
        Append(f, {0, flags2});
    }
    Append(f, body);
    return f;
}

Bytes Text(uint8_t encoding, const std::string& text) {
    Bytes b{encoding};
    b.insert(b.end(), text.begin(), text.end());
    return b;
}

Bytes Id3Header(const char* magic, int major, uint8_t flags, uint32_t size) {
    Bytes h(magic, magic + 3);
    Append(h, {static_cast<uint8_t>(major), 0, flags});
    Append(h, Syncsafe(size));
    return h;
}

Bytes Tag(int major, const Bytes& frames, uint8_t flags = 0) {
    Bytes t = Id3Header("ID3", major, flags, static_cast<uint32_t>(frames.size()));
    Append(t, frames);
    return t;
}

Bytes Id3v1(const std::string& title, const std::string& artist, const std::string& album) {
    Bytes t = {'T', 'A', 'G'};
    for (const std::string* s : {&title, &artist, &album}) {
        Bytes field(s->begin(), s->end());
        field.resize(30, 0);
        Append(t, field);
    }
    t.resize(128, 0);
    return t;
}

Bytes CbrAudio(size_t bytes, int bitRateIndex = 9) {
    Bytes audio;
    const Bytes f = Frame(bitRateIndex);
    while (audio.size() < bytes) Append(audio, f);
    audio.resize(bytes);
    return audio;
}

bool ReadFrom(CMp3FileInfo& info, const Bytes& bytes) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    return info.Read(in);
}

std::string Field(const CMp3FileInfo& info, int field) {
    return CMp3FileInfo::DecodeText(info.texts[field], info.encodings[field]);
}

// Whole seconds that bytes take at a bit rate.
uint32_t Seconds(size_t bytes, int32_t bitRate) { return static_cast<uint32_t>(bytes * 8 / uint64_t(bitRate)); }

// ---- frame arithmetic -----------------------------------------------------------

TEST(Mp3FileInfo, BitRatesAndFrameLengths) {
    EXPECT_EQ(GT::GetMpegBitRate(true, 1, 9), 128000);
    EXPECT_EQ(GT::GetMpegBitRate(false, 1, 8), 64000);
    EXPECT_EQ(GT::GetMpegBitRate(true, 3, 14), 448000);
    EXPECT_EQ(GT::GetMpegBitRate(true, 2, 0), 0);
    EXPECT_EQ(GT::GetMpegBitRate(true, 0, 9), -1);
    EXPECT_EQ(GT::GetMpegBitRate(true, 1, 15), -1);
    EXPECT_EQ(GT::GetMpegFrameLength(FrameHeader(9).data()), 417);
    EXPECT_EQ(GT::GetMpegFrameLength(FrameHeader(9, false, true).data()), 418);
    EXPECT_EQ(GT::GetMpegFrameLength(FrameHeader(0).data()), 0);  // free format: the padding bit alone
    // MPEG-2 Layer III holds 576 samples a frame, Layer I counts 4-byte slots.
    const uint8_t mpeg2[] = {0xFF, 0xF3, 0x80, 0xC4};  // 64 kbit/s, 22.05 kHz
    EXPECT_EQ(GT::GetMpegFrameLength(mpeg2), 208);
    const uint8_t layer1[] = {0xFF, 0xFF, 0x90, 0xC4};  // 288 kbit/s, 44.1 kHz
    EXPECT_EQ(GT::GetMpegFrameLength(layer1), 312);
    EXPECT_EQ(GT::SyncsafeToInteger({0x00, 0x00, 0x02, 0x01}), 257u);
    EXPECT_EQ(GT::SyncsafeToInteger({}), 0u);
    const uint8_t mpeg25[] = {0xFF, 0xE3, 0x90, 0x64};
    EXPECT_FALSE(CMp3FileInfo::IsValidFrameHeader(mpeg25));
}

// ---- tags ------------------------------------------------------------------------

TEST(Mp3FileInfo, ReadsTags) {
    const Bytes utf16Title = {1, 0xFF, 0xFE, 'S', 0, 'o', 0, 'n', 0, 'g', 0, 0x42, 0x30, 0, 0};
    Bytes v24Footer = Id3Frame(4, "TIT2", Text(3, "Footer Song"));
    Bytes footerOnly = CbrAudio(20000);
    Append(footerOnly, v24Footer);
    Append(footerOnly, Id3Header("3DI", 4, 0x10, static_cast<uint32_t>(v24Footer.size())));

    Bytes extended = Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0};  // 2.3 extended header: size 6 after its own 4 bytes
    Append(extended, Id3Frame(3, "TALB", Text(0, "Ext Album")));

    Bytes grouped = {'x'};  // the grouping byte that flag 0x40 puts before the frame's data
    Append(grouped, Text(0, "Flagged"));
    Bytes flagged = Id3Frame(4, "TPE1", grouped, 0x40);
    struct Case {
        const char* name;
        Bytes file;
        uint16_t version;
        int field;
        std::string text;
        int encoding;
    };
    const Case cases[] = {
        {"2.2", Tag(2, Id3Frame(2, "TT2", Text(0, "Old Title"))), 0x0200, CMp3FileInfo::kTitle, "Old Title", 1},
        {"2.3 UTF-16 with BOM", Tag(3, Id3Frame(3, "TIT2", utf16Title)), 0x0300, CMp3FileInfo::kTitle,
         "Song\xE3\x81\x82", 2},
        {"2.3 track", Tag(3, Id3Frame(3, "TRCK", Text(0, "3/12"))), 0x0300, CMp3FileInfo::kTrack, "3/12", 1},
        {"2.4 UTF-8", Tag(4, Id3Frame(4, "TPE1", Text(3, "Art\xC3\xA9"))), 0x0400, CMp3FileInfo::kArtist, "Art\xC3\xA9",
         4},
        {"2.4 UTF-16BE", Tag(4, Id3Frame(4, "TALB", {2, 0x30, 0x42, 0, 'A'})), 0x0400, CMp3FileInfo::kAlbum,
         "\xE3\x81\x82"
         "A",
         3},
        {"comment", Tag(3, Id3Frame(3, "COMM", Text(0, "engxNice"))), 0x0300, CMp3FileInfo::kComment, "Nice", 1},
        {"extended header", Tag(3, extended, 0x40), 0x0300, CMp3FileInfo::kAlbum, "Ext Album", 1},
        {"frame flag byte", Tag(4, flagged), 0x0400, CMp3FileInfo::kArtist, "Flagged", 1},
        {"footer only", footerOnly, 0x0400, CMp3FileInfo::kTitle, "Footer Song", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = c.file;
        if (c.file.size() < 1000) Append(file, CbrAudio(30000));
        CMp3FileInfo info;
        EXPECT_TRUE(ReadFrom(info, file));
        EXPECT_EQ(info.id3v2Version, c.version);
        EXPECT_EQ(info.encodings[c.field], c.encoding);
        EXPECT_EQ(Field(info, c.field), c.text);
        EXPECT_EQ(info.sampleRate, 44100);
    }
}

TEST(Mp3FileInfo, GettersGiveEachFieldsRawText) {
    Bytes frames = Id3Frame(3, "TIT2", Text(0, "T"));
    Append(frames, Id3Frame(3, "TPE1", Text(0, "Ar")));
    Append(frames, Id3Frame(3, "TALB", Text(0, "Alb")));
    Append(frames, Id3Frame(3, "TRCK", Text(0, "3/12")));
    Append(frames, Id3Frame(3, "COMM", Text(0, "engxNote")));
    Bytes file = Tag(3, frames);
    Append(file, CbrAudio(30000));
    CMp3FileInfo info;
    ASSERT_TRUE(ReadFrom(info, file));
    EXPECT_EQ(info.GetTitle(), Bytes({'T', 0}));
    EXPECT_EQ(info.GetArtist(), Bytes({'A', 'r', 0}));
    EXPECT_EQ(info.GetAlbum(), Bytes({'A', 'l', 'b', 0}));
    EXPECT_EQ(info.GetTrack(), Bytes({'3', '/', '1', '2', 0}));
    // A copy: changing it leaves the record alone.
    Bytes title = info.GetTitle();
    title[0] = 'X';
    EXPECT_EQ(info.GetTitle(), Bytes({'T', 0}));
    EXPECT_TRUE(CMp3FileInfo().GetTrack().empty());
}

TEST(Mp3FileInfo, Id3v1OnlyWhenThereIsNoId3v2) {
    Bytes v1 = CbrAudio(30000);
    Append(v1, Id3v1("  Title ", "Artist", "Album\t"));
    CMp3FileInfo info;
    ASSERT_TRUE(ReadFrom(info, v1));
    EXPECT_EQ(info.id3v2Version, 0);
    EXPECT_EQ(Field(info, CMp3FileInfo::kTitle), "Title ");  // blanks before the zero padding stay
    EXPECT_EQ(Field(info, CMp3FileInfo::kArtist), "Artist");
    EXPECT_EQ(Field(info, CMp3FileInfo::kAlbum), "Album\t");
    EXPECT_EQ(info.encodings[CMp3FileInfo::kTitle], 0);

    // A 30-character field has no zero byte: its text stops at the field's end.
    Bytes full = CbrAudio(30000);
    Append(full, Id3v1(std::string(30, 'X'), "A", "B"));
    ASSERT_TRUE(ReadFrom(info, full));
    EXPECT_EQ(Field(info, CMp3FileInfo::kTitle), std::string(30, 'X'));

    Bytes both = Tag(3, Id3Frame(3, "TIT2", Text(0, "From v2")));
    Append(both, CbrAudio(30000));
    Append(both, Id3v1("From v1", "v1 artist", ""));
    ASSERT_TRUE(ReadFrom(info, both));
    EXPECT_EQ(Field(info, CMp3FileInfo::kTitle), "From v2");
    EXPECT_TRUE(info.texts[CMp3FileInfo::kArtist].empty());
}

TEST(Mp3FileInfo, HostileTagsFailCleanly) {
    const Bytes audio = CbrAudio(30000);
    auto withAudio = [&audio](Bytes tag) {
        Append(tag, audio);
        return tag;
    };
    Bytes flagsLargerThanFrame = Tag(4, Id3Frame(4, "TIT2", Bytes{0}, 0x44));
    Bytes pastTheEnd = Id3Header("ID3", 3, 0, 0x0FFFFFFF);
    Append(pastTheEnd, Id3Frame(3, "TIT2", Text(0, "x")));
    Bytes zeroFrame = Tag(3, Bytes(20, 0));
    Bytes hugeFrame = Tag(3, Id3Frame(3, "TIT2", Text(0, "abc")));
    hugeFrame[14] = 0x7F;  // the frame claims far more than the tag holds
    Bytes extendedPastTag = Tag(4, Bytes{0x7F, 0x7F, 0x7F, 0x7F, 0, 0}, 0x40);
    Bytes footerLargerThanFile = Id3Header("3DI", 4, 0x10, 0x0FFFFFFF);
    const struct {
        const char* name;
        Bytes file;
        bool result;
    } cases[] = {
        {"flag bytes beyond a one-byte frame", withAudio(flagsLargerThanFrame), true},
        {"tag larger than the file", pastTheEnd, false},
        {"zero-size frame", withAudio(zeroFrame), true},
        {"frame larger than its tag", withAudio(hugeFrame), true},
        {"extended header past the tag", withAudio(extendedPastTag), true},
        {"footer tag larger than the file", footerLargerThanFile, false},
        {"RIFF", withAudio({'R', 'I', 'F', 'F'}), false},
        {"empty", {}, false},
        {"three bytes", {'I', 'D', '3'}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMp3FileInfo info;
        EXPECT_EQ(ReadFrom(info, c.file), c.result);
    }
}

// A tag may state a frame of up to 256 MB: a small file that claims one is refused without
// allocating it, read from memory or from its file.
TEST(Mp3FileInfo, FrameSizesBeyondTheFileAllocateNothing) {
    gbxtest::TempDir dir;
    for (int major : {2, 3, 4}) {
        SCOPED_TRACE(major);
        Bytes file = Id3Header("ID3", major, 0, 0x0FFFFFFF);
        Bytes frame = Id3Frame(major, major == 2 ? "TT2" : "TIT2", Text(0, "title"));
        // The frame claims all of the tag but its own header.
        const uint32_t claimed = major == 2 ? 0xFFFFFF : 0x0FFFFFFF - 10;
        const Bytes size = major == 4 ? Syncsafe(claimed) : Be32(claimed);
        if (major == 2)
            std::copy(size.begin() + 1, size.end(), frame.begin() + 3);
        else
            std::copy(size.begin(), size.end(), frame.begin() + 4);
        Append(file, frame);
        Append(file, CbrAudio(1800));
        const std::string path = dir.File("claims.mp3");
        gbxtest::WriteBytes(path, file);
        for (bool fromFile : {false, true}) {
            SCOPED_TRACE(fromFile ? "file" : "memory");
            CMp3FileInfo info;
            bool read = true;
            const size_t peak = gbxtest::HeapPeakOf([&] { read = fromFile ? info.Read(path) : ReadFrom(info, file); });
            EXPECT_FALSE(read);  // the tag runs past the end: no audio after it
            EXPECT_TRUE(info.texts[CMp3FileInfo::kTitle].empty());
            if (gbxtest::HeapPeakAvailable()) {
                EXPECT_LT(peak, 16 * 1024 + 8 * file.size());
            }
        }
    }
}

TEST(Mp3FileInfo, MutatedFilesNeverFaultAndStayWithinTheFile) {
    Bytes seed = Tag(3, Id3Frame(3, "TIT2", Text(1, "seed")));
    Append(seed, Id3Frame(3, "COMM", Text(0, "engxcomment")));
    seed = Tag(3, Bytes(seed.begin() + 10, seed.end()));
    Append(seed, CbrAudio(6000));
    Append(seed, Id3v1("t", "a", "b"));
    const std::set<int32_t> sampleRates = {44100, 48000, 32000, 22050, 24000, 16000};
    std::mt19937 rng(1234);
    int reads = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes file = seed;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) file[rng() % file.size()] = static_cast<uint8_t>(rng());
        if (round % 5 == 0) file.resize(rng() % file.size());
        SCOPED_TRACE(round);
        CMp3FileInfo info;
        const bool read = ReadFrom(info, file);
        for (int f = 0; f < CMp3FileInfo::kTextFieldCount; ++f) {
            EXPECT_LE(info.texts[f].size(), file.size() + 2);  // at most a two-byte terminator added
            CMp3FileInfo::DecodeText(info.texts[f], info.encodings[f]);
        }
        if (!read) continue;
        ++reads;
        // No VBR header in the seed: the figures come from frames that lie in the file.
        EXPECT_EQ(sampleRates.count(info.sampleRate), 1u) << info.sampleRate;
        EXPECT_EQ(info.frameCount, 0u);
        EXPECT_GT(info.bitRate, 0);
        EXPECT_LE(info.bitRate, 448000);
        EXPECT_LE(info.duration, Seconds(file.size(), info.bitRate));
    }
    EXPECT_GT(reads, 100);  // most mutants keep a run of frames
}

// ---- audio analysis ---------------------------------------------------------------

TEST(Mp3FileInfo, ConstantBitRateStream) {
    CMp3FileInfo info;
    ASSERT_TRUE(ReadFrom(info, CbrAudio(4000000)));
    EXPECT_EQ(info.bitRate, 128000);
    EXPECT_EQ(info.duration, 250u);
    EXPECT_EQ(info.frameCount, 0u);
}

TEST(Mp3FileInfo, XingFrameCount) {
    Bytes first = Frame(9);
    const Bytes xing = {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0x00, 0x00, 0x27, 0x10};
    std::copy(xing.begin(), xing.end(), first.begin() + 36);
    Append(first, CbrAudio(20000));
    CMp3FileInfo info;
    ASSERT_TRUE(ReadFrom(info, first));
    EXPECT_EQ(info.frameCount, 10000u);
    EXPECT_EQ(info.duration, 261u);
    EXPECT_EQ(info.bitRate, 0);
}

TEST(Mp3FileInfo, AlternatingBitRatesGiveTheirMean) {
    Bytes audio;
    for (int i = 0; i < 400; ++i) Append(audio, Frame(i % 2 ? 11 : 9));  // 192 and 128 kbit/s
    CMp3FileInfo info;
    ASSERT_TRUE(ReadFrom(info, audio));
    EXPECT_EQ(info.bitRate, 160000);
}

TEST(Mp3FileInfo, FirstFrameTooFarAfterTheStart) {
    Bytes late(5000, 0);
    Append(late, CbrAudio(20000));
    CMp3FileInfo info;
    EXPECT_FALSE(ReadFrom(info, late));
    Bytes near(4000, 0);
    Append(near, CbrAudio(20000));
    EXPECT_TRUE(ReadFrom(info, near));
}

// A stray sync (a valid header in junk or other data) is not a frame: a frame counts only when
// the header at its computed end belongs to the same stream, or the audio data ends there.
TEST(Mp3FileInfo, OnlyARunOfFramesCounts) {
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& p : parts) Append(all, p);
        return all;
    };
    auto repeat = [](const Bytes& frame, int times) {
        Bytes all;
        for (int i = 0; i < times; ++i) Append(all, frame);
        return all;
    };
    const Bytes mpeg2Stray = {0xFF, 0xF3, 0x80, 0xC4};  // MPEG-2 Layer III, 22.05 kHz
    const Bytes junk(300, 0x5A);
    Bytes at48k = Frame(9);
    at48k[2] |= 0x04;  // sample-rate index 1
    at48k.resize(static_cast<size_t>(GT::GetMpegFrameLength(at48k.data())), 0x11);
    Bytes freeFormat = FrameHeader(0);
    freeFormat.resize(500, 0x11);
    Bytes cut = Frame(9);
    cut.resize(400);
    const struct {
        const char* name;
        Bytes file;
        bool result;
        int32_t sampleRate;
        int32_t bitRate;
    } cases[] = {
        {"stray sync in junk before the frames", join({junk, mpeg2Stray, junk, CbrAudio(30000)}), true, 44100, 128000},
        {"a frame whose follower is of another stream", join({Frame(9), repeat(at48k, 60)}), true, 48000, 128000},
        {"lone header", join({junk, FrameHeader(9), Bytes(1000, 0)}), false, 0, 0},
        {"one whole frame", Frame(9), true, 44100, 128000},
        {"one whole frame before an ID3v1 tag", join({Frame(9), Id3v1("t", "a", "b")}), true, 44100, 128000},
        {"one frame cut short", cut, false, 0, 0},
        // Free format: 500-byte frames at 44.1 kHz are 153.125 kbit/s.
        {"free-format frames", repeat(freeFormat, 10), true, 44100, 153000},
        {"lone free-format header", join({FrameHeader(0), Bytes(4000, 0)}), false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMp3FileInfo info;
        ASSERT_EQ(ReadFrom(info, c.file), c.result);
        if (!c.result) continue;
        EXPECT_EQ(info.sampleRate, c.sampleRate);
        EXPECT_EQ(info.bitRate, c.bitRate);
    }
}

// ---- real encoders and an independent reader ---------------------------------------

struct ProbeResult {
    int sampleRate = 0;
    double duration = 0;
    long bitRate = 0;
};

ProbeResult Probe(const std::string& path) {
    ProbeResult r;
    auto out = gbxtest::Run(
        "ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,bit_rate "
        "-show_entries format=duration -of default=nw=1 "
        + gbxtest::Quote(path));
    std::istringstream lines(out.output);
    std::string line;
    while (std::getline(lines, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (value == "N/A") continue;
        if (key == "sample_rate") r.sampleRate = std::stoi(value);
        if (key == "duration") r.duration = std::stod(value);
        if (key == "bit_rate") r.bitRate = std::stol(value);
    }
    return r;
}

// The ID3v2 texts as mutagen reads them ("mid3v2 -l": one "ID=text" line per frame).
std::map<std::string, std::string> MutagenTexts(const std::string& path) {
    std::map<std::string, std::string> texts;
    std::istringstream lines(gbxtest::Run("mid3v2 -l " + gbxtest::Quote(path)).output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == 4) texts[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return texts;
}

bool HaveMp3Tools() {
    for (const char* tool : {"sox", "lame", "ffprobe", "id3v2", "mid3v2"})
        if (!gbxtest::HaveCommand(tool)) return false;
    return true;
}

const char kMp3Tools[] =
    "sox, lame, ffprobe, id3v2 and mid3v2 (python3-mutagen) are installed by scripts/install-deps.sh";

bool Encode(const std::string& wav, const std::string& lameOptions, const std::string& mp3) {
    return gbxtest::Run("lame --quiet " + lameOptions + " " + gbxtest::Quote(wav) + " " + gbxtest::Quote(mp3)).exitCode
           == 0;
}

TEST(Mp3FileInfo, AgreesWithFfprobeAndMutagenOnEncodedFiles) {
    if (!HaveMp3Tools()) GTEST_SKIP() << kMp3Tools;
    gbxtest::TempDir dir;
    const std::string wav = dir.File("music.wav");
    ASSERT_EQ(gbxtest::Run("sox -n -r 44100 -c 2 -b 16 " + gbxtest::Quote(wav)
                           + " synth 12 sine 220-880 pinknoise vol 0.5 2>&1")
                  .exitCode,
              0);
    const struct {
        const char* name;
        const char* lame;
        const char* tagger;  // run on the file afterwards, or ""
        int sampleRate;
        bool vbr;
        uint16_t id3v2Version;
    } cases[] = {
        {"cbr", "-b 128 --cbr", "", 44100, false, 0},
        {"vbr", "-V 4", "id3v2 -2 -t 'VBR Title' -a 'Some Artist' -T 3/12", 44100, true, 0x0300},
        {"mpeg2", "--resample 22.05 -b 64",
         "mid3v2 -t 'Halbe Stra\xc3\x9f"
         "e' -A 'An Album' -T 7",
         22050, false, 0x0400},
        {"notag", "-t -b 192", "", 44100, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string mp3 = dir.File(std::string(c.name) + ".mp3");
        ASSERT_TRUE(Encode(wav, c.lame, mp3));
        if (*c.tagger) {
            ASSERT_EQ(gbxtest::Run(std::string(c.tagger) + " " + gbxtest::Quote(mp3) + " >/dev/null").exitCode, 0);
        }
        const ProbeResult probe = Probe(mp3);
        CMp3FileInfo info;
        ASSERT_TRUE(info.Read(mp3));
        EXPECT_EQ(info.sampleRate, c.sampleRate);
        EXPECT_EQ(info.sampleRate, probe.sampleRate);
        EXPECT_NEAR(info.duration, probe.duration, 1.0);
        if (c.vbr) {
            EXPECT_GT(info.frameCount, 0u);
        } else {
            EXPECT_EQ(info.bitRate, probe.bitRate);
        }
        EXPECT_EQ(info.id3v2Version, c.id3v2Version);
        // Every text frame we read says what mutagen reads.
        const auto texts = MutagenTexts(mp3);
        if (c.id3v2Version != 0) {
            EXPECT_FALSE(texts.empty());
        }
        const std::pair<const char*, int> fields[] = {{"TIT2", CMp3FileInfo::kTitle},
                                                      {"TPE1", CMp3FileInfo::kArtist},
                                                      {"TALB", CMp3FileInfo::kAlbum},
                                                      {"TRCK", CMp3FileInfo::kTrack}};
        for (const auto& [id, field] : fields) {
            const auto it = texts.find(id);
            EXPECT_EQ(Field(info, field), it == texts.end() ? "" : it->second) << id;
        }
    }
}

// Junk between the ID3v2 tag and the first frame, holding a stray sync of another stream
// (MPEG-2, 22.05 kHz), as damaged or badly joined files have.
Bytes WithJunkAfterTheTag(const Bytes& file) {
    const size_t audioStart = SyncsafeToInteger({file.begin() + 6, file.begin() + 10}) + 10;
    std::mt19937 rng(7);
    Bytes junk;
    for (int i = 0; i < 37; ++i) junk.push_back(static_cast<uint8_t>(rng()));
    Append(junk, {0xFF, 0xF3, 0x80, 0xC4});
    for (int i = 0; i < 300; ++i) junk.push_back(static_cast<uint8_t>(rng()));
    Bytes damaged(file.begin(), file.begin() + static_cast<ptrdiff_t>(audioStart));
    Append(damaged, junk);
    damaged.insert(damaged.end(), file.begin() + static_cast<ptrdiff_t>(audioStart), file.end());
    return damaged;
}

TEST(Mp3FileInfo, FalseSyncsInEncodedFilesAreNotFrames) {
    if (!HaveMp3Tools()) GTEST_SKIP() << kMp3Tools;
    gbxtest::TempDir dir;
    const std::string wav = dir.File("music.wav"), wav8k = dir.File("speech.wav");
    ASSERT_EQ(
        gbxtest::Run("sox -R -n -r 44100 -c 2 -b 16 " + gbxtest::Quote(wav) + " synth 30 sine 220-880 pinknoise vol 0.5"
                     + " && sox -R -n -r 8000 -c 1 -b 16 " + gbxtest::Quote(wav8k) + " synth 3 pinknoise vol 0.3")
            .exitCode,
        0);

    // 8 kHz is MPEG-2.5, whose 11-bit sync is not read: only false syncs in its data look like
    // headers, and they do not form a run of frames.
    const std::string mpeg25 = dir.File("mpeg25.mp3");
    ASSERT_TRUE(Encode(wav8k, "-b 8", mpeg25));
    ASSERT_EQ(Probe(mpeg25).sampleRate, 8000);
    CMp3FileInfo info;
    EXPECT_FALSE(info.Read(mpeg25));

    // Junk and a stray sync after the tag: the same answers as the file without them. For the
    // constant bit rate that is also ffprobe's answer; ffprobe itself misses the VBR header of
    // the damaged VBR file, so there the undamaged file is the reference.
    for (const char* lame : {"-b 128 --cbr", "-V 4"}) {
        SCOPED_TRACE(lame);
        const std::string clean = dir.File("clean.mp3"), damaged = dir.File("damaged.mp3");
        ASSERT_TRUE(Encode(wav, std::string(lame) + " --tt Junk", clean));
        gbxtest::WriteBytes(damaged, WithJunkAfterTheTag(gbxtest::ReadBytes(clean)));
        const ProbeResult probe = Probe(clean);
        CMp3FileInfo expected, got;
        ASSERT_TRUE(expected.Read(clean));
        ASSERT_TRUE(got.Read(damaged));
        EXPECT_EQ(got.sampleRate, probe.sampleRate);
        EXPECT_NEAR(got.duration, probe.duration, 1.0);
        EXPECT_EQ(got.sampleRate, expected.sampleRate);
        EXPECT_EQ(got.bitRate, expected.bitRate);
        EXPECT_EQ(got.frameCount, expected.frameCount);
        EXPECT_EQ(got.duration, expected.duration);
        if (expected.frameCount == 0) {
            const ProbeResult damagedProbe = Probe(damaged);
            EXPECT_EQ(got.bitRate, damagedProbe.bitRate);
            EXPECT_NEAR(got.duration, damagedProbe.duration, 1.0);
        }
    }
}

}  // namespace
