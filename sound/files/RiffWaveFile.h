#pragma once

// RIFF WAVE files on the chunk framework, all little-endian: the "RIFF"/"WAVE" container and
// the chunks "fmt ", "data", "fact" and "smpl". Fields are plain members that readers inspect
// and writers set before writing.

#include "sound/files/IffChunk.h"
#include "sound/files/IffChunkIds.h"
#include "sound/files/IffDto.h"
#include "sound/model/BitDepth.h"

#include <cstdint>
#include <vector>

namespace SL {

class CRiffWaveFileChunks {
public:
    static constexpr int kByteOrder = GT::kLittleEndian;

    class CRiffWaveChunk : public CIffContainerChunk {
    public:
        class CDefaultChunkFactory;
        explicit CRiffWaveChunk(boost::shared_ptr<IChunkFactory> factory);
    };

    class CFormatChunk : public CIffChunk {
    public:
        // The format tags whose samples are read and written; any other tag (such as the
        // extensible layout, 0xFFFE) names a coding whose samples are not read.
        enum : std::uint16_t { kFormatPcm = 1, kFormatIeeeFloat = 3 };

        CFormatChunk();
        // 16 bytes read the six fields up to bits per sample and keep the extra size; any
        // other size reads all seven (a size below 18 then fails the read).
        bool ReadData(std::istream& in) override;
        // Always all seven fields: a written "fmt " chunk has size 18.
        bool WriteData(std::ostream& out) override;

        // The sample format that the tag and the bits name: integer PCM (unsigned at 8 bits) or
        // floating point; NONE for any other tag. Bits that name no format throw the
        // enumeration's range error.
        CBitDepth GetSampleFormat() const;

        std::uint16_t formatTag = 0;  // kFormatPcm, kFormatIeeeFloat, or a coding not read
        std::uint16_t channels = 0;
        std::uint32_t sampleRate = 0;
        std::uint32_t byteRate = 0;
        std::uint16_t blockAlign = 0;
        std::uint16_t bitsPerSample = 0;
        std::uint16_t extraSize = 0;
    };

    // The whole body is the sample data.
    class CDataChunk : public CIffDataChunk {
    public:
        explicit CDataChunk(std::uint8_t loadFlag);
    };

    class CFactChunk : public CIffChunk {
    public:
        CFactChunk();
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;

        std::uint32_t sampleCount = 0;
    };

    class CSamplerChunk : public CIffChunk {
    public:
        struct CLoop {
            std::uint32_t cuePointId = 0;
            std::uint32_t type = 0;
            std::uint32_t start = 0;
            std::uint32_t end = 0;
            std::uint32_t fraction = 0;
            std::uint32_t playCount = 0;
        };

        CSamplerChunk();
        // Fails without allocating when the loop count or sampler data size claims more bytes
        // than the chunk holds.
        bool ReadData(std::istream& in) override;
        // Sets the loop count and sampler data size from what is held.
        bool WriteData(std::ostream& out) override;

        std::uint32_t manufacturer = 0;
        std::uint32_t product = 0;
        std::uint32_t samplePeriod = 0;
        std::uint32_t midiUnityNote = 0;
        std::uint32_t midiPitchFraction = 0;
        std::uint32_t smpteFormat = 0;
        std::uint32_t smpteOffset = 0;
        std::uint32_t loopCount = 0;
        std::uint32_t samplerDataSize = 0;
        std::vector<CLoop> loops;
        std::vector<std::uint8_t> samplerData;
    };
};

// "fmt ", "data" (with the factory's load flag), "smpl" and "fact"; other ids are skipped.
class CRiffWaveFileChunks::CRiffWaveChunk::CDefaultChunkFactory : public CIffContainerChunk::IChunkFactory {
public:
    explicit CDefaultChunkFactory(std::uint8_t loadFlag) : m_loadFlag(loadFlag) {}
    std::unique_ptr<CIffChunk> Create(const CIffChunk::CFourCharacterCode& id) override;

private:
    std::uint8_t m_loadFlag;
};

class CRiffWaveDto : public CIffDto<CRiffWaveFileChunks::CRiffWaveChunk> {
public:
    explicit CRiffWaveDto(boost::shared_ptr<CIffContainerChunk::IChunkFactory> factory);
};

}  // namespace SL
