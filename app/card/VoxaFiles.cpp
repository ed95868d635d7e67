#include "app/card/VoxaFiles.h"

#include <boost/make_shared.hpp>

#include <cmath>
#include <istream>
#include <limits>
#include <ostream>
#include <stdexcept>

#include "general_tools/Rounding.h"
#include "sound/files/ChannelCount.h"
#include "sound/files/ChunkFields.h"
#include "sound/files/FileDataSource.h"
#include "sound/model/ChannelCollection.h"

namespace {

// One channel's coded block of a group of 16 frames.
constexpr int64_t kBlockBytes = 2 * CVoxaQm3FileChunks::MODE;
// Decoded samples are 16-bit; a WAV header states its bytes a second in 32 bits.
constexpr uint64_t kDecodedSampleBytes = 2;
constexpr uint64_t kMaxWaveByteRate = 0xFFFFFFFF;

uint64_t EstimateSize(double frames, double channels) {
    const double coded = std::ceil(CeilDivide(frames, 16) * 16 * channels * CVoxaQm3FileChunks::MODE * 0.125);
    return static_cast<uint64_t>(coded) + CVoxaQm3FileChunks::HEADER_BYTES;
}

}  // namespace

const CVoxaQm3FileChunks::CId& CVoxaQm3FileChunks::ContainerId() {
    static const CId id("VOXA");
    return id;
}

const CVoxaQm3FileChunks::CId& CVoxaQm3FileChunks::FormatId() {
    static const CId id("fmt ");
    return id;
}

const CVoxaQm3FileChunks::CId& CVoxaQm3FileChunks::Qm3Id() {
    static const CId id("QM-3");
    return id;
}

CVoxaQm3FileChunks::CFormatChunk::CFormatChunk() : SL::CIffChunk(FILE_BYTE_ORDER, FormatId()) {}

bool CVoxaQm3FileChunks::CFormatChunk::ReadData(std::istream& in) {
    const int order = GetByteOrder();
    return SL::ReadField(in, order, mode) && SL::ReadField(in, order, channels) && SL::ReadField(in, order, sampleRate)
           && SL::ReadField(in, order, sampleBits) && SL::ReadField(in, order, formatBits);
}

bool CVoxaQm3FileChunks::CFormatChunk::WriteData(std::ostream& out) {
    const int order = GetByteOrder();
    return SL::WriteField(out, order, mode) && SL::WriteField(out, order, channels)
           && SL::WriteField(out, order, sampleRate) && SL::WriteField(out, order, sampleBits)
           && SL::WriteField(out, order, formatBits);
}

CVoxaQm3FileChunks::CQm3Chunk::CQm3Chunk() : SL::CIffChunk(FILE_BYTE_ORDER, Qm3Id()) {}

bool CVoxaQm3FileChunks::CQm3Chunk::ReadData(std::istream& in) {
    for (uint32_t& value : values)
        if (!SL::ReadField(in, GetByteOrder(), value)) return false;
    return true;
}

bool CVoxaQm3FileChunks::CQm3Chunk::WriteData(std::ostream& out) {
    for (uint32_t value : values)
        if (!SL::WriteField(out, GetByteOrder(), value)) return false;
    return true;
}

std::unique_ptr<SL::CIffChunk> CVoxaQm3FileChunks::CChunkFactory0::Create(const CId& id) {
    if (id == FormatId()) return std::unique_ptr<SL::CIffChunk>(new CFormatChunk());
    if (id == Qm3Id()) return std::unique_ptr<SL::CIffChunk>(new CQm3Chunk());
    return nullptr;
}

CVoxaQm3FileChunks::CVoxaQm3Chunk::CVoxaQm3Chunk(boost::shared_ptr<SL::CIffContainerChunk::IChunkFactory> factory)
    : SL::CIffContainerChunk(FILE_BYTE_ORDER, ContainerId(), std::move(factory)) {}

