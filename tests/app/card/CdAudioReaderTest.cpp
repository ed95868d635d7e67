// The CD audio reader over an emulated drive: every track of a three-track disc ripped into a
// WAV file whose samples are the disc's, from each track's own address; failed and cancelled
// reads; tables of contents that cannot be ripped from.
#include "app/card/CdAudioReader.h"

#include "tests/support/EmulatedCdDrive.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using gbxtest::EmulatedCdDrive;
using gbxtest::EmulatedDisc;

const char kDevice[] = "/dev/sr-gbxtest";

struct Drive {
    explicit Drive(EmulatedDisc disc)
        : emulated(std::make_shared<EmulatedCdDrive>(std::move(disc))), installer(kDevice, emulated) {}
    std::shared_ptr<EmulatedCdDrive> emulated;
    gbxtest::EmulatedDriveInstaller installer;
};

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// The READ CD commands sent: {first sector, count} each.
std::vector<std::pair<int, int>> Reads(const EmulatedCdDrive& drive) {
    std::vector<std::pair<int, int>> reads;
    for (const auto& c : drive.Commands())
        if (!c.empty() && c[0] == 0xBE)
            reads.emplace_back(static_cast<int>(Le32(std::vector<uint8_t>{c[5], c[4], c[3], c[2]}.data())),
                               c[6] << 16 | c[7] << 8 | c[8]);
    return reads;
}

class CdAudioReaderTest : public ::testing::Test {
protected:
    CCdAudioReader& reader = CCdAudioReader::GetInstance();
    gbxtest::TempDir dir;
    std::string Out() const { return dir.File("track.WAV"); }

    void TearDown() override {
        reader.ClearToc();
        reader.SetOutputFormat(SL::CWaveFileFormat::WINWAVE);
    }

    // The ripped file is a 16-bit stereo 44,100 Hz WAV file holding the sectors' words.
    void ExpectTrackFile(int firstLba, int sectors) {
        const std::vector<uint8_t> file = gbxtest::ReadBytes(Out());
        const size_t bytes = static_cast<size_t>(sectors) * 2352;
        ASSERT_EQ(file.size(), bytes + 46);
        EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
        EXPECT_EQ(Le32(file.data() + 24), 44100u);                        // sample rate
        EXPECT_EQ(file[22] | file[23] << 8, 2);                           // channels
        EXPECT_EQ(file[34] | file[35] << 8, 16);                          // bits
        EXPECT_EQ(Le32(file.data() + 42), static_cast<uint32_t>(bytes));  // data size
        for (int s = 0; s < sectors; ++s)
            for (int w = 0; w < 588; ++w)
                ASSERT_EQ(Le32(file.data() + 46 + (static_cast<size_t>(s) * 588 + w) * 4),
                          gbxtest::SectorWord(firstLba + s, w))
                    << "sector " << s << " word " << w;
    }
};

TEST_F(CdAudioReaderTest, EveryTrackHoldsTheDiscsSamplesFromItsOwnAddress) {
    // Lengths 16, 15 and 40 sectors; the second disc's first track starts at sector 1000, so
    // its tracks' offsets from the first track are not their addresses.
    for (int first : {0, 1000}) {
        SCOPED_TRACE(first);
        Drive drive(EmulatedDisc::Audio({first, first + 16, first + 31}, first + 71));
        ASSERT_TRUE(reader.Open(kDevice));
        ASSERT_EQ(reader.GetToc().GetTrackCount(), 3);
        const int lengths[] = {16, 15, 40};
        int lba = first;
        for (int track = 0; track < 3; ++track) {
            SCOPED_TRACE(track);
            gbxtest::RecordingProgress progress;
            EXPECT_EQ(reader.GetTrackAddress(track), lba);
            ASSERT_EQ(reader.RipTrack(track, Out(), &progress), CCdAudioReader::DONE);
            ExpectTrackFile(lba, lengths[track]);
            // One step and one cancel question before each read of at most 15 sectors.
            EXPECT_EQ(progress.Count("Step"), (lengths[track] + 14) / 15);
            EXPECT_EQ(progress.Count("IsCancelled"), (lengths[track] + 14) / 15);
            lba += lengths[track];
        }
    }
}

