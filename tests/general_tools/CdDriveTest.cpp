#include "general_tools/CdDrive.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/EmulatedCdDrive.h"
#include "tests/support/RecordingProgress.h"

namespace {

using gbxtest::EmulatedCdDrive;
using gbxtest::EmulatedDisc;
using gbxtest::EmulatedDriveInstaller;
using Bytes = std::vector<uint8_t>;

const char* kDevice = "/dev/sr-emulated";

struct Drive {
    explicit Drive(EmulatedDisc disc)
        : emulated(std::make_shared<EmulatedCdDrive>(std::move(disc))), installer(kDevice, emulated) {}
    std::shared_ptr<EmulatedCdDrive> emulated;
    EmulatedDriveInstaller installer;
    GT::CStorageDevice device;
};

// LBA as the frame number the drive reports (MSF with its 150-frame offset).
int32_t Frame(int lba) { return lba + 150; }

TEST(CdDrive, MsfFrames) {
    EXPECT_EQ(GT::MsfToFrames(0, 2, 0), 150);
    EXPECT_EQ(GT::MsfToFrames(74, 59, 74), 337499);
    const uint8_t field[4] = {0xEE, 1, 2, 3};
    EXPECT_EQ(GT::MsfAddressToFrames(field), 4500 + 150 + 3);
}

TEST(CdDrive, TocCommandBlocksByteForByte) {
    Drive d(EmulatedDisc::Audio({0, 1000}, 2000));
    GT::CCdToc toc;
    ASSERT_TRUE(d.device.ReadToc(kDevice, toc));
    ASSERT_EQ(d.emulated->Commands().size(), 2u);
    EXPECT_EQ(d.emulated->Commands()[0], (Bytes{0x43, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01, 0x03, 0x24, 0x00}));
    EXPECT_EQ(d.emulated->Commands()[1], (Bytes{0x43, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01, 0x04, 0xBE, 0x80}));
    EXPECT_EQ(d.device.GetBlockLength(kDevice), 2048);
    EXPECT_EQ(d.emulated->Commands().back(), (Bytes{0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

struct TocCase {
    const char* name;
    EmulatedDisc disc;
    std::vector<int32_t> starts;     // tracks then lead-out, as frames
    std::vector<uint8_t> dataFlags;  // per entry
};

EmulatedDisc TwelveTracks() {
    std::vector<int> starts;
    for (int i = 0; i < 12; ++i) starts.push_back(i * 15000);
    return EmulatedDisc::Audio(starts, 12 * 15000);
}

EmulatedDisc Enhanced() {
    // Session 1: three audio tracks; session 2: one data track.
    EmulatedDisc disc = EmulatedDisc::Audio({0, 10000, 20000}, 30000);
    disc.tracks.push_back({4, 2, 0x04, 41400});
    disc.sessionLeadOutLba.push_back(60000);
    return disc;
}

EmulatedDisc StartsAtTrackTwo() {
    EmulatedDisc disc;
    disc.tracks = {{2, 1, 0, 0}, {3, 1, 0, 5000}};
    disc.sessionLeadOutLba = {9000};
    return disc;
}

EmulatedDisc WithoutSessionPoints() {
    EmulatedDisc disc = Enhanced();
    disc.sessionPoints = false;
    return disc;
}

TEST(CdDrive, ReadsTables) {
    std::vector<int32_t> twelve;
    for (int i = 0; i < 12; ++i) twelve.push_back(Frame(i * 15000));
    twelve.push_back(Frame(180000));
    const TocCase cases[] = {
        {"twelve audio tracks", TwelveTracks(), twelve, Bytes(12, 0)},
        {"enhanced CD keeps session 1", Enhanced(), {Frame(0), Frame(10000), Frame(20000), Frame(30000)}, {0, 0, 0}},
        {"first track 2", StartsAtTrackTwo(), {Frame(0), Frame(5000), Frame(9000)}, {0, 0}},
        {"full TOC without points",
         WithoutSessionPoints(),
         {Frame(0), Frame(10000), Frame(20000), Frame(41400), Frame(60000)},
         {0, 0, 0, 1}},
    };
    for (const TocCase& c : cases) {
        SCOPED_TRACE(c.name);
        Drive d(c.disc);
        GT::CCdToc toc;
        ASSERT_TRUE(d.device.ReadToc(kDevice, toc));
        ASSERT_EQ(toc.GetEntryCount(), static_cast<int>(c.starts.size()));
        for (size_t i = 0; i < c.starts.size(); ++i) {
            EXPECT_EQ(toc.GetEntries()[i].startFrame, c.starts[i]) << "entry " << i;
            const uint8_t data = i + 1 == c.starts.size() ? 1 : c.dataFlags[i];
            EXPECT_EQ(toc.GetEntries()[i].dataTrack, data) << "entry " << i;
        }
        EXPECT_TRUE(toc.HasAudioTrack());
    }
}

TEST(CdDrive, TocFailuresKeepOrEmptyTheToc) {
    GT::CCdToc toc;
    toc.Add(GT::CCdTocEntry(150, 0, 0, 0, 0));
    toc.Add(GT::CCdTocEntry(900, 0, 0, 1, 0));

    GT::CStorageDevice nothing;
    EXPECT_FALSE(nothing.ReadToc("", toc));
    EXPECT_FALSE(nothing.ReadToc("/dev/no-such-drive", toc));
    EXPECT_EQ(toc.GetEntryCount(), 2);  // untouched

    {
        Drive lost(TwelveTracks());
        lost.emulated->LoseDisc();
        EXPECT_FALSE(lost.device.ReadToc(kDevice, toc));
        EXPECT_EQ(toc.GetEntryCount(), 2);
    }
    {
        Drive empty(EmulatedDisc{});
        EXPECT_FALSE(empty.device.ReadToc(kDevice, toc));
        EXPECT_EQ(toc.GetEntryCount(), 0);  // the disc said: no tracks
    }
    {
        // Only the full TOC fails: the track list with its own lead-out serves.
        Drive partial(Enhanced());
        partial.emulated->FailCommand(0x43, EmulatedCdDrive::Failure::BadStatus, 1);
        ASSERT_TRUE(partial.device.ReadToc(kDevice, toc));
        EXPECT_EQ(toc.GetTrackCount(), 4);
        EXPECT_EQ(toc.GetTrackStart(4), Frame(60000));
    }
}

TEST(CdDrive, FullTocScansStayInsideTheAnswer) {
    // The header claims 200 descriptors; only one A0 point is present.
    Bytes answer = {0x08, 0x9A, 1, 1, 1, 0x10, 0, 0xA0, 0, 0, 0, 0, 5, 0, 0};
    EXPECT_EQ(GT::GetFullTocDescriptorCount(answer), 1);
    int first = 0, last = 0;
    EXPECT_FALSE(GT::FindSessionTrackRange(answer, 1, first, last));
    EXPECT_EQ(first, 5);
    EXPECT_EQ(last, -1);
    uint8_t address[4] = {};
    EXPECT_FALSE(GT::FindSessionLeadOut(answer, 1, address));
    EXPECT_EQ(address[1], 0xFF);
    EXPECT_EQ(GT::GetFullTocDescriptorCount(Bytes{0x00, 0x01, 1, 1}), 0);
    EXPECT_EQ(GT::GetFullTocDescriptorCount(Bytes{}), 0);
}

TEST(CdDrive, ReadsSectorsInPiecesOfFifteen) {
    Drive d(TwelveTracks());
    gbxtest::RecordingProgress progress;
    std::vector<uint8_t> out;
    ASSERT_EQ(d.device.ReadSectorsFromDrive(kDevice, 10, 16, out, &progress), 1);
    ASSERT_EQ(out.size(), 16u * 2352);
    const auto& cmds = d.emulated->Commands();
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0], (Bytes{0xBE, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x0F, 0x10, 0x00, 0x00}));
    EXPECT_EQ(cmds[1], (Bytes{0xBE, 0x00, 0x00, 0x00, 0x00, 0x19, 0x00, 0x00, 0x01, 0x10, 0x00, 0x00}));
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"IsCancelled", "Step", "IsCancelled", "Step"}));
    // Every sector's words tell its address: nothing shifted, lost or repeated.
    for (int s = 0; s < 16; ++s)
        for (int w : {0, 1, 587}) {
            uint32_t v;
            std::memcpy(&v, &out[static_cast<size_t>(s) * 2352 + static_cast<size_t>(w) * 4], 4);
            EXPECT_EQ(v, gbxtest::SectorWord(10 + s, w));
        }
}

