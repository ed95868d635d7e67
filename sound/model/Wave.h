#pragma once

// A wave: one whole sound, its attributes and its channels. CWave<F> exists for the seven file
// formats; the audio-file readers make them and install the converted channel collection.

#include "sound/model/EntityRecords.h"
#include "sound/model/TypedChannelCollection.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace SL {

class IWave : public IEntity, public ILocatable2D {
public:
    using IntegerPair = std::pair<std::int32_t, std::int32_t>;
    using DoublePair = std::pair<double, double>;

    ICloneable* Clone() const override = 0;
    // The format of the class; the stored bit depth below may differ (the file's).
    virtual CBitDepth GetNativeBitDepth() const = 0;
    virtual CWaveFormat GetWaveFormat() const = 0;
    // Plain stores and reads, without checks.
    virtual void SetSampleRate(double rate) = 0;
    virtual double GetSampleRate() const = 0;
    virtual void SetBitDepth(CBitDepth bitDepth) = 0;
    virtual CBitDepth GetBitDepth() const = 0;
    virtual void SetPitch1(double pitch) = 0;
    virtual void SetPitch2(double pitch) = 0;
    virtual void SetPitch3(double pitch) = 0;
    virtual double GetPitch1() const = 0;
    virtual double GetPitch2() const = 0;
    virtual double GetPitch3() const = 0;
    virtual void SetParameter1(double value) = 0;
    virtual void SetParameter2(double value) = 0;
    virtual void SetParameter3(double value) = 0;
    virtual double GetParameter1() const = 0;
    virtual double GetParameter2() const = 0;
    virtual double GetParameter3() const = 0;
    virtual void SetIntegerPair(const IntegerPair& pair) = 0;
    virtual IntegerPair GetIntegerPair() const = 0;
    virtual void SetInteger(std::int32_t value) = 0;
    virtual std::int32_t GetInteger() const = 0;
    virtual void SetLinesText(const std::string& text) = 0;
    virtual std::string GetLinesText() const = 0;
    virtual std::vector<std::string>& GetLines() = 0;
    virtual void SetFirstString(const std::string& text) = 0;
    virtual const std::string& GetFirstString() const = 0;
    virtual void SetSecondString(const std::string& text) = 0;
    virtual const std::string& GetSecondString() const = 0;
    virtual void SetFirstPair(const DoublePair& pair) = 0;
    virtual DoublePair GetFirstPair() const = 0;
    virtual void SetSecondPair(const DoublePair& pair) = 0;
    virtual DoublePair GetSecondPair() const = 0;
    // The loop, the envelope and the channel collection are never empty: the setters throw
    // std::invalid_argument for an empty pointer.
    virtual void SetLoop(boost::shared_ptr<ILoop> loop) = 0;
    virtual boost::shared_ptr<ILoop> GetLoop() const = 0;
    virtual const ILoop* GetLoopPointer() const = 0;
    virtual ILoop* GetLoopPointer() = 0;
    virtual void SetEnvelope(boost::shared_ptr<IEnvelope> envelope) = 0;
    virtual boost::shared_ptr<IEnvelope> GetEnvelope() const = 0;
    virtual const IEnvelope* GetEnvelopePointer() const = 0;
    virtual IEnvelope* GetEnvelopePointer() = 0;
    // Installed unchanged, whatever its format and channels; the getter returns it, not a copy.
    virtual void SetChannelCollection(boost::shared_ptr<CChannelCollection> channels) = 0;
    virtual boost::shared_ptr<CChannelCollection> GetChannelCollection() const = 0;
    virtual const CChannelCollection* GetChannelCollectionPointer() const = 0;
    virtual CChannelCollection* GetChannelCollectionPointer() = 0;

protected:
    IWave() = default;
    IWave(const IWave&) = default;
    IWave& operator=(const IWave&) = default;
};

template <EBitDepth F>
class CWave : public AEntityBase<IWave> {
    static_assert(IsFileFormat(F), "waves exist for the file formats only");

public:
    using Channels = CTypedChannelCollection<F>;

    // No channels; stored bit depth F; activated and described.
    explicit CWave(CWaveFormat format);
    // New records copied from the other's; the channels cloned when deep is set, else shared.
    CWave(const CWave& other, bool deep)
        : AEntityBase<IWave>(other),
          m_wave(new AWave(*other.m_wave)),
          m_channels(new Channels(*other.m_channels, deep)) {}
    CWave& operator=(const CWave&) = delete;

    CWave* Clone() const override { return new CWave(*this, true); }
    // Another CWave of this format with equal records and equal channel collections.
    bool Equals(const CObject& other) const override;
    void Activate() override;
    bool IsValid() const override;

