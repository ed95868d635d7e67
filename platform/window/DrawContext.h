#pragma once
// Drawing on a window while it paints, or on an Image in memory.
#include "platform/window/Font.h"
#include "platform/window/Geometry.h"
#include "platform/window/Image.h"

#include <memory>
#include <string>
#include <vector>

class QPainter;
class QImage;

namespace platform {

class DrawContext {
public:
    // Draws into the picture until the context is destroyed.
    explicit DrawContext(Image& target);
    // Borrows a painter that is active (the layer's windows make these while painting);
    // the update rectangles are what the paint was asked for.
    DrawContext(QPainter& painter, std::vector<Rect> updateRects);
    ~DrawContext();
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    // Areas being painted; empty when the whole target is.
    const std::vector<Rect>& UpdateRects() const { return m_updateRects; }
    // Whether any of the area survives clipping.
    bool IsRectVisible(const Rect& area) const;
    void SetClipRect(const Rect& area);

    void FillRect(const Rect& area, Colour colour);

    void SetFont(const FontSpec& font);
    FontSpec Font() const;
    FontMetrics Metrics() const;
    void SetTextColour(Colour colour) { m_textColour = colour; }
    Colour TextColour() const { return m_textColour; }
    void SetBackColour(Colour colour) { m_backColour = colour; }
    Colour BackColour() const { return m_backColour; }
    // Opaque text fills its bounds with the back colour first.
    void SetOpaqueBackground(bool opaque) { m_opaqueBackground = opaque; }
    bool OpaqueBackground() const { return m_opaqueBackground; }

    // Text (UTF-8) in the area with a TextFormat word; answers the height drawn.
    int DrawText(const Rect& area, const std::string& utf8, int format);
    Size MeasureText(const std::string& utf8) const;

    // Pictures: the source area of the picture goes to the destination point at its size.
    void CopyImage(const Image& image, Point dest, const Rect& source);
    // Blends a premultiplied picture by its alpha.
    void BlendImage(const Image& image, Point dest, const Rect& source);
    // Leaves out the pixels whose colour is the key.
    void DrawImageColourKey(const Image& image, Point dest, const Rect& source, Colour key);
    // Combines the picture's colours with the target's by AND or OR (a mask, then the image).
    void AndImage(const Image& image, Point dest, const Rect& source);
    void OrImage(const Image& image, Point dest, const Rect& source);
    // Stretches the source area onto the destination area, nearest pixel.
    void StretchImage(const Image& image, const Rect& dest, const Rect& source);
    // Reads back the target's pixels in the area (only for an Image target; else empty).
    Image ReadPixels(const Rect& area) const;

    // Smooth shapes (edges blended with what lies below), for pictures that the program draws itself.
    // Opacity 0 to 255.
    void FillPolygon(const std::vector<PointF>& points, Colour colour, int opacity = 255);
    void FillEllipse(const RectF& area, Colour colour, int opacity = 255);
    // A rounded rectangle filled from the top colour at its top to the bottom colour at its bottom.
    void FillRoundRect(const RectF& area, double radius, Colour top, Colour bottom, int opacity = 255);
    void StrokeRoundRect(const RectF& area, double radius, double width, Colour colour, int opacity = 255);
    // Connected lines with round ends and joins.
    void StrokeLines(const std::vector<PointF>& points, double width, Colour colour, int opacity = 255);
    // An arc of the ellipse in the area, from the start angle through the span (degrees, counter-clockwise
    // from three o'clock), with round ends.
    void StrokeArc(const RectF& area, double startDegrees, double spanDegrees, double width, Colour colour,
                   int opacity = 255);

    // A dotted rectangle that a second call removes again.
    void DrawFocusRect(const Rect& area);
    // The face of a push button in the desktop's style: raised, or pushed in, greyed when inactive.
    void DrawButtonFace(const Rect& area, bool pushed, bool inactive);

    QPainter& Painter() { return *m_painter; }

private:
    enum class Blit { Copy, Blend, And, Or };
    void DrawImagePart(const Image& image, Point dest, const Rect& source, Blit mode);

    std::unique_ptr<QImage> m_wrapped;
    std::unique_ptr<QPainter> m_ownPainter;
    QPainter* m_painter;
    Image* m_targetImage = nullptr;
    std::vector<Rect> m_updateRects;
    int m_fontAngle = 0;  // tenths of a degree, from the font set last
    Colour m_textColour{0, 0, 0};
    Colour m_backColour{255, 255, 255};
    bool m_opaqueBackground = true;
};

// A colour of the desktop's palette.
Colour GetSystemColour(SystemColour which);

}  // namespace platform
