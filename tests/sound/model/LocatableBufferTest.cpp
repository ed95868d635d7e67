#include "sound/model/LocatableBuffer.h"
#include "sound/model/MemorySampleFormats.h"

#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <limits>
#include <typeinfo>
#include <vector>

namespace {

using SL::CExtent;
using SL::CLocatableBuffer;
using Buffer16 = CLocatableBuffer<std::int16_t>;

std::vector<std::int16_t> Values(const Buffer16& buffer) {
    return std::vector<std::int16_t>(buffer.begin(), buffer.end());
}

TEST(LocatableBufferTest, DefaultBufferIsEmptyAtZero) {
    const Buffer16 buffer;
    EXPECT_EQ(buffer.GetSize(), 0);
    EXPECT_EQ(buffer.GetData(), nullptr);
    EXPECT_EQ(buffer.GetDataEnd(), nullptr);
    EXPECT_EQ(buffer.GetRange(), CExtent(0, 0));
}

TEST(LocatableBufferTest, ConstructionFromRangeAndData) {
    const CLocatableBuffer<std::uint8_t> zeros(CExtent(-3, 2));
    EXPECT_EQ(zeros.GetRange(), CExtent(-3, 2));
    EXPECT_EQ(std::vector<std::uint8_t>(zeros.begin(), zeros.end()), std::vector<std::uint8_t>(5, 0));

    const std::int16_t samples[] = {7, -8, 9};
    const Buffer16 copy(samples, CExtent(10, 13));
    EXPECT_EQ(Values(copy), std::vector<std::int16_t>({7, -8, 9}));
    EXPECT_EQ(*copy.GetSampleAt(11), -8);
    EXPECT_EQ(copy.GetDataEnd() - copy.GetData(), 3);
    EXPECT_EQ(copy.GetSampleAt(13), copy.GetDataEnd());

    const auto made = copy.CreateFromData(samples + 1, CExtent(0, 2));
    EXPECT_EQ(made->GetRange(), CExtent(0, 2));
    EXPECT_EQ(made->GetData()[0], -8);
    EXPECT_EQ(made->GetData()[1], 9);
    const auto zero = copy.CreateFromRange(CExtent(4, 6));
    EXPECT_EQ(zero->GetRange(), CExtent(4, 6));
    EXPECT_EQ(*zero->GetSampleAt(5), 0);
    EXPECT_NE(dynamic_cast<Buffer16*>(zero.get()), nullptr);

    EXPECT_THROW(Buffer16(CExtent(5, 4)), std::length_error);
}

// SetRange re-labels: samples keep their index; growing appends zeros, shrinking drops the end.
TEST(LocatableBufferTest, SetRangeResizesAndRelabels) {
    struct Case {
        CExtent range;
        std::vector<std::int16_t> values;
    };
    const Case cases[] = {
        {{10, 10}, {}},
        {{100, 105}, {1, 2, 3, 4, 5}},
        {{0, 3}, {1, 2, 3}},
        {{-2, 5}, {1, 2, 3, 4, 5, 0, 0}},
        {{3, 9}, {1, 2, 3, 4, 5, 0}},
    };
    const std::int16_t samples[] = {1, 2, 3, 4, 5};
    for (const Case& c : cases) {
        Buffer16 buffer(samples, CExtent(0, 5));
        buffer.SetRange(c.range);
        EXPECT_EQ(buffer.GetRange(), c.range);
        EXPECT_EQ(Values(buffer), c.values);
        if (c.values.empty()) {
            EXPECT_EQ(buffer.GetData(), nullptr);
        } else {
            EXPECT_EQ(buffer.GetSampleAt(c.range.start), buffer.GetData()) << "position start is index 0";
            EXPECT_EQ(*buffer.GetSampleAt(c.range.start), 1);
        }
    }
}

TEST(LocatableBufferTest, UnsignedBufferGrowsWithZeroNotSilence) {
    const std::vector<std::uint8_t> samples(4, 200);
    CLocatableBuffer<std::uint8_t> buffer(samples.data(), CExtent(0, 4));
    buffer.SetRange(CExtent(0, 8));
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.end()),
              std::vector<std::uint8_t>({200, 200, 200, 200, 0, 0, 0, 0}));
}

TEST(LocatableBufferTest, ReversedRangeThrowsAndChangesNothing) {
    const std::int16_t samples[] = {1, 2};
    Buffer16 buffer(samples, CExtent(7, 9));
    EXPECT_THROW(buffer.SetRange(CExtent(4, 3)), std::length_error);
    EXPECT_EQ(buffer.GetRange(), CExtent(7, 9));
    EXPECT_EQ(Values(buffer), std::vector<std::int16_t>({1, 2}));
    // More samples than GetSize can count: refused before anything is allocated.
    const int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
    for (const CExtent& tooLong : {CExtent(kMin, kMax), CExtent(-1, kMax), CExtent(kMin, 0)}) {
        EXPECT_THROW(buffer.SetRange(tooLong), std::length_error) << tooLong.start << ", " << tooLong.end;
        EXPECT_THROW(Buffer16{tooLong}, std::length_error) << tooLong.start << ", " << tooLong.end;
    }
    EXPECT_EQ(buffer.GetRange(), CExtent(7, 9));
    EXPECT_EQ(Values(buffer), std::vector<std::int16_t>({1, 2}));
}

