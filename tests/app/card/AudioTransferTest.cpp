// One-file transfers between the computer and a card folder: WAV, AIFF and MP3 files made by sox
// and lame imported (copied, converted or encoded into Voxa files), Voxa songs exported, the
// files that are refused, cancels and write failures that must leave nothing behind, and the
// deletion of a song's files.
#include "app/card/AudioTransfer.h"

#include "app/card/CardFiles.h"
#include "app/card/Domain.h"
#include "app/card/VoxaFiles.h"
#include "general_tools/Paths.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/FatImage.h"
#include "tests/support/RecordingProgress.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using gbxtest::Quote;

using cardtest::FilesBelow;
using cardtest::HaveTools;
using cardtest::kNoTools;
using cardtest::MakeSound;

// The file's samples as sox gives them in 16-bit stereo.
std::vector<int16_t> SoxStereo16(const std::string& path, const std::string& scratch) {
    if (gbxtest::Run("sox -R " + Quote(path) + " -t raw -e signed-integer -b 16 -c 2 -L " + Quote(scratch)).exitCode
        != 0)
        return {};
    const std::vector<uint8_t> bytes = gbxtest::ReadBytes(scratch);
    std::vector<int16_t> values(bytes.size() / 2);
    std::memcpy(values.data(), bytes.data(), values.size() * 2);
    return values;
}

std::vector<int16_t> DecodeVoxa(const std::string& path) {
    std::vector<int16_t> values;
    const auto in = OpenVoxaFile(path);
    if (!in) return values;
    for (; in->HasNext(); in->Next()) values.push_back(in->Get());
    return values;
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

// A card that takes only so many bytes of a copy: they are written, then the copy fails.
class CFullCard : public CCardFileSystem {
public:
    explicit CFullCard(size_t room) : m_room(room) {}
    bool CopyInto(const std::string& source, const CCardFolder& folder, const std::string& name) override {
        std::vector<uint8_t> bytes = gbxtest::ReadBytes(source);
        bytes.resize(std::min(bytes.size(), m_room));
        gbxtest::WriteBytes(folder.GetPath() + name, bytes);
        return false;
    }

private:
    size_t m_room;
};

class AudioTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools()) GTEST_SKIP() << kNoTools;
        env.Connect();
        SetProgressBar(&progress);
        progress.SetCancelable(true);
        progress.Begin();
        progress.calls.clear();
        fs::create_directories(Source(""));
    }
    void TearDown() override {
        SetProgressBar(nullptr);
        SetCardFileSystem(nullptr);
    }

    std::string Source(const std::string& name) const { return env.Dir().File("in/" + name); }
    std::string Scratch(const std::string& name) const { return env.Dir().File(name); }
    // The file of slot 5 on the card with the extension.
    std::string Slot5(const std::string& extension) { return env.Document().GetSongFolder(5) + "0005" + extension; }
    std::string WorkFolder() { return CDomain::GetInstance().GetWorkFolder(); }
    // Nothing on the card below the database folder, and the work folder empty.
    void ExpectNothingLeft() {
        EXPECT_EQ(FilesBelow(env.DatabaseFolder()), std::vector<std::string>());
        EXPECT_EQ(FilesBelow(WorkFolder()), std::vector<std::string>());
    }
    std::vector<std::string> Messages() const { return env.textDialog.Texts(); }
    // Three seconds of 16-bit stereo as a WAV, an AIFF and an MP3 file: wav, aiff, mp3.
    bool MakeSongs() {
        wav = Source("song.wav");
        aiff = Source("song.aiff");
        mp3 = Source("song.mp3");
        return MakeSound(wav, "-r 44100 -c 2 -b 16 -e signed-integer", "3")
               && MakeSound(aiff, "-r 44100 -c 2 -b 16 -e signed-integer", "3")
               && gbxtest::Run("lame --quiet -b 128 " + Quote(wav) + " " + Quote(mp3)).exitCode == 0;
    }
    std::string wav, aiff, mp3;

    cardtest::CCardEnvironment env;
    gbxtest::RecordingProgress progress;
    CAudioTransfer transfer{cardtest::CCardEnvironment::Document().GetVolume()};
};

