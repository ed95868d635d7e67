#include "sound/files/FileSampleBuffer.h"

namespace SL {

boost::shared_ptr<ISampleBuffer> CFileSampleBufferFactory::CreateInput(const std::string& path) {
    const auto source = OpenSource(path);
    if (!source) return boost::shared_ptr<ISampleBuffer>();
    return CreateInputBuffer(*source);
}

boost::shared_ptr<ISampleBuffer> CFileSampleBufferFactory::CreateOutput(const CSampleAttribute& attribute,
                                                                        const std::string& path,
                                                                        const CWaveFileFormat& format) {
    const auto sink = OpenSink(attribute, path, format);
    if (!sink) return boost::shared_ptr<ISampleBuffer>();
    return CreateOutputBuffer(*sink);
}

namespace {

// The buffer of the description's sample format; empty for any other code.
template <class Description>
boost::shared_ptr<ISampleBuffer> CreateBuffer(const Description& description) {
    using Result = boost::shared_ptr<ISampleBuffer>;
    if (!description.stream || description.attribute.GetChannelCount() < 1) return Result();
    return DispatchFileFormat(
        description.attribute.GetSampleFormat().GetCode(),
        [&](auto format) { return Result(new CFileSampleBuffer<decltype(format)::value>(description)); },
        [] { return Result(); });
}

}  // namespace

boost::shared_ptr<ISampleBuffer> CFileSampleBufferFactory::CreateInputBuffer(const CInputSource& source) {
    return CreateBuffer(source);
}

boost::shared_ptr<ISampleBuffer> CFileSampleBufferFactory::CreateOutputBuffer(const COutputSource& sink) {
    return CreateBuffer(sink);
}

}  // namespace SL
