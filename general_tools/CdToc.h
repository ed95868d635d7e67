// An audio CD's table of contents: one entry per track in track order, then
// the lead-out. Indices count from 0; an index out of range answers -1.
#pragma once

#include <cstdint>
#include <vector>

namespace GT {

struct CCdTocEntry {
    CCdTocEntry(int32_t startFrame, uint8_t preEmphasis, uint8_t digitalCopyPermitted, uint8_t dataTrack,
                uint8_t fourChannelAudio)
        : startFrame(startFrame),
          preEmphasis(preEmphasis),
          digitalCopyPermitted(digitalCopyPermitted),
          dataTrack(dataTrack),
          fourChannelAudio(fourChannelAudio) {}

    int32_t startFrame;  // minutes * 4500 + seconds * 75 + frames, as the drive reports it
    uint8_t preEmphasis;
    uint8_t digitalCopyPermitted;
    uint8_t dataTrack;  // 0 for an audio track
    uint8_t fourChannelAudio;
};

class CCdToc {
public:
    void Clear() { m_entries.clear(); }
    // The tracks in order of start, then the lead-out (a data entry).
    void Add(const CCdTocEntry& entry) { m_entries.push_back(entry); }
    int GetEntryCount() const { return static_cast<int>(m_entries.size()); }
    const std::vector<CCdTocEntry>& GetEntries() const { return m_entries; }

    // Entries less the lead-out; 0 when empty.
    int GetTrackCount() const;
    // Any entry, the lead-out's (GetTrackCount()) included.
    int32_t GetTrackStart(int index) const;
    // Start less the first entry's start; any entry.
    int32_t GetTrackOffset(int index) const;
    // Frames up to the next entry; tracks only.
    int32_t GetTrackLength(int index) const;
    // Whether any track (the lead-out not counted) is an audio track.
    bool HasAudioTrack() const;

private:
    bool IsEntry(int index) const { return index >= 0 && index < GetEntryCount(); }

    std::vector<CCdTocEntry> m_entries;
};

}  // namespace GT
