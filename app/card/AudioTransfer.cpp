#include "app/card/AudioTransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/pointer_cast.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/card/AppServices.h"
#include "app/card/CardFiles.h"
#include "app/card/CardVolume.h"
#include "app/card/Domain.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "app/card/Song.h"
#include "app/card/VoxaFiles.h"
#include "general_tools/Files.h"
#include "general_tools/Mp3FileInfo.h"
#include "general_tools/Paths.h"
#include "general_tools/Progress.h"
#include "sound/files/FileDataSource.h"
#include "sound/files/FileSampleIterators.h"
#include "sound/files/WaveFileLoader.h"
#include "sound/model/BitDepthConvertDecorator.h"
#include "sound/model/ChannelCollection.h"
#include "sound/model/StereoDecorator.h"
#include "ui/CursorStack.h"

namespace {

using SL::EBitDepth;
typedef SL::ITypedInputSampleIterator<EBitDepth::INTEGER16> CInput16;
typedef SL::CFileOutputSampleIterator<EBitDepth::INTEGER16> CFileOutput16;

const char kTemporaryVoxaPrefix[] = "___TEMPORARY_VOXA_FILE___";
const char kTemporarySourcePrefix[] = "___TEMPORARY_SRC_FILE___";
constexpr double kImportSampleRate = 44100.0;
constexpr int32_t kImportMp3SampleRate = 44100;
constexpr uint64_t kStereo16FrameBytes = 4;  // two 16-bit values
constexpr uint64_t kWaveHeaderBytes = 46;    // "RIFF", "fmt " of 18 bytes, "data"

enum class EConversion { DONE, FAILED, CANCELLED };

void ShowMessage(int id) { CModalManager::GetInstance().ShowMessageById(id); }

// A failure of a write to the card, told unless the card was removed meanwhile: then the run
// tells of the removal instead.
void ShowWriteFailure(const CCardVolume& card, int id) {
    if (!card.WasRemoved()) ShowMessage(id);
}

// The work folder's file for a destination: the prefix, then the destination's file name.
std::string TemporaryPath(const char* prefix, const std::string& destination) {
    const GT::CPathParts parts(destination, '/');
    return CDomain::GetInstance().GetWorkFolder() + "/" + prefix + parts.title + parts.extension;
}

void RemoveTemporaryFile(const std::string& path) { GT::RemoveFile(path); }

int64_t FrameCount(const SL::IWave& wave) {
    const SL::CExtent range = wave.GetRange();
    return int64_t{range.end} - range.start;
}

// A file's place on the connected card: its folder, opened by the card's walk from its root
// (so never through a link, nor on another file system), and its name there.
struct CCardPlace {
    CCardFolder folder;
    std::string name;
};

// The place of a path on the card when it may take a write: the card is still the one that was
// connected (and, during a run, the run's own), not whatever its mount point now holds, and the
// folder is the card's own. missing tells a folder that is not there from one that is refused.
bool FindOnCard(const CCardVolume& card, const std::string& path, CCardPlace& place, bool* missing = nullptr) {
    const GT::CPathParts parts(path, '/');
    place.name = parts.title + parts.extension;
    if (missing != nullptr) *missing = false;
    if (place.name.empty() || place.name == "." || place.name == ".." || !card.IsWritable()) return false;
    const CCardVolume::EFolder found = card.OpenFolder(parts.directory, place.folder);
    if (missing != nullptr) *missing = found == CCardVolume::FOLDER_MISSING;
    return found == CCardVolume::FOLDER_OPEN;
}

// What stands at the place itself (a link is not followed).
CCardFileSystem::ELook LookAt(const CCardPlace& place, struct stat& info) {
    return GetCardFileSystem().Look(place.folder, place.name, info);
}

bool RemoveAt(const CCardPlace& place) { return GetCardFileSystem().Remove(place.folder, place.name); }

bool IsImportableMp3(const std::string& path) {
    GT::CMp3FileInfo info;
    return info.Read(path) && info.sampleRate == kImportMp3SampleRate;
}

// A new, empty file of the export's own beside its destination (".NAME.gbx-export-N"), made with
// the access the user's files get by default and never one that was there; empty when none can
// be made.
std::string MakeExportTemporary(const std::string& destination) {
    const GT::CPathParts parts(destination, '/');
    const std::string stem = parts.directory + "." + parts.title + parts.extension + ".gbx-export-";
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string path = stem + std::to_string(getpid()) + "-" + std::to_string(attempt);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return path;
        }
        if (errno != EEXIST) break;
    }
    return std::string();
}

