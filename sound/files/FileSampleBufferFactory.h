// Where the samples of a WAV or AIFF file lie, and how a new one is written: the descriptions
// from which the file sample iterators and the file sample buffers are made.
#pragma once

#include "sound/model/SampleAttribute.h"
#include "sound/model/SoundEnumerations.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <iosfwd>
#include <string>

namespace SL {

class ISampleBuffer;

// Byte offsets from the start of a file. Kept in 64 bits so that no sum of an offset and a
// length can wrap; the files themselves stay below 2 GiB.
struct CSampleDataRange {
    int64_t first = 0;
    int64_t end = 0;
};

// The largest file the chunk framework reads back: every chunk ends by this offset.
constexpr int64_t kMaxSampleFileBytes = 0x7FFFFFFF;

class IFileSampleBufferFactory {
public:
    // An existing file's samples: attribute with the file's byte order (1 WAV, 0 AIFF), and the
    // range {first sample, just after the last}.
    struct CInputSource {
        CWaveFileFormat format;
        CSampleAttribute attribute;
        boost::shared_ptr<std::istream> stream;
        CSampleDataRange range;
    };

    // Writes the header for the samples in range {first, end} of the stream; true when the
    // stream is good afterwards.
    typedef boost::function<bool(const CSampleAttribute&, const boost::shared_ptr<std::ostream>&,
                                 const CSampleDataRange&)>
        FinishFunction;

    // A new file's samples: range {header size, limit}, the limit being the largest offset at
    // which a value may still start.
    struct COutputSource {
        CWaveFileFormat format;
        CSampleAttribute attribute;
        boost::shared_ptr<std::ostream> stream;
        CSampleDataRange range;
        FinishFunction finish;
    };

    virtual ~IFileSampleBufferFactory() = default;
    // Empty whenever the matching sample iterator would be empty.
    virtual boost::shared_ptr<ISampleBuffer> CreateOutput(const CSampleAttribute& attribute, const std::string& path,
                                                          const CWaveFileFormat& format) = 0;
    virtual boost::shared_ptr<ISampleBuffer> CreateInput(const std::string& path) = 0;
    // Empty for a format the file cannot hold: WAV has unsigned 8-bit, AIFF signed 8-bit and
    // no floats; also for no channels or more than a header can state.
    virtual boost::shared_ptr<COutputSource> CreateWaveSink(const CSampleAttribute& attribute,
                                                            const boost::shared_ptr<std::ostream>& stream) = 0;
    virtual boost::shared_ptr<COutputSource> CreateAiffSink(const CSampleAttribute& attribute,
                                                            const boost::shared_ptr<std::ostream>& stream) = 0;
};

class CFileSampleBufferFactory : public IFileSampleBufferFactory {
public:
    boost::shared_ptr<ISampleBuffer> CreateOutput(const CSampleAttribute& attribute, const std::string& path,
                                                  const CWaveFileFormat& format) override;
    boost::shared_ptr<ISampleBuffer> CreateInput(const std::string& path) override;
    boost::shared_ptr<COutputSource> CreateWaveSink(const CSampleAttribute& attribute,
                                                    const boost::shared_ptr<std::ostream>& stream) override;
    boost::shared_ptr<COutputSource> CreateAiffSink(const CSampleAttribute& attribute,
                                                    const boost::shared_ptr<std::ostream>& stream) override;

    // Empty unless the stream holds a readable RIFF WAVE (or FORM AIFF) file with its format
    // and sample chunks, samples of one of the seven file formats and at least one channel.
    boost::shared_ptr<CInputSource> CreateWaveSource(const boost::shared_ptr<std::istream>& stream);
    boost::shared_ptr<CInputSource> CreateAiffSource(const boost::shared_ptr<std::istream>& stream);

    // The path opened for reading and recognised as WAV, else as AIFF; empty otherwise.
    boost::shared_ptr<CInputSource> OpenSource(const std::string& path);
    // The same for a stream that holds a whole file from offset 0 (a file in memory).
    boost::shared_ptr<CInputSource> OpenSource(const boost::shared_ptr<std::istream>& stream);
    // The path created (truncated) and described for writing in the given format; empty when
    // it cannot be created or the format cannot hold the attribute's samples.
    boost::shared_ptr<COutputSource> OpenSink(const CSampleAttribute& attribute, const std::string& path,
                                              const CWaveFileFormat& format);

    static boost::shared_ptr<ISampleBuffer> CreateInputBuffer(const CInputSource& source);
    static boost::shared_ptr<ISampleBuffer> CreateOutputBuffer(const COutputSource& sink);

    // Header writers. A range that a header cannot state fails without writing.
    static bool WriteWaveHeader(const CSampleAttribute& attribute, const boost::shared_ptr<std::ostream>& stream,
                                const CSampleDataRange& range);
    static bool WriteAiffHeader(const CSampleAttribute& attribute, const boost::shared_ptr<std::ostream>& stream,
                                const CSampleDataRange& range);
};

}  // namespace SL
