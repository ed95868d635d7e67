#include "sound/model/TypedChannelCollection.h"

#include <gtest/gtest.h>

namespace {

using SL::EBitDepth;
using Typed16 = SL::CTypedChannelCollection<EBitDepth::INTEGER16>;

class ChannelIterator : public ::testing::Test {
protected:
    ChannelIterator() : collection(SL::CWaveFormat::WAVE) {
        collection.Resize(4);
        collection.resize(5);  // the last entry is empty
    }
    const Typed16& Const() const { return collection; }

    Typed16 collection;
};

TEST_F(ChannelIterator, EmptyCollection) {
    Typed16 empty(SL::CWaveFormat::WAVE);
    EXPECT_TRUE(empty.begin() == empty.end());
    EXPECT_EQ(empty.end() - empty.begin(), 0);
    EXPECT_FALSE(empty.begin() < empty.end());
    EXPECT_FALSE(empty.end() < empty.begin());
}

// Arithmetic from begin, each checked against the element it should reach.
TEST_F(ChannelIterator, Arithmetic) {
    const struct {
        const char* what;
        Typed16::iterator (*move)(Typed16::iterator);
        int index;
    } cases[] = {
        {"++", [](Typed16::iterator i) { return ++i; }, 1},
        {"++ twice", [](Typed16::iterator i) { return ++(++i); }, 2},
        {"+3 -1 via --", [](Typed16::iterator i) { return --(i + 3); }, 2},
        {"+= 3", [](Typed16::iterator i) { return i += 3; }, 3},
        {"+= -1 after +3", [](Typed16::iterator i) { return (i + 3) += -1; }, 2},
        {"-= 2 after +3", [](Typed16::iterator i) { return (i + 3) -= 2; }, 1},
        {"-= -2", [](Typed16::iterator i) { return i -= -2; }, 2},
        {"n + i", [](Typed16::iterator i) { return 2 + i; }, 2},
        {"post ++",
         [](Typed16::iterator i) {
             i++;
             return i;
         },
         1},
    };
    for (const auto& c : cases) {
        const Typed16::iterator moved = c.move(collection.begin());
        EXPECT_EQ(moved - collection.begin(), c.index) << c.what;
        EXPECT_EQ(*moved, collection[static_cast<uint32_t>(c.index)]) << c.what;
        EXPECT_EQ(collection.begin()[c.index], *moved) << c.what;
    }
    EXPECT_EQ(collection.end() - collection.begin(), 5);
    EXPECT_EQ(collection.begin() - collection.end(), -5);
    EXPECT_EQ(Const().end() - Const().begin(), 5);
    auto i = collection.begin();
    const auto before = i++;
    EXPECT_TRUE(before == collection.begin());
    EXPECT_EQ(i->GetWaveFormat(), SL::CWaveFormat::WAVE);
    EXPECT_EQ(collection.begin()[4], nullptr);  // empty entry
    EXPECT_EQ(*(collection.end() - 1), nullptr);
}

TEST_F(ChannelIterator, Comparisons) {
    const auto first = collection.begin();
    const auto second = collection.begin() + 1;
    const struct {
        Typed16::iterator a, b;
        bool equal, less, greater;
    } cases[] = {
        {first, first, true, false, false},
        {first, second, false, true, false},
        {second, first, false, false, true},
        {collection.end(), collection.begin() + 5, true, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.a != c.b, !c.equal);
        EXPECT_EQ(c.a < c.b, c.less);
        EXPECT_EQ(c.a > c.b, c.greater);
        EXPECT_EQ(c.a <= c.b, !c.greater);
        EXPECT_EQ(c.a >= c.b, !c.less);
    }
}

TEST_F(ChannelIterator, FlagsAndFormatsNeverMatch) {
    const auto mutableBegin = collection.begin();
    const auto constBegin = Const().begin();
    EXPECT_FALSE(mutableBegin.GetImplement()->Equals(*constBegin.GetImplement()));
    EXPECT_FALSE(constBegin.GetImplement()->Equals(*mutableBegin.GetImplement()));
    SL::CTypedChannelCollection<EBitDepth::INTEGER24> other(SL::CWaveFormat::WAVE);
    EXPECT_FALSE(other.begin().GetImplement()->Equals(*mutableBegin.GetImplement()));
    EXPECT_TRUE(Const().begin() == Const().begin());
}

// An implementation of the same interface that is not the collection's own: the run-time type
// tests of the collection's implementation must refuse it rather than compare raw positions.
class CForeignPosition : public SL::IRandomAccessIterator<0, SL::CChannel<EBitDepth::INTEGER16>> {
    using Channel = SL::CChannel<EBitDepth::INTEGER16>;
    using Interface = SL::IRandomAccessIterator<0, Channel>;

public:
    Channel* Dereference() const override { return nullptr; }
    Channel* Arrow() const override { return nullptr; }
    Interface& Increment() override { return *this; }
    Interface& Decrement() override { return *this; }
    Interface& Advance(int) override { return *this; }
    Interface& Retreat(int) override { return *this; }
    int Difference(const Interface&) const override { return 7; }
    Channel* At(int) const override { return nullptr; }
    bool Less(const Interface&) const override { return true; }
};

TEST_F(ChannelIterator, ForeignImplementationsNeverMatch) {
    const CForeignPosition foreign;
    for (const auto& position : {collection.begin(), collection.begin() + 2, collection.end()}) {
        EXPECT_EQ(position.GetImplement()->Difference(foreign), 0);
        EXPECT_FALSE(position.GetImplement()->Less(foreign));
        EXPECT_FALSE(position.GetImplement()->Equals(foreign));
    }
}

TEST_F(ChannelIterator, CopiesOwnTheirImplementation) {
    auto a = collection.begin();
    auto b = a;
    EXPECT_NE(a.GetImplement(), b.GetImplement());
    ++b;
    EXPECT_EQ(b - a, 1);
    a = b;
    EXPECT_TRUE(a == b);
    a = a;  // self-assignment keeps the position
    EXPECT_TRUE(a == b);
    Typed16::iterator none = collection.rbegin();
    EXPECT_EQ(none.GetImplement(), nullptr);
    none = a;
    EXPECT_TRUE(none == b);
    Typed16::const_iterator noneAtAll = Const().rend();
    Typed16::const_iterator assigned;
    assigned = noneAtAll;
    EXPECT_EQ(assigned.GetImplement(), nullptr);
}

}  // namespace