// The export's file: written under a temporary name beside the destination, then renamed over it
// only when complete, so that a failure or a cancel leaves an existing destination as it was.
// write answers DONE, FAILED or CANCELLED for the temporary file it is given.
template <class TWrite>
int WriteExport(const std::string& destination, TWrite write) {
    const std::string temporary = MakeExportTemporary(destination);
    if (temporary.empty()) return CAudioTransfer::FAILED;
    int result = write(temporary);
    if (result == CAudioTransfer::DONE && std::rename(temporary.c_str(), destination.c_str()) != 0)
        result = CAudioTransfer::FAILED;
    if (result != CAudioTransfer::DONE) GT::RemoveFile(temporary);
    return result;
}

// The copy loop in blocks: while the input has a value and the output takes one, values move
// over; with a progress object, before every 10,000 values (starting with the first) a cancel
// request ends the loop and one step is made. With a card, whose file the output becomes, the
// card's removal ends the loop there too, as a failure: nothing of it reaches the card.
template <class TOutput>
EConversion CopyValues(CInput16& in, TOutput& out, GT::IProgress* progress, const CCardVolume* card) {
    std::array<int16_t, 4096> block;
    while (in.HasNext() && out.HasNext()) {
        if (progress != nullptr) {
            if (progress->IsCancelled()) return EConversion::CANCELLED;
            if (card != nullptr && card->WasRemoved()) return EConversion::FAILED;
            progress->Step();
        }
        size_t left = CAudioTransfer::kValuesPerStep;
        while (left > 0) {
            const size_t wanted = std::min({left, block.size(), out.Room()});
            const size_t got = wanted > 0 ? in.Read(block.data(), wanted) : 0;
            if (got == 0) break;
            out.Write(block.data(), got);
            left -= got;
        }
    }
    // An output that stopped taking values before the input ended has lost samples.
    if (in.HasNext()) return EConversion::FAILED;
    return in.IsGood() && out.IsGood() ? EConversion::DONE : EConversion::FAILED;
}

template <class TOutput>
EConversion CopyAndFinish(CInput16& in, TOutput& out, GT::IProgress* progress, const CCardVolume* card = nullptr) {
    const EConversion result = CopyValues(in, out, progress, card);
    if (result == EConversion::DONE && !out.Finish()) return EConversion::FAILED;
    return result;
}

// A WAV or AIFF file as 16-bit stereo values; empty when it cannot be read.
boost::shared_ptr<CInput16> OpenStereo16Source(const std::string& path) {
    return SL::AsTypedSource<EBitDepth::INTEGER16>(
        MakeStereo16Source(SL::CFileSampleIteratorFactory().CreateInputIterator(path)));
}

// A new 16-bit WAV or AIFF file of these attributes; made tells whether the file was created.
boost::shared_ptr<CFileOutput16> CreateFileOutput(const SL::CSampleAttribute& attribute, const std::string& path,
                                                  const SL::CWaveFileFormat& format, bool& made) {
    auto output = boost::dynamic_pointer_cast<CFileOutput16>(
        SL::CFileSampleIteratorFactory().CreateOutputIterator(attribute, path, format));
    made = made || output != nullptr;
    return output;
}

EConversion Encode(const std::string& source, const std::string& destination, bool& made,
                   const CCardVolume* card = nullptr) {
    const boost::shared_ptr<CInput16> input = OpenStereo16Source(source);
    if (!input) return EConversion::FAILED;
    const SL::CSampleAttribute& attribute = input->GetSampleAttribute();
    const auto output = CreateVoxaFile(destination, attribute.GetSampleRate(), attribute.GetChannelCount());
    if (!output) return EConversion::FAILED;
    made = true;
    return CopyAndFinish(*input, *output, &GetProgressBar(), card);
}

