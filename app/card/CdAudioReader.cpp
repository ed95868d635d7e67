#include "app/card/CdAudioReader.h"

#include <boost/pointer_cast.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "general_tools/Files.h"
#include "sound/files/FileSampleIterators.h"

namespace {

// A CD drive's volume id is its device; every other volume's is a folder.
bool IsDeviceVolume(const std::string& drive) { return !drive.empty() && !GT::DirectoryExists(drive); }

typedef SL::CFileOutputSampleIterator<SL::EBitDepth::INTEGER16> COutput16;

constexpr double kCdSampleRate = 44100.0;
constexpr int kCdChannels = 2;
constexpr int kBytesPerFrame = 4;
// Sectors of one track whose bytes and the largest header stay within an int.
constexpr int64_t kMaxTrackSectors =
    (std::numeric_limits<int>::max() - CCdAudioReader::AIFF_HEADER_BYTES) / GT::kCdSectorBytes;

bool IsTrack(const GT::CCdToc& toc, int track) { return track >= 0 && track < toc.GetTrackCount(); }

}  // namespace

CCdAudioReader& CCdAudioReader::GetInstance() {
    static CCdAudioReader reader;
    return reader;
}

GT::CStorageDevice& GetStorageDevice() {
    static GT::CStorageDevice device;
    return device;
}

bool IsRippableToc(const GT::CCdToc& toc) {
    const std::vector<GT::CCdTocEntry>& entries = toc.GetEntries();
    if (entries.size() < 2) return false;
    for (size_t i = 1; i < entries.size(); ++i) {
        // In 64 bits: frames from a drive are not trusted to be small.
        const int64_t length = int64_t{entries[i].startFrame} - entries[i - 1].startFrame;
        if (length <= 0 || length > kMaxTrackSectors) return false;
    }
    return true;
}

bool CCdAudioReader::Open(const std::string& drive) {
    m_drive = drive;
    GT::CCdToc toc;
    if (!GetStorageDevice().ReadToc(drive, toc) || !IsRippableToc(toc)) {
        m_toc.Clear();
        return false;
    }
    m_toc = toc;
    return true;
}

int CCdAudioReader::TrackSectors(int track) const {
    // A table that is not rippable is never kept, so the length is positive and bounded.
    return IsTrack(m_toc, track) ? m_toc.GetTrackLength(track) : 0;
}

int CCdAudioReader::GetReadBlockCount(int track) const {
    return IsTrack(m_toc, track) ? TrackSectors(track) / GT::kCdSectorsPerRead + 1 : 0;
}

int CCdAudioReader::GetTrackByteCount(int track) const { return TrackSectors(track) * GT::kCdSectorBytes; }

int CCdAudioReader::GetTrackAddress(int track) const {
    if (!IsTrack(m_toc, track)) return -1;
    // In 64 bits: a start frame from a drive may lie anywhere.
    const int64_t address = int64_t{m_toc.GetTrackStart(track)} - LEAD_IN_FRAMES;
    return address < 0 ? -1 : static_cast<int>(address);
}

int CCdAudioReader::AddFileHeaderSize(int byteCount, const SL::CWaveFileFormat& format) {
    if (format == SL::CWaveFileFormat::WINWAVE) return byteCount + WAVE_HEADER_BYTES;
    if (format == SL::CWaveFileFormat::AIFF) return byteCount + AIFF_HEADER_BYTES;
    return byteCount;
}

int CCdAudioReader::GetOutputFileSize(int track) const {
    return AddFileHeaderSize(GetTrackByteCount(track), m_outputFormat);
}

int CCdAudioReader::RipTrack(int track, const std::string& destination, GT::IProgress* progress) {
    const int sectors = TrackSectors(track);
    const int address = GetTrackAddress(track);
    if (sectors <= 0 || address < 0) return FAILED;
    const int64_t samples = int64_t{sectors} * GT::kCdSectorBytes / 2;

    SL::CSampleAttribute attribute(SL::CBitDepth(SL::CBitDepth::INTEGER16), kCdSampleRate, kCdChannels,
                                   GT::kLittleEndian);
    attribute.SetFrames(GetTrackByteCount(track) / kBytesPerFrame);
    auto output = boost::dynamic_pointer_cast<COutput16>(
        SL::CFileSampleIteratorFactory().CreateOutputIterator(attribute, destination, m_outputFormat));
    if (!output) return FAILED;

    GT::CStorageDevice& device = GetStorageDevice();
    int result = device.Open(m_drive) ? DONE : FAILED;
    std::vector<uint8_t> piece;
    std::vector<int16_t> words(static_cast<size_t>(GT::kCdSectorsPerRead) * GT::kCdSectorBytes / 2);
    int64_t written = 0;
    for (int offset = 0; result == DONE && offset < sectors; offset += GT::kCdSectorsPerRead) {
        const int count = std::min(sectors - offset, GT::kCdSectorsPerRead);
        result = device.ReadSectors(address + offset, count, piece, progress);
        if (result != DONE) break;
        // A piece that came back short would leave a gap in the audio.
        if (piece.size() != static_cast<size_t>(count) * GT::kCdSectorBytes) {
            result = FAILED;
            break;
        }
        // The disc's samples are little-endian 16-bit words.
        const size_t n = piece.size() / 2;
        for (size_t i = 0; i < n; ++i)
            words[i] = static_cast<int16_t>(static_cast<uint16_t>(piece[2 * i] | (piece[2 * i + 1] << 8)));
        written += static_cast<int64_t>(output->Write(words.data(), n));
    }
    device.Close();
    if (result == DONE && (written != samples || !output->IsGood() || !output->Finish())) result = FAILED;
    if (result != DONE) {
        if (result != CANCELLED) result = FAILED;
        output.reset();
        GT::RemoveFile(destination);
    }
    return result;
}

bool IsAudioCdInDrive(const std::string& drive) {
    if (!IsDeviceVolume(drive)) return false;
    CCdAudioReader& reader = CCdAudioReader::GetInstance();
    return reader.Open(drive) && reader.GetToc().HasAudioTrack();
}

bool ReadAudioCdToc(const std::string& drive, GT::CCdToc& toc) {
    return IsDeviceVolume(drive) && GetStorageDevice().ReadToc(drive, toc) && IsRippableToc(toc) && toc.HasAudioTrack();
}
