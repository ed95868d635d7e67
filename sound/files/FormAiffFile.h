#pragma once

// AIFF files on the chunk framework, all big-endian: the "FORM"/"AIFF" container and the
// chunks "COMM", "SSND", "MARK", "INST", "MIDI", "AESD", "APPL", "COMT" and the text chunks
// "NAME", "AUTH", "(c) " and "ANNO". Fields are plain members.

#include "sound/files/IffChunk.h"
#include "sound/files/IffChunkIds.h"
#include "sound/files/IffDto.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SL {

class CFormAiffFileChunks {
public:
    static constexpr int kByteOrder = GT::kBigEndian;

    class CFormAiffChunk : public CIffContainerChunk {
    public:
        class CDefaultChunkFactory;
        explicit CFormAiffChunk(boost::shared_ptr<IChunkFactory> factory);
    };

    class CCommonChunk : public CIffChunk {
    public:
        CCommonChunk();
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;

        std::int16_t channels = 0;
        std::uint32_t sampleFrames = 0;
        std::int16_t sampleSize = 0;  // bits per sample
        double sampleRate = 0.0;      // an 80-bit extended number in the file
    };

    // Offset and block size, then the data (size - 8 bytes), kept whole so that the chunk
    // writes back as it was read. The first sample frame lies offset bytes into the data: the
    // bytes before it (block-alignment padding) are not samples.
    class CSoundDataChunk : public CIffDataChunk {
    public:
        explicit CSoundDataChunk(std::uint8_t loadFlag);
        // Negative for a chunk smaller than 8 bytes, which is refused.
        std::int32_t GetDataLength() const override { return GetHeader().GetSize() - 8; }
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;

        // Stream offset of the first sample byte.
        std::int64_t GetSamplePosition() const;
        // Sample bytes after the offset; -1 when the offset reaches past the data.
        std::int64_t GetSampleByteCount() const;

        std::uint32_t offset = 0;
        std::uint32_t blockSize = 0;
    };

    class CMarkerChunk : public CIffChunk {
    public:
        struct CMarker {
            std::uint16_t id = 0;
            std::uint32_t position = 0;
            std::string name;  // at most 255 bytes
        };

        CMarkerChunk();
        bool ReadData(std::istream& in) override;
        // Refuses a name longer than 255 bytes or more than 65535 markers.
        bool WriteData(std::ostream& out) override;

        std::vector<CMarker> markers;
    };

    class CInstrumentChunk : public CIffChunk {
    public:
        struct CLoop {
            std::int16_t playMode = 0;   // 0 none, 1 forward, 2 forward and backward
            std::int16_t beginLoop = 0;  // marker id
            std::int16_t endLoop = 0;    // marker id
        };

        CInstrumentChunk();
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;

        std::int8_t baseNote = 0;
        std::int8_t detune = 0;
        std::uint8_t lowNote = 0;
        std::uint8_t highNote = 0;
        std::uint8_t lowVelocity = 0;
        std::uint8_t highVelocity = 0;
        std::int16_t gain = 0;
        CLoop sustainLoop;
        CLoop releaseLoop;
    };

    // Known but not kept: the body is neither read nor written.
    class CMidiDataChunk : public CIffChunk {
    public:
        CMidiDataChunk();
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;
    };

    class CAudioRecordingChunk : public CIffChunk {
    public:
        CAudioRecordingChunk();
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;
    };

    // A signature, then data (size - 4 bytes), always loaded.
    class CApplicationSpecificChunk : public CIffDataChunk {
    public:
        CApplicationSpecificChunk();
        // Negative for a chunk smaller than 4 bytes, which is refused.
        std::int32_t GetDataLength() const override { return GetHeader().GetSize() - 4; }
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;

        CFourCharacterCode signature;
    };

    class CCommentsChunk : public CIffChunk {
    public:
        struct CComment {
            std::uint32_t timeStamp = 0;
            std::int16_t markerId = 0;
            std::string text;  // at most 65535 bytes
        };

        CCommentsChunk();
        bool ReadData(std::istream& in) override;
        // Refuses a text longer than 65535 bytes or more than 65535 comments.
        bool WriteData(std::ostream& out) override;

        std::vector<CComment> comments;
    };

    // "NAME", "AUTH", "(c) " or "ANNO": the whole body is the text, zero bytes included.
    class CTextChunk : public CIffChunk {
    public:
        explicit CTextChunk(const CFourCharacterCode& id);
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;

        std::string text;
    };
};

// Creates every chunk class of the set by its id, "SSND" with the factory's load flag; other
// ids are skipped.
class CFormAiffFileChunks::CFormAiffChunk::CDefaultChunkFactory : public CIffContainerChunk::IChunkFactory {
public:
    explicit CDefaultChunkFactory(std::uint8_t loadFlag) : m_loadFlag(loadFlag) {}
    std::unique_ptr<CIffChunk> Create(const CIffChunk::CFourCharacterCode& id) override;

private:
    std::uint8_t m_loadFlag;
};

// A file whose form type is not "AIFF" (such as "AIFC") does not probe or read.
class CFormAiffDto : public CIffDto<CFormAiffFileChunks::CFormAiffChunk> {
public:
    explicit CFormAiffDto(boost::shared_ptr<CIffContainerChunk::IChunkFactory> factory);
};

}  // namespace SL
