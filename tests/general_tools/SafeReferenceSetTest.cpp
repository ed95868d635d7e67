#include "general_tools/SafeReferenceSet.h"

#include "general_tools/Events.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <functional>
#include <string>
#include <vector>

namespace {

class IClickListener : public GT::IEventListener {
public:
    virtual void OnClick(const GT::CEvent& event) = 0;
};

class CRecorder : public IClickListener {
public:
    void OnClick(const GT::CEvent&) override {
        log->push_back(name);
        if (action) action();
    }
    std::vector<std::string>* log = nullptr;
    std::string name;
    std::function<void()> action;
};

// Three listeners at ascending addresses A < B < C, each kept alive by one
// owner pointer that a test can drop.
class SafeReferenceSetTest : public ::testing::Test {
protected:
    SafeReferenceSetTest() {
        for (int i = 0; i < 3; ++i) {
            slots[i].log = &log;
            slots[i].name = std::string(1, static_cast<char>('A' + i));
            owners[i] = boost::shared_ptr<CRecorder>(&slots[i], [this, i](CRecorder*) { destroyed[i] = true; });
        }
    }

    void AddAll() {
        for (auto& owner : owners) set.Add(owner);
    }

    std::vector<std::string> Fire() {
        log.clear();
        if (set.IsEmpty()) return log;
        GT::CEvent event(static_cast<void*>(this));
        auto it = set.CreateIterator();
        while (it->HasNext()) it->Next()->OnClick(event);
        return log;
    }

    std::vector<std::string> log;
    CRecorder slots[3];
    bool destroyed[3] = {false, false, false};
    boost::shared_ptr<CRecorder> owners[3];
    GT::CSafeReferenceSet<IClickListener> set;
};

TEST_F(SafeReferenceSetTest, EmptyAndAllExpiredSetsYieldNothing) {
    EXPECT_TRUE(set.IsEmpty());
    EXPECT_FALSE(set.CreateIterator()->HasNext());
    AddAll();
    EXPECT_FALSE(set.IsEmpty());
    for (auto& owner : owners) owner.reset();
    EXPECT_TRUE(set.IsEmpty());
    auto it = set.CreateIterator();
    EXPECT_FALSE(it->HasNext());
    EXPECT_EQ(it->Next(), nullptr);
}

TEST_F(SafeReferenceSetTest, YieldsLiveListenersInAddressOrder) {
    set.Add(owners[2]);
    set.Add(owners[0]);
    set.Add(owners[1]);
    set.Add(owners[0]);  // already present: still once
    EXPECT_EQ(Fire(), (std::vector<std::string>{"A", "B", "C"}));
    owners[1].reset();
    EXPECT_EQ(Fire(), (std::vector<std::string>{"A", "C"}));
}

TEST_F(SafeReferenceSetTest, ListenersDestroyedDuringIterationAreSkipped) {
    AddAll();
    const struct {
        const char* what;
        int notified;  // the listener whose notification destroys others
        std::vector<int> victims;
        std::vector<std::string> expected;
    } cases[] = {
        {"A destroys B", 0, {1}, {"A", "C"}},
        {"A destroys B and C", 0, {1, 2}, {"A"}},
        {"B destroys A (already passed)", 1, {0}, {"A", "B", "C"}},
        {"A destroys itself", 0, {0}, {"A", "B", "C"}},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i) {
            owners[i] = boost::shared_ptr<CRecorder>(&slots[i], [](CRecorder*) {});
            set.Add(owners[i]);  // replaces the expired entry at the same address
            slots[i].action = nullptr;
        }
        slots[c.notified].action = [this, &c] {
            for (int v : c.victims) owners[v].reset();
        };
        std::vector<std::string> got;
        EXPECT_NO_THROW(got = Fire()) << c.what;
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST_F(SafeReferenceSetTest, ListenerThatExpiresUnderTheIteratorIsSkippedNotThrown) {
    AddAll();
    auto it = set.CreateIterator();
    ASSERT_TRUE(it->HasNext());
    EXPECT_EQ(it->Next().get(), &slots[0]);  // the iterator now stands on B
    owners[1].reset();
    boost::shared_ptr<IClickListener> next;
    EXPECT_NO_THROW(next = it->Next());
    EXPECT_EQ(next.get(), &slots[2]);
    EXPECT_FALSE(it->HasNext());
}

TEST_F(SafeReferenceSetTest, ListenerIsKeptAliveWhileItIsNotified) {
    AddAll();
    slots[0].action = [this] {
        owners[0].reset();
        EXPECT_FALSE(destroyed[0]);  // the iterator's pointer still holds it
    };
    Fire();
    EXPECT_TRUE(destroyed[0]);
    EXPECT_EQ(Fire(), (std::vector<std::string>{"B", "C"}));
}

TEST_F(SafeReferenceSetTest, AddingAtTheAddressOfAnExpiredEntryReplacesIt) {
    set.Add(owners[0]);
    owners[0].reset();
    EXPECT_TRUE(set.IsEmpty());
    // A new listener that happens to live where the destroyed one did.
    auto reborn = boost::shared_ptr<CRecorder>(&slots[0], [](CRecorder*) {});
    set.Add(reborn);
    EXPECT_FALSE(set.IsEmpty());
    EXPECT_EQ(Fire(), (std::vector<std::string>{"A"}));
}

TEST_F(SafeReferenceSetTest, RemovingAndAddingDuringIterationIsSafe) {
    set.Add(owners[0]);
    set.Add(owners[1]);
    slots[0].action = [this] {
        set.Remove(owners[1].get());
        set.Add(owners[2]);
    };
    EXPECT_EQ(Fire(), (std::vector<std::string>{"A", "C"}));
    slots[0].action = nullptr;
    EXPECT_EQ(Fire(), (std::vector<std::string>{"A", "C"}));
    set.Remove(owners[0].get());
    set.Remove(owners[2].get());
    EXPECT_TRUE(set.IsEmpty());
}

TEST_F(SafeReferenceSetTest, ForEachVisitsLiveListeners) {
    AddAll();
    owners[0].reset();
    GT::CEvent event(boost::any{});
    set.ForEach([&event](IClickListener& l) { l.OnClick(event); });
    EXPECT_EQ(log, (std::vector<std::string>{"B", "C"}));
}

TEST(EventTest, SourceCastsBackToItsOwnTypeOnly) {
    int control = 0;
    GT::CEvent event(&control);
    EXPECT_EQ(boost::any_cast<int*>(event.GetSource()), &control);
    EXPECT_THROW(boost::any_cast<long*>(event.GetSource()), boost::bad_any_cast);
    GT::CEvent copy(event);
    EXPECT_EQ(boost::any_cast<int*>(copy.GetSource()), &control);
    GT::CEvent empty{boost::any()};
    EXPECT_TRUE(empty.GetSource().empty());
}

}  // namespace