TEST_F(CdAudioReaderTest, ReadsGoInPiecesOfFifteenSectors) {
    Drive drive(EmulatedDisc::Audio({0, 15, 31}, 1031));
    ASSERT_TRUE(reader.Open(kDevice));
    EXPECT_EQ(reader.GetReadBlockCount(0), 2);  // 15 sectors
    EXPECT_EQ(reader.GetReadBlockCount(1), 2);  // 16 sectors
    EXPECT_EQ(reader.GetTrackByteCount(2), 1000 * 2352);
    EXPECT_EQ(reader.GetOutputFileSize(2), 2352046);
    reader.SetOutputFormat(SL::CWaveFileFormat::AIFF);
    EXPECT_EQ(reader.GetOutputFileSize(2), 2352054);
    reader.SetOutputFormat(SL::CWaveFileFormat::WINWAVE);
    EXPECT_EQ(CCdAudioReader::AddFileHeaderSize(10, SL::CWaveFileFormat::INVALID), 10);

    ASSERT_EQ(reader.RipTrack(0, Out(), nullptr), CCdAudioReader::DONE);
    EXPECT_EQ(Reads(*drive.emulated), (std::vector<std::pair<int, int>>{{0, 15}}));
    ASSERT_EQ(reader.RipTrack(1, Out(), nullptr), CCdAudioReader::DONE);
    EXPECT_EQ(Reads(*drive.emulated), (std::vector<std::pair<int, int>>{{0, 15}, {15, 15}, {30, 1}}));
}

TEST_F(CdAudioReaderTest, TracksOutsideTheTableGiveNothing) {
    Drive drive(EmulatedDisc::Audio({0, 16}, 50));
    ASSERT_TRUE(reader.Open(kDevice));
    for (int track : {-1, 2, 3}) {
        SCOPED_TRACE(track);
        EXPECT_EQ(reader.RipTrack(track, Out(), nullptr), CCdAudioReader::FAILED);
        EXPECT_EQ(reader.GetReadBlockCount(track), 0);
        EXPECT_EQ(reader.GetTrackByteCount(track), 0);
        EXPECT_EQ(reader.GetTrackAddress(track), -1);
    }
    EXPECT_FALSE(std::filesystem::exists(Out()));
    EXPECT_TRUE(Reads(*drive.emulated).empty());
}

TEST_F(CdAudioReaderTest, AFailedReadFailsTheRipAndLeavesNoFile) {
    struct Case {
        const char* what;
        EmulatedCdDrive::Failure how;
    } cases[] = {{"not delivered", EmulatedCdDrive::Failure::NotDelivered},
                 {"bad status", EmulatedCdDrive::Failure::BadStatus},
                 {"short answer", EmulatedCdDrive::Failure::Short}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Drive drive(EmulatedDisc::Audio({0, 40}, 80));
        ASSERT_TRUE(reader.Open(kDevice));
        drive.emulated->FailCommand(0xBE, c.how, 1);  // the second piece, sectors 15 to 29
        EXPECT_EQ(reader.RipTrack(0, Out(), nullptr), CCdAudioReader::FAILED);
        EXPECT_FALSE(std::filesystem::exists(Out()));
        EXPECT_EQ(Reads(*drive.emulated).size(), 2u);
    }
}

TEST_F(CdAudioReaderTest, ACancelDuringTheThirdPieceEndsTheRipAfterTwo) {
    Drive drive(EmulatedDisc::Audio({0, 40}, 80));
    ASSERT_TRUE(reader.Open(kDevice));
    gbxtest::RecordingProgress progress;
    progress.SetCancelable(true);
    progress.cancelAtCheck = 3;
    EXPECT_EQ(reader.RipTrack(0, Out(), &progress), CCdAudioReader::CANCELLED);
    EXPECT_EQ(Reads(*drive.emulated).size(), 2u);
    EXPECT_EQ(progress.Count("Step"), 2);
    EXPECT_FALSE(std::filesystem::exists(Out()));
}

