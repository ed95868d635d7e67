#include "sound/model/ChannelCollection.h"

namespace SL {

boost::shared_ptr<IChannel> CreateNullChannel(CWaveFormat format) {
    return boost::shared_ptr<IChannel>(new CNullChannel(format));
}

CChannelCollection::CChannelCollection(CWaveFormat format) : m_format(format), m_factory(&CreateNullChannel) {}

CChannelCollection::CChannelCollection(const CChannelCollection& other, bool deep)
    : Channels(static_cast<const Channels&>(other)),
      IChannelCollection(),
      m_format(other.m_format),
      m_factory(other.m_factory) {
    if (!deep) return;
    for (auto& channel : static_cast<Channels&>(*this))
        if (channel) channel = CloneShared<IChannel>(*channel);
}

bool CChannelCollection::Equals(const CObject& other) const {
    const auto* collection = dynamic_cast<const CChannelCollection*>(&other);
    if (!collection || m_format != collection->m_format || size() != collection->size()) return false;
    for (size_type i = 0; i < size(); ++i) {
        const IChannel* a = (*this)[i].get();
        const IChannel* b = (*collection)[i].get();
        if (!a || !b) {
            if (a != b) return false;
        } else if (!a->Equals(*b)) {
            return false;
        }
    }
    return true;
}

void CChannelCollection::Resize(int count) {
    clear();
    for (int i = 0; i < count; ++i) push_back(m_factory(m_format));
}

void CChannelCollection::Activate() {
    for (const auto& channel : static_cast<Channels&>(*this))
        if (channel) channel->Activate();
}

bool CChannelCollection::IsValid() const {
    for (const auto& channel : static_cast<const Channels&>(*this))
        if (!channel || !channel->IsValid()) return false;
    return true;
}

bool CChannelCollection::IsUniform() const {
    const CExtent first = GetRange();
    for (const auto& channel : static_cast<const Channels&>(*this)) {
        if (!channel || channel->GetWaveFormat() != m_format || channel->GetRange() != first) return false;
    }
    return true;
}

bool CChannelCollection::IsStereo() const {
    return size() == 2 && (*this)[0] && (*this)[1] && (*this)[0]->GetPan() == -1.0 && (*this)[1]->GetPan() == 1.0;
}

void CChannelCollection::SetRange(const CExtent& range) {
    for (const auto& channel : static_cast<Channels&>(*this))
        if (channel) channel->SetRange(range);
}

CExtent CChannelCollection::GetRange() const { return empty() || !front() ? CExtent() : front()->GetRange(); }

}  // namespace SL
