#include "sound/files/FileSampleBufferFactory.h"

#include "general_tools/Rounding.h"
#include "sound/files/FileDataSource.h"
#include "sound/files/FormAiffFile.h"
#include "sound/files/RiffWaveFile.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <istream>
#include <ostream>

namespace SL {

namespace {

constexpr int64_t kWaveHeaderBytes = 46;
constexpr int64_t kAiffHeaderBytes = 54;
constexpr int kWaveMaxChannels = 65535;  // unsigned 16-bit field
constexpr int kAiffMaxChannels = 32767;  // signed 16-bit field

typedef CRiffWaveFileChunks WaveChunks;
typedef CFormAiffFileChunks AiffChunks;

// Reads only the chunks that locate the samples; the sample data stays in the file.
class CWaveSourceChunkFactory : public CIffContainerChunk::IChunkFactory {
public:
    std::unique_ptr<CIffChunk> Create(const CIffChunk::CFourCharacterCode& id) override {
        if (id == IffId::FMT) return std::unique_ptr<CIffChunk>(new WaveChunks::CFormatChunk());
        if (id == IffId::DATA) return std::unique_ptr<CIffChunk>(new WaveChunks::CDataChunk(0));
        return std::unique_ptr<CIffChunk>();
    }
};

class CAiffSourceChunkFactory : public CIffContainerChunk::IChunkFactory {
public:
    std::unique_ptr<CIffChunk> Create(const CIffChunk::CFourCharacterCode& id) override {
        if (id == IffId::COMM) return std::unique_ptr<CIffChunk>(new AiffChunks::CCommonChunk());
        if (id == IffId::SSND) return std::unique_ptr<CIffChunk>(new AiffChunks::CSoundDataChunk(0));
        return std::unique_ptr<CIffChunk>();
    }
};

boost::shared_ptr<IFileSampleBufferFactory::CInputSource> MakeSource(const CWaveFileFormat& format,
                                                                     const CBitDepth& depth, double rate, int channels,
                                                                     int byteOrder,
                                                                     const boost::shared_ptr<std::istream>& stream,
                                                                     int64_t first, int64_t end) {
    if (channels < 1 || !depth.IsFileFormat() || first < 0 || end < first)
        return boost::shared_ptr<IFileSampleBufferFactory::CInputSource>();
    auto source = boost::make_shared<IFileSampleBufferFactory::CInputSource>();
    source->format = format;
    source->attribute = CSampleAttribute(depth, rate, channels, byteOrder);
    source->attribute.SetFrames(source->attribute.GetFrameCount(static_cast<int32_t>(end - first)));
    source->stream = stream;
    source->range = CSampleDataRange{first, end};
    return source;
}

// Whether a file of the format can hold the attribute's samples and state them in its header.
bool CanHold(const CSampleAttribute& attribute, const CWaveFileFormat& format) {
    const CBitDepth& depth = attribute.GetSampleFormat();
    const EBitDepth code = depth.GetCode();
    int maxChannels = 0;
    if (format == CWaveFileFormat::WINWAVE && depth.IsFileFormat() && code != EBitDepth::INTEGER8S)
        maxChannels = kWaveMaxChannels;
    else if (format == CWaveFileFormat::AIFF && IsIntegerFormat(code) && depth.IsFileFormat()
             && code != EBitDepth::INTEGER8)
        maxChannels = kAiffMaxChannels;
    const int channels = attribute.GetChannelCount();
    return channels >= 1 && channels <= maxChannels && int64_t{depth.GetBytesPerSample()} * channels <= 0xFFFF;
}

boost::shared_ptr<IFileSampleBufferFactory::COutputSource> MakeSink(
    const CWaveFileFormat& format, const CSampleAttribute& attribute, int byteOrder,
    const boost::shared_ptr<std::ostream>& stream, int64_t headerBytes,
    const IFileSampleBufferFactory::FinishFunction& finish) {
    if (!stream || !CanHold(attribute, format)) return boost::shared_ptr<IFileSampleBufferFactory::COutputSource>();
    auto sink = boost::make_shared<IFileSampleBufferFactory::COutputSource>();
    sink->format = format;
    sink->attribute = attribute;
    sink->attribute.SetByteOrder(byteOrder);
    const int64_t width = attribute.GetSampleFormat().GetBytesPerSample();
    // The last value and a pad byte must end within what the file's sizes can state.
    const int64_t ceiling = kMaxSampleFileBytes - 1 - width;
    const int64_t bytes = width * attribute.GetChannelCount() * std::max(attribute.GetFrames(), 0);
    sink->range = CSampleDataRange{headerBytes, bytes > 0 ? std::min(headerBytes + bytes, ceiling) : ceiling};
    sink->stream = stream;
    sink->finish = finish;
    return sink;
}

// Sample bytes d from the header's end, with the pad byte, within the file's limit.
bool HeaderCanState(const CSampleDataRange& range, int64_t headerBytes) {
    const int64_t d = range.end - range.first;
    return range.first == headerBytes && d >= 0 && range.end + (d & 1) <= kMaxSampleFileBytes;
}

template <class Dto>
bool WriteHeader(Dto& dto, std::ostream& out) {
    out.clear();
    out.seekp(0);
    return dto.Write(out) && out.good();
}

}  // namespace

boost::shared_ptr<IFileSampleBufferFactory::CInputSource> CFileSampleBufferFactory::CreateWaveSource(
    const boost::shared_ptr<std::istream>& stream) {
    if (!stream) return boost::shared_ptr<CInputSource>();
    CRiffWaveDto dto(boost::make_shared<CWaveSourceChunkFactory>());
    if (!dto.Read(*stream)) return boost::shared_ptr<CInputSource>();
    const auto* format = dto.FindChunkAs<WaveChunks::CFormatChunk>(IffId::FMT);
    const auto* data = dto.FindChunkAs<WaveChunks::CDataChunk>(IffId::DATA);
    if (!format || !data) return boost::shared_ptr<CInputSource>();
    try {
        const CBitDepth depth = format->GetSampleFormat();  // NONE, not a file format, is refused below
        const int64_t first = data->GetHeader().GetDataPosition();
        return MakeSource(CWaveFileFormat::WINWAVE, depth, static_cast<double>(format->sampleRate), format->channels,
                          GT::kLittleEndian, stream, first, first + data->GetHeader().GetSize());
    } catch (const GT::IRangedNumber<int>::CError&) {
        return boost::shared_ptr<CInputSource>();
    }
}

boost::shared_ptr<IFileSampleBufferFactory::CInputSource> CFileSampleBufferFactory::CreateAiffSource(
    const boost::shared_ptr<std::istream>& stream) {
    if (!stream) return boost::shared_ptr<CInputSource>();
    CFormAiffDto dto(boost::make_shared<CAiffSourceChunkFactory>());
    if (!dto.Read(*stream)) return boost::shared_ptr<CInputSource>();
    const auto* common = dto.FindChunkAs<AiffChunks::CCommonChunk>(IffId::COMM);
    const auto* sound = dto.FindChunkAs<AiffChunks::CSoundDataChunk>(IffId::SSND);
    if (!common || !sound) return boost::shared_ptr<CInputSource>();
    try {
        const CBitDepth depth(common->sampleSize, false);
        // The samples start after the offset bytes; an offset past the data leaves none.
        if (sound->GetSampleByteCount() < 0) return boost::shared_ptr<CInputSource>();
        return MakeSource(CWaveFileFormat::AIFF, depth, common->sampleRate, common->channels, GT::kBigEndian, stream,
                          sound->GetSamplePosition(), sound->GetHeader().GetEnd());
    } catch (const GT::IRangedNumber<int>::CError&) {
        return boost::shared_ptr<CInputSource>();
    }
}

boost::shared_ptr<IFileSampleBufferFactory::COutputSource> CFileSampleBufferFactory::CreateWaveSink(
    const CSampleAttribute& attribute, const boost::shared_ptr<std::ostream>& stream) {
    return MakeSink(CWaveFileFormat::WINWAVE, attribute, GT::kLittleEndian, stream, kWaveHeaderBytes,
                    &CFileSampleBufferFactory::WriteWaveHeader);
}

boost::shared_ptr<IFileSampleBufferFactory::COutputSource> CFileSampleBufferFactory::CreateAiffSink(
    const CSampleAttribute& attribute, const boost::shared_ptr<std::ostream>& stream) {
    return MakeSink(CWaveFileFormat::AIFF, attribute, GT::kBigEndian, stream, kAiffHeaderBytes,
                    &CFileSampleBufferFactory::WriteAiffHeader);
}

boost::shared_ptr<IFileSampleBufferFactory::CInputSource> CFileSampleBufferFactory::OpenSource(
    const std::string& path) {
    return OpenSource(CFileDataSource(path, false).OpenRead());
}

boost::shared_ptr<IFileSampleBufferFactory::CInputSource> CFileSampleBufferFactory::OpenSource(
    const boost::shared_ptr<std::istream>& stream) {
    if (!stream) return boost::shared_ptr<CInputSource>();
    CRiffWaveDto wave(boost::make_shared<WaveChunks::CRiffWaveChunk::CDefaultChunkFactory>(1));
    if (wave.Probe(*stream)) return CreateWaveSource(stream);
    CFormAiffDto aiff(boost::make_shared<AiffChunks::CFormAiffChunk::CDefaultChunkFactory>(1));
    if (aiff.Probe(*stream)) return CreateAiffSource(stream);
    return boost::shared_ptr<CInputSource>();
}

boost::shared_ptr<IFileSampleBufferFactory::COutputSource> CFileSampleBufferFactory::OpenSink(
    const CSampleAttribute& attribute, const std::string& path, const CWaveFileFormat& format) {
    // Refused before the file is touched, so that an existing file is not truncated for nothing.
    if (!CanHold(attribute, format)) return boost::shared_ptr<COutputSource>();
    const auto stream = CFileDataSource(path, false).OpenWrite();
    if (!stream) return boost::shared_ptr<COutputSource>();
    return format == CWaveFileFormat::WINWAVE ? CreateWaveSink(attribute, stream) : CreateAiffSink(attribute, stream);
}

bool CFileSampleBufferFactory::WriteWaveHeader(const CSampleAttribute& attribute,
                                               const boost::shared_ptr<std::ostream>& stream,
                                               const CSampleDataRange& range) {
    if (!stream || !HeaderCanState(range, kWaveHeaderBytes) || !CanHold(attribute, CWaveFileFormat::WINWAVE))
        return false;
    const CBitDepth& depth = attribute.GetSampleFormat();
    const auto code = static_cast<uint32_t>(depth.GetValue());
    const auto bytes = static_cast<uint32_t>(depth.GetBytesPerSample());
    const auto channels = static_cast<uint16_t>(attribute.GetChannelCount());

    auto format = boost::make_shared<WaveChunks::CFormatChunk>();
    format->formatTag = IsIntegerFormat(depth.GetCode()) ? WaveChunks::CFormatChunk::kFormatPcm
                                                         : WaveChunks::CFormatChunk::kFormatIeeeFloat;
    format->channels = channels;
    format->sampleRate = GT::RoundToUnsigned(attribute.GetSampleRate());
    format->byteRate =
        static_cast<uint32_t>(std::min<uint64_t>(uint64_t{bytes} * channels * format->sampleRate, 0xFFFFFFFFu));
    format->blockAlign = static_cast<uint16_t>(bytes * channels);
    format->bitsPerSample = static_cast<uint16_t>(code & 0xFFFFu);
    format->extraSize = 0;
    auto data = boost::make_shared<WaveChunks::CDataChunk>(0);
    data->SetLocatedLength(static_cast<int32_t>(range.end - range.first));

    CRiffWaveDto dto(boost::make_shared<WaveChunks::CRiffWaveChunk::CDefaultChunkFactory>(0));
    dto.AppendChild(format);
    dto.AppendChild(data);
    return WriteHeader(dto, *stream);
}

bool CFileSampleBufferFactory::WriteAiffHeader(const CSampleAttribute& attribute,
                                               const boost::shared_ptr<std::ostream>& stream,
                                               const CSampleDataRange& range) {
    if (!stream || !HeaderCanState(range, kAiffHeaderBytes) || !CanHold(attribute, CWaveFileFormat::AIFF)) return false;
    const auto d = static_cast<int32_t>(range.end - range.first);
    auto common = boost::make_shared<AiffChunks::CCommonChunk>();
    common->channels = static_cast<int16_t>(attribute.GetChannelCount());
    common->sampleFrames = static_cast<uint32_t>(attribute.GetFrameCount(d));
    common->sampleSize = static_cast<int16_t>(static_cast<uint32_t>(attribute.GetSampleFormat().GetValue()) & 0xFFFFu);
    common->sampleRate = attribute.GetSampleRate();
    auto sound = boost::make_shared<AiffChunks::CSoundDataChunk>(0);
    sound->SetLocatedLength(d);

    CFormAiffDto dto(boost::make_shared<AiffChunks::CFormAiffChunk::CDefaultChunkFactory>(0));
    dto.AppendChild(common);
    dto.AppendChild(sound);
    return WriteHeader(dto, *stream);
}

}  // namespace SL