TEST_F(CdAudioReaderTest, AFileThatCannotBeMadeOrADriveThatIsGoneFails) {
    Drive drive(EmulatedDisc::Audio({0, 40}, 80));
    ASSERT_TRUE(reader.Open(kDevice));
    EXPECT_EQ(reader.RipTrack(0, dir.File("no/such/folder/t.WAV"), nullptr), CCdAudioReader::FAILED);
    drive.emulated->LoseDisc();
    EXPECT_EQ(reader.RipTrack(0, Out(), nullptr), CCdAudioReader::FAILED);
    EXPECT_FALSE(std::filesystem::exists(Out()));
}

TEST_F(CdAudioReaderTest, TablesThatCannotBeRippedFromAreRefused) {
    // Track numbers answered as 1, 2, 3 with the third starting before the second.
    EmulatedDisc unordered = EmulatedDisc::Audio({0, 100, 50}, 200);
    // A lead-out before the last track's start.
    EmulatedDisc shortLeadOut = EmulatedDisc::Audio({0, 100}, 90);
    for (EmulatedDisc* disc : {&unordered, &shortLeadOut}) {
        Drive drive(*disc);
        EXPECT_FALSE(reader.Open(kDevice));
        EXPECT_EQ(reader.GetToc().GetEntryCount(), 0);
        EXPECT_FALSE(IsAudioCdInDrive(kDevice));
    }
    GT::CCdToc toc;
    EXPECT_FALSE(IsRippableToc(toc));
    toc.Add(GT::CCdTocEntry(150, 0, 0, 0, 0));
    EXPECT_FALSE(IsRippableToc(toc));  // a track without a lead-out
    toc.Add(GT::CCdTocEntry(300, 0, 0, 1, 0));
    EXPECT_TRUE(IsRippableToc(toc));
    toc.Add(GT::CCdTocEntry(300, 0, 0, 1, 0));
    EXPECT_FALSE(IsRippableToc(toc));  // a track of no sectors
    // A track before the disc's first sector has no address.
    GT::CCdToc early;
    early.Add(GT::CCdTocEntry(-2147483647 - 1, 0, 0, 0, 0));
    early.Add(GT::CCdTocEntry(-2147483647 + 100, 0, 0, 1, 0));
    EXPECT_TRUE(IsRippableToc(early));
    GT::CCdToc huge;
    huge.Add(GT::CCdTocEntry(150, 0, 0, 0, 0));
    huge.Add(GT::CCdTocEntry(150 + 913081, 0, 0, 1, 0));  // over 2 GiB of samples
    EXPECT_FALSE(IsRippableToc(huge));
}

TEST_F(CdAudioReaderTest, AnAudioCdIsADriveWhoseTableHoldsAnAudioTrack) {
    {
        Drive drive(EmulatedDisc::Audio({0, 100}, 200));
        EXPECT_TRUE(IsAudioCdInDrive(kDevice));
        EXPECT_EQ(reader.GetDrive(), kDevice);
    }
    {
        EmulatedDisc data = EmulatedDisc::Audio({0, 100}, 200);
        for (auto& t : data.tracks) t.control = 4;
        Drive drive(data);
        EXPECT_FALSE(IsAudioCdInDrive(kDevice));
        // The reader holds that drive's table all the same.
        EXPECT_EQ(reader.GetToc().GetTrackCount(), 2);
    }
    {
        Drive drive(EmulatedDisc::Audio({0, 100}, 200));
        EXPECT_FALSE(IsAudioCdInDrive("/dev/sr-not-there"));
        EXPECT_FALSE(IsAudioCdInDrive(""));
        // A folder is a mounted volume, never a CD drive.
        EXPECT_FALSE(IsAudioCdInDrive(dir.Path()));
    }
}

}  // namespace
