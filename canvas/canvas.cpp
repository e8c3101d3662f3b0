#include "canvas/canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
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

Canvas::Canvas(int32_t w, int32_t h) : image_(std::max(w, 1), std::max(h, 1)) {}

Canvas::~Canvas() = default;

QImage Canvas::qimage() {
    return QImage(reinterpret_cast<uchar*>(image_.pixels.data()), image_.width, image_.height,
                  image_.width * 4, QImage::Format_ARGB32);
}

const QFont& Canvas::font() const { return (font_ ? font_ : DefaultFont())->qfont; }

uint32_t Canvas::FaceColour() { return 0xF0F0F0; }

void Canvas::FillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
    int32_t x1 = std::min<int64_t>(int64_t(x) + w, image_.width), y1 = std::min<int64_t>(int64_t(y) + h, image_.height);
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
    Image grown(std::max(w, 1), std::max(h, 1));
    for (int32_t yy = 0; yy < std::min(grown.height, image_.height); ++yy)
        std::copy(image_.row(yy), image_.row(yy) + std::min(grown.width, image_.width), grown.row(yy));
    image_ = std::move(grown);
}

}  // namespace tavlin
