#include "canvas/canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cstdint>
#include <map>
#include <tuple>

namespace tavlin {

class Font {
public:
    QFont qfont;
};

bool JapaneseLocale() { return QLocale::system().language() == QLocale::Japanese; }

Font* GetFont(const std::string& face, int32_t flags, int32_t size) {
    static std::map<std::pair<std::string, int32_t>, std::unique_ptr<Font>> cache;
    auto key = std::make_pair(face, flags | size);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second.get();
    auto f = std::make_unique<Font>();
    if (!face.empty()) {
        f->qfont.setFamily(QString::fromStdString(face));
    } else {
        f->qfont.setStyleHint((flags & 0x100) ? QFont::Monospace : QFont::Serif);
        f->qfont.setFamily((flags & 0x100) ? "Monospace" : "Serif");
    }
    f->qfont.setPixelSize(std::max(1, size));
    f->qfont.setWeight((flags & 0x200) ? QFont::Bold : QFont::Medium);
    f->qfont.setItalic(flags & 0x400);
    f->qfont.setUnderline(flags & 0x800);
    Font* raw = f.get();
    cache.emplace(key, std::move(f));
    return raw;
}

Font* DefaultFont() {
    if (JapaneseLocale()) return GetFont("Noto Sans CJK JP", 0, 12);
    return GetFont("Arial", 0, 16);
}

namespace {

QColor qcolour(uint32_t c) { return QColor(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)); }

// A painter over the canvas pixels with antialiasing off.
struct Painter {
    QImage qi;
    QPainter p;
    explicit Painter(Canvas& c) : qi(c.qimage()), p(&qi) { p.setRenderHint(QPainter::Antialiasing, false); }
};

}  // namespace

Canvas::Canvas(int32_t w, int32_t h, int32_t scale)
    : image_(std::max(w, 1) * std::clamp(scale, 1, 4), std::max(h, 1) * std::clamp(scale, 1, 4)),
      scale_(std::clamp(scale, 1, 4)) {}

Canvas::~Canvas() = default;

QImage Canvas::qimage() {
    QImage q(reinterpret_cast<uchar*>(image_.pixels.data()), image_.width, image_.height, image_.width * 4,
             QImage::Format_ARGB32);
    if (scale_ > 1) q.setDevicePixelRatio(scale_);
    return q;
}

const QFont& Canvas::font() const { return (font_ ? font_ : DefaultFont())->qfont; }

uint32_t Canvas::FaceColour() { return 0xF0F0F0; }

void Canvas::FillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    const int64_t s = scale_;
    int32_t x0 = int32_t(std::clamp<int64_t>(x * s, 0, image_.width));
    int32_t y0 = int32_t(std::clamp<int64_t>(y * s, 0, image_.height));
    int32_t x1 = int32_t(std::clamp<int64_t>((int64_t(x) + w) * s, 0, image_.width));
    int32_t y1 = int32_t(std::clamp<int64_t>((int64_t(y) + h) * s, 0, image_.height));
    uint32_t px = 0xFF000000u | (colour & 0xFFFFFF);
    for (int32_t yy = y0; yy < y1; ++yy) std::fill(image_.row(yy) + x0, image_.row(yy) + std::max(x0, x1), px);
}

void Canvas::FrameRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    if (w <= 0 || h <= 0) return;
    FillRect(x, y, w, 1, colour);
    FillRect(x, y + h - 1, w, 1, colour);
    FillRect(x, y, 1, h, colour);
    FillRect(x + w - 1, y, 1, h, colour);
}

void Canvas::FillFace(int32_t x, int32_t y, int32_t w, int32_t h) { FillRect(x, y, w, h, FaceColour()); }

void Canvas::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) { WideLine(x1, y1, x2, y2, colour, 1); }

void Canvas::WideLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t width) {
    Painter pt(*this);
    QPen pen(qcolour(colour));
    pen.setWidth(std::max(width, 0));
    pt.p.setPen(pen);
    pt.p.drawLine(x1, y1, x2, y2);
}

void Canvas::Ellipse(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    Painter pt(*this);
    pt.p.setPen(qcolour(colour));
    pt.p.setBrush(Qt::NoBrush);
    pt.p.drawEllipse(x, y, w - 1, h - 1);
}

void Canvas::FillEllipse(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    Painter pt(*this);
    pt.p.setPen(qcolour(colour));
    pt.p.setBrush(qcolour(colour));
    pt.p.drawEllipse(x, y, w - 1, h - 1);
}

void Canvas::Polygon(const std::vector<Point>& points, uint32_t colour) {
    if (points.empty()) return;
    QPolygon poly;
    for (const Point& p : points) poly << QPoint(p.x, p.y);
    Painter pt(*this);
    pt.p.setPen(qcolour(colour));
    pt.p.setBrush(qcolour(colour));
    pt.p.drawPolygon(poly);
}

void Canvas::SelectFont(Font* f) { font_ = f; }