    CBitDepth GetNativeBitDepth() const override { return CBitDepth(F); }
    CWaveFormat GetWaveFormat() const override { return m_wave->waveFormat; }
    void SetSampleRate(double rate) override { m_wave->sampleRate = rate; }
    double GetSampleRate() const override { return m_wave->sampleRate; }
    void SetBitDepth(CBitDepth bitDepth) override { m_wave->bitDepth = bitDepth; }
    CBitDepth GetBitDepth() const override { return m_wave->bitDepth; }
    void SetPitch1(double pitch) override { m_wave->pitches[0] = pitch; }
    void SetPitch2(double pitch) override { m_wave->pitches[1] = pitch; }
    void SetPitch3(double pitch) override { m_wave->pitches[2] = pitch; }
    double GetPitch1() const override { return m_wave->pitches[0]; }
    double GetPitch2() const override { return m_wave->pitches[1]; }
    double GetPitch3() const override { return m_wave->pitches[2]; }
    void SetParameter1(double value) override { m_wave->parameters[0] = value; }
    void SetParameter2(double value) override { m_wave->parameters[1] = value; }
    void SetParameter3(double value) override { m_wave->parameters[2] = value; }
    double GetParameter1() const override { return m_wave->parameters[0]; }
    double GetParameter2() const override { return m_wave->parameters[1]; }
    double GetParameter3() const override { return m_wave->parameters[2]; }
    void SetIntegerPair(const IntegerPair& pair) override { m_wave->integerPair = pair; }
    IntegerPair GetIntegerPair() const override { return m_wave->integerPair; }
    void SetInteger(std::int32_t value) override { m_wave->integer = value; }
    std::int32_t GetInteger() const override { return m_wave->integer; }
    void SetLinesText(const std::string& text) override { m_wave->SetLinesText(text); }
    std::string GetLinesText() const override { return m_wave->GetLinesText(); }
    std::vector<std::string>& GetLines() override { return m_wave->lines; }
    void SetFirstString(const std::string& text) override { m_wave->firstString = text; }
    const std::string& GetFirstString() const override { return m_wave->firstString; }
    void SetSecondString(const std::string& text) override { m_wave->secondString = text; }
    const std::string& GetSecondString() const override { return m_wave->secondString; }
    void SetFirstPair(const DoublePair& pair) override { m_wave->firstPair = pair; }
    DoublePair GetFirstPair() const override { return m_wave->firstPair; }
    void SetSecondPair(const DoublePair& pair) override { m_wave->secondPair = pair; }
    DoublePair GetSecondPair() const override { return m_wave->secondPair; }
    void SetLoop(boost::shared_ptr<ILoop> loop) override { m_wave->loop = Present(std::move(loop)); }
    boost::shared_ptr<ILoop> GetLoop() const override { return m_wave->loop; }
    const ILoop* GetLoopPointer() const override { return m_wave->loop.get(); }
    ILoop* GetLoopPointer() override { return m_wave->loop.get(); }
    void SetEnvelope(boost::shared_ptr<IEnvelope> envelope) override {
        m_wave->envelope = Present(std::move(envelope));
    }
    boost::shared_ptr<IEnvelope> GetEnvelope() const override { return m_wave->envelope; }
    const IEnvelope* GetEnvelopePointer() const override { return m_wave->envelope.get(); }
    IEnvelope* GetEnvelopePointer() override { return m_wave->envelope.get(); }
    void SetChannelCollection(boost::shared_ptr<CChannelCollection> channels) override {
        m_channels->SetChannelCollection(std::move(channels));
    }
    boost::shared_ptr<CChannelCollection> GetChannelCollection() const override {
        return m_channels->GetChannelCollection();
    }
    const CChannelCollection* GetChannelCollectionPointer() const override {
        return m_channels->GetChannelCollection().get();
    }
    CChannelCollection* GetChannelCollectionPointer() override { return m_channels->GetChannelCollection().get(); }

    // Every channel gets the extent; the wave has none of its own.
    void SetRange(const CExtent& range) override { m_channels->SetRange(range); }
    CExtent GetRange() const override { return m_channels->GetRange(); }

    const AWave& GetWaveRecord() const { return *m_wave; }
    // The typed face of the channels (typed access checks each channel's class).
    Channels& GetTypedChannels() { return *m_channels; }
    const Channels& GetTypedChannels() const { return *m_channels; }

private:
    template <typename T>
    static boost::shared_ptr<T> Present(boost::shared_ptr<T> pointer) {
        if (!pointer) throw std::invalid_argument("a wave's loop, envelope and channels are never empty");
        return pointer;
    }

    boost::shared_ptr<AWave> m_wave;
    boost::shared_ptr<Channels> m_channels;
};

#define SL_DECLARE_WAVE(F) extern template class CWave<EBitDepth::F>;
SL_FOR_EACH_FILE_FORMAT(SL_DECLARE_WAVE)
#undef SL_DECLARE_WAVE

}  // namespace SL
