#include "sound/model/ChannelCollection.h"
#include "sound/model/TypedChannelCollection.h"

#include <gtest/gtest.h>

#include <ostream>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using SL::CExtent;
using SL::EBitDepth;
using Typed16 = SL::CTypedChannelCollection<EBitDepth::INTEGER16>;
using Channel16 = SL::CChannel<EBitDepth::INTEGER16>;

boost::shared_ptr<Channel16> NewChannel16(SL::CWaveFormat format = SL::CWaveFormat::WAVE) {
    return boost::make_shared<Channel16>(format);
}

TEST(ChannelCollection, NewCollectionIsEmptyValidUniform) {
    const SL::CChannelCollection bare(SL::CWaveFormat::FFT);
    EXPECT_TRUE(bare.empty());
    EXPECT_TRUE(bare.IsValid());
    EXPECT_TRUE(bare.IsUniform());
    EXPECT_FALSE(bare.IsStereo());
    EXPECT_EQ(bare.GetRange(), CExtent(0, 0));
    EXPECT_EQ(bare.GetWaveFormat(), SL::CWaveFormat::FFT);
}

TEST(ChannelCollection, ResizeRebuildsThroughTheFactory) {
    SL::CChannelCollection bare(SL::CWaveFormat::WAVE);
    bare.Resize(2);
    ASSERT_EQ(bare.size(), 2u);
    for (const auto& channel : bare) {
        ASSERT_TRUE(dynamic_cast<SL::CNullChannel*>(channel.get()));
        EXPECT_EQ(channel->GetWaveFormat(), SL::CWaveFormat::WAVE);
    }
    const std::vector<boost::shared_ptr<SL::IChannel>> before(bare.begin(), bare.end());
    bare.Resize(2);
    EXPECT_NE(bare[0], before[0]);
    EXPECT_NE(bare[1], before[1]);
    bare.Resize(0);
    EXPECT_TRUE(bare.empty());
    bare.Resize(3);
    bare.Resize(-1);
    EXPECT_TRUE(bare.empty());

    bare.SetChannelFactory(SL::ChannelFactory());
    EXPECT_THROW(bare.Resize(1), boost::bad_function_call);
    EXPECT_TRUE(bare.empty());
}

// Resizing through the collection part (which makes channels) and through the vector part
// (which appends shared or empty entries), on a typed collection of three INTEGER16 channels.
struct ResizeCase {
    const char* what;
    void (*resize)(Typed16& collection);
    uint32_t size;
    uint32_t typedChannels;  // entries that hold a CChannel of the format
    uint32_t emptyEntries;
    uint32_t distinctChannels;
};

void PrintTo(const ResizeCase& c, std::ostream* os) { *os << c.what; }

class TypedChannelCollectionResize : public ::testing::TestWithParam<ResizeCase> {};

