#include "sound/model/BitDepth.h"
#include "sound/model/SoundEnumerations.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Error = GT::IRangedNumber<int>::CError;

struct Table {
    std::vector<std::pair<int, std::string>> rows;  // in table order
    int minimum;
    int maximum;
    std::vector<int> invalidValues;
};

// Each row by value and by name, the iteration order, the bounds, and the range errors.
template <typename E>
void CheckTable(const Table& table) {
    for (const auto& [value, name] : table.rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(E(value).ToString(), name);
        EXPECT_EQ(E(name).GetValue(), value);
    }
    const auto& description = E().GetDescription();
    EXPECT_EQ(description.GetMinimum(), table.minimum);
    EXPECT_EQ(description.GetMaximum(), table.maximum);
    const auto it = description.CreateIterator();
    for (const auto& row : table.rows) {
        ASSERT_TRUE(it->HasNext());
        EXPECT_EQ(it->Next(), row.first);
    }
    EXPECT_FALSE(it->HasNext());
    EXPECT_EQ(E().GetValue(), table.rows.front().first);

    std::vector<std::function<void()>> bad;
    for (int value : table.invalidValues) bad.push_back([value] { E{value}; });
    bad.push_back([] { E{std::string("nope")}; });
    bad.push_back([] { E{std::string()}; });
    for (const auto& construct : bad) {
        try {
            construct();
            ADD_FAILURE() << "no throw";
        } catch (const Error& error) {
            EXPECT_EQ(error.GetMinimum(), table.minimum);
            EXPECT_EQ(error.GetMaximum(), table.maximum);
        }
    }
}

TEST(SoundEnumerations, WaveFileFormat) {
    CheckTable<SL::CWaveFileFormat>({{{0, "INVALID"}, {1, "AIFF"}, {2, "WINWAVE"}}, 0, 2, {-1, 3}});
    EXPECT_EQ(SL::CWaveFileFormat(SL::CWaveFileFormat::WINWAVE).GetValue(), 2);
}

TEST(SoundEnumerations, WaveFormat) {
    CheckTable<SL::CWaveFormat>({{{0, "NONE"},
                                  {0x1000A, "WAVE"},
                                  {0x10014, "FFT"},
                                  {0x10022, "PITCH"},
                                  {0x10003, "GENERAL"},
                                  {0x2000A, "AMPLITUDE_ENVELOPE"},
                                  {0x20022, "PITCH_ENVELOPE"},
                                  {0x20014, "FILTER_ENVELOPE"},
                                  {0x20044, "PHASE_ENVELOPE"}},
                                 0,
                                 0x20044,
                                 {1, 0xA, 0x1000B, -1}});
    EXPECT_EQ(SL::CWaveFormat(SL::CWaveFormat::PHASE_ENVELOPE).GetValue(), 0x20044);
}

TEST(SoundEnumerations, LoopMode) {
    CheckTable<SL::CLoopMode>({{{0, "1SHOT"},
                                {1, "FWD"},
                                {3, "ALT++"},
                                {7, "ALT+-"},
                                {8, "1SHOTR"},
                                {9, "FWDR"},
                                {11, "ALT++R"},
                                {15, "ALT+-R"}},
                               0,
                               15,
                               {2, 4, 5, 6, 10, 12, 13, 14, 16, -1}});
    const SL::ELoopMode constants[] = {SL::CLoopMode::ONESHOT, SL::CLoopMode::FWD,      SL::CLoopMode::ALTPP,
                                       SL::CLoopMode::ALTPM,   SL::CLoopMode::ONESHOTR, SL::CLoopMode::FWDR,
                                       SL::CLoopMode::ALTPPR,  SL::CLoopMode::ALTPMR};
    const int values[] = {0, 1, 3, 7, 8, 9, 11, 15};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(SL::CLoopMode(constants[i]).GetValue(), values[i]);
}

TEST(SoundEnumerations, EnvelopeCurveType) {
    CheckTable<SL::CEnvelopeCurveType>({{{0, "LIN"}, {1, "LOG"}, {2, "SPL"}}, 0, 2, {3, -1}});
    EXPECT_EQ(SL::CEnvelopeCurveType(SL::CEnvelopeCurveType::SPL).GetValue(), 2);
}

TEST(SoundEnumerations, AssignCopiesOnlyFromTheSameClass) {
    // CWaveFileFormat and CEnvelopeCurveType share the values 0-2 but are different enumerations.
    SL::CWaveFileFormat format(SL::CWaveFileFormat::AIFF);
    format.Assign(SL::CEnvelopeCurveType(SL::CEnvelopeCurveType::SPL));
    EXPECT_EQ(format.GetValue(), 1);
    format.Assign(SL::CWaveFileFormat(SL::CWaveFileFormat::WINWAVE));
    EXPECT_EQ(format.GetValue(), 2);
    SL::CBitDepth depth(SL::CBitDepth::INTEGER16);
    depth.Assign(SL::CLoopMode(SL::CLoopMode::FWD));
    EXPECT_EQ(depth.GetCode(), SL::CBitDepth::INTEGER16);
}

}  // namespace