TEST_F(AudioTransferTest, WavAndAiffFilesEncodeIntoVoxaFilesThatDecodeBackToTheirSamples) {
    struct Case {
        const char* name;
        const char* options;
        int channels;
    } cases[] = {
        {"u8mono.wav", "-r 44100 -c 1 -b 8 -e unsigned-integer", 1},
        {"u8.wav", "-r 44100 -c 2 -b 8 -e unsigned-integer", 2},
        {"s16mono.wav", "-r 44100 -c 1 -b 16 -e signed-integer", 1},
        {"s16.wav", "-r 44100 -c 2 -b 16 -e signed-integer", 2},
        {"s24.wav", "-r 44100 -c 2 -b 24 -e signed-integer", 2},
        {"s8.aiff", "-r 44100 -c 2 -b 8 -e signed-integer", 2},
        {"s16mono.aiff", "-r 44100 -c 1 -b 16 -e signed-integer", 1},
        {"s24.aiff", "-r 44100 -c 2 -b 24 -e signed-integer", 2},
    };
    const int frames = 50000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = Source(c.name);
        ASSERT_TRUE(MakeSound(source, c.options, std::to_string(frames) + "s"));
        const std::string destination = Slot5(".Q3R");
        env.textDialog.shown.clear();
        progress.calls.clear();
        progress.SetRange(CountProgressSteps(source));
        ASSERT_EQ(transfer.ImportFile(source, destination, true), CAudioTransfer::DONE);
        EXPECT_TRUE(Messages().empty());

        // The header of the table, always stereo; 24 bytes a group of 16 frames.
        const std::vector<uint8_t> file = gbxtest::ReadBytes(destination);
        const size_t groups = (frames + 15) / 16;
        ASSERT_EQ(file.size(), 56 + groups * 24);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "VOXA");
        EXPECT_EQ(Be32(file, 4), 48u);
        EXPECT_EQ(Be32(file, 16), 6u);
        EXPECT_EQ(Be32(file, 20), 2u);
        EXPECT_EQ(Be32(file, 24), 44100u);
        EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "QM-3");

        // One step and one cancel question every 10,000 values, the first included, then the
        // question after the encoding.
        const int steps = (2 * frames + 9999) / 10000;
        EXPECT_EQ(CountProgressSteps(source), steps);
        EXPECT_EQ(progress.Count("Step"), steps);
        EXPECT_EQ(progress.Count("IsCancelled"), steps + 1);

        // Within the codec's error of the 16-bit stereo source.
        const std::vector<int16_t> expected = SoxStereo16(source, Scratch("ref.raw"));
        const std::vector<int16_t> decoded = DecodeVoxa(destination);
        ASSERT_EQ(expected.size(), 2u * frames);
        ASSERT_EQ(decoded.size(), groups * 32);
        double error = 0, signal = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            error += std::pow(decoded[i] - expected[i], 2.0);
            signal += std::pow(expected[i], 2.0);
        }
        EXPECT_LT(std::sqrt(error / signal), 0.02);
        for (size_t i = expected.size(); i < decoded.size(); ++i) EXPECT_LE(std::abs(decoded[i]), 64) << i;
        if (c.channels == 1) {
            for (size_t i = 0; i < expected.size(); i += 2) ASSERT_EQ(decoded[i], decoded[i + 1]);
        }
        EXPECT_EQ(FilesBelow(WorkFolder()), std::vector<std::string>());
        fs::remove(destination);
    }
}

TEST_F(AudioTransferTest, TheEstimateOfTheWorkedExampleAndTheFileThatEncodingWrites) {
    const std::string source = Source("short.wav");
    ASSERT_TRUE(MakeSound(source, "-r 44100 -c 2 -b 16 -e signed-integer", "44928s"));
    EXPECT_EQ(transfer.EstimateImportSize(source), 67471u);
    ASSERT_EQ(transfer.ImportFile(source, Slot5(".Q3R"), true), CAudioTransfer::DONE);
    EXPECT_EQ(fs::file_size(Slot5(".Q3R")), 67448u);
    EXPECT_EQ(transfer.EstimateImportSize(Source("none.wav")), 0u);
}

