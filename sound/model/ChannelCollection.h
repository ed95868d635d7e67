#pragma once

// The channels of one wave, as one object: resized through a replaceable channel factory,
// activated, validated, compared, copied and placed on the timeline together.

#include "sound/model/Channel.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <vector>

namespace SL {

// Makes a new channel of the given content kind.
using ChannelFactory = boost::function<boost::shared_ptr<IChannel>(CWaveFormat)>;

// The default factory: a CNullChannel.
boost::shared_ptr<IChannel> CreateNullChannel(CWaveFormat format);

class IChannelCollection : public CObject, public ILocatable2D {
public:
    // Discards every channel and makes count new ones.
    virtual void Resize(int count) = 0;
    virtual void Activate() = 0;
    virtual bool IsValid() const = 0;
    // Every channel present, of the collection's content kind and with the first one's extent.
    virtual bool IsUniform() const = 0;
    // Two channels with the pans -1.0 and +1.0, in that order.
    virtual bool IsStereo() const = 0;
    virtual CWaveFormat GetWaveFormat() const = 0;

protected:
    IChannelCollection() = default;
    IChannelCollection(const IChannelCollection&) = default;
    IChannelCollection& operator=(const IChannelCollection&) = default;
};

// The channel list is the public vector base; channels are shared between the collections that
// hold them. Only the typed collection's vector operations put empty entries in it; the
// collection-wide operations skip them (an empty entry is not valid, and equals only an empty one).
class CChannelCollection : public std::vector<boost::shared_ptr<IChannel>>, public IChannelCollection {
public:
    using Channels = std::vector<boost::shared_ptr<IChannel>>;

    // Empty, factory CreateNullChannel.
    explicit CChannelCollection(CWaveFormat format);
    // Format, factory and channels of the other; the channels cloned when deep is set, else shared.
    CChannelCollection(const CChannelCollection& other, bool deep);
    CChannelCollection(const CChannelCollection&) = delete;
    CChannelCollection& operator=(const CChannelCollection&) = delete;

    void SetChannelFactory(ChannelFactory factory) { m_factory = std::move(factory); }

    CChannelCollection* Clone() const override { return new CChannelCollection(*this, true); }
    // Another CChannelCollection of the same format with equal channels in order.
    bool Equals(const CObject& other) const override;
    // boost::bad_function_call without a factory (the list is then already empty).
    void Resize(int count) override;
    void Activate() override;
    bool IsValid() const override;
    bool IsUniform() const override;
    bool IsStereo() const override;
    CWaveFormat GetWaveFormat() const override { return m_format; }

    // Every channel gets the extent; the collection keeps none of its own.
    void SetRange(const CExtent& range) override;
    // The first channel's extent; {0, 0} without channels.
    CExtent GetRange() const override;

private:
    CWaveFormat m_format;
    ChannelFactory m_factory;
};

}  // namespace SL
