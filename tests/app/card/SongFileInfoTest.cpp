// A song record filled from the audio file that goes onto the card: durations of WAV and AIFF
// files made by sox, the tags of MP3 files made by lame and mid3v2, sizes, and the files whose
// information cannot be had (which leave the record as it was).
#include "app/card/Song.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using gbxtest::Quote;

class SongFileInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"sox", "lame", "mid3v2"})
            if (!gbxtest::HaveCommand(tool))
                GTEST_SKIP() << "sox, lame and mid3v2 (python3-mutagen) are installed by scripts/install-deps.sh";
    }
    std::string File(const std::string& name) const { return dir.File(name); }
    bool Sox(const std::string& path, const std::string& options, const std::string& length) const {
        return gbxtest::Run("sox -R -r 44100 -n " + options + " " + Quote(path) + " synth " + length
                            + " sine 440 vol 0.5 2>/dev/null")
                   .exitCode
               == 0;
    }
    // A record with something in every field, to see what a read changes.
    static CSongX Filled() {
        CSongX song;
        song.SetTitle("old title");
        song.SetArtist("old artist");
        song.SetAlbum("old album");
        song.SetDuration(77);
        song.SetFileType(kSongFileMp3);
        song.SetSizeKiB(5);
        song.SetNumber(9);
        return song;
    }
    static void ExpectUnchanged(const CSongX& song) {
        EXPECT_EQ(song.GetTitle(), "old title");
        EXPECT_EQ(song.GetArtist(), "old artist");
        EXPECT_EQ(song.GetAlbum(), "old album");
        EXPECT_EQ(song.GetDuration(), 77);
        EXPECT_EQ(song.GetFileType(), kSongFileMp3);
        EXPECT_EQ(song.GetSizeKiB(), 5);
        EXPECT_EQ(song.GetNumber(), 9);
    }

    gbxtest::TempDir dir;
};

TEST_F(SongFileInfoTest, WavAndAiffFilesGiveTheirDurationTypeAndSize) {
    ASSERT_TRUE(Sox(File("long.wav"), "-t wavpcm -r 44100 -c 1 -b 8 -e unsigned-integer", "1000000s"));
    ASSERT_TRUE(Sox(File("song.aif"), "-r 44100 -c 2 -b 16 -e signed-integer", "3.5"));
    struct Case {
        std::string path;
        int type;
        int duration;
    } cases[] = {{File("long.wav"), kSongFileWav, 22}, {File("song.aif"), kSongFileAiff, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CSongX song = Filled();
        ASSERT_TRUE(song.ReadFileInformation(c.path));
        EXPECT_EQ(song.GetFileType(), c.type);
        EXPECT_EQ(song.GetDuration(), c.duration);
        EXPECT_EQ(song.GetSizeKiB(), static_cast<int>(gbxtest::ReadBytes(c.path).size() / 1024));
        // Title, artist and album are emptied; the caller names the song.
        EXPECT_EQ(song.GetTitle(), "");
        EXPECT_EQ(song.GetArtist(), "");
        EXPECT_EQ(song.GetAlbum(), "");
        EXPECT_EQ(song.GetNumber(), 9);
    }
}

TEST_F(SongFileInfoTest, FilesWithoutUsableInformationLeaveTheRecordAsItWas) {
    ASSERT_TRUE(Sox(File("float.wav"), "-t wavpcm -r 44100 -c 2 -b 32 -e floating-point", "1"));
    ASSERT_TRUE(Sox(File("plain.wav"), "-t wavpcm -r 44100 -c 2 -b 16 -e signed-integer", "1"));
    ASSERT_TRUE(Sox(File("plain.aiff"), "-r 44100 -c 2 -b 16 -e signed-integer", "1"));

    // The same files with sample rates that give no duration.
    std::vector<std::string> bad = {File("float.wav"), File("missing.wav"), File("text.mp3"), File("song.ogg"),
                                    File("")};
    gbxtest::WriteText(File("text.mp3"), "not an mp3 file");
    gbxtest::WriteText(File("song.ogg"), "x");
    const std::vector<uint8_t> wav = gbxtest::ReadBytes(File("plain.wav"));
    ASSERT_EQ(std::memcmp(wav.data() + 12, "fmt ", 4), 0);
    std::vector<uint8_t> noRate = wav;
    std::fill(noRate.begin() + 24, noRate.begin() + 28, 0);
    gbxtest::WriteBytes(File("norate.wav"), noRate);
    bad.push_back(File("norate.wav"));

    const std::vector<uint8_t> aiff = gbxtest::ReadBytes(File("plain.aiff"));
    size_t comm = 12;
    while (comm + 4 < aiff.size() && std::memcmp(aiff.data() + comm, "COMM", 4) != 0) ++comm;
    ASSERT_LT(comm + 26, aiff.size());
    const std::vector<std::vector<uint8_t>> rates = {
        {0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0},     // NaN
        {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0},     // infinity
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},              // 0
        {0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0},  // -44100
    };
    for (size_t i = 0; i < rates.size(); ++i) {
        std::vector<uint8_t> patched = aiff;
        std::copy(rates[i].begin(), rates[i].end(), patched.begin() + static_cast<long>(comm + 16));
        const std::string path = File("rate" + std::to_string(i) + ".aiff");
        gbxtest::WriteBytes(path, patched);
        bad.push_back(path);
    }
    for (const std::string& path : bad) {
        SCOPED_TRACE(path);
        CSongX song = Filled();
        EXPECT_FALSE(song.ReadFileInformation(path));
        ExpectUnchanged(song);
    }
    // The unpatched AIFF file reads.
    CSongX song;
    EXPECT_TRUE(song.ReadFileInformation(File("plain.aiff")));
}