TEST_F(AudioTransferTest, CopiesAreByteForByteAndAiffBecomesASixteenBitStereoWav) {
    const std::string wav = Source("song.wav");
    ASSERT_TRUE(MakeSound(wav, "-r 44100 -c 2 -b 16 -e signed-integer", "2"));
    const std::string mp3 = Source("song.mp3");
    ASSERT_EQ(gbxtest::Run("lame --quiet -b 128 " + Quote(wav) + " " + Quote(mp3)).exitCode, 0);
    const std::string aiff = Source("song.aiff");
    ASSERT_TRUE(MakeSound(aiff, "-r 44100 -c 2 -b 16 -e signed-integer", "2"));

    ASSERT_EQ(transfer.ImportFile(wav, Slot5(".wav"), false), CAudioTransfer::DONE);
    EXPECT_EQ(gbxtest::ReadBytes(Slot5(".wav")), gbxtest::ReadBytes(wav));
    // Files on the card are writable for everyone.
    EXPECT_NE(fs::status(Slot5(".wav")).permissions() & fs::perms::others_write, fs::perms::none);
    ASSERT_EQ(transfer.ImportFile(mp3, Slot5(".mp3"), false), CAudioTransfer::DONE);
    EXPECT_EQ(gbxtest::ReadBytes(Slot5(".mp3")), gbxtest::ReadBytes(mp3));
    EXPECT_EQ(progress.Count("Step"), 2);

    ASSERT_EQ(transfer.ImportFile(aiff, Slot5(".WAV"), false), CAudioTransfer::DONE);
    const std::vector<uint8_t> converted = gbxtest::ReadBytes(Slot5(".WAV"));
    const std::vector<int16_t> expected = SoxStereo16(aiff, Scratch("ref.raw"));
    ASSERT_EQ(converted.size(), 46 + expected.size() * 2);
    EXPECT_EQ(std::string(converted.begin(), converted.begin() + 4), "RIFF");
    EXPECT_EQ(std::memcmp(converted.data() + 46, expected.data(), expected.size() * 2), 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(FilesBelow(WorkFolder()), std::vector<std::string>());
}

TEST_F(AudioTransferTest, FilesOfOtherKindsAreRefusedAsUnsupported) {
    struct Case {
        const char* name;
        const char* options;
        const char* length;
    } cases[] = {
        {"48k.wav", "-r 48000 -c 2 -b 16 -e signed-integer", "2"},
        {"s32.wav", "-r 44100 -c 2 -b 32 -e signed-integer", "2"},
        {"float.wav", "-r 44100 -c 2 -b 32 -e floating-point", "2"},
        {"three.aiff", "-r 44100 -c 3 -b 16 -e signed-integer", "2"},
        {"onesecond.wav", "-r 44100 -c 2 -b 16 -e signed-integer", "44100s"},
    };
    std::vector<std::string> sources;
    for (const Case& c : cases) {
        sources.push_back(Source(c.name));
        ASSERT_TRUE(MakeSound(sources.back(), c.options, c.length)) << c.name;
    }
    const std::string wav48 = Source("48k-for-mp3.wav");
    ASSERT_TRUE(MakeSound(wav48, "-r 48000 -c 2 -b 16 -e signed-integer", "2"));
    sources.push_back(Source("48k.mp3"));
    ASSERT_EQ(gbxtest::Run("lame --quiet -b 128 " + Quote(wav48) + " " + Quote(sources.back())).exitCode, 0);
    sources.push_back(Source("text.wav"));
    gbxtest::WriteText(sources.back(), "not a sound file");
    sources.push_back(Source("missing.aiff"));

    for (const std::string& source : sources) {
        for (bool encode : {true, false}) {
            SCOPED_TRACE(source + (encode ? " encoded" : " copied"));
            env.textDialog.shown.clear();
            const std::string destination = Slot5(encode ? ".Q3R" : ".WAV");
            EXPECT_EQ(transfer.ImportFile(source, destination, encode), CAudioTransfer::FAILED);
            EXPECT_EQ(Messages(), std::vector<std::string>{"Unsupported file format."});
            ExpectNothingLeft();
        }
    }
    // A Voxa file is not taken as it is.
    ASSERT_TRUE(CreateVoxaFile(Source("song.Q3R"), 44100.0, 2)->Finish());
    env.textDialog.shown.clear();
    EXPECT_EQ(transfer.ImportFile(Source("song.Q3R"), Slot5(".Q3R"), false), CAudioTransfer::FAILED);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Unsupported file format."});
    ExpectNothingLeft();
}

TEST_F(AudioTransferTest, TheShortestImportableWaveIsAFewFramesOverOneSecond) {
    const std::string source = Source("short.wav");
    ASSERT_TRUE(MakeSound(source, "-r 44100 -c 1 -b 8 -e unsigned-integer", "44928s"));
    const auto opened = transfer.OpenWave(source);
    ASSERT_TRUE(opened.first);
    EXPECT_EQ(opened.second, SL::CWaveFileFormat::WINWAVE);
    EXPECT_TRUE(transfer.IsImportableWave(*opened.first));
    EXPECT_EQ(CountProgressSteps(source), 9);  // 89,856 values made stereo
    ASSERT_TRUE(MakeSound(Source("a.aiff"), "-r 44100 -c 2 -b 16 -e signed-integer", "44927s"));
    const auto aiff = transfer.OpenWave(Source("a.aiff"));
    ASSERT_TRUE(aiff.first);
    EXPECT_EQ(aiff.second, SL::CWaveFileFormat::AIFF);
    EXPECT_FALSE(transfer.IsImportableWave(*aiff.first));
    EXPECT_FALSE(transfer.OpenWave(Source("none.wav")).first);
}

TEST_F(AudioTransferTest, ACancelLeavesNothingBehind) {
    ASSERT_TRUE(MakeSongs());
    struct Case {
        std::string source;
        const char* extension;
        bool encode;
        int cancelAt;  // the cancel question that finds the press
    } cases[] = {{wav, ".Q3R", true, 1},  {wav, ".Q3R", true, 4},   {aiff, ".Q3R", true, 7},
                 {wav, ".wav", false, 1}, {aiff, ".WAV", false, 1}, {mp3, ".mp3", false, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " " + std::to_string(c.cancelAt));
        gbxtest::RecordingProgress cancelling;
        SetProgressBar(&cancelling);
        cancelling.SetCancelable(true);
        cancelling.cancelAtCheck = c.cancelAt;
        env.textDialog.shown.clear();
        EXPECT_EQ(transfer.ImportFile(c.source, Slot5(c.extension), c.encode), CAudioTransfer::CANCELLED);
        // The steps before the press were made, none after it.
        EXPECT_EQ(cancelling.Count("Step"), c.cancelAt - 1);
        EXPECT_TRUE(Messages().empty());
        ExpectNothingLeft();
    }
}

TEST_F(AudioTransferTest, AFullCardFailsTheImportAndLeavesNothingBehind) {
    ASSERT_TRUE(MakeSongs());
    CFullCard full(10000);
    SetCardFileSystem(&full);
    for (const auto& c : {std::make_pair(wav, true), std::make_pair(wav, false), std::make_pair(aiff, false),
                          std::make_pair(mp3, false)}) {
        SCOPED_TRACE(c.first + (c.second ? " encoded" : " copied"));
        env.textDialog.shown.clear();
        const GT::CPathParts parts(c.first, '/');
        EXPECT_EQ(transfer.ImportFile(c.first, Slot5(c.second ? ".Q3R" : parts.extension), c.second),
                  CAudioTransfer::FAILED);
        EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to import."});
        ExpectNothingLeft();
    }
}

TEST_F(AudioTransferTest, AWorkFolderThatTakesNoDataFailsTheImport) {
    ASSERT_TRUE(MakeSongs());
    // The temporary files are links to a device that refuses every write.
    fs::create_symlink("/dev/full", WorkFolder() + "/___TEMPORARY_VOXA_FILE___0005.Q3R");
    fs::create_symlink("/dev/full", WorkFolder() + "/___TEMPORARY_SRC_FILE___0005.WAV");
    EXPECT_EQ(transfer.ImportFile(wav, Slot5(".Q3R"), true), CAudioTransfer::FAILED);
    EXPECT_EQ(transfer.ImportFile(aiff, Slot5(".WAV"), false), CAudioTransfer::FAILED);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Failed to import.", "Failed to import."}));
    ExpectNothingLeft();
    EXPECT_TRUE(fs::exists("/dev/full"));
}

TEST_F(AudioTransferTest, AFullFatCardFailsTheImport) {
    const std::string why = gbxtest::CFatImage::WhyUnusable();
    if (!why.empty()) GTEST_SKIP() << why;
    // A 2 MB card; the song is 5 MB.
    const std::string mount = env.Dir().File("fat");
    fs::create_directories(mount);
    gbxtest::CFatImage image(env.Dir().File("card.img"), "QM-3", "2M");
    ASSERT_TRUE(image.IsMade());
    if (image.Mount(mount) != 0) GTEST_SKIP() << "fusefat cannot mount here";
    env.Document().SetCardRoot(CDocX::MakeCardRoot(mount));
    const std::string wav = Source("song.wav");
    ASSERT_TRUE(MakeSound(wav, "-r 44100 -c 2 -b 16 -e signed-integer", "30"));
    EXPECT_EQ(transfer.ImportFile(wav, Slot5(".wav"), false), CAudioTransfer::FAILED);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to import."});
    EXPECT_EQ(FilesBelow(mount + "/CORVANE"), std::vector<std::string>());
    env.Document().Reset();
}

// A file left at an import's place on a FAT card through FUSE (an orphan of a free slot, larger
// or smaller than the song) is written over: the driver takes no write into a file it emptied,
// so the copy goes over it from its start and then cuts it to the song's length.
TEST_F(AudioTransferTest, AnImportOverAFileLeftAtItsPlaceOnAFatCard) {
    const std::string why = gbxtest::CFatImage::WhyUnusable();
    if (!why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(MakeSongs());
    const std::string mount = env.Dir().File("fat");
    fs::create_directories(mount);
    gbxtest::CFatImage image(env.Dir().File("card.img"), "QM-3", "16M");
    ASSERT_TRUE(image.IsMade());
    if (image.Mount(mount) != 0) GTEST_SKIP() << "fusefat cannot mount here";
    env.Document().SetCardRoot(CDocX::MakeCardRoot(mount));
    const std::vector<uint8_t> song = gbxtest::ReadBytes(wav);
    for (size_t left : {size_t(100), song.size() * 2}) {
        SCOPED_TRACE(left);
        const std::string destination = Slot5(".wav");
        fs::remove(destination);  // the driver would refuse to write it again once emptied
        gbxtest::WriteBytes(destination, std::vector<uint8_t>(left, 0x55));
        env.textDialog.shown.clear();
        progress.SetRange(1);
        EXPECT_EQ(transfer.ImportFile(wav, destination, false), CAudioTransfer::DONE);
        EXPECT_EQ(Messages(), std::vector<std::string>());
        EXPECT_EQ(gbxtest::ReadBytes(destination), song);
    }
    env.Document().Reset();
}

TEST_F(AudioTransferTest, NothingIsWrittenToACardThatIsNotConnected) {
    const std::string wav = Source("song.wav");
    ASSERT_TRUE(MakeSound(wav, "-r 44100 -c 2 -b 16 -e signed-integer", "2"));
    const std::string destination = Slot5(".wav");
    env.Document().Reset();
    EXPECT_EQ(transfer.ImportFile(wav, destination, false), CAudioTransfer::FAILED);
    EXPECT_EQ(transfer.ImportFile(wav, Scratch("elsewhere.wav"), false), CAudioTransfer::FAILED);
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_FALSE(fs::exists(Scratch("elsewhere.wav")));
}

class AudioExportTest : public AudioTransferTest {
protected:
    // A Voxa song of 2 channels and 160 frames on the card.
    std::string VoxaSong() {
        auto out = CreateVoxaFile(Slot5(".Q3R"), 44100.0, 2);
        for (int i = 0; i < 320; ++i) {
            out->Set(static_cast<int16_t>(i * 37 % 2000 - 1000));
            out->Next();
        }
        EXPECT_TRUE(out->Finish());
        return Slot5(".Q3R");
    }
};

TEST_F(AudioExportTest, AVoxaSongBecomesAWavFileOfThePredictedSize) {
    const std::string song = VoxaSong();
    EXPECT_EQ(transfer.GetExportedWaveSize(song), 686u);
    EXPECT_EQ(transfer.GetExportedSize(song, SL::CWaveFileFormat::AIFF), 694u);
    EXPECT_EQ(transfer.GetExportedSize(song, SL::CWaveFileFormat::INVALID), 640u);
    EXPECT_EQ(CountProgressSteps(song), 1);
    const std::string destination = Scratch("0005.WAV");
    ASSERT_EQ(transfer.ExportFile(song, destination, true), CAudioTransfer::DONE);
    EXPECT_EQ(fs::file_size(destination), 686u);
    // The samples are the decoder's.
    const std::vector<uint8_t> file = gbxtest::ReadBytes(destination);
    const std::vector<int16_t> decoded = DecodeVoxa(song);
    EXPECT_EQ(std::memcmp(file.data() + 46, decoded.data(), 640), 0);
    // Exported files keep the access the user's files get.
    EXPECT_EQ(fs::status(destination).permissions() & fs::perms::others_write, fs::perms::none);
}

// Voxa songs whose header no reader takes: a rate of 0 (its WAV file would have none), a rate
// whose bytes a second a WAV header cannot state, and 65,536 channels in 68 bytes. Exporting one
// fails with message 23 and writes nothing; importing one is refused with message 28.
TEST_F(AudioExportTest, VoxaSongsOfAnUnusableHeaderAreNeitherExportedNorImported) {
    const std::vector<uint8_t> good = gbxtest::ReadBytes(VoxaSong());
    const auto patched = [&good](size_t at, uint32_t value, size_t length) {
        std::vector<uint8_t> bytes = good;
        for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
        bytes.resize(length);
        return bytes;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"rate 0", patched(24, 0, good.size())},
        {"65,536 channels", patched(20, 0x10000, 68)},
        // Bytes a second beyond a WAV header's 32 bits.
        {"rate 0xFFFFFFFF", patched(24, 0xFFFFFFFF, good.size())},
        {"stereo at rate 0x40000000", patched(24, 0x40000000, good.size())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gbxtest::WriteBytes(Slot5(".Q3R"), c.bytes);
        env.textDialog.shown.clear();
        EXPECT_EQ(transfer.GetExportedWaveSize(Slot5(".Q3R")), 0u);
        EXPECT_EQ(CountProgressSteps(Slot5(".Q3R")), 0);
        fs::create_directories(Scratch("out"));
        EXPECT_EQ(transfer.ExportFile(Slot5(".Q3R"), Scratch("out/0005.WAV"), true), CAudioTransfer::FAILED);
        EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to export."});
        EXPECT_EQ(FilesBelow(Scratch("out")), std::vector<std::string>());

        gbxtest::WriteBytes(Source("song.Q3R"), c.bytes);
        for (bool encode : {true, false}) {
            env.textDialog.shown.clear();
            EXPECT_EQ(transfer.ImportFile(Source("song.Q3R"), Slot5(encode ? ".Q3R" : ".WAV"), encode),
                      CAudioTransfer::FAILED);
            EXPECT_EQ(Messages(), std::vector<std::string>{"Unsupported file format."});
        }
        fs::remove(Source("song.Q3R"));
    }
}

TEST_F(AudioExportTest, OtherSongsAreCopiedAsTheyAre) {
    const std::string song = Slot5(".mp3");
    gbxtest::WriteText(song, std::string(3000, 'm'));
    EXPECT_EQ(transfer.GetExportedWaveSize(song), 3000u);
    ASSERT_EQ(transfer.ExportFile(song, Scratch("0005.mp3"), false), CAudioTransfer::DONE);
    EXPECT_EQ(gbxtest::ReadBytes(Scratch("0005.mp3")), gbxtest::ReadBytes(song));
    EXPECT_EQ(progress.Count("Step"), 1);
    EXPECT_EQ(fs::status(Scratch("0005.mp3")).permissions() & fs::perms::others_write, fs::perms::none);
    EXPECT_EQ(transfer.GetExportedWaveSize(Scratch("missing.mp3")), 0u);
}

TEST_F(AudioExportTest, ACancelOrAFailureLeavesNoPartialFile) {
    const std::string song = VoxaSong();
    // A long song: 30 steps of decoding.
    {
        auto out = CreateVoxaFile(Slot5(".Q3R"), 44100.0, 2);
        for (int i = 0; i < 300000; ++i) {
            out->Set(static_cast<int16_t>(i % 1000));
            out->Next();
        }
        ASSERT_TRUE(out->Finish());
    }
    gbxtest::RecordingProgress cancelling;
    SetProgressBar(&cancelling);
    cancelling.SetCancelable(true);
    cancelling.cancelAtCheck = 3;
    EXPECT_EQ(transfer.ExportFile(song, Scratch("0005.WAV"), true), CAudioTransfer::CANCELLED);
    EXPECT_FALSE(fs::exists(Scratch("0005.WAV")));

    // A cancel before a copy leaves an existing file alone.
    gbxtest::WriteText(Scratch("0006.mp3"), "the user's own");
    gbxtest::WriteText(Slot5(".mp3"), "song");
    gbxtest::RecordingProgress cancelFirst;
    SetProgressBar(&cancelFirst);
    cancelFirst.SetCancelable(true);
    cancelFirst.cancelAtCheck = 1;
    EXPECT_EQ(transfer.ExportFile(Slot5(".mp3"), Scratch("0006.mp3"), false), CAudioTransfer::CANCELLED);
    EXPECT_EQ(gbxtest::ReadBytes(Scratch("0006.mp3")).size(), 14u);
    EXPECT_TRUE(Messages().empty());

    // A link in the destination's place is replaced by the whole file, never written through.
    SetProgressBar(&progress);
    fs::create_symlink("/dev/full", Scratch("full.WAV"));
    EXPECT_EQ(transfer.ExportFile(song, Scratch("full.WAV"), true), CAudioTransfer::DONE);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Scratch("full.WAV"))));
    EXPECT_EQ(fs::file_size(Scratch("full.WAV")), transfer.GetExportedWaveSize(song));
    fs::create_symlink("/dev/full", Scratch("full.mp3"));
    EXPECT_EQ(transfer.ExportFile(Slot5(".mp3"), Scratch("full.mp3"), false), CAudioTransfer::DONE);
    EXPECT_EQ(gbxtest::ReadBytes(Scratch("full.mp3")), gbxtest::ReadBytes(Slot5(".mp3")));
    // A song that is not a Voxa file, and one that is gone.
    EXPECT_EQ(transfer.ExportFile(Slot5(".mp3"), Scratch("x.WAV"), true), CAudioTransfer::FAILED);
    EXPECT_EQ(transfer.ExportFile(Slot5(".gone"), Scratch("x.mp3"), false), CAudioTransfer::FAILED);
    EXPECT_FALSE(fs::exists(Scratch("x.WAV")));
    EXPECT_FALSE(fs::exists(Scratch("x.mp3")));
    EXPECT_EQ(Messages(), std::vector<std::string>(2, "Failed to export."));
    EXPECT_TRUE(fs::exists("/dev/full"));
}

