#include "sound/files/FileSampleIterators.h"

#include <boost/make_shared.hpp>

namespace SL {

CFileSampleIteratorFactory::CFileSampleIteratorFactory() : m_factory(boost::make_shared<CFileSampleBufferFactory>()) {}

boost::shared_ptr<IInputSampleIterator> CFileSampleIteratorFactory::CreateInputIterator(const std::string& path) const {
    const auto source = m_factory->OpenSource(path);
    if (!source) return boost::shared_ptr<IInputSampleIterator>();
    return CreateInputIteratorFromSource(*source);
}

boost::shared_ptr<IOutputSampleIterator> CFileSampleIteratorFactory::CreateOutputIterator(
    const CSampleAttribute& attribute, const std::string& path, const CWaveFileFormat& format) const {
    const auto sink = m_factory->OpenSink(attribute, path, format);
    if (!sink) return boost::shared_ptr<IOutputSampleIterator>();
    return CreateOutputIteratorFromSink(*sink);
}

boost::shared_ptr<IInputSampleIterator> CFileSampleIteratorFactory::CreateInputIteratorFromSource(
    const IFileSampleBufferFactory::CInputSource& source) {
    using Result = boost::shared_ptr<IInputSampleIterator>;
    if (!source.stream || source.attribute.GetChannelCount() < 1) return Result();
    return DispatchFileFormat(
        source.attribute.GetSampleFormat().GetCode(),
        [&](auto format) {
            constexpr EBitDepth F = decltype(format)::value;
            return Result(
                boost::make_shared<CFileInputSampleIterator<F>>(source.attribute, source.stream, source.range));
        },
        [] { return Result(); });
}

boost::shared_ptr<IOutputSampleIterator> CFileSampleIteratorFactory::CreateOutputIteratorFromSink(
    const IFileSampleBufferFactory::COutputSource& sink) {
    using Result = boost::shared_ptr<IOutputSampleIterator>;
    if (!sink.stream) return Result();
    return DispatchFileFormat(
        sink.attribute.GetSampleFormat().GetCode(),
        [&](auto format) {
            constexpr EBitDepth F = decltype(format)::value;
            return Result(
                boost::make_shared<CFileOutputSampleIterator<F>>(sink.attribute, sink.stream, sink.range, sink.finish));
        },
        [] { return Result(); });
}

}  // namespace SL