TEST_F(SongFileInfoTest, Mp3FilesGiveTheirTagsAndTrackNumber) {
    ASSERT_TRUE(Sox(File("tone.wav"), "-r 44100 -c 2 -b 16 -e signed-integer", "3"));
    ASSERT_EQ(gbxtest::Run("lame --quiet -b 128 --id3v2-only --tt 'Tïtle' --ta Artist --tl Album --tn 08/12 "
                           + Quote(File("tone.wav")) + " " + Quote(File("tagged.mp3")))
                  .exitCode,
              0);
    CSongX song = Filled();
    ASSERT_TRUE(song.ReadFileInformation(File("tagged.mp3")));
    EXPECT_EQ(song.GetTitle(), "Tïtle");
    EXPECT_EQ(song.GetArtist(), "Artist");
    EXPECT_EQ(song.GetAlbum(), "Album");
    EXPECT_EQ(song.GetNumber(), 8);
    EXPECT_EQ(song.GetFileType(), kSongFileMp3);
    EXPECT_EQ(song.GetDuration(), 3);

    struct Case {
        const char* track;  // empty: no track text
        int number;
    } cases[] = {{"abc", 0}, {" -3/9", -3}, {"", 9}, {"99999999999", 2147483647}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.track);
        const std::string path = File("track.mp3");
        ASSERT_EQ(gbxtest::Run("lame --quiet -b 128 " + Quote(File("tone.wav")) + " " + Quote(path)).exitCode, 0);
        if (*c.track != '\0') {
            ASSERT_EQ(gbxtest::Run("mid3v2 --TRCK " + Quote(c.track) + " " + Quote(path)).exitCode, 0);
        }
        CSongX other = Filled();
        ASSERT_TRUE(other.ReadFileInformation(path));
        EXPECT_EQ(other.GetNumber(), c.number);
        EXPECT_EQ(other.GetTitle(), "");
    }
}

TEST_F(SongFileInfoTest, AVoxaFileKeepsTheDurationAndSizesCountWholeKibibytes) {
    struct Case {
        size_t bytes;
        int kib;
    } cases[] = {{1023, 0}, {1024, 1}, {2048, 2}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        gbxtest::WriteBytes(File("song.q3r"), std::vector<uint8_t>(c.bytes, 7));
        CSongX song = Filled();
        ASSERT_TRUE(song.ReadFileInformation(File("song.q3r")));
        EXPECT_EQ(song.GetFileType(), kSongFileVoxa);
        EXPECT_EQ(song.GetDuration(), 77);
        EXPECT_EQ(song.GetSizeKiB(), c.kib);
        EXPECT_EQ(song.GetTitle(), "");
        EXPECT_EQ(song.GetNumber(), 9);
    }
}

}  // namespace
