#include "general_tools/CdToc.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

GT::CCdToc MakeToc(std::initializer_list<int32_t> trackStarts, int32_t leadOut, uint8_t dataTrack = 0) {
    GT::CCdToc toc;
    for (int32_t start : trackStarts) toc.Add(GT::CCdTocEntry(start, 0, 0, dataTrack, 0));
    toc.Add(GT::CCdTocEntry(leadOut, 0, 0, 1, 0));
    return toc;
}

TEST(CdTocTest, ThreeTrackDisc) {
    const GT::CCdToc toc = MakeToc({150, 20000, 40000}, 60000);
    EXPECT_EQ(toc.GetTrackCount(), 3);
    EXPECT_TRUE(toc.HasAudioTrack());
    const struct {
        int index;
        int32_t start, offset, length;
    } rows[] = {
        {-1, -1, -1, -1},         {0, 150, 0, 19850},    {1, 20000, 19850, 20000},
        {2, 40000, 39850, 20000}, {3, 60000, 59850, -1},  // the lead-out: a start and an offset, no length
        {4, -1, -1, -1},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(toc.GetTrackStart(r.index), r.start) << r.index;
        EXPECT_EQ(toc.GetTrackOffset(r.index), r.offset) << r.index;
        EXPECT_EQ(toc.GetTrackLength(r.index), r.length) << r.index;
    }
}

TEST(CdTocTest, DataOnlyDiscHasNoAudioTrack) {
    EXPECT_FALSE(MakeToc({150, 30000}, 50000, 1).HasAudioTrack());
    // One audio track among data tracks is enough.
    GT::CCdToc mixed;
    mixed.Add(GT::CCdTocEntry(150, 0, 0, 1, 0));
    mixed.Add(GT::CCdTocEntry(20000, 0, 0, 0, 0));
    mixed.Add(GT::CCdTocEntry(50000, 0, 0, 1, 0));
    EXPECT_TRUE(mixed.HasAudioTrack());
}

TEST(CdTocTest, LeadOutOnlyAndEmpty) {
    GT::CCdToc leadOutOnly;
    leadOutOnly.Add(GT::CCdTocEntry(12345, 0, 0, 1, 0));
    EXPECT_EQ(leadOutOnly.GetTrackCount(), 0);
    EXPECT_FALSE(leadOutOnly.HasAudioTrack());
    EXPECT_EQ(leadOutOnly.GetTrackStart(0), 12345);
    EXPECT_EQ(leadOutOnly.GetTrackLength(0), -1);

    GT::CCdToc empty;
    EXPECT_EQ(empty.GetTrackCount(), 0);
    EXPECT_FALSE(empty.HasAudioTrack());
    EXPECT_EQ(empty.GetTrackStart(0), -1);
    EXPECT_EQ(empty.GetTrackOffset(0), -1);
}

TEST(CdTocTest, EntryKeepsItsFlags) {
    const GT::CCdTocEntry e(150, 1, 1, 0, 1);
    GT::CCdToc toc;
    toc.Add(e);
    const GT::CCdTocEntry& got = toc.GetEntries().at(0);
    EXPECT_EQ(got.startFrame, 150);
    EXPECT_EQ(got.preEmphasis, 1);
    EXPECT_EQ(got.digitalCopyPermitted, 1);
    EXPECT_EQ(got.dataTrack, 0);
    EXPECT_EQ(got.fourChannelAudio, 1);
}

}  // namespace
