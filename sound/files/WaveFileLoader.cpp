#include "sound/files/WaveFileLoader.h"

#include "sound/files/ChannelCount.h"
#include "sound/files/FileDataSource.h"
#include "sound/model/ChannelCollection.h"
#include "sound/model/InterleavedConversion.h"
#include "sound/model/Logger.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <limits>

namespace SL {

namespace {

typedef CRiffWaveFileChunks WaveChunks;
typedef CFormAiffFileChunks AiffChunks;

constexpr double kFractionScale = 4294967295.0;

// The loaded samples converted into the wave's own format, or, without loaded samples, a
// collection of channels that only know the frame count. False when the samples cannot be
// converted.
bool InstallChannels(IWave& wave, const SampleBytes* loaded, const CBitDepth& fileFormat, int byteOrder, int channels,
                     int64_t unloadedFrames) {
    boost::shared_ptr<CChannelCollection> collection;
    if (loaded) {
        collection = ConvertInterleavedSamples(CWaveFormat::WAVE, *loaded, wave.GetNativeBitDepth(), fileFormat,
                                               byteOrder, channels);
        if (!collection) return false;
    } else {
        collection = boost::make_shared<CChannelCollection>(CWaveFormat::WAVE);
        collection->Resize(channels);
        collection->SetRange(
            CExtent(0, static_cast<int32_t>(std::min<int64_t>(unloadedFrames, std::numeric_limits<int32_t>::max()))));
    }
    if (channels == 2) {
        (*collection)[0]->SetPan(-1.0);
        (*collection)[1]->SetPan(1.0);
    }
    wave.SetChannelCollection(collection);
    return true;
}

void SetPitch(IWave& wave, double pitch) {
    wave.SetPitch1(pitch);
    wave.SetPitch2(pitch);
    wave.SetPitch3(pitch);
}

// Lower bound and start 0, end at the last frame, played once.
void SetWholeLoop(IWave& wave) {
    ILoop& loop = *wave.GetLoopPointer();
    loop.SetLowerBound(0.0);
    loop.SetStart(0.0);
    loop.SetEnd(static_cast<double>(wave.GetRange().end) - 1.0);
    loop.SetMode(CLoopMode::ONESHOT);
}

CLoopMode SamplerLoopMode(uint32_t type, uint32_t playCount) {
    if (type == 1 && playCount == 0) return CLoopMode::ALTPP;
    if (type == 2 && playCount == 1) return CLoopMode::ONESHOTR;
    if (type == 2 && playCount == 0) return CLoopMode::FWDR;
    return CLoopMode::ONESHOT;
}

CLoopMode SustainLoopMode(int16_t playMode) {
    if (playMode == 1) return CLoopMode::FWD;
    if (playMode == 2) return CLoopMode::ALTPP;
    return CLoopMode::ONESHOT;
}

}  // namespace

std::unique_ptr<IWave> CreateWaveForBitDepth(const CWaveFormat& format, const CBitDepth& bitDepth) {
    switch (bitDepth.GetCode()) {
        case EBitDepth::INTEGER8S:
            return std::unique_ptr<IWave>(new CWave<EBitDepth::INTEGER8S>(format));
        case EBitDepth::INTEGER8:
            return std::unique_ptr<IWave>(new CWave<EBitDepth::INTEGER8>(format));
        case EBitDepth::INTEGER16:
            return std::unique_ptr<IWave>(new CWave<EBitDepth::INTEGER16>(format));
        case EBitDepth::INTEGER24:
            return std::unique_ptr<IWave>(new CWave<EBitDepth::INTEGER24>(format));
        case EBitDepth::INTEGER32:
            return std::unique_ptr<IWave>(new CWave<EBitDepth::INTEGER32>(format));
        case EBitDepth::FLOAT32:
            return std::unique_ptr<IWave>(new CWave<EBitDepth::FLOAT32>(format));
        default:
            return std::unique_ptr<IWave>(new CWave<EBitDepth::FLOAT64>(format));
    }
}

std::unique_ptr<IWave> WaveFromRiffWaveDto(const CRiffWaveDto& dto, const CBitDepth& target) {
    const auto* format = dto.FindChunkAs<WaveChunks::CFormatChunk>(IffId::FMT);
    const auto* data = dto.FindChunkAs<WaveChunks::CDataChunk>(IffId::DATA);
    if (!format || !data || format->channels == 0) return std::unique_ptr<IWave>();
    CBitDepth fileFormat;
    try {
        fileFormat = format->GetSampleFormat();
    } catch (const GT::IRangedNumber<int>::CError&) {
        return std::unique_ptr<IWave>();
    }
    // Samples of a coding not read cannot be converted.
    if (fileFormat == CBitDepth::NONE && data->GetLoadFlag()) return std::unique_ptr<IWave>();

    auto wave = CreateWaveForBitDepth(CWaveFormat::WAVE, target == CBitDepth::NONE ? fileFormat : target);
    wave->SetBitDepth(fileFormat);
    const int channels = format->channels;
    if (!IsPlausibleChannelCount(channels, data->GetLocatedLength(), fileFormat.GetBytesPerSample()))
        return std::unique_ptr<IWave>();
    int64_t frames = 0;
    if (fileFormat == CBitDepth::NONE) {
        const auto* fact = dto.FindChunkAs<WaveChunks::CFactChunk>(IffId::FACT);
        frames = fact ? fact->sampleCount : 0;
    } else {
        frames = int64_t{data->GetLocatedLength()} / fileFormat.GetBytesPerSample() / channels;
    }
    if (!InstallChannels(*wave, data->GetLoadFlag() ? data->GetData().get() : nullptr, fileFormat, GT::kLittleEndian,
                         channels, frames))
        return std::unique_ptr<IWave>();
    wave->SetSampleRate(static_cast<double>(format->sampleRate));

    const auto* sampler = dto.FindChunkAs<WaveChunks::CSamplerChunk>(IffId::SMPL);
    if (sampler)
        SetPitch(*wave, static_cast<double>(sampler->midiUnityNote)
                            - static_cast<double>(sampler->midiPitchFraction) / kFractionScale);
    SetWholeLoop(*wave);
    if (sampler && !sampler->loops.empty()) {
        const auto& record = sampler->loops.front();
        ILoop& loop = *wave->GetLoopPointer();
        if (record.type == 0 && record.playCount != 1) {
            loop.SetStart(static_cast<double>(static_cast<uint32_t>(record.start - 1u)));
            loop.SetMode(CLoopMode::FWD);
        } else {
            loop.SetStart(static_cast<double>(record.start));
            loop.SetMode(SamplerLoopMode(record.type, record.playCount));
        }
        loop.SetEnd(static_cast<double>(record.end) + static_cast<double>(record.fraction) / kFractionScale);
        loop.SetLastValue(0.0);
    }
    return wave;
}

std::unique_ptr<IWave> WaveFromAiffDto(const CFormAiffDto& dto, const CBitDepth& target) {
    const auto* common = dto.FindChunkAs<AiffChunks::CCommonChunk>(IffId::COMM);
    const auto* sound = dto.FindChunkAs<AiffChunks::CSoundDataChunk>(IffId::SSND);
    if (!common || !sound || common->channels <= 0) return std::unique_ptr<IWave>();
    CBitDepth fileFormat;
    try {
        fileFormat = CBitDepth(common->sampleSize, false);
    } catch (const GT::IRangedNumber<int>::CError&) {
        return std::unique_ptr<IWave>();
    }

    auto wave = CreateWaveForBitDepth(CWaveFormat::WAVE, target == CBitDepth::NONE ? fileFormat : target);
    wave->SetBitDepth(fileFormat);
    const int channels = common->channels;
    // The samples start after the offset bytes, which are not samples.
    const int64_t sampleBytes = sound->GetSampleByteCount();
    if (sampleBytes < 0 || !IsPlausibleChannelCount(channels, sampleBytes, fileFormat.GetBytesPerSample()))
        return std::unique_ptr<IWave>();
    const int64_t frames = sampleBytes / fileFormat.GetBytesPerSample() / channels;
    SampleBytes shifted;
    const SampleBytes* loaded = nullptr;
    if (sound->GetLoadFlag()) {
        loaded = sound->GetData().get();
        if (sound->offset != 0) {
            shifted.assign(loaded->begin() + static_cast<std::ptrdiff_t>(sound->offset), loaded->end());
            loaded = &shifted;
        }
    }
    if (!InstallChannels(*wave, loaded, fileFormat, GT::kBigEndian, channels, frames)) return std::unique_ptr<IWave>();
    if (const auto* name = dto.FindChunkAs<AiffChunks::CTextChunk>(IffId::NAME)) wave->SetName(name->text);
    wave->SetSampleRate(common->sampleRate);

    const auto* instrument = dto.FindChunkAs<AiffChunks::CInstrumentChunk>(IffId::INST);
    if (instrument) SetPitch(*wave, instrument->baseNote + instrument->detune / 100.0);
    SetWholeLoop(*wave);
    ILoop& loop = *wave->GetLoopPointer();
    loop.SetLastValue(0.0);
    if (instrument) {
        const auto& sustain = instrument->sustainLoop;
        loop.SetMode(SustainLoopMode(sustain.playMode));
        if (const auto* markers = dto.FindChunkAs<AiffChunks::CMarkerChunk>(IffId::MARK)) {
            for (const auto& marker : markers->markers) {
                if (marker.id == static_cast<uint16_t>(sustain.beginLoop))
                    loop.SetStart(static_cast<double>(
                        static_cast<uint32_t>(marker.position - (sustain.playMode == 1 ? 1u : 0u))));
                else if (marker.id == static_cast<uint16_t>(sustain.endLoop))
                    loop.SetEnd(static_cast<double>(static_cast<uint32_t>(marker.position - 1u)));
            }
        }
    }
    return wave;
}

CWaveFileLoader::CWaveFileLoader(std::uint8_t loadFlag)
    : m_loadFlag(loadFlag),
      m_formats{CWaveFileFormat::WINWAVE, CWaveFileFormat::AIFF},
      m_detected(CWaveFileFormat::INVALID) {}

boost::shared_ptr<IWave> CWaveFileLoader::Load(const std::string& path, bool normalise, const CBitDepth& target) {
    m_detected = CWaveFileFormat::INVALID;
    const auto stream = CFileDataSource(path, false).OpenRead();
    if (!stream) {
        LogNotice(kCannotOpenFileNotice, path);
        return boost::shared_ptr<IWave>();
    }
    return Load(*stream, normalise, target, path);
}

boost::shared_ptr<IWave> CWaveFileLoader::Load(std::istream& in, bool normalise, const CBitDepth& target,
                                               const std::string& name) {
    m_detected = CWaveFileFormat::INVALID;
    for (const CWaveFileFormat& format : m_formats) {
        auto tried = TryLoadAs(format, target, in);
        if (!tried.first) continue;
        m_detected = format;
        if (tried.second && normalise && !tried.second->IsValid()) {
            tried.second->Activate();
            LogNotice(kParameterNormalizedNotice, name);
        }
        return tried.second;
    }
    return boost::shared_ptr<IWave>();
}

namespace {

// Probes with the format's default factory, then reads with the loader's load flag.
template <class Dto, class Factory, class Convert>
std::pair<bool, boost::shared_ptr<IWave>> TryLoadDto(std::istream& in, std::uint8_t loadFlag, Convert convert) {
    typedef std::pair<bool, boost::shared_ptr<IWave>> Result;
    Dto probe(boost::make_shared<Factory>(1));
    if (!probe.Probe(in)) return Result(false, nullptr);
    Dto dto(boost::make_shared<Factory>(loadFlag));
    if (!dto.Read(in)) return Result(true, nullptr);
    return Result(true, boost::shared_ptr<IWave>(convert(dto)));
}

}  // namespace

std::pair<bool, boost::shared_ptr<IWave>> CWaveFileLoader::TryLoadAs(const CWaveFileFormat& format,
                                                                     const CBitDepth& target, std::istream& in) {
    if (format == CWaveFileFormat::WINWAVE)
        return TryLoadDto<CRiffWaveDto, WaveChunks::CRiffWaveChunk::CDefaultChunkFactory>(
            in, m_loadFlag, [&](const CRiffWaveDto& dto) { return WaveFromRiffWaveDto(dto, target); });
    if (format == CWaveFileFormat::AIFF)
        return TryLoadDto<CFormAiffDto, AiffChunks::CFormAiffChunk::CDefaultChunkFactory>(
            in, m_loadFlag, [&](const CFormAiffDto& dto) { return WaveFromAiffDto(dto, target); });
    return std::pair<bool, boost::shared_ptr<IWave>>(false, nullptr);
}

}  // namespace SL
