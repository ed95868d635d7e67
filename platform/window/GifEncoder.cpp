#include "platform/window/GifEncoder.h"

#include <algorithm>
#include <unordered_map>

namespace platform {

namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxColours = 256;

// Codes packed least significant bit first, cut into sub-blocks of at most 255 bytes.
class CodeWriter {
public:
    void Put(int code, int bits) {
        m_accumulator |= uint32_t(code) << m_bitCount;
        m_bitCount += bits;
        while (m_bitCount >= 8) {
            m_bytes.push_back(uint8_t(m_accumulator & 0xFF));
            m_accumulator >>= 8;
            m_bitCount -= 8;
        }
    }
    void Finish(std::vector<uint8_t>& out) {
        if (m_bitCount > 0) m_bytes.push_back(uint8_t(m_accumulator & 0xFF));
        for (size_t pos = 0; pos < m_bytes.size(); pos += 255) {
            const size_t n = std::min<size_t>(255, m_bytes.size() - pos);
            out.push_back(uint8_t(n));
            out.insert(out.end(), m_bytes.begin() + long(pos), m_bytes.begin() + long(pos + n));
        }
        out.push_back(0);
    }

private:
    std::vector<uint8_t> m_bytes;
    uint32_t m_accumulator = 0;
    int m_bitCount = 0;
};

void PutWord(std::vector<uint8_t>& out, int value) {
    out.push_back(uint8_t(value & 0xFF));
    out.push_back(uint8_t((value >> 8) & 0xFF));
}

// Straight 0xRRGGBB of a pixel, or -1 for a transparent one.
int32_t StraightColour(uint32_t pixel, bool hasAlpha) {
    if (!hasAlpha) return int32_t(pixel & 0xFFFFFFu);
    const uint32_t a = pixel >> 24;
    if (a < 128) return -1;
    auto channel = [&](int shift) { return std::min<uint32_t>(255, (((pixel >> shift) & 0xFF) * 255 + a / 2) / a); };
    return int32_t((channel(16) << 16) | (channel(8) << 8) | channel(0));
}

}  // namespace

std::vector<uint8_t> EncodeGifLzw(const std::vector<uint8_t>& indices, int minCodeSize) {
    std::vector<uint8_t> out;
    out.push_back(uint8_t(minCodeSize));
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    CodeWriter writer;
    std::unordered_map<uint32_t, int> table;
    int codeSize = minCodeSize + 1;
    int next = end + 1;
    writer.Put(clear, codeSize);
    if (!indices.empty()) {
        int prefix = indices[0];
        for (size_t i = 1; i < indices.size(); ++i) {
            const uint32_t key = (uint32_t(prefix) << 8) | indices[i];
            auto found = table.find(key);
            if (found != table.end()) {
                prefix = found->second;
                continue;
            }
            writer.Put(prefix, codeSize);
            if (next < kMaxCodes) {
                table.emplace(key, next++);
                // The reader adds its entry one code later, so the width grows one code later too.
                if (next > (1 << codeSize) && codeSize < 12) ++codeSize;
            } else {
                writer.Put(clear, codeSize);
                table.clear();
                codeSize = minCodeSize + 1;
                next = end + 1;
            }
            prefix = indices[i];
        }
        writer.Put(prefix, codeSize);
        // The reader adds an entry for that last code too, and may widen before the end code.
        if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    writer.Put(end, codeSize);
    writer.Finish(out);
    return out;
}

std::vector<uint8_t> EncodeGif(const Image& image) {
    if (image.IsEmpty() || image.Width() > 0xFFFF || image.Height() > 0xFFFF) return {};
    const size_t count = size_t(image.Width()) * size_t(image.Height());
    std::vector<int32_t> colours(count);
    bool anyTransparent = false;
    for (size_t i = 0; i < count; ++i) {
        colours[i] = StraightColour(image.Pixels()[i], image.HasAlpha());
        anyTransparent = anyTransparent || colours[i] < 0;
    }

    // An exact palette while the colours fit, else the colour cube.
    const int room = kMaxColours - (anyTransparent ? 1 : 0);
    std::vector<int32_t> palette;
    std::unordered_map<int32_t, int> indexOf;
    for (int32_t c : colours) {
        if (c < 0 || indexOf.count(c) != 0) continue;
        if (int(palette.size()) == room) {
            palette.clear();
            break;
        }
        indexOf.emplace(c, int(palette.size()));
        palette.push_back(c);
    }
    const bool cube = palette.empty() && !indexOf.empty() && int(indexOf.size()) >= room;
    if (cube) {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) palette.push_back(int32_t((r * 51 << 16) | (g * 51 << 8) | (b * 51)));
    }
    const int transparentIndex = anyTransparent ? int(palette.size()) : -1;
    if (anyTransparent) palette.push_back(0);

    std::vector<uint8_t> indices(count);
    for (size_t i = 0; i < count; ++i) {
        const int32_t c = colours[i];
        if (c < 0)
            indices[i] = uint8_t(transparentIndex);
        else if (!cube)
            indices[i] = uint8_t(indexOf[c]);
        else {
            auto level = [&](int shift) { return (((c >> shift) & 0xFF) + 25) / 51; };
            indices[i] = uint8_t(level(16) * 36 + level(8) * 6 + level(0));
        }
    }

    int tableBits = 1;
    while ((1 << tableBits) < int(palette.size())) ++tableBits;
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    PutWord(out, image.Width());
    PutWord(out, image.Height());
    out.push_back(uint8_t(0x80 | ((tableBits - 1) << 4) | (tableBits - 1)));
    out.push_back(0);  // background index
    out.push_back(0);  // no aspect ratio
    for (int i = 0; i < (1 << tableBits); ++i) {
        const int32_t c = i < int(palette.size()) ? palette[size_t(i)] : 0;
        out.push_back(uint8_t(c >> 16));
        out.push_back(uint8_t(c >> 8));
        out.push_back(uint8_t(c));
    }
    if (anyTransparent) {
        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, uint8_t(transparentIndex), 0x00});
    }
    out.push_back(0x2C);
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, image.Width());
    PutWord(out, image.Height());
    out.push_back(0);  // no local table, not interlaced
    const std::vector<uint8_t> data = EncodeGifLzw(indices, std::max(2, tableBits));
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(0x3B);
    return out;
}

}  // namespace platform
