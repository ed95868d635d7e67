// Voxa block encoder and decoder: one block of 16 samples of one channel in,
// 2 * mode bytes out, and back. Pure functions of their arguments; the only state
// that links blocks is the channel's last sample, which the caller keeps.
#pragma once

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

}  // namespace Private
}  // namespace SL