EConversion Decode(const std::string& source, const std::string& destination, const SL::CWaveFileFormat& format,
                   bool& made) {
    const auto input = OpenVoxaFile(source);
    if (!input) return EConversion::FAILED;
    const auto output = CreateFileOutput(input->GetSampleAttribute(), destination, format, made);
    if (!output) return EConversion::FAILED;
    return CopyAndFinish(*input, *output, &GetProgressBar());
}

EConversion Convert(const std::string& source, const std::string& destination, bool& made) {
    const boost::shared_ptr<CInput16> input = OpenStereo16Source(source);
    if (!input) return EConversion::FAILED;
    const auto output = CreateFileOutput(input->GetSampleAttribute(), destination, SL::CWaveFileFormat::WINWAVE, made);
    if (!output) return EConversion::FAILED;
    return CopyAndFinish(*input, *output, nullptr);
}

}  // namespace

// --- import ---

int CAudioTransfer::ImportFile(const std::string& source, const std::string& destination, bool encode) {
    int result = FAILED;
    if (encode) {
        const std::string temporary = TemporaryPath(kTemporaryVoxaPrefix, destination);
        result = ImportWithEncoding(source, temporary);
        if (result == DONE && !CopyOntoCard(temporary, destination)) {
            ShowWriteFailure(m_card, MSG_IMPORT_FAILED);
            result = FAILED;
        }
        RemoveTemporaryFile(temporary);
    } else {
        GT::IProgress& progress = GetProgressBar();
        if (progress.IsCancelled()) return CANCELLED;
        progress.Step();
        // A file of the card chosen for import whose own slot is the one it gets: copying it onto
        // itself would empty it, and a failure would delete it.
        if (IsOwnFileOnCard(source, destination)) return ImportInPlace(destination);
        if (GetSongFileType(source) == kSongFileMp3)
            result = ImportMp3(source, destination);
        else
            result = ImportWithoutEncoding(source, destination) ? DONE : FAILED;
    }
    if (result != DONE) RemoveFromCard(destination);
    return result;
}

bool CAudioTransfer::IsOwnFileOnCard(const std::string& source, const std::string& destination) const {
    // A link there is not the card's file: it is replaced by a copy.
    CCardPlace place;
    struct stat own {
    }, chosen{};
    return FindOnCard(m_card, destination, place) && LookAt(place, own) == CCardFileSystem::ENTRY_PRESENT
           && S_ISREG(own.st_mode) && stat(source.c_str(), &chosen) == 0 && chosen.st_dev == own.st_dev
           && chosen.st_ino == own.st_ino;
}

bool CAudioTransfer::CopyOntoCard(const std::string& source, const std::string& destination) const {
    CCardPlace place;
    return FindOnCard(m_card, destination, place) && GetCardFileSystem().CopyInto(source, place.folder, place.name);
}

bool CAudioTransfer::RemoveFromCard(const std::string& path) const {
    CCardPlace place;
    return FindOnCard(m_card, path, place) && RemoveAt(place);
}

int CAudioTransfer::ImportInPlace(const std::string& path) {
    bool importable;
    if (GetSongFileType(path) == kSongFileMp3) {
        importable = IsImportableMp3(path);
    } else {
        SL::CWaveFileLoader loader(0);
        const boost::shared_ptr<SL::IWave> wave = loader.Load(path, false, SL::CBitDepth(SL::CBitDepth::NONE));
        // An AIFF file named as a WAV file would need converting over itself.
        importable = wave && IsImportableWave(*wave) && loader.GetDetectedFormat() == SL::CWaveFileFormat::WINWAVE;
    }
    CCardPlace place;
    if (importable && FindOnCard(m_card, path, place)) return DONE;
    ShowMessage(importable ? MSG_IMPORT_FAILED : MSG_UNSUPPORTED_FORMAT);
    return FAILED;
}

