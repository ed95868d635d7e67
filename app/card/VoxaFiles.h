// The Voxa song file (".Q3R"): a big-endian "VOXA" container holding a "fmt " chunk and a "QM-3"
// chunk, 56 bytes in all, followed by the coded audio in mode 6. Opening a file for decoding,
// creating one for encoding, and the size estimates of the free-space checks.
#pragma once

#include "sound/files/IffChunk.h"
#include "sound/files/IffDto.h"
#include "sound/files/VoxaFileSampleIterators.h"
#include "sound/model/Wave.h"

#include <boost/shared_ptr.hpp>

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

class CVoxaQm3FileChunks {
public:
    typedef SL::CIffChunk::CFourCharacterCode CId;
    enum : int { FILE_BYTE_ORDER = 0 };  // big-endian
    // The coding mode (bits per coded sample) of every file the system writes and reads.
    enum : int { MODE = 6 };
    // The header: the container's and the two chunks' headers and bodies.
    enum : int { HEADER_BYTES = 56 };
    // The low 16 bits of INTEGER16, twice in the format chunk.
    enum : uint32_t { SAMPLE_BITS = 16 };

    static const CId& ContainerId();  // "VOXA"
    static const CId& FormatId();     // "fmt "
    static const CId& Qm3Id();        // "QM-3"

    // "fmt ": mode, channels, sample rate in Hz and two 16s.
    class CFormatChunk : public SL::CIffChunk {
    public:
        CFormatChunk();
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;
        uint32_t mode = 0;
        uint32_t channels = 0;
        uint32_t sampleRate = 0;
        uint32_t sampleBits = 0;
        uint32_t formatBits = 0;
    };

    // "QM-3": three numbers that nothing uses, written as zeros.
    class CQm3Chunk : public SL::CIffChunk {
    public:
        CQm3Chunk();
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;
        std::array<uint32_t, 3> values{};
    };

    // Makes the two chunks above; nothing for any other id (skipped).
    class CChunkFactory0 : public SL::CIffContainerChunk::IChunkFactory {
    public:
        std::unique_ptr<SL::CIffChunk> Create(const CId& id) override;
    };

    // "VOXA", without a form type.
    class CVoxaQm3Chunk : public SL::CIffContainerChunk {
    public:
        typedef CChunkFactory0 CDefaultChunkFactory;
        explicit CVoxaQm3Chunk(boost::shared_ptr<SL::CIffContainerChunk::IChunkFactory> factory);
    };
};

typedef SL::CIffDto<CVoxaQm3FileChunks::CVoxaQm3Chunk> CVoxaQm3Dto;

// The file's 16-bit values; empty when the file cannot be opened or its header is not one of a
// Voxa file (no "fmt ", no channels or more than 1024, more than stereo with less data than one
// group, a sample rate of 0, a frame count beyond 32 bits). Short or damaged data is found
// later: the iterator's IsGood turns false.
boost::shared_ptr<SL::CVoxaFileInputSampleIterator> OpenVoxaFile(const std::string& path);
// Creates (truncates) the file and writes its header; the caller sets every value, then calls
// Finish, which writes the last group. Empty when the file cannot be written, the channel count
// is not 1 to 1024 or the rate rounds to 0.
boost::shared_ptr<SL::CVoxaFileOutputSampleIterator> CreateVoxaFile(const std::string& path, double sampleRate,
                                                                    int channelCount);

// The largest Voxa file the encoder writes (its data ends before byte 2^31 - 1): about nine hours
// of stereo.
constexpr uint64_t kMaxVoxaFileBytes = 2147483647;

// The size of the Voxa file that encoding the wave gives (its samples need not be loaded); a
// little more than the real size unless its frame count is 0 or one past a multiple of 16.
uint64_t EstimateVoxaFileSize(const SL::IWave& wave);
// The same for a byte count of 16-bit stereo PCM.
uint64_t EstimateVoxaFileSizeOfPcm(uint64_t byteCount);
// (a - 1) / b + 1 for a > 0, else 0, in double precision (it keeps its fraction).
double CeilDivide(double a, double b);
