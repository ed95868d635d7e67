// Description of a sample stream: byte order, format, rate, channels, frames.
#pragma once

#include "general_tools/EndianStreams.h"
#include "sound/model/BitDepth.h"

#include <cstdint>

namespace SL {

// A plain value; the byte order is the order of the values in the stream's file.
class CSampleAttribute : public GT::CEndianed {
public:
    // Little-endian, NONE, 0.0 Hz, 0 channels, 0 frames.
    CSampleAttribute() : GT::CEndianed(GT::kLittleEndian) {}
    // Frame count 0.
    CSampleAttribute(const CBitDepth& sampleFormat, double sampleRate, int32_t channelCount, int byteOrder)
        : GT::CEndianed(byteOrder),
          m_sampleFormat(sampleFormat),
          m_sampleRate(sampleRate),
          m_channelCount(channelCount) {}

    const CBitDepth& GetSampleFormat() const { return m_sampleFormat; }
    void SetSampleFormat(const CBitDepth& format) { m_sampleFormat = format; }
    double GetSampleRate() const { return m_sampleRate; }
    void SetSampleRate(double rate) { m_sampleRate = rate; }
    int32_t GetChannelCount() const { return m_channelCount; }
    void SetChannelCount(int32_t count) { m_channelCount = count; }
    // Frames in the stream when known, else 0.
    int32_t GetFrames() const { return m_frames; }
    void SetFrames(int32_t frames) { m_frames = frames; }

    // Bytes per sample × channels × frames; a product beyond the int32 range is clamped to it.
    int32_t GetByteCount(int32_t frames) const;
    // bytes / channels / bytes per sample, truncating; 0 for no channels or a format of no bytes.
    int32_t GetFrameCount(int32_t bytes) const;

private:
    CBitDepth m_sampleFormat;
    double m_sampleRate = 0.0;
    int32_t m_channelCount = 0;
    int32_t m_frames = 0;
};

}  // namespace SL
