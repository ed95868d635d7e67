#pragma once
// A picture in memory: 32-bit pixels 0xAARRGGBB, rows top-down, no padding.
// Whether the colours are premultiplied is the owner's business; the alpha drawing of DrawContext
// expects them premultiplied.
#include "platform/window/Geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class ImageFileType { Bmp, Jpeg, Png, Gif };

class Image {
public:
    Image() = default;
    Image(int width, int height, bool hasAlpha);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Size GetSize() const { return Size{m_width, m_height}; }
    bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
    bool HasAlpha() const { return m_hasAlpha; }
    void SetHasAlpha(bool hasAlpha) { m_hasAlpha = hasAlpha; }

    // Pixels per row; rows follow each other without padding.
    int Stride() const { return m_width; }
    uint32_t* Pixels() { return m_pixels.data(); }
    const uint32_t* Pixels() const { return m_pixels.data(); }
    uint32_t* Row(int y) { return m_pixels.data() + size_t(y) * size_t(m_width); }
    const uint32_t* Row(int y) const { return m_pixels.data() + size_t(y) * size_t(m_width); }
    uint32_t PixelAt(int x, int y) const { return Row(y)[x]; }
    void SetPixel(int x, int y, uint32_t pixel) { Row(y)[x] = pixel; }
    void Fill(uint32_t pixel);

    // The area clipped to the picture; an area outside gives an empty picture.
    Image Crop(const Rect& area) const;

    // PNG, BMP or JPEG (whatever the decoder knows); colours straight (not premultiplied);
    // HasAlpha tells whether the file carried an alpha channel. False leaves the picture empty.
    bool Load(const std::string& path);
    // Writes the picture, taking its colours as premultiplied when it has alpha. GIF holds at most 256
    // colours (more are mapped to a colour cube) and one transparent index for alpha below 128.
    bool Save(const std::string& path, ImageFileType type) const;

    void Clear();

private:
    int m_width = 0;
    int m_height = 0;
    bool m_hasAlpha = false;
    std::vector<uint32_t> m_pixels;
};

}  // namespace platform
