// How many channels a file's header may claim: readers refuse a count that no real recording
// carries or that the file's data cannot hold, before they make anything per channel.
#pragma once

#include <cstdint>

namespace SL {

// More channels than any real recording carries; a header that claims more is damaged, and each
// channel costs far more memory than its bytes in the file.
constexpr int64_t kMaxFileChannels = 1024;

// Whether a header's channel count is one a file of that many data bytes can have. Beyond stereo
// the data must hold at least one unit of every channel (a frame of samples, or a group of coded
// blocks; unitBytes is one channel's share of it): an empty mono or stereo file is still a file,
// but a tiny file must not make a reader build thousands of channels.
inline bool IsPlausibleChannelCount(int64_t channels, int64_t dataBytes, int64_t unitBytes) {
    if (channels < 1 || channels > kMaxFileChannels) return false;
    return channels <= 2 || dataBytes / (unitBytes > 0 ? unitBytes : 1) >= channels;
}

}  // namespace SL
