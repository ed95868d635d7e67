// A WAV or AIFF file as an in-memory wave: its sample format, channels, rate, pitch and loop,
// with all its samples or only the channel count and frame count.
#pragma once

#include "sound/files/FormAiffFile.h"
#include "sound/files/RiffWaveFile.h"
#include "sound/model/BitDepth.h"
#include "sound/model/SoundEnumerations.h"
#include "sound/model/Wave.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace SL {

class CWaveFileLoader {
public:
    // loadFlag 1 loads the samples into the wave; 0 gives the channels and frame count only.
    explicit CWaveFileLoader(std::uint8_t loadFlag);

    // Tries WAV, then AIFF. Target NONE keeps the file's own sample format; any other code is
    // the format of the wave, the samples converted into it. Empty when the file was not loaded.
    boost::shared_ptr<IWave> Load(const std::string& path, bool normalise, const CBitDepth& target);
    // The same for a stream that holds a whole file (a file in memory); name stands for it in
    // the log lines.
    boost::shared_ptr<IWave> Load(std::istream& in, bool normalise, const CBitDepth& target, const std::string& name);
    // The format that recognised the file in the last Load; INVALID when none did.
    const CWaveFileFormat& GetDetectedFormat() const { return m_detected; }
    // {recognised, wave}: a recognised file whose read or conversion fails gives no wave.
    std::pair<bool, boost::shared_ptr<IWave>> TryLoadAs(const CWaveFileFormat& format, const CBitDepth& target,
                                                        std::istream& in);

private:
    std::uint8_t m_loadFlag;
    std::vector<CWaveFileFormat> m_formats;
    CWaveFileFormat m_detected;
};

// A read DTO as a wave; empty for a format the waves cannot take, no channels, or no sample
// data chunk.
std::unique_ptr<IWave> WaveFromRiffWaveDto(const CRiffWaveDto& dto, const CBitDepth& target);
std::unique_ptr<IWave> WaveFromAiffDto(const CFormAiffDto& dto, const CBitDepth& target);

// An empty wave of the sample format; FLOAT64 for any code that is not a file format.
std::unique_ptr<IWave> CreateWaveForBitDepth(const CWaveFormat& format, const CBitDepth& bitDepth);

}  // namespace SL