TEST(LocatableBufferTest, SwapExchangesSamplesAndStarts) {
    const std::int16_t a[] = {1, 2};
    const std::int16_t b[] = {5, 6, 7, 8, 9};
    Buffer16 first(a, CExtent(3, 5));
    Buffer16 second(b, CExtent(0, 5));
    const std::int16_t* storage = second.GetData();
    first.Swap(second);
    EXPECT_EQ(first.GetRange(), CExtent(0, 5));
    EXPECT_EQ(second.GetRange(), CExtent(3, 5));
    EXPECT_EQ(first.GetData(), storage) << "storage changes hands, nothing is copied";
    EXPECT_EQ(Values(second), std::vector<std::int16_t>({1, 2}));
}

// Another implementation of the buffer interface: Swap with it is refused.
class COtherBuffer : public SL::ILocatableBuffer<std::int16_t> {
public:
    void SetRange(const CExtent&) override {}
    CExtent GetRange() const override { return CExtent(); }
    void Swap(ILocatableBuffer&) override {}
    std::int16_t* GetData() override { return nullptr; }
    std::int16_t* GetDataEnd() override { return nullptr; }
    std::int16_t* GetSampleAt(int) override { return nullptr; }
    int GetSize() const override { return 0; }
    boost::shared_ptr<ILocatableBuffer> CreateFromData(const std::int16_t*, const CExtent&) const override {
        return {};
    }
    boost::shared_ptr<ILocatableBuffer> CreateFromRange(const CExtent&) const override { return {}; }
};

TEST(LocatableBufferTest, SwapWithAnotherClassThrowsBadCast) {
    const std::int16_t a[] = {1, 2};
    Buffer16 buffer(a, CExtent(3, 5));
    COtherBuffer other;
    EXPECT_THROW(buffer.Swap(other), std::bad_cast);
    EXPECT_EQ(buffer.GetRange(), CExtent(3, 5));
    EXPECT_EQ(Values(buffer), std::vector<std::int16_t>({1, 2}));
}

// The read-only accessors go through the writable ones.
class CShiftedBuffer : public Buffer16 {
public:
    using Buffer16::Buffer16;
    using Buffer16::GetData;
    std::int16_t* GetData() override { return Buffer16::GetData() + 1; }
};

TEST(LocatableBufferTest, ReadOnlyAccessorsFollowOverriddenWritableOnes) {
    const std::int16_t a[] = {1, 2, 3};
    const CShiftedBuffer buffer(a, CExtent(0, 3));
    const SL::ILocatableBuffer<std::int16_t>& view = buffer;
    EXPECT_EQ(*view.GetData(), 2);
    EXPECT_EQ(*view.GetSampleAt(1), 3);
}

TEST(LocatableBufferTest, EqualityComparesSamplesAndStart) {
    const std::int16_t a[] = {1, 2};
    EXPECT_TRUE(Buffer16(a, CExtent(0, 2)) == Buffer16(a, CExtent(0, 2)));
    EXPECT_FALSE(Buffer16(a, CExtent(0, 2)) == Buffer16(a, CExtent(1, 3)));
    EXPECT_FALSE(Buffer16(a, CExtent(0, 2)) == Buffer16(a, CExtent(0, 1)));
    EXPECT_TRUE(Buffer16(CExtent(4, 4)) == Buffer16(CExtent(4, 4)));
    EXPECT_FALSE(Buffer16(CExtent(4, 4)) == Buffer16(CExtent(5, 5)));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(CLocatableBuffer<double>(&nan, CExtent(0, 1)) == CLocatableBuffer<double>(&nan, CExtent(0, 1)));
    const double plus = 0.0, minus = -0.0;
    EXPECT_TRUE(CLocatableBuffer<double>(&plus, CExtent(0, 1)) == CLocatableBuffer<double>(&minus, CExtent(0, 1)));

    using Complex = std::complex<float>;
    const Complex c1(1.0f, 2.0f), c2(1.0f, -2.0f);
    EXPECT_FALSE(CLocatableBuffer<Complex>(&c1, CExtent(0, 1)) == CLocatableBuffer<Complex>(&c2, CExtent(0, 1)));

    using Point = GT::CPointT<double>;
    const Point p1(1.0, 2.0), p2(1.0, 2.0), p3(2.0, 2.0);
    EXPECT_TRUE(CLocatableBuffer<Point>(&p1, CExtent(0, 1)) == CLocatableBuffer<Point>(&p2, CExtent(0, 1)));
    EXPECT_FALSE(CLocatableBuffer<Point>(&p1, CExtent(0, 1)) == CLocatableBuffer<Point>(&p3, CExtent(0, 1)));
    const CLocatableBuffer<Point> grown(CExtent(0, 1));
    EXPECT_TRUE(grown[0] == Point(0.0, 0.0));
}

TEST(LocatableBufferTest, IntersectRanges) {
    struct Case {
        CExtent a, b, expected;
    };
    const Case cases[] = {
        {{0, 10}, {5, 20}, {5, 10}},   {{5, 20}, {0, 10}, {5, 10}},    {{0, 10}, {10, 20}, {10, 10}},
        {{10, 20}, {0, 10}, {10, 10}}, {{0, 10}, {11, 20}, {0, 0}},    {{11, 20}, {0, 10}, {0, 0}},
        {{0, 10}, {2, 3}, {2, 3}},     {{-8, -2}, {-5, 40}, {-5, -2}}, {{3, 3}, {0, 10}, {3, 3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SL::IntersectRanges(c.a, c.b), c.expected)
            << "{" << c.a.start << ", " << c.a.end << "} & {" << c.b.start << ", " << c.b.end << "}";
}

}  // namespace
