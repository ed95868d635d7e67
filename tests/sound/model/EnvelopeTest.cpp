#include "sound/model/EntityCollection.h"
#include "sound/model/Envelope.h"
#include "tests/sound/model/SelectionNotation.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

namespace {

using SL::CEnvelope;
using SL::CEnvelopePoint;
using SL::CWaveFormat;
using Curve = SL::IEnvelope::CCurveType;

std::vector<CEnvelopePoint> PointsOf(const CEnvelope& envelope) {
    return std::vector<CEnvelopePoint>(envelope.begin(), envelope.end());
}

std::vector<int> CurvesOf(const CEnvelope& envelope) {
    std::vector<int> curves;
    for (const CEnvelopePoint& point : envelope) curves.push_back(point.curve);
    return curves;
}

TEST(EnvelopeTest, NewEnvelopeIsEmptyAndItsRangeCannotBeSet) {
    CEnvelope envelope(CWaveFormat::PITCH_ENVELOPE);
    EXPECT_TRUE(envelope.empty());
    EXPECT_EQ(envelope.GetRange(), SL::CExtent(0, 0));
    EXPECT_FALSE(envelope.IsNull());
    envelope.SetRange(SL::CExtent(5, 9));
    EXPECT_EQ(envelope.GetRange(), SL::CExtent(0, 0));
    EXPECT_EQ(envelope.GetWaveFormat(), CWaveFormat::PITCH_ENVELOPE);
    EXPECT_EQ(envelope.GetCurveType(), Curve::LIN);
    EXPECT_FALSE(envelope.IsActive());
    EXPECT_TRUE(envelope.GetName().empty());
    EXPECT_TRUE(envelope.GetText().empty());
    EXPECT_TRUE(envelope.GetSecondText().empty());
    EXPECT_TRUE(envelope.IsValid());
}

TEST(EnvelopeTest, RangeTruncatesTheOuterPositions) {
    struct Case {
        std::vector<double> xs;
        SL::CExtent expected;
    };
    const Case cases[] = {
        {{1.9, 7.99}, {1, 7}},
        {{-1.5, 2.5}, {-1, 2}},
        {{3.7}, {3, 3}},
        {{7.99, 1.9, 4.0}, {1, 7}},
        // Positions no int can hold stay at the int range's ends.
        {{-1e12, 1e12}, {INT_MIN, INT_MAX}},
    };
    for (const Case& c : cases) {
        CEnvelope envelope(CWaveFormat::NONE);
        for (double x : c.xs) envelope.insert(CEnvelopePoint(x, 0.0));
        EXPECT_EQ(envelope.GetRange(), c.expected) << c.xs.front();
    }
}

TEST(EnvelopeTest, PointsStaySortedAndAnEqualPositionIsDropped) {
    CEnvelope envelope(CWaveFormat::NONE);
    EXPECT_TRUE(envelope.insert(CEnvelopePoint(3.0, 5.0)).second);
    EXPECT_TRUE(envelope.insert(CEnvelopePoint(1.0, 6.0)).second);
    const auto again = envelope.insert(CEnvelopePoint(3.0, 7.0));
    EXPECT_FALSE(again.second);
    EXPECT_EQ(again.first->y, 5.0) << "the point already there stays";
    const std::vector<CEnvelopePoint> expected = {{1.0, 6.0}, {3.0, 5.0}};
    EXPECT_EQ(PointsOf(envelope), expected);

    const std::vector<CEnvelopePoint> more = {{2.0, 1.0}, {0.5, 2.0}, {2.0, 9.0}, {4.0, 3.0}};
    envelope.insert(more.begin(), more.end());
    const std::vector<CEnvelopePoint> merged = {{0.5, 2.0}, {1.0, 6.0}, {2.0, 1.0}, {3.0, 5.0}, {4.0, 3.0}};
    EXPECT_EQ(PointsOf(envelope), merged);
}

TEST(EnvelopeTest, EqualityIgnoresCurveCodesOnly) {
    auto make = [] {
        auto envelope = std::make_unique<CEnvelope>(CWaveFormat::AMPLITUDE_ENVELOPE);
        envelope->insert(CEnvelopePoint(1.0, 0.5, 1));
        envelope->insert(CEnvelopePoint(2.0, 0.25, 2));
        return envelope;
    };
    const auto reference = make();
    EXPECT_TRUE(reference->Equals(*reference));

    auto curves = make();
    curves->ResetCurves(7);
    EXPECT_TRUE(reference->Equals(*curves));

    auto format = make();
    format->SetWaveFormat(CWaveFormat::PITCH_ENVELOPE);
    EXPECT_FALSE(reference->Equals(*format));

    auto curveType = make();
    curveType->SetCurveType(Curve::SPL);
    EXPECT_FALSE(reference->Equals(*curveType));

    auto name = make();
    name->SetSecondText("x");
    EXPECT_FALSE(reference->Equals(*name));

    auto value = make();
    value->clear();
    value->insert(CEnvelopePoint(1.0, 0.5));
    value->insert(CEnvelopePoint(2.0, 0.3));
    EXPECT_FALSE(reference->Equals(*value));

    auto fewer = make();
    fewer->erase(fewer->begin());
    EXPECT_FALSE(reference->Equals(*fewer));

    const SL::CObject other;
    EXPECT_FALSE(reference->Equals(other));
}

TEST(EnvelopeTest, CloneEqualsItsSourceAndSharesNothing) {
    CEnvelope source(CWaveFormat::FILTER_ENVELOPE);
    source.SetName("cutoff");
    source.SetActive(true);
    source.insert(CEnvelopePoint(0.0, 1.0, 2));
    std::unique_ptr<SL::ICloneable> copy(source.Clone());
    auto* clone = dynamic_cast<CEnvelope*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(clone->Equals(source));
    EXPECT_EQ(CurvesOf(*clone), std::vector<int>{2});
    clone->SetName("other");
    clone->SetWaveFormat(CWaveFormat::NONE);
    EXPECT_EQ(source.GetName(), "cutoff");
    EXPECT_EQ(source.GetWaveFormat(), CWaveFormat::FILTER_ENVELOPE);

    const CEnvelope bare(source, false);
    EXPECT_TRUE(bare.empty());
    EXPECT_EQ(bare.GetName(), "cutoff");
    EXPECT_FALSE(bare.Equals(source));
}

// What CopyFrom takes from a source for each selection.
struct CopyCase {
    const char* selection;  // "*" is the process-wide root-only collection
    bool attributes;        // entity attributes, wave format and curve type
    bool points;
    bool curvesKept;  // meaningful when points are copied
};

void PrintTo(const CopyCase& c, std::ostream* out) { *out << "[" << c.selection << "]"; }

class EnvelopeCopyTest : public ::testing::TestWithParam<CopyCase> {
protected:
    EnvelopeCopyTest() : m_source(CWaveFormat::AMPLITUDE_ENVELOPE), m_target(CWaveFormat::PITCH_ENVELOPE) {
        m_source.SetActive(true);
        m_source.SetName("source");
        m_source.SetText("text");
        m_source.SetSecondText("second");
        m_source.SetCurveType(Curve::SPL);
        m_source.insert(CEnvelopePoint(10.0, 1.0, 1));
        m_source.insert(CEnvelopePoint(20.0, 0.5, 2));
        m_target.SetName("target");
        m_target.insert(CEnvelopePoint(5.0, 3.0, 3));
    }

