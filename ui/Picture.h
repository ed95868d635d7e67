#pragma once
// Pictures loaded from files, drawn with their alpha channel or a colour key, scaled by the library's
// own nearest-pixel scaler, and strips of button states.
#include "platform/window/DrawContext.h"
#include "platform/window/Image.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace UL {

using CSize = platform::Size;
using CPoint = platform::Point;
using CRect = platform::Rect;

// The drawing target handed to every drawing operation.
class ADrawInfo {
public:
    virtual ~ADrawInfo() = default;
    virtual bool IsVisible(const CRect& area) const = 0;
    virtual platform::DrawContext* GetContext() const = 0;
};

class CDrawInfo : public ADrawInfo {
public:
    explicit CDrawInfo(platform::DrawContext* dc, std::vector<CRect> updateRects = {}, int itemState = 0)
        : m_dc(dc), m_updateRects(std::move(updateRects)), m_itemState(itemState) {}
    // With update rectangles: whether the area meets one; else whether it survives the context's clipping.
    bool IsVisible(const CRect& area) const override;
    platform::DrawContext* GetContext() const override { return m_dc; }
    int GetItemState() const { return m_itemState; }

private:
    platform::DrawContext* m_dc;
    std::vector<CRect> m_updateRects;
    int m_itemState;
};

// File types of Save.
enum : int { kPictureBmp = 4, kPictureJpeg = 5, kPicturePng = 6, kPictureGif = 7 };

class APicture {
public:
    virtual ~APicture() = default;
    virtual CSize GetSize() const = 0;
    // A size of (0, 0) is the whole picture.
    virtual bool Draw(const ADrawInfo& target, CPoint dest, CSize size, CPoint source) const = 0;
    // A source size of (0, 0) is the whole picture.
    virtual bool DrawStretched(const ADrawInfo& target, CPoint dest, CSize destSize, CPoint source,
                               CSize sourceSize) const = 0;
    // The mask area ANDed onto the target, then the image area ORed onto it.
    virtual bool DrawTransparent(const ADrawInfo& target, CPoint dest, CSize size, CPoint image, CPoint mask) const = 0;
    virtual bool Copy(const APicture& other) = 0;
    virtual bool Resize(CSize size, bool keepAspect) = 0;
    virtual bool Load(const std::string& path) = 0;
    virtual bool Save(const std::string& path, int type) const = 0;
    // 0 when there was no picture.
    virtual int Release() = 0;
};

class CPicture : public APicture {
public:
    // Mode 0 stretches with the drawing context's own stretch, mode 1 with the library's scaler.
    explicit CPicture(int scalingMode = 1) : m_mode(scalingMode) {}

    CSize GetSize() const override { return m_image.GetSize(); }
    bool Draw(const ADrawInfo& target, CPoint dest, CSize size, CPoint source) const override;
    bool DrawStretched(const ADrawInfo& target, CPoint dest, CSize destSize, CPoint source,
                       CSize sourceSize) const override;
    bool DrawTransparent(const ADrawInfo& target, CPoint dest, CSize size, CPoint image, CPoint mask) const override;
    bool Copy(const APicture& other) override;
    bool Resize(CSize size, bool keepAspect) override;
    bool Load(const std::string& path) override;
    bool Save(const std::string& path, int type) const override;
    int Release() override;

    // The colour drawn as transparent, or none (-1, after loading); as 0x00BBGGRR.
    void SetTransparentColour(int32_t rgbWord) { m_transparentColour = rgbWord; }
    int32_t GetTransparentColour() const { return m_transparentColour; }
    int GetScalingMode() const { return m_mode; }
    const platform::Image& GetImage() const { return m_image; }
    // Takes a picture made in memory (premultiplied when it has alpha).
    void SetImage(const platform::Image& image) { m_image = image; }

private:
    int m_mode;
    platform::Image m_image;
    int32_t m_transparentColour = -1;
};

class IPictureFactory {
public:
    virtual ~IPictureFactory() = default;
    virtual APicture* CreatePicture() = 0;  // the caller owns it
};

class CPictureFactory : public IPictureFactory {
public:
    static CPictureFactory& GetInstance();
    APicture* CreatePicture() override { return new CPicture(1); }
};

// A strip of button states side by side (or one above the other), optionally with a mask for every
// state in the other half of the picture.
class CStatePicture {
public:
    CStatePicture(int states, bool horizontal, bool masked);
    virtual ~CStatePicture() = default;

    APicture& GetPicture() { return *m_picture; }
    const APicture& GetPicture() const { return *m_picture; }
    int GetStateCount() const { return m_states; }
    CSize GetStateSize() const;
    CPoint GetStateOrigin(int index) const;
    CPoint GetMaskOrigin(int index) const;
    bool DrawState(const ADrawInfo& target, CPoint dest, int index) const;

private:
    std::unique_ptr<APicture> m_picture;
    int m_states;
    bool m_horizontal;
    bool m_masked;
};

// Colours premultiplied by alpha, rounded down, alpha unchanged.
void PremultiplyAlpha(platform::Image& image);

// Nearest-pixel scaling of 32-bit pixels (rows of the given lengths in pixels); bottomUp counts rows
// from the end of both buffers; angle in degrees turns the picture about both centres. False, with
// nothing written, when the destination is 1201 or more pixels wide or a scale factor is not positive.
bool ScalePixels(const uint32_t* source, int sourceWidth, int sourceHeight, int sourceRowLength, uint32_t* dest,
                 int destWidth, int destHeight, int destRowLength, bool bottomUp, double angle);

// The size a keep-aspect resize of a picture of size `current` to `requested` gives.
CSize FitSizeKeepingAspect(CSize current, CSize requested);

}  // namespace UL
