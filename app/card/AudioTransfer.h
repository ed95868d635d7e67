// The file work of one song at a time for import, export, deletion and ripping: whether a file
// can be imported, copying it onto the card, converting AIFF to WAV, encoding WAV and AIFF into
// Voxa files and decoding them back, size estimates for the free-space checks, and deleting a
// song's files. Beside it, the conversion loops that carry samples from one stream to another.
//
// Every write and deletion on the card goes through the card volume it is given (the connected
// card, still the same one).
//
// One-file operations answer 0 failed, 1 done or 2 cancelled, and a failure has already shown
// its message (22 import, 23 export, 24 delete, 28 unsupported file), except one that comes of
// the card's removal, which the run tells of. An encoding for the card ends as soon as the
// card's removal is noticed. On 0 and 2 nothing is
// left behind: no temporary file in the work folder and no partial destination; an export is
// written under a temporary name beside its destination and replaces an existing file only when
// complete, so a cancelled or failed export leaves that file as it was. Progress and
// cancel requests go to the process-wide progress dialog (GetProgressBar), whose range the
// caller has set: one step per file copied, one per 10,000 values converted
// (CountProgressSteps).
#pragma once

#include "sound/model/SampleIterator.h"
#include "sound/model/SoundEnumerations.h"
#include "sound/model/Wave.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace GT {
class IProgress;
}

class CCardVolume;

class CAudioTransfer {
public:
    enum : int { FAILED = 0, DONE = 1, CANCELLED = 2 };

    // The card that imports write onto and deletions take files from; kept by reference.
    explicit CAudioTransfer(const CCardVolume& card) : m_card(card) {}
    // Frames of an importable wave: one second and a little more, up to 24 hours at 44,100 Hz.
    static constexpr int64_t kMinImportFrames = 44928;
    static constexpr int64_t kMaxImportFrames = 3810240000;
    // Values converted between two progress steps (and cancel questions).
    static constexpr int kValuesPerStep = 10000;

    // A file onto the card (destination: its full path there). With encode, a WAV or AIFF file
    // becomes a Voxa file; without, an MP3 file of 44,100 Hz or a WAV file is copied and an
    // AIFF file converted to a 16-bit stereo WAV file. A Voxa file is not taken (message 28). A
    // source that is itself the destination (a file of the card in its own slot) is checked and
    // kept as it is: never copied onto itself, never deleted.
    int ImportFile(const std::string& source, const std::string& destination, bool encode);
    // A file already where the import would copy it: DONE when it is one the import takes, else
    // message 28 and FAILED; nothing is written or deleted.
    int ImportInPlace(const std::string& path);
    // 0 or 1.
    int ImportMp3(const std::string& source, const std::string& destination);
    // Encodes into destination (the temporary file of ImportFile); 0, 1 or 2.
    int ImportWithEncoding(const std::string& source, const std::string& destination);
    bool ImportWithoutEncoding(const std::string& source, const std::string& destination);
    // A WAV, else AIFF, file's wave with its samples located, not loaded (FLOAT64, keeping the
    // file's format as its stored format) and the format that read it; no wave and INVALID
    // when it is neither.
    std::pair<boost::shared_ptr<SL::IWave>, SL::CWaveFileFormat> OpenWave(const std::string& path);
    // 1 or 2 channels of 8, 16 or 24-bit integers at exactly 44,100 Hz, kMinImportFrames to
    // kMaxImportFrames frames.
    bool IsImportableWave(const SL::IWave& wave);
    // An importable wave that also fits in one Voxa file (the encoder stops short of 2 GiB, about
    // nine hours of stereo): what encoding on import needs.
    bool IsEncodableWave(const SL::IWave& wave);
    // A WAV or AIFF file that could be imported but is too long to be encoded.
    bool IsTooLongToEncode(const std::string& path);
    // The Voxa file's size that encoding the WAV or AIFF file gives (always stereo); 0 when it is
    // neither.
    uint64_t EstimateImportSize(const std::string& path);
    // The 16-bit stereo WAV file that converting the WAV or AIFF file gives: 4 bytes a frame and
    // the 46-byte header; 0 when it is neither.
    uint64_t EstimateConvertedSize(const std::string& path);

    // A song from the card (source) to the user's folders: a Voxa song (voxa set) is decoded
    // into a WAV file, any other copied. A destination that is the source itself (the card seen
    // under another path) is refused with message 23 and left alone.
    int ExportFile(const std::string& source, const std::string& destination, bool voxa);
    int ExportVoxaFile(const std::string& source, const std::string& destination, const SL::CWaveFileFormat& format);
    // What exporting the file writes: a Voxa file's samples as 16-bit PCM plus the format's
    // header (46 WAV, 54 AIFF), any other file's size; 0 when it cannot be read.
    uint64_t GetExportedSize(const std::string& path, const SL::CWaveFileFormat& format);
    uint64_t GetExportedWaveSize(const std::string& path);

    // Each song's audio file (when it exists) and then its ".Q3I" and ".Q3S" companions, on the
    // connected card only; false, and message 24 once, when an existing audio file could not be
    // deleted (its companions then stay).
    bool DeleteSongFiles(const std::vector<std::string>& paths);
    // A file or a folder is there.
    bool FileExists(const std::string& path);

    // A file copied onto the connected card (destination: its full path there) through the
    // card's own folder, never a link in a folder's place; readable and writable for all.
    bool CopyOntoCard(const std::string& source, const std::string& destination) const;
    // Takes the card's file at path away (a link there, never what it leads to).
    bool RemoveFromCard(const std::string& path) const;

private:
    // The source is the card's own regular file at destination (a file of the card chosen for
    // import into its own slot).
    bool IsOwnFileOnCard(const std::string& source, const std::string& destination) const;

    const CCardVolume& m_card;
};

// The source as 16-bit values, a mono source made stereo; empty when the source's format is not
// one of the file formats.
boost::shared_ptr<SL::IInputSampleIterator> MakeStereo16Source(
    const boost::shared_ptr<SL::IInputSampleIterator>& source);
// ceil(values / 10,000) of a conversion of the file: a Voxa file's values, or a WAV or AIFF
// file's frames made stereo; 0 when the file cannot be read.
int CountProgressSteps(const std::string& path);
// ceil(values / 10,000): the steps of a conversion of that many 16-bit values.
int CountProgressStepsOfValues(int64_t values);

// The conversions. Encoding and decoding step the progress and ask it for a cancel request
// every 10,000 values, starting with the first; a cancel ends them at once, answering true with
// the output unfinished (the caller asks the progress again). They answer false when a stream
// fails, when the output stops taking values while the input has more, or when the header
// cannot be written.
bool EncodeVoxaFile(const std::string& source, const std::string& destination);
bool DecodeVoxaFile(const std::string& source, const std::string& destination, const SL::CWaveFileFormat& format);
// A WAV or AIFF file to a 16-bit stereo WAV file, without progress.
bool ConvertToFile(const std::string& source, const std::string& destination);
