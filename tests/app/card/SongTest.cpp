#include "app/card/Song.h"

#include "tests/app/card/CardTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(SongText, TruncatesToCharactersNotBytes) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string threeByte = "\xE3\x81\x82";
    struct Case {
        const char* name;
        std::string text;
        int n;
        std::string expected;
    } cases[] = {
        {"300 ASCII characters", std::string(300, 'a'), 255, std::string(255, 'a')},
        {"300 three-byte characters",
         [&] {
             std::string s;
             for (int i = 0; i < 300; ++i) s += threeByte;
             return s;
         }(),
         255,
         [&] {
             std::string s;
             for (int i = 0; i < 255; ++i) s += threeByte;
             return s;
         }()},
        {"byte-order mark kept, not counted", bom + std::string(300, 'b'), 255, bom + std::string(255, 'b')},
        {"zero byte ends the text", std::string("ab\0cd", 5), 255, "ab"},
        {"zero byte first", std::string("\0ab", 3), 255, ""},
        {"0xFC lead byte counts six bytes", "\xFC" + std::string(8, 'x'), 2,
         "\xFC"
         "xxxxxx"},
        {"stray continuation byte counts one", "\x80\x80z", 2, "\x80\x80"},
        {"last character cut at the text's end", "a\xE3\x81", 255, "a\xE3\x81"},
        {"exactly n characters", std::string(255, 'c'), 255, std::string(255, 'c')},
        {"two-byte lead", "\xC3\xA9\xC3\xA9", 1, "\xC3\xA9"},
    };
    for (const Case& c : cases) EXPECT_EQ(CSongX::TruncateUtf8(c.text, c.n), c.expected) << c.name;
    EXPECT_EQ(CSongX::StripByteOrderMark(bom + "title"), "title");
    EXPECT_EQ(CSongX::StripByteOrderMark(std::string("ti\0tle", 6)), "ti");
}

TEST(SongText, SettersCutAt255Characters) {
    CSongX song;
    song.SetTitle(std::string(300, 't'));
    song.SetArtist(std::string(256, 'a'));
    song.SetAlbum("\xEF\xBB\xBF" + std::string(260, 'b'));
    EXPECT_EQ(song.GetTitle().size(), 255u);
    EXPECT_EQ(song.GetArtist().size(), 255u);
    EXPECT_EQ(song.GetAlbum().size(), 258u);
}

TEST(SongText, CutToBytesEndsOnAWholeCharacter) {
    std::string threes;
    for (int i = 0; i < 100; ++i) threes += "\xE3\x81\x82";  // 300 bytes
    EXPECT_EQ(CSongX::CutToBytes(threes, 256).size(), 255u);
    EXPECT_EQ(CSongX::CutToBytes(std::string(300, 'x'), 256).size(), 256u);
    EXPECT_EQ(CSongX::CutToBytes("short", 256), "short");
    EXPECT_EQ(CSongX::CutToBytes(std::string(255, 'x') + "\xC3\xA9", 256).size(), 255u);
}

TEST(SongFileType, ByUpperCasedExtension) {
    cardtest::CCardEnvironment environment;
    const std::pair<const char*, int> cases[] = {
        {"song.aiff", 2},        {"SONG.AIF", 2},  {"x.Aif", 2}, {"a.wav", 1},
        {"/x/y/B.WAV", 1},       {"c.mp3", 3},     {"d.Mp3", 3}, {"e.q3r", 4},
        {"/DB/000/0001.Q3R", 4}, {"song.wave", 5}, {"song", 5},  {"", 5},
        {"dir.wav/file", 5},     {"a.q3d", 5},     {".wav", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSongFileType(c.first), c.second) << c.first;
    EXPECT_TRUE(IsSupportedSongFile("x.MP3"));
    EXPECT_FALSE(IsSupportedSongFile("x.ogg"));

    CSongX song;
    for (int value : {-1, 5, 1000}) {
        song.SetFileType(value);
        EXPECT_EQ(song.GetFileType(), 0) << value;
    }
    song.SetFileType(4);
    EXPECT_EQ(song.GetFileType(), 4);
    song.SetDuration(-5);
    EXPECT_EQ(song.GetDuration(), 0);
    song.SetSizeKiB(-1);
    EXPECT_EQ(song.GetSizeKiB(), 0);
}

TEST(SongPath, DevicePathsAndFullPaths) {
    cardtest::CCardEnvironment environment;
    CSongX song;
    song.SetPathFromDevicePath("A:\\CORVANE\\QM\\DB\\012\\1234.MP3");
    EXPECT_EQ(song.GetPath(), "/CORVANE/QM/DB/012/1234.MP3");
    EXPECT_EQ(song.GetDevicePath(), "A:\\CORVANE\\QM\\DB\\012\\1234.MP3");

    // Without a card there is no full path, so nothing reaches the computer's own root.
    EXPECT_EQ(song.GetFullPath(), "");
    environment.Connect();
    EXPECT_EQ(song.GetFullPath(), environment.CardDrive() + "/CORVANE/QM/DB/012/1234.MP3");

    CSongX other;
    other.SetPathFromFullPath(environment.CardDrive() + "/CORVANE/QM/DB/000/0005.Q3R");
    EXPECT_EQ(other.GetPath(), "/CORVANE/QM/DB/000/0005.Q3R");
    other.SetPathFromFullPath("/elsewhere/0005.Q3R");
    EXPECT_EQ(other.GetPath(), "");

    CSongX empty;
    EXPECT_EQ(empty.GetDevicePath(), "");
    EXPECT_EQ(empty.GetFullPath(), "");
}

TEST(SongPath, EntriesWithOrWithoutTheDriveAndThoseThatLeaveTheCard) {
    const std::pair<const char*, const char*> cases[] = {
        {"A:\\CORVANE\\QM\\DB\\000\\0000.WAV", "/CORVANE/QM/DB/000/0000.WAV"},
        {"A:\\..\\etc\\passwd", ""},
        {"A:\\CORVANE\\..\\..\\x.wav", ""},
        {"A:\\CORVANE\\QM\\DB\\..", ""},
        {"B:\\CORVANE\\x.wav", ""},
        // Written without the drive by another program: the same file.
        {"\\CORVANE\\x.wav", "/CORVANE/x.wav"},
        {"\\CORVANE\\QM\\DB\\000\\0000.WAV", "/CORVANE/QM/DB/000/0000.WAV"},
        {"\\..\\x.wav", ""},
        {"CORVANE/x.wav", ""},
        {"A:", ""},
        {"A:\\", ""},
        {"A:\\DIR\\", ""},
        {"A:\\a..b\\x.wav", "/a..b/x.wav"},
        {"", ""},
    };
    for (const auto& c : cases) {
        CSongX song;
        song.SetPathFromDevicePath(c.first);
        EXPECT_EQ(song.GetPath(), c.second) << c.first;
    }
}

TEST(SongRecord, ClearEmptiesEverything) {
    CSongX song;
    song.SetPathFromDevicePath("A:\\X.WAV");
    song.SetTitle("t");
    song.SetProtected(true);
    song.SetNumber(7);
    song.SetDuration(3);
    song.Clear();
    EXPECT_FALSE(song.IsUsed());
    EXPECT_EQ(song.GetTitle(), "");
    EXPECT_FALSE(song.IsProtected());
    EXPECT_EQ(song.GetNumber(), 0);
    EXPECT_EQ(song.GetDuration(), 0);
}

}  // namespace
