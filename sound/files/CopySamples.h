// Copies an input sample stream into a WAV or AIFF file, as the editor's file conversions do.
#pragma once

#include "sound/files/FileSampleIterators.h"
#include "sound/model/SampleIterator.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace SL {

// The copy loop (while the input has a value and the output takes one: Set the output to the
// input's value, then Next on both) in blocks. The input is read only for what the output takes
// next, so both end as that loop leaves them, also when the output fills up or fails. Answers
// the number of values copied. The header is the caller's: check IsGood of both, then Finish.
template <EBitDepth F>
int64_t CopySamples(ITypedInputSampleIterator<F>& input, CFileOutputSampleIterator<F>& output) {
    std::array<SampleElement<F>, 4096> block;
    int64_t copied = 0;
    for (;;) {
        const size_t wanted = std::min(block.size(), output.Room());
        const size_t got = wanted > 0 ? input.Read(block.data(), wanted) : 0;
        if (got == 0) return copied;
        copied += static_cast<int64_t>(output.Write(block.data(), got));
    }
}

}  // namespace SL