TEST_F(AudioTransferTest, DeletingASongTakesItsCompanionsAndReportsAFailureOnce) {
    const std::string folder = env.Document().GetSongFolder(5);
    for (const char* name : {"0005.Q3R", "0005.Q3I", "0005.Q3S", "0006.Q3I", "0006.Q3S"})
        gbxtest::WriteText(folder + name, "x");
    // 0006's audio file is already gone.
    EXPECT_TRUE(transfer.DeleteSongFiles({folder + "0005.Q3R", folder + "0006.WAV"}));
    EXPECT_EQ(FilesBelow(folder), std::vector<std::string>());
    EXPECT_TRUE(transfer.DeleteSongFiles({}));

    class CNoRemoval : public CCardFileSystem {
        bool Remove(const CCardFolder&, const std::string&) override { return false; }
    } noRemoval;
    SetCardFileSystem(&noRemoval);
    gbxtest::WriteText(folder + "0007.WAV", "x");
    gbxtest::WriteText(folder + "0008.WAV", "x");
    EXPECT_FALSE(transfer.DeleteSongFiles({folder + "0007.WAV", folder + "0008.WAV"}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to delete."});
    EXPECT_TRUE(transfer.FileExists(folder + "0007.WAV"));
    EXPECT_TRUE(transfer.FileExists(folder));
    EXPECT_FALSE(transfer.FileExists(folder + "0009.WAV"));
}

TEST_F(AudioTransferTest, AVoxaFilesProgressStepsCountItsValues) {
    // 2 channels of 44,944 frames: 67,416 bytes of data.
    std::vector<uint8_t> bytes;
    {
        ASSERT_TRUE(CreateVoxaFile(Scratch("v.Q3R"), 44100.0, 2)->Finish());
        bytes = gbxtest::ReadBytes(Scratch("v.Q3R"));
    }
    bytes.resize(56 + 44944 / 16 * 24, 0);
    gbxtest::WriteBytes(Scratch("v.Q3R"), bytes);
    EXPECT_EQ(CountProgressSteps(Scratch("v.Q3R")), 9);
    EXPECT_EQ(CountProgressSteps(Scratch("missing.Q3R")), 0);
    EXPECT_EQ(CountProgressSteps(Scratch("missing.wav")), 0);
}

// A link or a second name where a song file goes: the card gets a file of its own, and nothing
// where the link or the other name leads is written, removed or granted.
TEST_F(AudioTransferTest, LinksWhereASongFileGoesAreReplacedNeverWrittenThrough) {
    ASSERT_TRUE(MakeSongs());
    const std::string theirs = Scratch("theirs.wav");
    const struct {
        const char* what;
        bool hardLink;
        bool encode;
        const char* extension;
    } cases[] = {
        {"a symbolic link, copied", false, false, ".wav"},
        {"a second name, copied", true, false, ".wav"},
        {"a symbolic link, encoded", false, true, ".Q3R"},
        {"a second name, encoded", true, true, ".Q3R"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string destination = Slot5(c.extension);
        fs::remove(destination);
        fs::remove(theirs);
        gbxtest::WriteText(theirs, "the user's own file");
        fs::permissions(theirs, fs::perms(0444));
        if (c.hardLink)
            fs::create_hard_link(theirs, destination);
        else
            fs::create_symlink(theirs, destination);
        env.textDialog.shown.clear();
        progress.SetRange(CountProgressSteps(wav));
        EXPECT_EQ(transfer.ImportFile(wav, destination, c.encode), CAudioTransfer::DONE);
        EXPECT_EQ(Messages(), std::vector<std::string>());
        EXPECT_EQ(gbxtest::ReadBytes(theirs), gbxtest::ToBytes("the user's own file"));
        EXPECT_EQ(fs::status(theirs).permissions(), fs::perms(0444));
        EXPECT_EQ(fs::hard_link_count(theirs), 1u);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(destination)));
        if (!c.encode) {
            EXPECT_EQ(gbxtest::ReadBytes(destination), gbxtest::ReadBytes(wav));
        }
    }
    // Deleting a song whose files are links takes the links away and leaves what they lead to.
    const std::string folder = env.Document().GetSongFolder(5);
    fs::remove(folder + "0005.wav");
    fs::create_symlink(theirs, folder + "0005.wav");
    fs::create_symlink(theirs, folder + "0005.Q3I");
    env.textDialog.shown.clear();
    EXPECT_TRUE(transfer.DeleteSongFiles({folder + "0005.wav"}));
    EXPECT_EQ(Messages(), std::vector<std::string>());
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder + "0005.wav")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder + "0005.Q3I")));
    EXPECT_EQ(gbxtest::ReadBytes(theirs), gbxtest::ToBytes("the user's own file"));
}

}  // namespace
