// The editor's one reader of audio CDs: the drive that the ripping dialog works with and that
// drive's table of contents, the sizes the dialog needs before a rip, and one track at a time
// copied from the disc into a 16-bit stereo 44,100 Hz WAV file. A drive is a CD drive's volume
// id, its device (/dev/sr0).
#pragma once

#include "general_tools/CdDrive.h"
#include "general_tools/CdToc.h"
#include "general_tools/Progress.h"
#include "sound/model/SoundEnumerations.h"

#include <string>

class CCdAudioReader {
public:
    enum : int { FAILED = 0, DONE = 1, CANCELLED = 2 };
    // Frames before a disc's first sector: a track's sector address is its start frame less these.
    enum : int { LEAD_IN_FRAMES = 150 };
    // Header bytes of the output formats.
    enum : int { WAVE_HEADER_BYTES = 46, AIFF_HEADER_BYTES = 54 };

    static CCdAudioReader& GetInstance();

    // Stores the drive and reads its table of contents (the storage device opens and closes the
    // drive for it). False, with an empty table, when it cannot be read or is not one to rip
    // from (see IsRippableToc).
    bool Open(const std::string& drive);
    void ClearToc() { m_toc.Clear(); }
    const std::string& GetDrive() const { return m_drive; }
    const GT::CCdToc& GetToc() const { return m_toc; }
    const SL::CWaveFileFormat& GetOutputFormat() const { return m_outputFormat; }
    void SetOutputFormat(const SL::CWaveFileFormat& format) { m_outputFormat = format; }

    // Tracks count from 0 in the table of contents; each answer is 0 for an index outside it.
    // Reads of one track (its sectors / 15 + 1), the progress range of its rip.
    int GetReadBlockCount(int track) const;
    // Its sectors × 2352.
    int GetTrackByteCount(int track) const;
    // Its first sector's address: its start frame less the lead-in; -1 for no track.
    int GetTrackAddress(int track) const;
    // + 46 for WINWAVE, + 54 for AIFF, + 0 otherwise.
    static int AddFileHeaderSize(int byteCount, const SL::CWaveFileFormat& format);
    // GetTrackByteCount plus the output format's header.
    int GetOutputFileSize(int track) const;

    // Copies the track into a new file at destination, reading at most 15 sectors at a time;
    // the device steps the progress and asks it for a cancel request before each read. 1 done,
    // 2 cancelled, 0 failed (no such track, the file or the drive cannot be opened, a read
    // fails or comes back short, the file cannot be written). On 0 and 2 the partial file is
    // removed.
    int RipTrack(int track, const std::string& destination, GT::IProgress* progress);

private:
    CCdAudioReader() = default;

    // The track's length in sectors; 0 for an index outside the table.
    int TrackSectors(int track) const;

    std::string m_drive;
    GT::CCdToc m_toc;
    SL::CWaveFileFormat m_outputFormat = SL::CWaveFileFormat::WINWAVE;
};

// The process-wide storage device, made on first use.
GT::CStorageDevice& GetStorageDevice();

// Whether a table of contents can be ripped from: at least one track and the lead-out, start
// frames that strictly ascend, and every track's bytes (with a header) within 2 GiB.
bool IsRippableToc(const GT::CCdToc& toc);

// A CD drive (a volume whose id is a device, not a folder) whose table of contents reads and
// holds an audio track. Opens the drive in the process-wide reader, replacing its drive and table.
bool IsAudioCdInDrive(const std::string& drive);
// The same question answered with a table of contents read into the caller's table, leaving the
// process-wide reader (and a rip using it) alone.
bool ReadAudioCdToc(const std::string& drive, GT::CCdToc& toc);
