// Voxa coding of interleaved 16-bit groups: a group is 16 frames; each stream of a
// group holds, channel by channel, one block of 2 * mode bytes.
#pragma once

#include "sound/files/VoxaBlockCodec.h"
#include "sound/model/Entity.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <vector>

namespace SL {

class CVoxaCoding;

// Buffers of one group and the coding that moves them between samples and blocks.
class CVoxaCoder {
public:
    class ICoding {
    public:
        virtual ~ICoding() = default;
        virtual ICoding* Clone() const = 0;
        // Codes the 16 samples of channel channelNumbers[i] (every channels-th value of group)
        // into blocks at slots[i] * (blocks.size() / streamChannels); returns how many were coded.
        virtual int Encode(const std::vector<int16_t>& group, int channels, const std::vector<int>& channelNumbers,
                           std::vector<uint8_t>& blocks, int streamChannels, const std::vector<int>& slots) = 0;
        // The reverse: decodes the block at each slot into its channel of group.
        virtual int Decode(const std::vector<uint8_t>& blocks, int streamChannels, const std::vector<int>& slots,
                           std::vector<int16_t>& group, int channels, const std::vector<int>& channelNumbers) = 0;
    };

    static constexpr int kGroupFrames = 16;  // also the PCM sample width in bits

    // Throws std::invalid_argument for a mode outside 4..8, no stream, or a stream of fewer than one channel.
    CVoxaCoder(int mode, const std::vector<int>& streamChannels);

    int GetMode() const { return m_mode; }
    int GetChannelCount() const { return m_channelCount; }
    const std::vector<int>& GetStreamChannels() const { return m_streamChannels; }
    // Values of one group: channels * 16, interleaved frame by frame.
    std::vector<int16_t>& GetGroupBuffer() { return m_group; }
    std::vector<uint8_t>& GetBlockBuffer(size_t stream) { return m_blocks[stream]; }
    const std::vector<int>& GetChannelNumbers(size_t stream) const { return m_channelNumbers[stream]; }
    const std::vector<int>& GetSlots(size_t stream) const { return m_slots[stream]; }
    ICoding& GetCoding() { return *m_coding; }
    // Every channel starts again from a last sample of 0.
    void Restart();

private:
    int m_mode;
    std::vector<int> m_streamChannels;
    int m_channelCount = 0;
    std::vector<std::vector<uint8_t>> m_blocks;
    std::vector<int16_t> m_group;
    std::vector<std::vector<int>> m_channelNumbers;  // per stream: its channels across all streams
    std::vector<std::vector<int>> m_slots;           // per stream: 0 .. n - 1
    boost::shared_ptr<ICoding> m_coding;
};

class CVoxaCoding : public CVoxaCoder::ICoding, public ICloneable {
public:
    // Throws std::invalid_argument for a mode outside 4..8.
    explicit CVoxaCoding(int mode);

    // Same mode and last samples, fresh encoder and decoder.
    CVoxaCoding* Clone() const override;
    // Both throw std::out_of_range for a channel outside the group or a slot outside the blocks.
    int Encode(const std::vector<int16_t>& group, int channels, const std::vector<int>& channelNumbers,
               std::vector<uint8_t>& blocks, int streamChannels, const std::vector<int>& slots) override;
    int Decode(const std::vector<uint8_t>& blocks, int streamChannels, const std::vector<int>& slots,
               std::vector<int16_t>& group, int channels, const std::vector<int>& channelNumbers) override;

    int GetMode() const { return m_mode; }
    // The channel's last sample, 0 for a channel not yet coded.
    int32_t GetLastSample(int channel) const;

private:
    int32_t& LastSample(int channel);
    void CheckGroup(const std::vector<int16_t>& group, int channels, const std::vector<int>& channelNumbers,
                    size_t count) const;
    size_t BlockOffset(const std::vector<uint8_t>& blocks, int streamChannels, int slot) const;

    int m_mode;
    boost::shared_ptr<Private::compressor> m_encoder;
    boost::shared_ptr<Private::expander> m_decoder;
    std::vector<int32_t> m_lastSamples;
    int16_t m_samples[16] = {};
    uint8_t m_block[16] = {};
};

}  // namespace SL
