#include "general_tools/CdToc.h"

namespace GT {
namespace {

// Frames from a drive stay far inside 32 bits; wrap instead of overflowing on
// nonsense values.
int32_t Difference(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace

int CCdToc::GetTrackCount() const { return m_entries.empty() ? 0 : GetEntryCount() - 1; }

int32_t CCdToc::GetTrackStart(int index) const { return IsEntry(index) ? m_entries[index].startFrame : -1; }

int32_t CCdToc::GetTrackOffset(int index) const {
    return IsEntry(index) ? Difference(m_entries[index].startFrame, m_entries[0].startFrame) : -1;
}

int32_t CCdToc::GetTrackLength(int index) const {
    if (index < 0 || index >= GetTrackCount()) return -1;
    return Difference(m_entries[index + 1].startFrame, m_entries[index].startFrame);
}

bool CCdToc::HasAudioTrack() const {
    for (int i = 0; i < GetTrackCount(); ++i)
        if (m_entries[i].dataTrack == 0) return true;
    return false;
}

}  // namespace GT
