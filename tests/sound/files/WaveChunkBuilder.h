// Fills a RIFF WAVE file with the two chunks the system writes: "fmt " for plain
// PCM or float samples, then "data".
#pragma once

#include <boost/make_shared.hpp>

#include <cstdint>
#include <vector>

#include "sound/files/RiffWaveFile.h"

namespace gbxtest {

struct WaveChunkPair {
    boost::shared_ptr<SL::CRiffWaveFileChunks::CFormatChunk> format;
    boost::shared_ptr<SL::CRiffWaveFileChunks::CDataChunk> data;
};

inline WaveChunkPair AppendFormatAndData(SL::CRiffWaveDto& dto, uint16_t tag, uint16_t channels, uint32_t rate,
                                         uint16_t bits, const std::vector<uint8_t>& samples) {
    auto fmt = boost::make_shared<SL::CRiffWaveFileChunks::CFormatChunk>();
    fmt->formatTag = tag;
    fmt->channels = channels;
    fmt->sampleRate = rate;
    fmt->blockAlign = uint16_t(channels * bits / 8);
    fmt->byteRate = rate * fmt->blockAlign;
    fmt->bitsPerSample = bits;
    auto data = boost::make_shared<SL::CRiffWaveFileChunks::CDataChunk>(1);
    *data->GetData() = samples;
    dto.AppendChild(fmt);
    dto.AppendChild(data);
    return {fmt, data};
}

}  // namespace gbxtest
