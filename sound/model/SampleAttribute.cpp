#include "sound/model/SampleAttribute.h"

#include <algorithm>
#include <limits>

namespace SL {

int32_t CSampleAttribute::GetByteCount(int32_t frames) const {
    // 128 bits hold the product of any channel and frame counts; the result saturates instead of wrapping.
    const __int128 bytes = static_cast<__int128>(m_sampleFormat.GetBytesPerSample()) * m_channelCount * frames;
    return static_cast<int32_t>(
        std::clamp<__int128>(bytes, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int32_t CSampleAttribute::GetFrameCount(int32_t bytes) const {
    const int bytesPerSample = m_sampleFormat.GetBytesPerSample();
    if (m_channelCount <= 0 || bytesPerSample == 0) return 0;
    return bytes / m_channelCount / bytesPerSample;
}

}  // namespace SL
