// Voxa block encoder and decoder: one block of 16 samples of one channel in,
// 2 * mode bytes out, and back. Pure functions of their arguments; the only state
// that links blocks is the channel's last sample, which the caller keeps.
#pragma once

#include <cstddef>
#include <cstdint>

namespace SL {
namespace Private {

// What the last block was coded with: both coders keep it, and it links no blocks.
class BlockParameters {
public:
    int16_t GetExponent() const { return m_exponent; }
    int16_t GetVariant() const { return m_variant; }  // 'A' .. 'G'

protected:
    int16_t m_exponent = 0;
    int16_t m_variant = 0;
};

class compressor : public BlockParameters {
public:
    // Codes samples[0..15] into out[0 .. 2 * mode - 1] (mode 4..8) and returns the
    // new last sample, the decoder's reconstruction of samples[15]. When
    // reconstruction is given it receives the decoder's value of every sample.
    // Throws std::invalid_argument for another mode.
    int32_t EncodeBlock(const int16_t* samples, uint8_t* out, int32_t last, int32_t mode,
                        int32_t* reconstruction = nullptr);
};

class expander : public BlockParameters {
public:
    // Decodes block[0 .. 2 * mode - 1] (mode 4..8) into out[0..15] and returns the
    // reconstruction of sample 15 before it is cut to 16 bits. Every byte pattern decodes.
    // Throws std::invalid_argument for another mode.
    int32_t DecodeBlock(const uint8_t* block, int16_t* out, int32_t last, int32_t mode);
};

// Runs of blocks of one mode, decoded as expander does, with the decoding plan of every header
// code worked out once per mode instead of once per block.
class BlockDecoder {
public:
    // Throws std::invalid_argument for a mode outside 4..8.
    explicit BlockDecoder(int mode);

    // Decodes count blocks of one channel, each blockStride bytes after the one before, into
    // out: the 16 values of a block outStride apart, each block 16 * outStride values after the
    // one before. Answers the channel's new last sample.
    int32_t DecodeRun(const uint8_t* blocks, size_t blockStride, size_t count, int16_t* out, ptrdiff_t outStride,
                      int32_t last) const {
        return m_run(m_plans, blocks, blockStride, count, out, outStride, last);
    }

private:
    using RunFunction = int32_t (*)(const void*, const uint8_t*, size_t, size_t, int16_t*, ptrdiff_t, int32_t);
    const void* m_plans = nullptr;
    RunFunction m_run = nullptr;
};

}  // namespace Private
}  // namespace SL