int CAudioTransfer::ImportMp3(const std::string& source, const std::string& destination) {
    if (!IsImportableMp3(source)) {
        ShowMessage(MSG_UNSUPPORTED_FORMAT);
        return FAILED;
    }
    bool copied;
    {
        UL::CWaitCursor wait;
        copied = CopyOntoCard(source, destination);
    }
    if (copied) return DONE;
    RemoveFromCard(destination);
    ShowWriteFailure(m_card, MSG_IMPORT_FAILED);
    return FAILED;
}

int CAudioTransfer::ImportWithEncoding(const std::string& source, const std::string& destination) {
    bool importable = false;
    bool encoded = false;
    {
        UL::CWaitCursor wait;
        const boost::shared_ptr<SL::IWave> wave = OpenWave(source).first;
        importable = wave && IsEncodableWave(*wave);
        bool made = false;
        // The encoding is for the card: it ends as soon as the card's removal is noticed.
        if (importable) encoded = Encode(source, destination, made, &m_card) != EConversion::FAILED;
    }
    if (!importable) {
        ShowMessage(MSG_UNSUPPORTED_FORMAT);
        return FAILED;
    }
    // Asked again whatever the encoding answered: a cancel request wins.
    if (GetProgressBar().IsCancelled()) return CANCELLED;
    if (encoded) return DONE;
    ShowWriteFailure(m_card, MSG_IMPORT_FAILED);
    return FAILED;
}

bool CAudioTransfer::ImportWithoutEncoding(const std::string& source, const std::string& destination) {
    SL::CWaveFileLoader loader(0);
    const boost::shared_ptr<SL::IWave> wave = loader.Load(source, false, SL::CBitDepth(SL::CBitDepth::NONE));
    if (!wave || !IsImportableWave(*wave)) {
        ShowMessage(MSG_UNSUPPORTED_FORMAT);
        return false;
    }
    bool done = false;
    if (loader.GetDetectedFormat() == SL::CWaveFileFormat::WINWAVE) {
        UL::CWaitCursor wait;
        done = CopyOntoCard(source, destination);
    } else if (loader.GetDetectedFormat() == SL::CWaveFileFormat::AIFF) {
        UL::CWaitCursor wait;
        const std::string temporary = TemporaryPath(kTemporarySourcePrefix, destination);
        bool made = false;
        done = Convert(source, temporary, made) == EConversion::DONE && CopyOntoCard(temporary, destination);
        RemoveTemporaryFile(temporary);
    } else {
        ShowMessage(MSG_UNSUPPORTED_FORMAT);
        return false;
    }
    if (done) return true;
    RemoveFromCard(destination);
    ShowWriteFailure(m_card, MSG_IMPORT_FAILED);
    return false;
}

std::pair<boost::shared_ptr<SL::IWave>, SL::CWaveFileFormat> CAudioTransfer::OpenWave(const std::string& path) {
    typedef std::pair<boost::shared_ptr<SL::IWave>, SL::CWaveFileFormat> Result;
    const boost::shared_ptr<std::istream> in = SL::CFileDataSource(path, false).OpenRead();
    if (!in) return Result(nullptr, SL::CWaveFileFormat::INVALID);
    SL::CWaveFileLoader loader(0);
    for (const SL::CWaveFileFormat format : {SL::CWaveFileFormat::WINWAVE, SL::CWaveFileFormat::AIFF}) {
        const auto tried = loader.TryLoadAs(format, SL::CBitDepth(SL::CBitDepth::FLOAT64), *in);
        if (tried.first) return Result(tried.second, tried.second ? format : SL::CWaveFileFormat::INVALID);
    }
    return Result(nullptr, SL::CWaveFileFormat::INVALID);
}

bool CAudioTransfer::IsImportableWave(const SL::IWave& wave) {
    const SL::CChannelCollection* channels = wave.GetChannelCollectionPointer();
    if (channels == nullptr || channels->empty() || channels->size() > 2) return false;
    const EBitDepth format = wave.GetBitDepth().GetCode();
    if (format != EBitDepth::INTEGER16 && format != EBitDepth::INTEGER8 && format != EBitDepth::INTEGER8S
        && format != EBitDepth::INTEGER24)
        return false;
    if (wave.GetSampleRate() != kImportSampleRate) return false;
    const int64_t frames = FrameCount(wave);
    return frames >= kMinImportFrames && frames <= kMaxImportFrames;
}

