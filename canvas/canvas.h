#pragma once
// An off-screen drawing surface over an Image, with the program's drawing
// primitives. Colours are 0xRRGGBB. Drawing is not antialiased.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/image.h"

class QFont;
class QImage;

namespace tavlin {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point&) const = default;
};

// A font from the cache: face name, flags (0x100 fixed pitch, 0x200 bold,
// 0x400 italic, 0x800 underlined) and pixel height.
class Font;
Font* GetFont(const std::string& face, int32_t flags, int32_t size);
// "Arial" at 16, or the Japanese UI font at 12 under a Japanese locale.
Font* DefaultFont();
bool JapaneseLocale();

class Canvas {
public:
    // w x h, filled with white. A scale above 1 backs each unit with scale x
    // scale pixels (a window on a high-density screen): coordinates and sizes
    // stay in units, image() holds the pixels.
    explicit Canvas(int32_t w, int32_t h, int32_t scale = 1);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int32_t width() const { return image_.width / scale_; }
    int32_t height() const { return image_.height / scale_; }
    // Pixels per unit, 1 or more.
    int32_t scale() const { return scale_; }
    // The pixels (width() * scale() wide); alpha is kept 0xFF by the primitives.
    Image& image() { return image_; }
    const Image& image() const { return image_; }

    void FillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
    void FrameRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
    void FillFace(int32_t x, int32_t y, int32_t w, int32_t h);
    void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
    // Line of a given pen width (drag paths use widths above one).
    void WideLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t width);
    void Ellipse(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
    void FillEllipse(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
    void Polygon(const std::vector<Point>& points, uint32_t colour);
    void DrawText(int32_t x, int32_t y, int32_t w, int32_t h, const std::string& text, uint32_t colour);
    Point MeasureText(const std::string& text);
    void SelectFont(Font* font);
    // Scales the picture to w x h (a picture of w * scale() x h * scale()
    // pixels is drawn unscaled); pixels with alpha 0 are not drawn when the
    // picture has transparency, every other pixel is drawn opaque.
    void DrawImage(int32_t x, int32_t y, int32_t w, int32_t h, const Image& image);
    void CopyCanvas(int32_t dx, int32_t dy, const Canvas& src, int32_t sx, int32_t sy, int32_t w, int32_t h);
    // Copies a source rectangle into (x, y, w, h), dropping or repeating rows
    // and columns (nearest pixel); from a source of a lower scale the picture
    // is enlarged smoothly instead.
    void StretchCanvas(int32_t x, int32_t y, int32_t w, int32_t h, const Canvas& src, int32_t sx, int32_t sy,
                       int32_t sw, int32_t sh);
    std::unique_ptr<Image> CanvasToImage() const;
    // Grows or shrinks the surface; the old content stays top-left, new area white.
    void Resize(int32_t w, int32_t h);

    // A Qt view of the pixels (shares memory with image()); its device pixel
    // ratio is scale(), so a painter on it works in units.
    QImage qimage();
    const QFont& font() const;

    // Dialog face colour (0xRRGGBB).
    static uint32_t FaceColour();

private:
    Image image_;
    int32_t scale_ = 1;
    Font* font_ = nullptr;
};

}  // namespace tavlin
