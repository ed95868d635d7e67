#include "sound/model/Domain.h"
#include "sound/model/EntityRecords.h"

#include <gtest/gtest.h>

#include <boost/weak_ptr.hpp>

#include <functional>
#include <memory>
#include <vector>

namespace {

// A domain that records what its envelope and loop descriptions are asked and answers as told.
class CRecordingDomain : public SL::IDomain {
public:
    template <typename I>
    class CDescription : public SL::IEntityDescription<I> {
    public:
        void Describe(I* entity) override { described.push_back(entity); }
        bool IsValid(const I* entity) override {
            asked.push_back(entity);
            return accept;
        }
        std::vector<const I*> described;
        std::vector<const I*> asked;
        bool accept = true;
    };

    SL::IEntityDescription<SL::IWave>& GetWaveDescription() override { return m_fallback.GetWaveDescription(); }
    SL::IEntityDescription<SL::IChannel>& GetChannelDescription() override {
        return m_fallback.GetChannelDescription();
    }
    SL::IEntityDescription<SL::IEnvelope>& GetEnvelopeDescription() override { return envelopes; }
    SL::IEntityDescription<SL::ILoop>& GetLoopDescription() override { return loops; }

    CDescription<SL::IEnvelope> envelopes;
    CDescription<SL::ILoop> loops;

private:
    SL::CDefaultDomain m_fallback;
};

// Every test leaves the process with a default domain again.
class EntityModelTest : public ::testing::Test {
protected:
    void TearDown() override { SL::SetDomain(boost::shared_ptr<SL::IDomain>()); }
};

TEST_F(EntityModelTest, GetDomainInstallsOneDefaultDomain) {
    SL::SetDomain(boost::shared_ptr<SL::IDomain>());
    SL::IDomain* first = SL::GetDomain();
    ASSERT_NE(first, nullptr);
    EXPECT_NE(dynamic_cast<SL::CDefaultDomain*>(first), nullptr);
    EXPECT_EQ(SL::GetDomain(), first);

    // Every default domain hands out the same descriptions, which change nothing and accept all.
    SL::CDefaultDomain other;
    EXPECT_EQ(&other.GetLoopDescription(), &first->GetLoopDescription());
    EXPECT_EQ(&other.GetWaveDescription(), &first->GetWaveDescription());
    SL::CLoop loop;
    loop.SetStart(9);
    loop.SetEnd(1);
    const SL::CLoop before(loop);
    first->GetLoopDescription().Describe(&loop);
    EXPECT_TRUE(loop.Equals(before));
    EXPECT_TRUE(first->GetLoopDescription().IsValid(&loop));
    EXPECT_TRUE(first->GetChannelDescription().IsValid(nullptr));
    EXPECT_TRUE(first->GetEnvelopeDescription().IsValid(nullptr));
}

TEST_F(EntityModelTest, AnInstalledDomainSeesEveryEntityOfItsKinds) {
    boost::shared_ptr<CRecordingDomain> domain(new CRecordingDomain);
    SL::SetDomain(domain);
    EXPECT_EQ(SL::GetDomain(), domain.get());

    SL::CLoop loop;
    SL::CEnvelope envelope(SL::CWaveFormat::NONE);
    ASSERT_EQ(domain->loops.described.size(), 1u);
    EXPECT_EQ(domain->loops.described[0], &loop);
    ASSERT_EQ(domain->envelopes.described.size(), 1u);
    EXPECT_EQ(domain->envelopes.described[0], &envelope);

    // Copies are not described again.
    const SL::CLoop loopCopy(loop);
    const std::unique_ptr<SL::ICloneable> envelopeClone(envelope.Clone());
    EXPECT_EQ(domain->loops.described.size(), 1u);
    EXPECT_EQ(domain->envelopes.described.size(), 1u);

    loop.Activate();
    envelope.Activate();
    EXPECT_EQ(domain->loops.described.size(), 2u);
    EXPECT_EQ(domain->envelopes.described.size(), 2u);

    domain->loops.accept = false;
    domain->envelopes.accept = false;
    EXPECT_FALSE(loop.IsValid());
    EXPECT_FALSE(envelope.IsValid());
    ASSERT_EQ(domain->loops.asked.size(), 1u);
    EXPECT_EQ(domain->loops.asked[0], &loop);

    // The description is asked last, only after the loop's own test passed.
    loop.SetCrossfadeALength(-1);
    domain->loops.accept = true;
    EXPECT_FALSE(loop.IsValid());
    EXPECT_EQ(domain->loops.asked.size(), 1u);

    // Records activate and test the entities they hold through the same domain.
    SL::AWave wave;
    EXPECT_EQ(domain->loops.described.size(), 3u);
    EXPECT_EQ(domain->envelopes.described.size(), 3u);
    domain->envelopes.accept = false;
    EXPECT_FALSE(wave.IsValid());
    wave.Activate();
    EXPECT_EQ(domain->loops.described.size(), 4u);
    EXPECT_EQ(domain->envelopes.described.size(), 4u);
}

TEST_F(EntityModelTest, SetDomainReleasesThePreviousOne) {
    boost::shared_ptr<CRecordingDomain> first(new CRecordingDomain);
    const boost::weak_ptr<CRecordingDomain> watch(first);
    SL::SetDomain(first);
    first.reset();
    EXPECT_FALSE(watch.expired()) << "the current domain is held";
    SL::SetDomain(boost::shared_ptr<SL::IDomain>(new CRecordingDomain));
    EXPECT_TRUE(watch.expired());

    SL::SetDomain(boost::shared_ptr<SL::IDomain>());
    EXPECT_NE(dynamic_cast<SL::CDefaultDomain*>(SL::GetDomain()), nullptr) << "empty means a new default";
}

TEST_F(EntityModelTest, BaseObjectEqualsOnlyItself) {
    const SL::CObject a;
    const SL::CObject b;
    EXPECT_TRUE(a.Equals(a));
    EXPECT_FALSE(a.Equals(b));
    EXPECT_EQ(a.Clone(), nullptr);
}

// The common attributes behave alike in every entity kind of this part of the model.
TEST_F(EntityModelTest, CommonAttributesOfNewEntities) {
    std::vector<std::unique_ptr<SL::IEntity>> entities;
    entities.emplace_back(new SL::CLoop);
    entities.emplace_back(new SL::CEnvelope(SL::CWaveFormat::AMPLITUDE_ENVELOPE));
    for (auto& entity : entities) {
        EXPECT_FALSE(entity->IsActive());
        EXPECT_TRUE(entity->GetName().empty());
        EXPECT_TRUE(entity->GetText().empty());
        EXPECT_TRUE(entity->GetSecondText().empty());
        const std::unique_ptr<SL::ICloneable> fresh(entity->Clone());

        entity->SetActive(true);
        EXPECT_TRUE(entity->IsActive());
        EXPECT_FALSE(entity->Equals(dynamic_cast<const SL::CObject&>(*fresh)));
        entity->SetActive(false);
        EXPECT_TRUE(entity->Equals(dynamic_cast<const SL::CObject&>(*fresh))) << "only the flag had changed";

        entity->SetActive(true);
        entity->SetName("name");
        entity->SetText("first");
        entity->SetSecondText("second");
        EXPECT_TRUE(entity->IsValid()) << "flag and texts take any value";
        const std::unique_ptr<SL::ICloneable> copy(entity->Clone());
        auto* clone = dynamic_cast<SL::IEntity*>(copy.get());
        ASSERT_NE(clone, nullptr);
        SL::CopyEntityAttributes(*clone, *entity);
        EXPECT_TRUE(clone->Equals(*entity));
        clone->SetName("changed");
        EXPECT_EQ(entity->GetName(), "name") << "records are never shared";
        EXPECT_EQ(clone->GetText(), "first");
        EXPECT_EQ(clone->GetSecondText(), "second");
    }
}

TEST_F(EntityModelTest, CloneSharedRefusesAMissingClone) {
    const SL::CObject object;
    EXPECT_THROW(SL::CloneShared(object), std::bad_cast);
    const SL::CLoop loop;
    const boost::shared_ptr<SL::CLoop> copy = SL::CloneShared(loop);
    EXPECT_TRUE(copy->Equals(loop));
}

}  // namespace
