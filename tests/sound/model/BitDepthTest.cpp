#include "sound/model/BitDepth.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace {

using SL::CBitDepth;
using Error = GT::IRangedNumber<int>::CError;

struct Row {
    SL::EBitDepth constant;
    uint32_t code;
    const char* name;
    int bytesPerSample;
    bool fileFormat;
};

// Every row, in table order.
const Row kRows[] = {
    {CBitDepth::NONE, 0x0, "NONE", 0, false},
    {CBitDepth::INTEGER8S, 0x10008, "INTEGER8S", 1, true},
    {CBitDepth::INTEGER8, 0x80010008u, "INTEGER8", 1, true},
    {CBitDepth::INTEGER16, 0x10010, "INTEGER16", 2, true},
    {CBitDepth::INTEGER24, 0x10018, "INTEGER24", 3, true},
    {CBitDepth::INTEGER32, 0x10020, "INTEGER32", 4, true},
    {CBitDepth::FLOAT32, 0x20020, "FLOAT32", 4, true},
    {CBitDepth::FLOAT64, 0x20040, "FLOAT64", 8, true},
    {CBitDepth::COMPLEX32, 0x40040, "COMPLEX32", 8, false},
    {CBitDepth::COMPLEX64, 0x40080, "COMPLEX64", 16, false},
    {CBitDepth::POINT64, 0x80080, "POINT64", 16, false},
};

TEST(BitDepth, EveryRowByCodeNameConstantAndSize) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const int code = static_cast<int>(row.code);
        const CBitDepth byCode(code);
        const CBitDepth byName(row.name);
        const CBitDepth byConstant = row.constant;
        EXPECT_EQ(byCode.GetValue(), code);
        EXPECT_EQ(byName.GetValue(), code);
        EXPECT_EQ(byConstant.GetValue(), code);
        EXPECT_EQ(byCode.ToString(), row.name);
        EXPECT_EQ(byCode.GetBytesPerSample(), row.bytesPerSample);
        EXPECT_EQ(SL::BytesPerSample(row.constant), row.bytesPerSample);
        EXPECT_EQ(byCode.IsFileFormat(), row.fileFormat);
        EXPECT_TRUE(byCode == row.constant);
        EXPECT_TRUE(byCode.IsValid(code));
        const std::unique_ptr<GT::IRangedNumber<int>> made = byCode.CreateInstance(code);
        EXPECT_EQ(made->GetValue(), code);
        EXPECT_NE(dynamic_cast<CBitDepth*>(made.get()), nullptr);
    }
    // The unsigned 8-bit code is negative as a signed int.
    EXPECT_EQ(CBitDepth(CBitDepth::INTEGER8).GetValue(), -2147418104);
}

TEST(BitDepth, DescriptionIteratesInTableOrderWithItsBounds) {
    const auto& description = CBitDepth().GetDescription();
    EXPECT_EQ(description.GetMinimum(), 0);
    EXPECT_EQ(description.GetMaximum(), 0x80080);
    const auto it = description.CreateIterator();
    for (const Row& row : kRows) {
        ASSERT_TRUE(it->HasNext());
        EXPECT_EQ(it->Next(), static_cast<int>(row.code)) << row.name;
    }
    EXPECT_FALSE(it->HasNext());
}

TEST(BitDepth, DefaultIsNone) { EXPECT_EQ(CBitDepth().GetCode(), CBitDepth::NONE); }

TEST(BitDepth, HeaderBitCountsMakeTheirFormats) {
    struct {
        int bits;
        bool isUnsigned;
        SL::EBitDepth expected;
    } const cases[] = {
        {8, true, CBitDepth::INTEGER8},    {8, false, CBitDepth::INTEGER8S},  {16, true, CBitDepth::INTEGER16},
        {16, false, CBitDepth::INTEGER16}, {24, false, CBitDepth::INTEGER24}, {24, true, CBitDepth::INTEGER24},
        {32, true, CBitDepth::INTEGER32},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CBitDepth(c.bits, c.isUnsigned).GetCode(), c.expected) << c.bits << " " << c.isUnsigned;
    EXPECT_EQ(CBitDepth::FromFloatBits(32).GetCode(), CBitDepth::FLOAT32);
    EXPECT_EQ(CBitDepth::FromFloatBits(64).GetCode(), CBitDepth::FLOAT64);
}

TEST(BitDepth, ValuesOutsideTheTableThrowWithTheBounds) {
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"integer 12 bits", [] { CBitDepth(12, false); }},
        {"integer 20 bits", [] { CBitDepth(20, true); }},
        {"integer 0 bits", [] { CBitDepth(0, false); }},
        {"integer 64 bits", [] { CBitDepth(64, false); }},
        {"integer -8 bits", [] { CBitDepth(-8, true); }},
        // A count wider than 16 bits must not alias another kind's code (0x10010 | 0x10000 = INTEGER16).
        {"integer 0x10010 bits", [] { CBitDepth(0x10010, false); }},
        {"float 16 bits", [] { CBitDepth::FromFloatBits(16); }},
        {"float 8 bits", [] { CBitDepth::FromFloatBits(8); }},
        {"float 0x20040 bits", [] { CBitDepth::FromFloatBits(0x20040); }},
        {"code -1", [] { CBitDepth(-1); }},
        {"code 0x10009", [] { CBitDepth(0x10009); }},
        {"unsigned 16-bit code", [] { CBitDepth(static_cast<int>(0x80010010u)); }},
        {"name integer8", [] { CBitDepth("integer8"); }},
        {"empty name", [] { CBitDepth(""); }},
        {"name with a blank", [] { CBitDepth("INTEGER8 "); }},
        {"CreateInstance", [] { CBitDepth().CreateInstance(3); }},
        {"CreateInstanceByName", [] { CBitDepth().CreateInstanceByName("FLOAT16"); }},
    };
    for (const auto& [what, construct] : cases) {
        try {
            construct();
            ADD_FAILURE() << what << " did not throw";
        } catch (const Error& error) {
            EXPECT_EQ(error.GetMinimum(), 0) << what;
            EXPECT_EQ(error.GetMaximum(), 0x80080) << what;
        }
    }
}

TEST(BitDepth, ConstantsAreCompileTimeCodes) {
    static_assert(static_cast<uint32_t>(CBitDepth::INTEGER8) == 0x80010008u);
    static_assert(SL::BytesPerSample(CBitDepth::INTEGER24) == 3);
    static_assert(SL::IsFileFormat(CBitDepth::FLOAT64) && !SL::IsFileFormat(CBitDepth::COMPLEX32));
    static_assert(std::is_same_v<SL::SampleElement<CBitDepth::INTEGER24>, int32_t>);
    static_assert(std::is_same_v<SL::SampleElement<CBitDepth::INTEGER8>, uint8_t>);
    const CBitDepth a = CBitDepth::INTEGER16;
    EXPECT_TRUE(a == CBitDepth::INTEGER16);
    EXPECT_TRUE(CBitDepth::INTEGER16 == a);
    EXPECT_TRUE(a != CBitDepth::INTEGER24);
    EXPECT_TRUE(a == CBitDepth(16, false));
}

}  // namespace
