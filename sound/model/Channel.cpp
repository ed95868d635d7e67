#include "sound/model/Channel.h"

#include "sound/model/Domain.h"
#include "sound/model/EntityCollection.h"

#include <stdexcept>

namespace SL {

namespace {

CEntityCollection ChannelNode(std::int32_t mask) {
    CEntityCollection collection;
    collection.Add(CEntityCollection::KIND_CHANNEL, CEntityCollection::ANY_ID, mask);
    return collection;
}

}  // namespace

bool SamplesSelected(const CEntityCollection& selection) {
    return selection == GetRootOnlyCollection()
           || selection.Overlaps(ChannelNode(CEntityCollection::MASK_SAMPLES), false);
}

void IChannel::CopyFrom(const IChannel& source, const CEntityCollection& selection) {
    const CEntityCollection everyChannel = ChannelNode(CEntityCollection::MASK_ALL);
    const CEntityCollection chosen =
        selection == GetRootOnlyCollection() ? everyChannel : selection.Intersect(everyChannel);
    if (chosen.NodeCount() == 1) return;

    CEntityCollection attributes = ChannelNode(CEntityCollection::MASK_ALL);
    attributes.SetMask(CEntityCollection::MASK_ATTRIBUTES);
    if (chosen.Overlaps(attributes, false)) {
        CopyEntityAttributes(*this, source);
        SetFactor(source.GetFactor());
        SetPan(source.GetPan());
        SetPeak(source.GetPeak());
    }

    if (chosen.Overlaps(ChannelNode(CEntityCollection::MASK_RANGE), false)) SetRange(source.GetRange());

    CEntityCollection wholeEnvelope = ChannelNode(CEntityCollection::MASK_ALL);
    wholeEnvelope.Add(CEntityCollection::KIND_ENVELOPE, 0, CEntityCollection::MASK_ALL);
    wholeEnvelope.ResetCursor();
    if (!chosen.Overlaps(wholeEnvelope, false)) return;
    CEntityCollection envelopePart = chosen.Intersect(wholeEnvelope);
    if (envelopePart.NodeCount() == 1) {
        // The channel named as a whole covers its envelope without naming it.
        CEntityCollection all;
        all.AddEnvelope();
        all.ResetCursor();
        GetEnvelopePointer()->CopyFrom(*source.GetEnvelopePointer(), all);
    } else {
        envelopePart.Select(CEntityCollection::KIND_ENVELOPE);
        GetEnvelopePointer()->CopyFrom(*source.GetEnvelopePointer(), envelopePart);
    }
}

AChannelBase::AChannelBase(const CWaveFormat& format) : m_channel(new AChannel) { m_channel->waveFormat = format; }

AChannelBase::AChannelBase(const AChannelBase& other)
    : ILocatable2D(), AEntityBase<IChannel>(other), m_channel(new AChannel(*other.m_channel)) {}

void AChannelBase::SetEnvelope(boost::shared_ptr<IEnvelope> envelope) {
    if (!envelope) throw std::invalid_argument("a channel needs an envelope");
    m_channel->envelope = std::move(envelope);
}

void AChannelBase::Activate() {
    m_channel->Activate();
    GetDomain()->GetChannelDescription().Describe(this);
}

bool AChannelBase::IsValid() const {
    return m_channel->IsValid() && GetDomain()->GetChannelDescription().IsValid(this);
}

CNullChannel::CNullChannel(const CWaveFormat& format) : AChannelBase(format) { AChannelBase::Activate(); }

CNullChannel::CNullChannel(const CNullChannel& other) : ILocatable2D(), AChannelBase(other), m_range(other.m_range) {}

bool CNullChannel::Equals(const CObject& other) const {
    const auto* channel = dynamic_cast<const CNullChannel*>(&other);
    return channel && RecordsEqual(*channel) && m_range == channel->m_range;
}

#define SL_INSTANTIATE_CHANNEL(F) template class CChannel<EBitDepth::F>;
SL_FOR_EACH_SAMPLE_FORMAT(SL_INSTANTIATE_CHANNEL)
#undef SL_INSTANTIATE_CHANNEL

}  // namespace SL