boost::shared_ptr<SL::CVoxaFileInputSampleIterator> OpenVoxaFile(const std::string& path) {
    typedef boost::shared_ptr<SL::CVoxaFileInputSampleIterator> Result;
    const boost::shared_ptr<std::istream> in = SL::CFileDataSource(path, false).OpenRead();
    if (!in) return Result();

    uint32_t containerSize = 0;
    in->seekg(4);
    if (!SL::ReadField(*in, CVoxaQm3FileChunks::FILE_BYTE_ORDER, containerSize)) return Result();
    in->seekg(0, std::ios::end);
    const int64_t fileSize = static_cast<int64_t>(in->tellg());
    in->clear();
    in->seekg(0);

    CVoxaQm3Dto dto(boost::make_shared<CVoxaQm3FileChunks::CChunkFactory0>());
    if (!dto.Read(*in)) return Result();
    const auto* format = dto.FindChunkAs<CVoxaQm3FileChunks::CFormatChunk>(CVoxaQm3FileChunks::FormatId());
    if (format == nullptr) return Result();

    // Sizes from the file are checked before anything is computed from them.
    const int64_t dataOffset = int64_t{containerSize} + 8;
    const int64_t dataBytes = fileSize - dataOffset;
    // A file holds one coded block of every channel a group, so beyond stereo its data must
    // hold at least one group; a rate of 0 has no meaning, and neither has a rate whose bytes a
    // second (16-bit samples) a WAV header cannot state: either would be exported into a WAV
    // file that no player takes.
    if (fileSize < 0 || dataBytes < 0 || format->sampleRate == 0
        || !SL::IsPlausibleChannelCount(format->channels, dataBytes, kBlockBytes)
        || uint64_t{format->sampleRate} * format->channels * kDecodedSampleBytes > kMaxWaveByteRate)
        return Result();
    const double frames = std::ceil(static_cast<double>(dataBytes) * 8.0 / CVoxaQm3FileChunks::MODE / format->channels);
    if (frames > std::numeric_limits<int32_t>::max()) return Result();

    // The mode field is not consulted: the player's files are always mode 6.
    SL::CSampleAttribute attribute(SL::CBitDepth(SL::CBitDepth::INTEGER16), static_cast<double>(format->sampleRate),
                                   static_cast<int32_t>(format->channels), GT::kBigEndian);
    attribute.SetFrames(static_cast<int32_t>(frames));
    try {
        return boost::make_shared<SL::CVoxaFileInputSampleIterator>(
            CVoxaQm3FileChunks::MODE, attribute, std::vector<int>{attribute.GetChannelCount()},
            std::vector<boost::shared_ptr<std::istream>>{in}, dataOffset);
    } catch (const std::exception&) {
        return Result();
    }
}

boost::shared_ptr<SL::CVoxaFileOutputSampleIterator> CreateVoxaFile(const std::string& path, double sampleRate,
                                                                    int channelCount) {
    typedef boost::shared_ptr<SL::CVoxaFileOutputSampleIterator> Result;
    if (channelCount < 1 || channelCount > SL::kMaxFileChannels || GT::RoundToUnsigned(sampleRate) == 0)
        return Result();
    const boost::shared_ptr<std::ostream> out = SL::CFileDataSource(path, false).OpenWrite();
    if (!out) return Result();

    const SL::CSampleAttribute attribute(SL::CBitDepth(SL::CBitDepth::INTEGER16), sampleRate, channelCount,
                                         GT::kLittleEndian);
    CVoxaQm3Dto dto(boost::make_shared<CVoxaQm3FileChunks::CVoxaQm3Chunk::CDefaultChunkFactory>());
    auto format = boost::make_shared<CVoxaQm3FileChunks::CFormatChunk>();
    format->mode = CVoxaQm3FileChunks::MODE;
    format->channels = static_cast<uint32_t>(channelCount);
    format->sampleRate = GT::RoundToUnsigned(sampleRate);
    format->sampleBits = CVoxaQm3FileChunks::SAMPLE_BITS;
    format->formatBits = CVoxaQm3FileChunks::SAMPLE_BITS;
    dto.AppendChild(format);
    dto.AppendChild(boost::make_shared<CVoxaQm3FileChunks::CQm3Chunk>());
    out->clear();
    out->seekp(0);
    if (!dto.Write(*out)) return Result();

    return boost::make_shared<SL::CVoxaFileOutputSampleIterator>(
        CVoxaQm3FileChunks::MODE, attribute, std::vector<boost::shared_ptr<std::ostream>>{out},
        std::vector<int>{channelCount},
        SL::CVoxaFileOutputSampleIterator::CDataRange{CVoxaQm3FileChunks::HEADER_BYTES, kMaxVoxaFileBytes},
        [](SL::CVoxaFileOutputSampleIterator& iterator) { return iterator.Flush(); });
}

double CeilDivide(double a, double b) { return a > 0 ? (a - 1) / b + 1 : 0; }

uint64_t EstimateVoxaFileSize(const SL::IWave& wave) {
    const SL::CExtent range = wave.GetRange();
    const SL::CChannelCollection* channels = wave.GetChannelCollectionPointer();
    const double frames = static_cast<double>(int64_t{range.end} - range.start);
    return EstimateSize(frames, channels != nullptr ? static_cast<double>(channels->size()) : 0.0);
}

uint64_t EstimateVoxaFileSizeOfPcm(uint64_t byteCount) {
    return EstimateSize(static_cast<double>(byteCount / 2 / 2), 2.0);
}
