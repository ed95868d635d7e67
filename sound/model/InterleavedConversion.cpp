#include "sound/model/InterleavedConversion.h"

namespace SL {

boost::shared_ptr<CChannelCollection> ConvertInterleavedSamples(const CWaveFormat& format, const SampleBytes& bytes,
                                                                CBitDepth destination, CBitDepth source, int byteOrder,
                                                                int channelCount) {
    return DispatchFormat(
        AllSampleFormats(), destination.GetCode(),
        [&](auto dst) -> boost::shared_ptr<CChannelCollection> {
            auto typed =
                ConvertInterleavedSamplesTo<decltype(dst)::value>(format, bytes, source, byteOrder, channelCount);
            return typed ? ToChannelCollection(std::move(typed)) : boost::shared_ptr<CChannelCollection>();
        },
        [] { return boost::shared_ptr<CChannelCollection>(); });
}

}  // namespace SL