namespace {

// The frames of a WAV or AIFF file (its samples not loaded); -1 when it cannot be read.
int64_t WaveFileFrames(const std::string& path) {
    const boost::shared_ptr<SL::IWave> wave =
        SL::CWaveFileLoader(0).Load(path, false, SL::CBitDepth(SL::CBitDepth::NONE));
    return wave ? std::max<int64_t>(FrameCount(*wave), 0) : -1;
}

// Encoding makes every source stereo: a mono file's Voxa file is as large as a stereo one's.
uint64_t EstimateStereoVoxaSize(int64_t frames) {
    return EstimateVoxaFileSizeOfPcm(static_cast<uint64_t>(frames) * kStereo16FrameBytes);
}

}  // namespace

bool CAudioTransfer::IsEncodableWave(const SL::IWave& wave) {
    return IsImportableWave(wave) && EstimateStereoVoxaSize(FrameCount(wave)) <= kMaxVoxaFileBytes;
}

bool CAudioTransfer::IsTooLongToEncode(const std::string& path) {
    const boost::shared_ptr<SL::IWave> wave = OpenWave(path).first;
    return wave && IsImportableWave(*wave) && !IsEncodableWave(*wave);
}

uint64_t CAudioTransfer::EstimateImportSize(const std::string& path) {
    const int64_t frames = WaveFileFrames(path);
    return frames >= 0 ? EstimateStereoVoxaSize(frames) : 0;
}

uint64_t CAudioTransfer::EstimateConvertedSize(const std::string& path) {
    const int64_t frames = WaveFileFrames(path);
    return frames >= 0 ? static_cast<uint64_t>(frames) * kStereo16FrameBytes + kWaveHeaderBytes : 0;
}

// --- export ---

int CAudioTransfer::ExportFile(const std::string& source, const std::string& destination, bool voxa) {
    // The card seen under a second path: the "copy" would be the card's own file, which a
    // failure would then take away.
    if (GT::IsSameFile(source, destination)) {
        ShowMessage(MSG_EXPORT_FAILED);
        return FAILED;
    }
    if (voxa) return ExportVoxaFile(source, destination, SL::CWaveFileFormat::WINWAVE);
    GT::IProgress& progress = GetProgressBar();
    if (progress.IsCancelled()) return CANCELLED;
    progress.Step();
    const int result = WriteExport(destination, [&source](const std::string& temporary) {
        return GT::CopyFile(source, temporary, false) ? DONE : FAILED;
    });
    if (result == FAILED) ShowMessage(MSG_EXPORT_FAILED);
    return result;
}

int CAudioTransfer::ExportVoxaFile(const std::string& source, const std::string& destination,
                                   const SL::CWaveFileFormat& format) {
    if (GT::IsSameFile(source, destination)) {
        ShowMessage(MSG_EXPORT_FAILED);
        return FAILED;
    }
    int result;
    {
        UL::CWaitCursor wait;
        result = WriteExport(destination, [&](const std::string& temporary) {
            bool made = false;
            const bool decoded = Decode(source, temporary, format, made) != EConversion::FAILED;
            return GetProgressBar().IsCancelled() ? CANCELLED : decoded ? DONE : FAILED;
        });
    }
    if (result == FAILED) ShowMessage(MSG_EXPORT_FAILED);
    return result;
}

