#pragma once

// Raw interleaved sample bytes of a sound file into a channel collection of any sample format:
// one typed channel per interleaved position, each value converted, each channel's peak
// recomputed. One routine per ordered pair of formats, produced from the format list.

#include "sound/model/BitDepth.h"
#include "sound/model/ChannelUtility.h"
#include "sound/model/InterleavedBuffer.h"
#include "sound/model/MemorySampleConversion.h"
#include "sound/model/TypedChannelCollection.h"

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace SL {

using SampleBytes = std::vector<std::uint8_t>;

// channelCount typed channels of dst, each with bytes / (sample size × channelCount) samples
// (whole frames only: a trailing partial frame is neither read nor converted). byteOrder is 1
// for little-endian (RIFF), 0 for big-endian (AIFF). An empty pointer for a code outside the
// ten formats; no channels when channelCount is below 1.
boost::shared_ptr<CChannelCollection> ConvertInterleavedSamples(const CWaveFormat& format, const SampleBytes& bytes,
                                                                CBitDepth destination, CBitDepth source, int byteOrder,
                                                                int channelCount);

template <EBitDepth Dst>
boost::shared_ptr<CTypedChannelCollection<Dst>> ConvertInterleavedSamplesTo(const CWaveFormat& format,
                                                                            const SampleBytes& bytes, CBitDepth source,
                                                                            int byteOrder, int channelCount);

template <EBitDepth Src, EBitDepth Dst>
boost::shared_ptr<CTypedChannelCollection<Dst>> FromInterleaved(const CWaveFormat& format, const SampleBytes& bytes,
                                                                int byteOrder, int channelCount) {
    auto channels = boost::make_shared<CTypedChannelCollection<Dst>>(format);
    if (channelCount < 1) return channels;
    const std::int64_t frameSize = std::int64_t{BytesPerSample(Src)} * channelCount;
    const std::int64_t frames = static_cast<std::int64_t>(bytes.size()) / frameSize;
    if (frames > std::numeric_limits<std::int32_t>::max())
        throw std::length_error("more frames than a channel can place");
    channels->Resize(channelCount);
    channels->SetRange(CExtent(0, static_cast<std::int32_t>(frames)));
    if (bytes.empty()) return channels;

    // The walk ends after the last whole frame, whatever follows it.
    const std::uint8_t* begin = bytes.data();
    const CInterleavedBuffer<Src> buffer(byteOrder, begin, begin + frames * frameSize, channelCount);
    const ConvertSample<Src, Dst> convert;
    for (int i = 0; i < channelCount; ++i) {
        CChannel<Dst>* channel = (*channels)[static_cast<std::uint32_t>(i)];
        SampleElement<Dst>* out = channel->GetData();
        const auto end = buffer.End({i, i + 1});
        for (auto in = buffer.Begin({i, i + 1}); in != end; ++in) *out++ = convert(*in);
        CChannelUtility<Dst>(channel).UpdatePeak();
    }
    return channels;
}

template <EBitDepth Dst>
boost::shared_ptr<CTypedChannelCollection<Dst>> ConvertInterleavedSamplesTo(const CWaveFormat& format,
                                                                            const SampleBytes& bytes, CBitDepth source,
                                                                            int byteOrder, int channelCount) {
    using Result = boost::shared_ptr<CTypedChannelCollection<Dst>>;
    return DispatchFormat(
        AllSampleFormats(), source.GetCode(),
        [&](auto src) { return FromInterleaved<decltype(src)::value, Dst>(format, bytes, byteOrder, channelCount); },
        [] { return Result(); });
}

// One destination's dispatcher with its ten routines: declared here, instantiated in the
// Interleaved*Conversions.cpp files, a few destinations each, so no unit compiles all 100.
#define SL_CONVERSION_TO_INSTANCE(F)                                                                             \
    template boost::shared_ptr<CTypedChannelCollection<EBitDepth::F>> ConvertInterleavedSamplesTo<EBitDepth::F>( \
        const CWaveFormat&, const SampleBytes&, CBitDepth, int, int);
#define SL_DECLARE_CONVERSION_TO(F) extern SL_CONVERSION_TO_INSTANCE(F)
SL_FOR_EACH_SAMPLE_FORMAT(SL_DECLARE_CONVERSION_TO)
#undef SL_DECLARE_CONVERSION_TO

}  // namespace SL
