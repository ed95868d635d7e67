#include "ui/Picture.h"

#include <algorithm>
#include <cmath>

namespace UL {

namespace {

constexpr int kMaxScaledWidth = 1200;  // the scaler's column table

CRect AreaAt(CPoint origin, CSize size) {
    return CRect{origin.x, origin.y, origin.x + size.width, origin.y + size.height};
}

}  // namespace

bool CDrawInfo::IsVisible(const CRect& area) const {
    if (!m_updateRects.empty()) {
        return std::any_of(m_updateRects.begin(), m_updateRects.end(),
                           [&](const CRect& r) { return r.Intersects(area); });
    }
    return m_dc != nullptr && m_dc->IsRectVisible(area);
}

void PremultiplyAlpha(platform::Image& image) {
    uint32_t* pixel = image.Pixels();
    const size_t count = size_t(image.Width()) * size_t(image.Height());
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = pixel[i];
        const uint32_t a = p >> 24;
        const uint32_t r = ((p >> 16) & 0xFF) * a / 255;
        const uint32_t g = ((p >> 8) & 0xFF) * a / 255;
        const uint32_t b = (p & 0xFF) * a / 255;
        pixel[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
}

bool ScalePixels(const uint32_t* source, int sourceWidth, int sourceHeight, int sourceRowLength, uint32_t* dest,
                 int destWidth, int destHeight, int destRowLength, bool bottomUp, double angle) {
    if (destWidth > kMaxScaledWidth || destWidth <= 0 || destHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0) {
        return false;
    }
    const double sx = double(sourceWidth) / destWidth;
    const double sy = double(sourceHeight) / destHeight;
    auto sourceRow = [&](int row) {
        return source + size_t(bottomUp ? sourceHeight - 1 - row : row) * size_t(sourceRowLength);
    };
    auto destRow = [&](int row) {
        return dest + size_t(bottomUp ? destHeight - 1 - row : row) * size_t(destRowLength);
    };
    if (angle == 0.0) {
        int columns[kMaxScaledWidth];
        double sum = 0.0;
        for (int i = 0; i < destWidth; ++i, sum += sx) columns[i] = std::min(int(sum), sourceWidth - 1);
        sum = 0.0;
        for (int j = 0; j < destHeight; ++j, sum += sy) {
            const uint32_t* from = sourceRow(std::min(int(sum), sourceHeight - 1));
            uint32_t* to = destRow(j);
            for (int i = 0; i < destWidth; ++i) to[i] = from[columns[i]];
        }
        return true;
    }
    const double radians = angle * M_PI / 180.0;
    const double c = std::cos(radians), s = std::sin(radians);
    const double dcx = destWidth / 2.0, dcy = destHeight / 2.0;
    const double scx = sourceWidth / 2.0, scy = sourceHeight / 2.0;
    for (int y = 0; y < destHeight; ++y) {
        uint32_t* to = destRow(y);
        for (int x = 0; x < destWidth; ++x) {
            const double dx = x - dcx, dy = y - dcy;
            const double fx = scx + sx * (dx * c - dy * s);
            const double fy = scy + sy * (dx * s + dy * c);
            if (fx < 0 || fy < 0 || fx >= sourceWidth || fy >= sourceHeight) continue;  // keeps its value
            to[x] = sourceRow(int(fy))[int(fx)];
        }
    }
    return true;
}

CSize FitSizeKeepingAspect(CSize current, CSize requested) {
    if (current.width <= 0 || current.height <= 0) return requested;
    const double fx = double(requested.width) / current.width;
    const double fy = double(requested.height) / current.height;
    if (fx > fy) return CSize{int(fy * current.width), requested.height};
    return CSize{requested.width, int(current.height * fx)};
}

bool CPicture::Draw(const ADrawInfo& target, CPoint dest, CSize size, CPoint source) const {
    platform::DrawContext* dc = target.GetContext();
    if (dc == nullptr || m_image.IsEmpty()) return false;
    if (size.width == 0 && size.height == 0) size = m_image.GetSize();
    if (size.width <= 0 || size.height <= 0) return false;
    const CRect area = AreaAt(source, size);
    if (m_transparentColour >= 0) {
        dc->DrawImageColourKey(m_image, dest, area, platform::Colour::FromRgbWord(uint32_t(m_transparentColour)));
    } else if (m_image.HasAlpha()) {
        dc->BlendImage(m_image, dest, area);
    } else {
        dc->CopyImage(m_image, dest, area);
    }
    return true;
}

bool CPicture::DrawStretched(const ADrawInfo& target, CPoint dest, CSize destSize, CPoint source,
                             CSize sourceSize) const {
    platform::DrawContext* dc = target.GetContext();
    if (dc == nullptr || m_image.IsEmpty()) return false;
    if (sourceSize.width == 0 && sourceSize.height == 0) sourceSize = m_image.GetSize();
    if (m_mode == 0) {
        dc->StretchImage(m_image, AreaAt(dest, destSize), AreaAt(source, sourceSize));
        return true;
    }
    const platform::Image part = m_image.Crop(AreaAt(source, sourceSize));
    if (part.IsEmpty() || destSize.width <= 0 || destSize.height <= 0) return false;
    platform::Image scaled(destSize.width, destSize.height, m_image.HasAlpha());
    // A size the scaler refuses draws nothing, rather than the blank buffer.
    if (!ScalePixels(part.Pixels(), part.Width(), part.Height(), part.Stride(), scaled.Pixels(), scaled.Width(),
                     scaled.Height(), scaled.Stride(), false, 0.0)) {
        return false;
    }
    dc->CopyImage(scaled, dest, CRect{0, 0, scaled.Width(), scaled.Height()});
    return true;
}

bool CPicture::DrawTransparent(const ADrawInfo& target, CPoint dest, CSize size, CPoint image, CPoint mask) const {
    platform::DrawContext* dc = target.GetContext();
    if (dc == nullptr || m_image.IsEmpty() || size.width <= 0 || size.height <= 0) return false;
    dc->AndImage(m_image, dest, AreaAt(mask, size));
    dc->OrImage(m_image, dest, AreaAt(image, size));
    return true;
}

bool CPicture::Copy(const APicture& other) {
    if (&other == this) return true;  // copying itself keeps the picture
    const auto* picture = dynamic_cast<const CPicture*>(&other);
    Release();
    if (picture == nullptr || picture->m_image.IsEmpty()) return false;
    m_image = picture->m_image;
    m_transparentColour = picture->m_transparentColour;
    return true;
}

bool CPicture::Resize(CSize size, bool keepAspect) {
    if (m_image.IsEmpty()) return false;
    if (keepAspect) size = FitSizeKeepingAspect(m_image.GetSize(), size);
    if (size == m_image.GetSize()) return true;
    if (size.width <= 0 || size.height <= 0) return false;
    platform::Image scaled(size.width, size.height, m_image.HasAlpha());
    if (!ScalePixels(m_image.Pixels(), m_image.Width(), m_image.Height(), m_image.Stride(), scaled.Pixels(),
                     scaled.Width(), scaled.Height(), scaled.Stride(), false, 0.0)) {
        return false;
    }
    m_image = std::move(scaled);
    return true;
}

bool CPicture::Load(const std::string& path) {
    Release();
    if (!m_image.Load(path)) return false;
    if (m_image.HasAlpha()) PremultiplyAlpha(m_image);
    return true;
}

bool CPicture::Save(const std::string& path, int type) const {
    switch (type) {
        case kPictureBmp:
            return m_image.Save(path, platform::ImageFileType::Bmp);
        case kPictureJpeg:
            return m_image.Save(path, platform::ImageFileType::Jpeg);
        case kPicturePng:
            return m_image.Save(path, platform::ImageFileType::Png);
        case kPictureGif:
            return m_image.Save(path, platform::ImageFileType::Gif);
        default:
            return false;
    }
}

int CPicture::Release() {
    const bool had = !m_image.IsEmpty();
    m_image.Clear();
    m_transparentColour = -1;
    return had ? 1 : 0;
}

CPictureFactory& CPictureFactory::GetInstance() {
    static CPictureFactory factory;
    return factory;
}

CStatePicture::CStatePicture(int states, bool horizontal, bool masked)
    : m_picture(CPictureFactory::GetInstance().CreatePicture()),
      m_states(std::max(states, 1)),
      m_horizontal(horizontal),
      m_masked(masked) {}

CSize CStatePicture::GetStateSize() const {
    CSize size = m_picture->GetSize();
    if (m_horizontal) {
        size.width /= m_states;
        if (m_masked) size.height /= 2;
    } else {
        size.height /= m_states;
        if (m_masked) size.width /= 2;
    }
    return size;
}

CPoint CStatePicture::GetStateOrigin(int index) const {
    const CSize state = GetStateSize();
    return m_horizontal ? CPoint{index * state.width, 0} : CPoint{0, index * state.height};
}

CPoint CStatePicture::GetMaskOrigin(int index) const {
    const CSize state = GetStateSize();
    const CPoint origin = GetStateOrigin(index);
    return m_horizontal ? CPoint{origin.x, origin.y + state.height} : CPoint{origin.x + state.width, origin.y};
}

bool CStatePicture::DrawState(const ADrawInfo& target, CPoint dest, int index) const {
    const CSize state = GetStateSize();
    if (m_masked) return m_picture->DrawTransparent(target, dest, state, GetStateOrigin(index), GetMaskOrigin(index));
    return m_picture->Draw(target, dest, state, GetStateOrigin(index));
}

}  // namespace UL