uint64_t CAudioTransfer::GetExportedSize(const std::string& path, const SL::CWaveFileFormat& format) {
    if (GetSongFileType(path) == kSongFileVoxa) {
        const auto input = OpenVoxaFile(path);
        if (!input) return 0;
        const SL::CSampleAttribute& attribute = input->GetSampleAttribute();
        uint64_t bytes = uint64_t{2} * static_cast<uint64_t>(attribute.GetChannelCount())
                         * static_cast<uint64_t>(attribute.GetFrames());
        if (format == SL::CWaveFileFormat::WINWAVE) bytes += kWaveHeaderBytes;
        if (format == SL::CWaveFileFormat::AIFF) bytes += 54;
        return bytes;
    }
    int64_t size = 0;
    return GT::GetFileSize(path, size) && size > 0 ? static_cast<uint64_t>(size) : 0;
}

uint64_t CAudioTransfer::GetExportedWaveSize(const std::string& path) {
    return GetExportedSize(path, SL::CWaveFileFormat::WINWAVE);
}

// --- deletion ---

bool CAudioTransfer::DeleteSongFiles(const std::vector<std::string>& paths) {
    CDomain& domain = CDomain::GetInstance();
    bool deleted = true;
    for (const std::string& path : paths) {
        // Only the connected card's own files: a path off the card, a folder that is not the
        // card's (a link or another file system in its place), or a card that went, keeps
        // whatever lies there. A folder that is not there holds nothing to delete.
        CCardPlace place;
        bool missing = false;
        if (!FindOnCard(m_card, path, place, &missing)) {
            deleted = deleted && missing;
            continue;
        }
        struct stat info {};
        const CCardFileSystem::ELook audio = LookAt(place, info);
        if (audio == CCardFileSystem::ENTRY_UNKNOWN
            || (audio == CCardFileSystem::ENTRY_PRESENT && !S_ISDIR(info.st_mode) && !RemoveAt(place))) {
            // The song stays: its icon file keeps its name and protect flag.
            deleted = false;
            continue;
        }
        const GT::CPathParts parts(path, '/');
        // Nothing more once the card went meanwhile.
        for (const std::string& companion : {domain.GetIconExtension(), domain.GetQ3sExtension()})
            if (m_card.IsWritable()) GetCardFileSystem().Remove(place.folder, parts.title + companion);
    }
    if (!deleted) ShowWriteFailure(m_card, MSG_DELETE_FAILED);
    return deleted;
}

bool CAudioTransfer::FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// --- conversions ---

boost::shared_ptr<SL::IInputSampleIterator> MakeStereo16Source(
    const boost::shared_ptr<SL::IInputSampleIterator>& source) {
    if (!source) return source;
    const SL::CBitDepth format = source->GetSampleAttribute().GetSampleFormat();
    boost::shared_ptr<SL::IInputSampleIterator> stereo = source;
    if (source->GetSampleAttribute().GetChannelCount() == 1) stereo = SL::CreateStereoDecorator(format, source);
    return SL::CreateBitDepthConvertDecorator(format, SL::CBitDepth(SL::CBitDepth::INTEGER16), stereo);
}

int CountProgressSteps(const std::string& path) {
    int64_t values = 0;
    if (GetSongFileType(path) == kSongFileVoxa) {
        if (const auto input = OpenVoxaFile(path))
            values = int64_t{input->GetSampleAttribute().GetChannelCount()} * input->GetSampleAttribute().GetFrames();
    } else {
        values = std::max<int64_t>(WaveFileFrames(path), 0) * 2;
    }
    return CountProgressStepsOfValues(values);
}

int CountProgressStepsOfValues(int64_t values) {
    const int64_t steps =
        (std::max<int64_t>(values, 0) + CAudioTransfer::kValuesPerStep - 1) / CAudioTransfer::kValuesPerStep;
    return static_cast<int>(std::min<int64_t>(steps, std::numeric_limits<int>::max()));
}

bool EncodeVoxaFile(const std::string& source, const std::string& destination) {
    bool made = false;
    return Encode(source, destination, made) != EConversion::FAILED;
}

bool DecodeVoxaFile(const std::string& source, const std::string& destination, const SL::CWaveFileFormat& format) {
    bool made = false;
    return Decode(source, destination, format, made) != EConversion::FAILED;
}

bool ConvertToFile(const std::string& source, const std::string& destination) {
    bool made = false;
    return Convert(source, destination, made) == EConversion::DONE;
}
