#include "platform/window/Image.h"

#include "platform/window/GifEncoder.h"
#include "platform/window/QtBridge.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cstring>

namespace platform {

Image::Image(int width, int height, bool hasAlpha)
    : m_width(std::max(width, 0)),
      m_height(std::max(height, 0)),
      m_hasAlpha(hasAlpha),
      m_pixels(size_t(m_width) * size_t(m_height), 0u) {
    if (m_width == 0 || m_height == 0) {
        m_width = m_height = 0;
        m_pixels.clear();
    }
}

void Image::Fill(uint32_t pixel) { std::fill(m_pixels.begin(), m_pixels.end(), pixel); }

void Image::Clear() {
    m_width = m_height = 0;
    m_hasAlpha = false;
    m_pixels.clear();
}

Image Image::Crop(const Rect& area) const {
    const int left = std::max(area.left, 0);
    const int top = std::max(area.top, 0);
    const int right = std::min(area.right, m_width);
    const int bottom = std::min(area.bottom, m_height);
    if (right <= left || bottom <= top) {
        return Image();
    }
    Image part(right - left, bottom - top, m_hasAlpha);
    for (int y = top; y < bottom; ++y) {
        std::copy(Row(y) + left, Row(y) + right, part.Row(y - top));
    }
    return part;
}

bool Image::Load(const std::string& path) {
    Clear();
    QImageReader reader(ToQString(path));
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) {
        return false;
    }
    const bool alpha = image.hasAlphaChannel();
    image = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    *this = Image(image.width(), image.height(), alpha);
    for (int y = 0; y < m_height; ++y) {
        std::memcpy(Row(y), image.constScanLine(y), size_t(m_width) * 4);
    }
    return !IsEmpty();
}

bool Image::Save(const std::string& path, ImageFileType type) const {
    const char* format = nullptr;
    switch (type) {
        case ImageFileType::Bmp:
            format = "BMP";
            break;
        case ImageFileType::Jpeg:
            format = "JPEG";
            break;
        case ImageFileType::Png:
            format = "PNG";
            break;
        case ImageFileType::Gif:
            break;  // Qt has no GIF writer: ours
    }
    if (IsEmpty()) {
        return false;
    }
    if (type == ImageFileType::Gif) {
        const std::vector<uint8_t> gif = EncodeGif(*this);
        QFile file(ToQString(path));
        if (gif.empty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
        const qint64 size = qint64(gif.size());
        const bool written = file.write(reinterpret_cast<const char*>(gif.data()), size) == size;
        file.close();
        if (!written) file.remove();
        return written;
    }
    QImage view = WrapImage(*this);
    QImageWriter writer(ToQString(path), format);
    return writer.write(view);
}

}  // namespace platform
