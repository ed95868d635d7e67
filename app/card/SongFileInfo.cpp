// The song record filled from an audio file: WAV and AIFF files through the chunk readers with
// the samples located, not loaded; MP3 files through the MP3 reader.
#include "app/card/Song.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "general_tools/Files.h"
#include "general_tools/Mp3FileInfo.h"
#include "general_tools/Rounding.h"
#include "sound/files/FileDataSource.h"
#include "sound/files/WaveFileLoader.h"

namespace {

// Duration in whole seconds of a WAV or AIFF file; false when it is not a file of integer
// samples at a positive, finite rate.
bool ReadWaveDuration(const std::string& path, int type, int& seconds) {
    const boost::shared_ptr<std::istream> in = SL::CFileDataSource(path, false).OpenRead();
    if (!in) return false;
    // Probed and read as the extension says, the samples located (load flag 0).
    const SL::CWaveFileFormat format(type == kSongFileWav ? SL::CWaveFileFormat::WINWAVE : SL::CWaveFileFormat::AIFF);
    const boost::shared_ptr<SL::IWave> wave =
        SL::CWaveFileLoader(0).TryLoadAs(format, SL::CBitDepth(SL::CBitDepth::FLOAT64), *in).second;
    if (!wave || !SL::IsIntegerFormat(wave->GetBitDepth().GetCode())) return false;
    const double rate = wave->GetSampleRate();
    if (!std::isfinite(rate) || rate <= 0) return false;
    const SL::CExtent range = wave->GetRange();
    seconds = GT::Clamp<int>(std::trunc(static_cast<double>(int64_t{range.end} - range.start) / rate), 0,
                             std::numeric_limits<int>::max());
    return true;
}

// The number before the first "/" of a track text ("08/12" is 8); 0 when it starts with none.
int ParseTrackNumber(const std::string& text) {
    const std::string number = text.substr(0, text.find('/'));
    errno = 0;
    const long value = std::strtol(number.c_str(), nullptr, 10);
    if (errno == ERANGE || value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return value < 0 ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

std::string Mp3Text(const GT::CMp3FileInfo& info, int field) {
    return CSongX::StripByteOrderMark(GT::CMp3FileInfo::DecodeText(info.texts[field], info.encodings[field]));
}

}  // namespace

bool CSongX::ReadFileInformation(const std::string& path) {
    const int type = GetSongFileType(path);
    int duration = m_duration;
    std::string title, artist, album, track;
    switch (type) {
        case kSongFileWav:
        case kSongFileAiff:
            if (!ReadWaveDuration(path, type, duration)) return false;
            break;
        case kSongFileMp3: {
            GT::CMp3FileInfo info;
            if (!info.Read(path)) return false;
            title = Mp3Text(info, GT::CMp3FileInfo::kTitle);
            artist = Mp3Text(info, GT::CMp3FileInfo::kArtist);
            album = Mp3Text(info, GT::CMp3FileInfo::kAlbum);
            track = Mp3Text(info, GT::CMp3FileInfo::kTrack);
            duration = static_cast<int>(std::min<uint32_t>(info.duration, std::numeric_limits<int>::max()));
            break;
        }
        case kSongFileVoxa:
            break;  // nothing is read: the duration stays as it was
        default:
            return false;
    }
    SetFileType(type);
    SetDuration(duration);
    SetTitle(title);
    SetArtist(artist);
    SetAlbum(album);
    if (!track.empty()) SetNumber(ParseTrackNumber(track));
    int64_t bytes = 0;
    if (!GT::GetFileSize(path, bytes)) bytes = 0;
    SetSizeKiB(static_cast<int>(std::min<int64_t>(bytes / 1024, std::numeric_limits<int>::max())));
    return true;
}
