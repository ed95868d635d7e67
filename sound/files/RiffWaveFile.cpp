#include "sound/files/RiffWaveFile.h"

#include "sound/files/ChunkFields.h"

#include <istream>
#include <ostream>

namespace SL {

namespace {

constexpr int kOrder = CRiffWaveFileChunks::kByteOrder;
constexpr std::int64_t kLoopBytes = 24;

bool ReadLoop(std::istream& in, CRiffWaveFileChunks::CSamplerChunk::CLoop& loop) {
    return ReadField(in, kOrder, loop.cuePointId) && ReadField(in, kOrder, loop.type)
           && ReadField(in, kOrder, loop.start) && ReadField(in, kOrder, loop.end)
           && ReadField(in, kOrder, loop.fraction) && ReadField(in, kOrder, loop.playCount);
}

bool WriteLoop(std::ostream& out, const CRiffWaveFileChunks::CSamplerChunk::CLoop& loop) {
    return WriteField(out, kOrder, loop.cuePointId) && WriteField(out, kOrder, loop.type)
           && WriteField(out, kOrder, loop.start) && WriteField(out, kOrder, loop.end)
           && WriteField(out, kOrder, loop.fraction) && WriteField(out, kOrder, loop.playCount);
}

}  // namespace

CRiffWaveFileChunks::CRiffWaveChunk::CRiffWaveChunk(boost::shared_ptr<IChunkFactory> factory)
    : CIffContainerChunk(kOrder, IffId::RIFF, IffId::WAVE, std::move(factory)) {}

// --- "fmt " ---

CRiffWaveFileChunks::CFormatChunk::CFormatChunk() : CIffChunk(kOrder, IffId::FMT) {}

bool CRiffWaveFileChunks::CFormatChunk::ReadData(std::istream& in) {
    const std::int32_t size = GetHeader().GetSize();
    // Anything but 16 reads 18 bytes: a shorter chunk would be read past its end.
    if (size != 16 && size < 18) return false;
    if (!(ReadField(in, kOrder, formatTag) && ReadField(in, kOrder, channels) && ReadField(in, kOrder, sampleRate)
          && ReadField(in, kOrder, byteRate) && ReadField(in, kOrder, blockAlign)
          && ReadField(in, kOrder, bitsPerSample)))
        return false;
    return size == 16 || ReadField(in, kOrder, extraSize);
}

bool CRiffWaveFileChunks::CFormatChunk::WriteData(std::ostream& out) {
    return WriteField(out, kOrder, formatTag) && WriteField(out, kOrder, channels)
           && WriteField(out, kOrder, sampleRate) && WriteField(out, kOrder, byteRate)
           && WriteField(out, kOrder, blockAlign) && WriteField(out, kOrder, bitsPerSample)
           && WriteField(out, kOrder, extraSize);
}

CBitDepth CRiffWaveFileChunks::CFormatChunk::GetSampleFormat() const {
    if (formatTag == kFormatPcm) return CBitDepth(bitsPerSample, true);
    if (formatTag == kFormatIeeeFloat) return CBitDepth::FromFloatBits(bitsPerSample);
    return CBitDepth::NONE;
}

// --- "data" ---

CRiffWaveFileChunks::CDataChunk::CDataChunk(std::uint8_t loadFlag) : CIffDataChunk(kOrder, IffId::DATA, loadFlag) {}

// --- "fact" ---

CRiffWaveFileChunks::CFactChunk::CFactChunk() : CIffChunk(kOrder, IffId::FACT) {}

bool CRiffWaveFileChunks::CFactChunk::ReadData(std::istream& in) { return ReadField(in, kOrder, sampleCount); }

bool CRiffWaveFileChunks::CFactChunk::WriteData(std::ostream& out) { return WriteField(out, kOrder, sampleCount); }

// --- "smpl" ---

CRiffWaveFileChunks::CSamplerChunk::CSamplerChunk() : CIffChunk(kOrder, IffId::SMPL) {}

bool CRiffWaveFileChunks::CSamplerChunk::ReadData(std::istream& in) {
    if (!(ReadField(in, kOrder, manufacturer) && ReadField(in, kOrder, product) && ReadField(in, kOrder, samplePeriod)
          && ReadField(in, kOrder, midiUnityNote) && ReadField(in, kOrder, midiPitchFraction)
          && ReadField(in, kOrder, smpteFormat) && ReadField(in, kOrder, smpteOffset)
          && ReadField(in, kOrder, loopCount) && ReadField(in, kOrder, samplerDataSize)))
        return false;

    // Counts of up to 2^32 - 1 come from the file: none may claim more than the chunk holds.
    if (std::int64_t(loopCount) * kLoopBytes > GetBodyBytesLeft(in)) return false;
    loops.assign(loopCount, CLoop());
    for (CLoop& loop : loops) {
        if (!ReadLoop(in, loop)) return false;
    }
    if (std::int64_t(samplerDataSize) > GetBodyBytesLeft(in)) return false;
    samplerData.assign(samplerDataSize, 0);
    if (samplerDataSize > 0)
        in.read(reinterpret_cast<char*>(samplerData.data()), static_cast<std::streamsize>(samplerDataSize));
    return !in.fail();
}

bool CRiffWaveFileChunks::CSamplerChunk::WriteData(std::ostream& out) {
    if (loops.size() > UINT32_MAX || samplerData.size() > UINT32_MAX) return false;
    if (!(WriteField(out, kOrder, manufacturer) && WriteField(out, kOrder, product)
          && WriteField(out, kOrder, samplePeriod) && WriteField(out, kOrder, midiUnityNote)
          && WriteField(out, kOrder, midiPitchFraction) && WriteField(out, kOrder, smpteFormat)
          && WriteField(out, kOrder, smpteOffset)))
        return false;
    loopCount = static_cast<std::uint32_t>(loops.size());
    samplerDataSize = static_cast<std::uint32_t>(samplerData.size());
    if (!(WriteField(out, kOrder, loopCount) && WriteField(out, kOrder, samplerDataSize))) return false;
    for (const CLoop& loop : loops) {
        if (!WriteLoop(out, loop)) return false;
    }
    if (!samplerData.empty())
        out.write(reinterpret_cast<const char*>(samplerData.data()), static_cast<std::streamsize>(samplerData.size()));
    return !out.fail();
}

// --- factory and file ---

std::unique_ptr<CIffChunk> CRiffWaveFileChunks::CRiffWaveChunk::CDefaultChunkFactory::Create(
    const CIffChunk::CFourCharacterCode& id) {
    if (id == IffId::FMT) return std::make_unique<CFormatChunk>();
    if (id == IffId::DATA) return std::make_unique<CDataChunk>(m_loadFlag);
    if (id == IffId::SMPL) return std::make_unique<CSamplerChunk>();
    if (id == IffId::FACT) return std::make_unique<CFactChunk>();
    return nullptr;
}

CRiffWaveDto::CRiffWaveDto(boost::shared_ptr<CIffContainerChunk::IChunkFactory> factory)
    : CIffDto<CRiffWaveFileChunks::CRiffWaveChunk>(std::move(factory)) {}

}  // namespace SL
