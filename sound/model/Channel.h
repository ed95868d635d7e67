#pragma once

// Channels: one stream of samples on the timeline with its attributes. CChannel<F> holds the
// samples of format F; CNullChannel carries the attributes and an extent only.

#include "general_tools/Nullable.h"
#include "sound/model/Entity.h"
#include "sound/model/EntityRecords.h"
#include "sound/model/LocatableBuffer.h"
#include "sound/model/SampleFormatList.h"
#include "sound/model/SoundEnumerations.h"

#include <boost/shared_ptr.hpp>

#include <algorithm>

namespace SL {

class CEntityCollection;

class IChannel : public IEntity, public GT::INullable, public virtual ILocatable2D {
public:
    ICloneable* Clone() const override = 0;
    // Copies what the selection selects of the source: the common attributes, factor, pan and
    // peak (groups other than 0x10 and 0x20), the range (0x20) and the envelope. This body
    // copies no samples; CChannel adds them. The wave format is never copied.
    virtual void CopyFrom(const IChannel& source, const CEntityCollection& selection);
    virtual CWaveFormat GetWaveFormat() const = 0;
    virtual void SetFactor(double factor) = 0;
    virtual double GetFactor() const = 0;
    virtual void SetPan(double pan) = 0;
    virtual double GetPan() const = 0;
    virtual void SetPeak(double peak) = 0;
    virtual double GetPeak() const = 0;
    // std::invalid_argument for an empty envelope: every channel holds one.
    virtual void SetEnvelope(boost::shared_ptr<IEnvelope> envelope) = 0;
    virtual boost::shared_ptr<IEnvelope> GetEnvelope() const = 0;
    virtual const IEnvelope* GetEnvelopePointer() const = 0;
    virtual IEnvelope* GetEnvelopePointer() = 0;

protected:
    IChannel() = default;
    IChannel(const IChannel&) = default;
    IChannel& operator=(const IChannel&) = default;
};

// The attributes both channel classes keep: the entity record and the channel record, each the
// channel's own.
class AChannelBase : public AEntityBase<IChannel> {
public:
    CWaveFormat GetWaveFormat() const override { return m_channel->waveFormat; }
    void SetFactor(double factor) override { m_channel->factor = factor; }
    double GetFactor() const override { return m_channel->factor; }
    void SetPan(double pan) override { m_channel->pan = pan; }
    double GetPan() const override { return m_channel->pan; }
    void SetPeak(double peak) override { m_channel->peak = peak; }
    double GetPeak() const override { return m_channel->peak; }
    void SetEnvelope(boost::shared_ptr<IEnvelope> envelope) override;
    boost::shared_ptr<IEnvelope> GetEnvelope() const override { return m_channel->envelope; }
    const IEnvelope* GetEnvelopePointer() const override { return m_channel->envelope.get(); }
    IEnvelope* GetEnvelopePointer() override { return m_channel->envelope.get(); }

    // The pan into [-1, 1] and the envelope activated, then the domain's description.
    void Activate() override;
    bool IsValid() const override;

    const AChannel& GetChannelRecord() const { return *m_channel; }

protected:
    explicit AChannelBase(const CWaveFormat& format);
    AChannelBase(const AChannelBase& other);

    bool RecordsEqual(const AChannelBase& other) const {
        return GetEntityRecord() == other.GetEntityRecord() && *m_channel == *other.m_channel;
    }

private:
    boost::shared_ptr<AChannel> m_channel;
};

// Whether a selection takes a channel's samples (everything, or kind 1, id -1, mask 0x10).
bool SamplesSelected(const CEntityCollection& selection);

template <EBitDepth F>
class CChannel : public CLocatableBuffer<SampleElement<F>>, public AChannelBase {
public:
    using Element = SampleElement<F>;
    using Buffer = CLocatableBuffer<Element>;
    static constexpr EBitDepth FORMAT = F;

    // No samples, start 0, default records of the given format; activated and described.
    explicit CChannel(const CWaveFormat& format) : AChannelBase(format) { AChannelBase::Activate(); }
    // New records copied from the other and its start; its samples only with copySamples.
    // Not described again.
    CChannel(const CChannel& other, bool copySamples)
        : Buffer(other.GetData(), copySamples ? other.GetRange() : CExtent(other.GetStart(), other.GetStart())),
          AChannelBase(other) {}
    CChannel& operator=(const CChannel&) = delete;

    // A deep copy, owned by the caller.
    CChannel* Clone() const override { return new CChannel(*this, true); }

    // Another CChannel of this format with equal records, samples and start.
    bool Equals(const CObject& other) const override {
        const auto* channel = dynamic_cast<const CChannel*>(&other);
        return channel && RecordsEqual(*channel)
               && static_cast<const Buffer&>(*this) == static_cast<const Buffer&>(*channel);
    }

    // The attribute copy, then the samples where both extents overlap, when the selection
    // takes them and the source has this format.
    void CopyFrom(const IChannel& source, const CEntityCollection& selection) override {
        IChannel::CopyFrom(source, selection);
        const auto* typed = dynamic_cast<const CChannel*>(&source);
        if (!typed || !SamplesSelected(selection)) return;
        const CExtent overlap = IntersectRanges(this->GetRange(), typed->GetRange());
        if (overlap.start == overlap.end) return;
        std::copy(typed->GetSampleAt(overlap.start), typed->GetSampleAt(overlap.end), this->GetSampleAt(overlap.start));
    }

    bool IsNull() const override { return false; }
};

class CNullChannel : public AChannelBase {
public:
    // Extent {0, 0}, default records of the given format; activated and described.
    explicit CNullChannel(const CWaveFormat& format);
    // New records copied from the other, and its extent.
    CNullChannel(const CNullChannel& other);
    CNullChannel& operator=(const CNullChannel&) = delete;

    CNullChannel* Clone() const override { return new CNullChannel(*this); }
    bool Equals(const CObject& other) const override;
    bool IsNull() const override { return true; }
    // Stored as given, even when the end lies before the start.
    void SetRange(const CExtent& range) override { m_range = range; }
    CExtent GetRange() const override { return m_range; }

private:
    CExtent m_range;
};

#define SL_DECLARE_CHANNEL(F) extern template class CChannel<EBitDepth::F>;
SL_FOR_EACH_SAMPLE_FORMAT(SL_DECLARE_CHANNEL)
#undef SL_DECLARE_CHANNEL

}  // namespace SL
