#include "sound/files/VoxaCoding.h"

#include "sound/files/VoxaBlockFormat.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace SL {

namespace {

void RequireMode(int mode) {
    if (!Private::voxa::IsValidMode(mode))
        throw std::invalid_argument("Voxa mode must be 4 to 8, not " + std::to_string(mode));
}

}  // namespace

CVoxaCoder::CVoxaCoder(int mode, const std::vector<int>& streamChannels)
    : m_mode(mode), m_streamChannels(streamChannels) {
    RequireMode(mode);
    if (streamChannels.empty()) throw std::invalid_argument("Voxa coder needs at least one stream");
    for (int n : streamChannels) {
        if (n < 1) throw std::invalid_argument("Voxa stream needs at least one channel");
        if (n > 0x10000 - m_channelCount) throw std::invalid_argument("Voxa stream has too many channels");
        std::vector<int> numbers(static_cast<size_t>(n));
        std::vector<int> slots(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            numbers[static_cast<size_t>(i)] = m_channelCount + i;
            slots[static_cast<size_t>(i)] = i;
        }
        m_channelNumbers.push_back(std::move(numbers));
        m_slots.push_back(std::move(slots));
        m_blocks.emplace_back(static_cast<size_t>(2 * mode * n), 0);
        m_channelCount += n;
    }
    m_group.assign(static_cast<size_t>(m_channelCount * kGroupFrames), 0);
    m_coding = boost::make_shared<CVoxaCoding>(mode);
}

void CVoxaCoder::Restart() { m_coding = boost::make_shared<CVoxaCoding>(m_mode); }

CVoxaCoding::CVoxaCoding(int mode)
    : m_mode(mode),
      m_encoder(boost::make_shared<Private::compressor>()),
      m_decoder(boost::make_shared<Private::expander>()) {
    RequireMode(mode);
}

CVoxaCoding* CVoxaCoding::Clone() const {
    auto* copy = new CVoxaCoding(m_mode);
    copy->m_lastSamples = m_lastSamples;
    return copy;
}

int32_t CVoxaCoding::GetLastSample(int channel) const {
    return channel >= 0 && static_cast<size_t>(channel) < m_lastSamples.size()
               ? m_lastSamples[static_cast<size_t>(channel)]
               : 0;
}

int32_t& CVoxaCoding::LastSample(int channel) {
    const auto index = static_cast<size_t>(channel);
    if (index >= m_lastSamples.size()) m_lastSamples.resize(index + 1, 0);
    return m_lastSamples[index];
}

size_t CVoxaCoding::BlockOffset(const std::vector<uint8_t>& blocks, int streamChannels, int slot) const {
    const size_t blockBytes = static_cast<size_t>(2 * m_mode);
    if (streamChannels < 1 || slot < 0) throw std::out_of_range("Voxa block slot out of range");
    const size_t stride = blocks.size() / static_cast<size_t>(streamChannels);
    const size_t offset = static_cast<size_t>(slot) * stride;
    if (stride < blockBytes || offset + blockBytes > blocks.size())
        throw std::out_of_range("Voxa block slot out of range");
    return offset;
}

void CVoxaCoding::CheckGroup(const std::vector<int16_t>& group, int channels, const std::vector<int>& channelNumbers,
                             size_t count) const {
    if (channels < 1 || group.size() < static_cast<size_t>(channels) * 16 || channelNumbers.size() < count)
        throw std::out_of_range("Voxa group buffer too small");
    for (size_t i = 0; i < count; ++i) {
        if (channelNumbers[i] < 0 || channelNumbers[i] >= channels)
            throw std::out_of_range("Voxa channel out of range");
    }
}

int CVoxaCoding::Encode(const std::vector<int16_t>& group, int channels, const std::vector<int>& channelNumbers,
                        std::vector<uint8_t>& blocks, int streamChannels, const std::vector<int>& slots) {
    const size_t count = std::min(channelNumbers.size(), static_cast<size_t>(std::max(channels, 0)));
    CheckGroup(group, channels, channelNumbers, count);
    if (slots.size() < count) throw std::out_of_range("Voxa block slot out of range");
    const size_t blockBytes = static_cast<size_t>(2 * m_mode);
    for (size_t i = 0; i < count; ++i) {
        const int k = channelNumbers[i];
        const size_t offset = BlockOffset(blocks, streamChannels, slots[i]);
        const int16_t* source = group.data() + k;
        for (int f = 0; f < 16; ++f, source += channels) m_samples[f] = *source;
        int32_t& last = LastSample(k);
        last = m_encoder->EncodeBlock(m_samples, m_block, last, m_mode);
        std::memcpy(blocks.data() + offset, m_block, blockBytes);
    }
    return static_cast<int>(count);
}

int CVoxaCoding::Decode(const std::vector<uint8_t>& blocks, int streamChannels, const std::vector<int>& slots,
                        std::vector<int16_t>& group, int channels, const std::vector<int>& channelNumbers) {
    const size_t count = std::min(slots.size(), static_cast<size_t>(std::max(streamChannels, 0)));
    CheckGroup(group, channels, channelNumbers, count);
    for (size_t i = 0; i < count; ++i) {
        const size_t offset = BlockOffset(blocks, streamChannels, slots[i]);
        const int k = channelNumbers[i];
        int32_t& last = LastSample(k);
        last = m_decoder->DecodeBlock(blocks.data() + offset, m_samples, last, m_mode);
        int16_t* target = group.data() + k;
        for (int f = 0; f < 16; ++f, target += channels) *target = m_samples[f];
    }
    return static_cast<int>(count);
}

}  // namespace SL