TEST_P(TypedChannelCollectionResize, GivesTheEntries) {
    const ResizeCase& c = GetParam();
    Typed16 collection(SL::CWaveFormat::WAVE);
    collection.Resize(3);
    const auto before = std::vector<boost::shared_ptr<SL::IChannel>>(collection.GetVector());
    c.resize(collection);
    EXPECT_EQ(collection.size(), c.size);
    uint32_t typed = 0, empty = 0, kept = 0;
    std::vector<const SL::IChannel*> distinct;
    for (const auto& entry : collection.GetVector()) {
        typed += dynamic_cast<const Channel16*>(entry.get()) != nullptr;
        empty += !entry;
        kept += std::find(before.begin(), before.end(), entry) != before.end() && entry;
        if (entry && std::find(distinct.begin(), distinct.end(), entry.get()) == distinct.end())
            distinct.push_back(entry.get());
    }
    EXPECT_EQ(typed, c.typedChannels);
    EXPECT_EQ(empty, c.emptyEntries);
    EXPECT_EQ(distinct.size(), c.distinctChannels);
    if (std::string(c.what).rfind("Resize", 0) == 0) {
        EXPECT_EQ(kept, 0u) << "Resize always makes new channels";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, TypedChannelCollectionResize,
    ::testing::Values(ResizeCase{"Resize same count", [](Typed16& c) { c.Resize(3); }, 3, 3, 0, 3},
                      ResizeCase{"Resize to more", [](Typed16& c) { c.Resize(5); }, 5, 5, 0, 5},
                      ResizeCase{"Resize to zero", [](Typed16& c) { c.Resize(0); }, 0, 0, 0, 0},
                      ResizeCase{"Resize negative", [](Typed16& c) { c.Resize(-2); }, 0, 0, 0, 0},
                      ResizeCase{"resize grows with empty entries", [](Typed16& c) { c.resize(5); }, 5, 3, 2, 3},
                      ResizeCase{"resize shrinks from the end", [](Typed16& c) { c.resize(1); }, 1, 1, 0, 1},
                      ResizeCase{"resize with one shared channel", [](Typed16& c) { c.resize(6, NewChannel16()); }, 6,
                                 6, 0, 4},
                      ResizeCase{"resize to zero", [](Typed16& c) { c.resize(0); }, 0, 0, 0, 0}));

// A bare collection of null channels, as the file readers build it without samples.
TEST(ChannelCollection, NullChannelsTakeTheExtent) {
    SL::CChannelCollection bare(SL::CWaveFormat::WAVE);
    bare.Resize(2);
    bare.SetRange(CExtent(0, 1000));
    EXPECT_EQ(bare[1]->GetRange(), CExtent(0, 1000));
    EXPECT_EQ(bare.GetRange(), CExtent(0, 1000));
    EXPECT_TRUE(bare.IsUniform());
}

struct StereoCase {
    std::vector<double> pans;
    bool stereo;
};

void PrintTo(const StereoCase& c, std::ostream* os) {
    *os << "pans";
    for (double pan : c.pans) *os << ' ' << pan;
}

class ChannelCollectionStereo : public ::testing::TestWithParam<StereoCase> {};

TEST_P(ChannelCollectionStereo, NeedsLeftThenRight) {
    SL::CChannelCollection bare(SL::CWaveFormat::WAVE);
    bare.Resize(static_cast<int>(GetParam().pans.size()));
    for (std::size_t i = 0; i < bare.size(); ++i) bare[i]->SetPan(GetParam().pans[i]);
    EXPECT_EQ(bare.IsStereo(), GetParam().stereo);
}

INSTANTIATE_TEST_SUITE_P(Pans, ChannelCollectionStereo,
                         ::testing::Values(StereoCase{{-1.0, 1.0}, true}, StereoCase{{1.0, -1.0}, false},
                                           StereoCase{{-1.0, 0.99}, false}, StereoCase{{-1.0}, false},
                                           StereoCase{{-1.0, 1.0, 1.0}, false}, StereoCase{{}, false}));

// How a uniform collection of two INTEGER16 channels is spoiled.
struct UniformCase {
    const char* what;
    void (*spoil)(Typed16& collection);
    bool uniform;
    bool typedUniform;
};

void PrintTo(const UniformCase& c, std::ostream* os) { *os << c.what; }

class ChannelCollectionUniform : public ::testing::TestWithParam<UniformCase> {};

TEST_P(ChannelCollectionUniform, ComparesEveryChannelWithTheFirst) {
    Typed16 collection(SL::CWaveFormat::WAVE);
    collection.Resize(2);
    collection.SetRange(CExtent(0, 10));
    GetParam().spoil(collection);
    EXPECT_EQ(collection.GetChannelCollection()->IsUniform(), GetParam().uniform) << GetParam().what;
    EXPECT_EQ(collection.IsUniform(), GetParam().typedUniform) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Spoilers, ChannelCollectionUniform,
    ::testing::Values(UniformCase{"untouched", [](Typed16&) {}, true, true},
                      UniformCase{"other format", [](Typed16& c) { c.set_at(1, NewChannel16(SL::CWaveFormat::FFT)); },
                                  false, false},
                      UniformCase{"other start", [](Typed16& c) { c[1]->SetRange(CExtent(1, 10)); }, false, false},
                      UniformCase{"other end", [](Typed16& c) { c[1]->SetRange(CExtent(0, 9)); }, false, false},
                      UniformCase{"empty entry", [](Typed16& c) { c.resize(3); }, false, false},
                      UniformCase{"null channel",
                                  [](Typed16& c) {
                                      auto null = SL::CreateNullChannel(SL::CWaveFormat::WAVE);
                                      null->SetRange(CExtent(0, 10));
                                      c.GetVector()[1] = null;
                                  },
                                  true, true},
                      UniformCase{"channel of another sample format",
                                  [](Typed16& c) {
                                      auto other = SL::CreateChannel<EBitDepth::FLOAT32>(SL::CWaveFormat::WAVE);
                                      other->SetRange(CExtent(0, 10));
                                      c.GetVector()[1] = other;
                                  },
                                  true, false}));

TEST(ChannelCollection, EqualityAndCopies) {
    SL::CChannelCollection source(SL::CWaveFormat::WAVE);
    source.SetChannelFactory(&SL::CreateChannel<EBitDepth::INTEGER16>);
    source.Resize(2);
    source.SetRange(CExtent(0, 3));
    dynamic_cast<Channel16&>(*source[1]).GetData()[2] = 99;

    const SL::CChannelCollection shallow(source, false);
    EXPECT_EQ(shallow[0], source[0]);
    EXPECT_TRUE(shallow.Equals(source));

    const std::unique_ptr<SL::CChannelCollection> deep(source.Clone());
    EXPECT_NE((*deep)[1], source[1]);
    EXPECT_TRUE(deep->Equals(source));
    EXPECT_TRUE(source.Equals(*deep));
    dynamic_cast<Channel16&>(*(*deep)[1]).GetData()[2] = 98;
    EXPECT_FALSE(deep->Equals(source));
    // The copies keep the factory.
    deep->Resize(1);
    EXPECT_TRUE(dynamic_cast<Channel16*>((*deep)[0].get()));

    EXPECT_FALSE(SL::CChannelCollection(SL::CWaveFormat::WAVE).Equals(SL::CChannelCollection(SL::CWaveFormat::FFT)));
    EXPECT_TRUE(SL::CChannelCollection(SL::CWaveFormat::WAVE).Equals(SL::CChannelCollection(SL::CWaveFormat::WAVE)));
    EXPECT_FALSE(source.Equals(*source[0]));
}

TEST(ChannelCollection, EmptyEntriesAreSkippedSafely) {
    SL::CChannelCollection bare(SL::CWaveFormat::WAVE);
    bare.Resize(1);
    bare.insert(bare.begin(), boost::shared_ptr<SL::IChannel>());
    EXPECT_FALSE(bare.IsValid());
    EXPECT_FALSE(bare.IsUniform());
    EXPECT_EQ(bare.GetRange(), CExtent(0, 0));
    bare.SetRange(CExtent(0, 4));
    bare.Activate();
    EXPECT_EQ(bare[1]->GetRange(), CExtent(0, 4));
    const std::unique_ptr<SL::CChannelCollection> clone(bare.Clone());
    EXPECT_FALSE((*clone)[0]);
    EXPECT_TRUE(clone->Equals(bare));
}

TEST(TypedChannelCollection, NewAndResized) {
    Typed16 collection(SL::CWaveFormat::WAVE);
    EXPECT_EQ(collection.size(), 0u);
    EXPECT_TRUE(collection.empty());
    EXPECT_TRUE(collection.begin() == collection.end());
    EXPECT_TRUE(collection.IsUniform());
    EXPECT_TRUE(collection.IsValid());
    EXPECT_FALSE(collection.IsStereo());
    EXPECT_EQ(collection.front(), nullptr);

    collection.Resize(2);
    ASSERT_NE(collection.front(), nullptr);
    EXPECT_NE(collection.front(), collection.back());
    EXPECT_EQ(collection.front()->GetWaveFormat(), SL::CWaveFormat::WAVE);
    EXPECT_TRUE(collection.IsUniform());

    collection.resize(4);
    EXPECT_EQ(collection[3], nullptr);
    EXPECT_FALSE(collection.shared_at(3));
    EXPECT_FALSE(collection.IsUniform());
    collection.resize(2);
    EXPECT_TRUE(collection.IsUniform());

    EXPECT_THROW(collection.at(2), std::out_of_range);
    EXPECT_THROW(collection.shared_at(2), std::out_of_range);
    EXPECT_EQ(collection.at(1), collection.back());
    EXPECT_EQ(collection.shared_at(1).get(), collection.back());
}

TEST(TypedChannelCollection, AssignSetAndPop) {
    Typed16 collection(SL::CWaveFormat::WAVE);
    const auto c = NewChannel16();
    const auto d = NewChannel16();
    collection.assign(3, c);
    EXPECT_EQ(collection[0], c.get());
    EXPECT_EQ(collection[2], c.get());
    collection.set_at(1, d);
    EXPECT_EQ(collection[0], c.get());
    EXPECT_EQ(collection[1], d.get());
    EXPECT_EQ(collection[2], c.get());
    // Assigning a channel of the list itself.
    collection.assign(2, collection.shared_at(1));
    EXPECT_EQ(collection[0], d.get());
    collection.resize(4, c);
    EXPECT_EQ(collection[3], c.get());
    collection.clear();
    collection.pop_back();
    EXPECT_TRUE(collection.empty());
    collection.push_back(c);
    collection.pop_back();
    EXPECT_TRUE(collection.empty());
    collection.reserve(10);
    EXPECT_GE(collection.capacity(), 10u);
    EXPECT_GE(collection.max_size(), 10u);
}

TEST(TypedChannelCollection, InsertAndErase) {
    Typed16 collection(SL::CWaveFormat::WAVE);
    const auto a = NewChannel16(), b = NewChannel16(), c = NewChannel16();
    EXPECT_TRUE(collection.erase(collection.begin()) == collection.begin());
    EXPECT_TRUE(collection.erase(collection.begin(), collection.end()) == collection.end());
    auto at = collection.insert(collection.begin(), a);
    EXPECT_TRUE(at == collection.begin());
    collection.insert(collection.end(), b);
    at = collection.insert(collection.end(), c);
    EXPECT_EQ(at - collection.begin(), 2);
    EXPECT_EQ(*at, c.get());
    collection.insert(collection.begin() + 1, 2, a);
    ASSERT_EQ(collection.size(), 5u);  // a a a b c
    EXPECT_EQ(collection[2], a.get());

    at = collection.erase(collection.begin());
    EXPECT_TRUE(at == collection.begin());
    at = collection.erase(collection.begin(), collection.begin() + 2);  // b c
    EXPECT_EQ(*at, b.get());
    at = collection.erase(collection.begin() + 1);
    EXPECT_TRUE(at == collection.end());
    at = collection.erase(collection.begin(), collection.end());
    EXPECT_TRUE(at == collection.end());
    EXPECT_TRUE(collection.empty());

    EXPECT_THROW(collection.insert(Typed16::iterator(), a), std::invalid_argument);
}

TEST(TypedChannelCollection, TypedAccessChecksTheClass) {
    Typed16 collection(SL::CWaveFormat::WAVE);
    auto bare = boost::make_shared<SL::CChannelCollection>(SL::CWaveFormat::WAVE);
    bare->Resize(2);
    collection.SetChannelCollection(bare);
    EXPECT_EQ(collection.size(), 2u);
    EXPECT_TRUE(collection.IsUniform());
    EXPECT_EQ(collection[0], nullptr);
    EXPECT_EQ(collection.front(), nullptr);
    EXPECT_EQ(collection.at(1), nullptr);
    EXPECT_FALSE(collection.shared_at(0));
    EXPECT_EQ(*collection.begin(), nullptr);
    EXPECT_EQ(collection.begin()[1], nullptr);
    EXPECT_EQ(collection.GetWaveFormat(), SL::CWaveFormat::WAVE);
    collection.Resize(3);
    EXPECT_TRUE(dynamic_cast<SL::CNullChannel*>(bare->back().get()));
}

TEST(TypedChannelCollection, RefusesAnEmptyCollection) {
    Typed16 collection(SL::CWaveFormat::WAVE);
    const auto wrapped = collection.GetChannelCollection();
    EXPECT_THROW(collection.SetChannelCollection(boost::shared_ptr<SL::CChannelCollection>()), std::invalid_argument);
    EXPECT_EQ(collection.GetChannelCollection(), wrapped);
}

TEST(TypedChannelCollection, EqualityCopiesAndTheWrappedCollection) {
    auto typed = boost::make_shared<Typed16>(SL::CWaveFormat::WAVE);
    typed->Resize(2);
    typed->SetRange(CExtent(0, 4));

    const std::unique_ptr<Typed16> clone(typed->Clone());
    EXPECT_TRUE(clone->Equals(*typed));
    EXPECT_NE((*clone)[0], (*typed)[0]);
    EXPECT_FALSE(typed->Equals(*typed->GetChannelCollection()));
    SL::CTypedChannelCollection<EBitDepth::INTEGER24> other(SL::CWaveFormat::WAVE);
    EXPECT_FALSE(other.Equals(SL::CTypedChannelCollection<EBitDepth::INTEGER16>(SL::CWaveFormat::WAVE)));

    Typed16 shallow(*typed, false);
    EXPECT_EQ(shallow[1], (*typed)[1]);
    EXPECT_NE(shallow.GetChannelCollection(), typed->GetChannelCollection());
    shallow.Resize(2);
    EXPECT_NE(shallow[1], (*typed)[1]);
    EXPECT_EQ((*typed)[1]->GetRange(), CExtent(0, 4));

    const SL::IChannelCollection& asInterface = *typed;
    const std::unique_ptr<SL::ICloneable> viaInterface(asInterface.Clone());
    EXPECT_TRUE(dynamic_cast<Typed16*>(viaInterface.get()));

    const auto wrapped = typed->GetChannelCollection();
    EXPECT_EQ(SL::ToChannelCollection(typed), wrapped);
    typed.reset();
    wrapped->Resize(1);
    EXPECT_TRUE(dynamic_cast<Channel16*>(wrapped->front().get()));
}

}  // namespace