TEST(CdDrive, SectorReadEndings) {
    struct Case {
        const char* name;
        int count;
        EmulatedCdDrive::Failure failure;  // of the second READ CD
        int cancelAtCheck;
        int result;
        size_t bytes;
    };
    const Case cases[] = {
        {"nothing to read", 0, EmulatedCdDrive::Failure::None, 0, 1, 0},
        {"cancelled at once", 30, EmulatedCdDrive::Failure::None, 1, 2, 0},
        {"cancelled after a piece", 30, EmulatedCdDrive::Failure::None, 2, 2, 15 * 2352},
        {"piece not delivered", 30, EmulatedCdDrive::Failure::NotDelivered, 0, 0, 15 * 2352},
        {"piece with bad status", 30, EmulatedCdDrive::Failure::BadStatus, 0, 0, 15 * 2352},
        {"short piece", 30, EmulatedCdDrive::Failure::Short, 0, 0, 15 * 2352},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Drive d(TwelveTracks());
        d.emulated->FailCommand(0xBE, c.failure, 1);
        gbxtest::RecordingProgress progress;
        progress.SetCancelable(true);
        progress.calls.clear();
        progress.cancelAtCheck = c.cancelAtCheck;
        std::vector<uint8_t> out(7, 0xAA);
        EXPECT_EQ(d.device.ReadSectorsFromDrive(kDevice, 0, c.count, out, &progress), c.result);
        EXPECT_EQ(out.size(), c.bytes);
        if (c.count == 0) {
            EXPECT_TRUE(progress.calls.empty());
        }
    }
}

TEST(CdDrive, MissingDrive) {
    GT::CStorageDevice device;
    gbxtest::RecordingProgress progress;
    std::vector<uint8_t> out;
    EXPECT_FALSE(device.Open("/dev/no-such-drive"));
    EXPECT_FALSE(device.Open(""));
    EXPECT_EQ(device.ReadSectorsFromDrive("/dev/no-such-drive", 0, 15, out, &progress), 0);
    EXPECT_TRUE(progress.calls.empty());
    EXPECT_EQ(device.GetBlockLength(""), 0);
    EXPECT_EQ(device.GetBlockLength("/dev/no-such-drive"), -1);
    // Without an open drive there is nothing to read from.
    EXPECT_EQ(device.ReadSectors(0, 15, out, &progress), 0);
}

TEST(CdDrive, BlockLengthNeedsAWholeAnswer) {
    Drive d(TwelveTracks());
    d.emulated->FailCommand(0x25, EmulatedCdDrive::Failure::Short);
    EXPECT_EQ(d.device.GetBlockLength(kDevice), -1);
}

}  // namespace