    SL::CEntityCollection SelectionOf(const char* text) const {
        return std::string(text) == "*" ? SL::GetRootOnlyCollection() : sltest::Selection(text);
    }

    CEnvelope m_source;
    CEnvelope m_target;
};

TEST_P(EnvelopeCopyTest, CopiesWhatTheSelectionSelects) {
    const CopyCase& c = GetParam();
    m_target.CopyFrom(m_source, SelectionOf(c.selection));

    if (c.attributes) {
        EXPECT_TRUE(m_target.IsActive());
        EXPECT_EQ(m_target.GetName(), "source");
        EXPECT_EQ(m_target.GetText(), "text");
        EXPECT_EQ(m_target.GetSecondText(), "second");
        EXPECT_EQ(m_target.GetWaveFormat(), CWaveFormat::AMPLITUDE_ENVELOPE);
        EXPECT_EQ(m_target.GetCurveType(), Curve::SPL);
    } else {
        EXPECT_FALSE(m_target.IsActive());
        EXPECT_EQ(m_target.GetName(), "target");
        EXPECT_EQ(m_target.GetWaveFormat(), CWaveFormat::PITCH_ENVELOPE);
        EXPECT_EQ(m_target.GetCurveType(), Curve::LIN);
    }
    if (c.points) {
        EXPECT_EQ(PointsOf(m_target), PointsOf(m_source)) << "the target's own points are gone";
        EXPECT_EQ(CurvesOf(m_target), c.curvesKept ? std::vector<int>({1, 2}) : std::vector<int>({0, 0}));
    } else {
        EXPECT_EQ(PointsOf(m_target), std::vector<CEnvelopePoint>({{5.0, 3.0}}));
        EXPECT_EQ(CurvesOf(m_target), std::vector<int>({3}));
    }
    EXPECT_EQ(CurvesOf(m_source), std::vector<int>({1, 2})) << "the source is untouched";
}

INSTANTIATE_TEST_SUITE_P(
    Envelope, EnvelopeCopyTest,
    ::testing::Values(CopyCase{"*", true, true, true}, CopyCase{"2:0:0", true, true, true},
                      CopyCase{"2:0:0x10", false, true, false}, CopyCase{"2:0:0x30", false, true, true},
                      CopyCase{"2:0:0x20", false, false, false}, CopyCase{"2:0:0x1", true, false, false},
                      CopyCase{"2:0:0x11", true, true, false}, CopyCase{"2:-1:0x10", false, true, false},
                      CopyCase{"2:5:0x10", false, false, false}, CopyCase{"1:-1:0", false, false, false},
                      // Equal to the root-only collection is as good as being it.
                      CopyCase{"", true, true, true}));

// An envelope of another class: CopyFrom takes only what the interface's own body copies.
class CForeignEnvelope : public SL::AEntityBase<SL::IEnvelope> {
public:
    SL::ICloneable* Clone() const override { return new CForeignEnvelope(*this); }
    void Activate() override {}
    bool IsValid() const override { return true; }
    SL::CWaveFormat GetWaveFormat() const override { return CWaveFormat::PHASE_ENVELOPE; }
    void SetCurveType(const CCurveType&) override {}
    CCurveType GetCurveType() const override { return Curve::LOG; }
    void SetWaveFormat(const SL::CWaveFormat&) override {}
    SL::CExtent GetRange() const override { return SL::CExtent(); }
    bool IsNull() const override { return false; }
};

TEST(EnvelopeTest, CopyFromAnotherClassTakesTheAttributesOnly) {
    CForeignEnvelope foreign;
    foreign.SetName("foreign");
    CEnvelope target(CWaveFormat::NONE);
    target.insert(CEnvelopePoint(1.0, 1.0, 4));
    target.CopyFrom(foreign, SL::GetRootOnlyCollection());
    EXPECT_EQ(target.GetName(), "foreign");
    EXPECT_EQ(target.GetWaveFormat(), CWaveFormat::PHASE_ENVELOPE);
    EXPECT_EQ(target.GetCurveType(), Curve::LOG);
    EXPECT_EQ(target.size(), 1u);
    EXPECT_EQ(CurvesOf(target), std::vector<int>{4});
}

TEST(EnvelopeTest, CopyFromItselfKeepsItsPoints) {
    CEnvelope envelope(CWaveFormat::NONE);
    envelope.insert(CEnvelopePoint(1.0, 1.0, 4));
    envelope.insert(CEnvelopePoint(2.0, 2.0, 5));
    envelope.CopyFrom(envelope, SL::GetRootOnlyCollection());
    EXPECT_EQ(PointsOf(envelope), std::vector<CEnvelopePoint>({{1.0, 1.0}, {2.0, 2.0}}));
    EXPECT_EQ(CurvesOf(envelope), std::vector<int>({4, 5}));
    envelope.CopyFrom(envelope, sltest::Selection("2:0:0x10"));
    EXPECT_EQ(envelope.size(), 2u);
    EXPECT_EQ(CurvesOf(envelope), std::vector<int>({0, 0}));
}

}  // namespace