void Canvas::DrawText(int32_t x, int32_t y, int32_t w, int32_t h, const std::string& text, uint32_t colour) {
    Painter pt(*this);
    pt.p.setFont(font());
    pt.p.setPen(qcolour(colour));
    pt.p.drawText(QRect(x, y, w, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QString::fromStdString(text));
}

Point Canvas::MeasureText(const std::string& text) {
    QFontMetrics fm(font());
    return {fm.horizontalAdvance(QString::fromStdString(text)), fm.height()};
}

void Canvas::DrawImage(int32_t x, int32_t y, int32_t w, int32_t h, const Image& img) {
    if (img.empty() || w <= 0 || h <= 0) return;
    if (scale_ > 1) {
        // In pixels from here on; a picture made for this density is not rescaled.
        if (int64_t(w) * scale_ > 1 << 20 || int64_t(h) * scale_ > 1 << 20) return;
        x = int32_t(std::clamp<int64_t>(int64_t(x) * scale_, INT32_MIN / 2, INT32_MAX / 2));
        y = int32_t(std::clamp<int64_t>(int64_t(y) * scale_, INT32_MIN / 2, INT32_MAX / 2));
        w *= scale_, h *= scale_;
    }
    std::unique_ptr<Image> scaled;
    const Image* src = &img;
    if (img.width != w || img.height != h) {
        scaled = scaleAveraged(img, w, h);
        src = scaled.get();
    }
    bool keyed = src->transparent || img.transparent;
    for (int32_t yy = 0; yy < src->height; ++yy) {
        int32_t ty = y + yy;
        if (ty < 0 || ty >= image_.height) continue;
        const uint32_t* s = src->row(yy);
        uint32_t* d = image_.row(ty);
        for (int32_t xx = 0; xx < src->width; ++xx) {
            int32_t tx = x + xx;
            if (tx < 0 || tx >= image_.width) continue;
            uint32_t p = s[xx];
            if (keyed && (p >> 24) == 0) continue;
            d[tx] = p | 0xFF000000u;
        }
    }
}

void Canvas::CopyCanvas(int32_t dx, int32_t dy, const Canvas& src, int32_t sx, int32_t sy, int32_t w, int32_t h) {
    if (src.scale_ != scale_) {
        StretchCanvas(dx, dy, w, h, src, sx, sy, w, h);
        return;
    }
    if (scale_ > 1) {
        const int64_t s = scale_;
        dx = int32_t(std::clamp<int64_t>(dx * s, INT32_MIN, INT32_MAX));
        dy = int32_t(std::clamp<int64_t>(dy * s, INT32_MIN, INT32_MAX));
        sx = int32_t(std::clamp<int64_t>(sx * s, INT32_MIN, INT32_MAX));
        sy = int32_t(std::clamp<int64_t>(sy * s, INT32_MIN, INT32_MAX));
        w = int32_t(std::clamp<int64_t>(w * s, 0, image_.width));
        h = int32_t(std::clamp<int64_t>(h * s, 0, image_.height));
    }
    for (int32_t yy = 0; yy < h; ++yy) {
        int32_t ty = dy + yy, fy = sy + yy;
        if (ty < 0 || ty >= image_.height || fy < 0 || fy >= src.image_.height) continue;
        for (int32_t xx = 0; xx < w; ++xx) {
            int32_t tx = dx + xx, fx = sx + xx;
            if (tx < 0 || tx >= image_.width || fx < 0 || fx >= src.image_.width) continue;
            image_.at(tx, ty) = src.image_.at(fx, fy);
        }
    }
}

void Canvas::StretchCanvas(int32_t x, int32_t y, int32_t w, int32_t h, const Canvas& src, int32_t sx, int32_t sy,
                           int32_t sw, int32_t sh) {
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
    if (src.scale_ < scale_) {
        // A picture of fewer pixels per unit (the stage) is enlarged smoothly
        // rather than in blocks.
        QImage from(reinterpret_cast<const uchar*>(src.image_.pixels.data()), src.image_.width, src.image_.height,
                    src.image_.width * 4, QImage::Format_ARGB32);
        Painter pt(*this);
        pt.p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        pt.p.drawImage(
            QRectF(x, y, w, h), from,
            QRectF(double(sx) * src.scale_, double(sy) * src.scale_, double(sw) * src.scale_, double(sh) * src.scale_));
        return;
    }
    if (scale_ > 1 || src.scale_ > 1) {
        // Nearest pixel, in pixels of each side.
        auto px = [](int32_t v, int32_t s) {
            return int32_t(std::clamp<int64_t>(int64_t(v) * s, INT32_MIN, INT32_MAX));
        };
        x = px(x, scale_), y = px(y, scale_), w = px(w, scale_), h = px(h, scale_);
        sx = px(sx, src.scale_), sy = px(sy, src.scale_), sw = px(sw, src.scale_), sh = px(sh, src.scale_);
    }
    for (int32_t yy = 0; yy < h; ++yy) {
        int32_t ty = y + yy;
        if (ty < 0 || ty >= image_.height) continue;
        int32_t fy = sy + int32_t(int64_t(yy) * sh / h);
        if (fy < 0 || fy >= src.image_.height) continue;
        for (int32_t xx = 0; xx < w; ++xx) {
            int32_t tx = x + xx;
            if (tx < 0 || tx >= image_.width) continue;
            int32_t fx = sx + int32_t(int64_t(xx) * sw / w);
            if (fx < 0 || fx >= src.image_.width) continue;
            image_.at(tx, ty) = src.image_.at(fx, fy);
        }
    }
}

std::unique_ptr<Image> Canvas::CanvasToImage() const { return std::make_unique<Image>(image_); }

void Canvas::Resize(int32_t w, int32_t h) {
    Image grown(std::max(w, 1) * scale_, std::max(h, 1) * scale_);
    for (int32_t yy = 0; yy < std::min(grown.height, image_.height); ++yy)
        std::copy(image_.row(yy), image_.row(yy) + std::min(grown.width, image_.width), grown.row(yy));
    image_ = std::move(grown);
}

}  // namespace tavlin
