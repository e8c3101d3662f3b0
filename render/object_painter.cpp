#include "render/object_painter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/numbers.h"
#include "canvas/canvas.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/image_object.h"
#include "document/media_resource.h"
#include "document/video_object.h"
#include "render/path_raster.h"

namespace tavlin {

namespace {

constexpr uint32_t kGrabZoneColour = 0xC0C0C0;

const Image* imageOf(const ImageResource* r) { return r && r->image && !r->image->empty() ? r->image.get() : nullptr; }

// The platform painter handles polygon corners exactly only within this range.
int32_t polygonCoord(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 24), 1 << 24)); }

// The stand-in drawn when an object has no media: white box, black outline,
// the text centred.
void drawPlaceholder(Canvas& picture, const MediaObject& o, const std::string& text) {
    picture.FillRect(o.left, o.top, o.width, o.height, 0xFFFFFF);
    picture.FrameRect(o.left, o.top, o.width, o.height, 0x000000);
    Point size = picture.MeasureText(text);
    picture.DrawText(o.left + (o.width - size.x) / 2, o.top + (o.height - size.y) / 2, size.x, size.y, text,
                     0x000000);
}

// A missing medium shows its file name, so the user sees what to find.
std::string placeholderText(const std::string& storedName, const char* kind) {
    if (storedName.empty()) return kind;
    std::string name = storedName;
    size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// Draws a picture scaled into the object's rectangle (skipped for absurd sizes).
void drawScaled(Canvas& picture, const MediaObject& o, const Image& image) {
    if (o.width <= 0 || o.height <= 0) return;
    // A rectangle far larger than any stage would only cost a huge scaled
    // copy of which almost nothing shows.
    constexpr int64_t kLimit = int64_t(64) << 20;
    if (int64_t(o.width) * o.height > kLimit) return;
    picture.DrawImage(o.left, o.top, o.width, o.height, image);
}

void drawSmoothed(Canvas& picture, const DragPath& dp, int32_t w, uint32_t colour) {
    if (dp.count() < 2) return;
    Image& img = picture.image();
    const int64_t W = img.width, H = img.height;
    if (W < 2 || H < 2) return;
    const int64_t MW = 2 * W, MH = 2 * H;
    std::vector<uint8_t> mask(size_t(MW * MH), 0);
    drawPathMask(mask.data(), int32_t(MW), int32_t(MH), dp.shape(), dp.path, w);

    // Only pixels near the points' bounding box can be touched: a Bezier curve
    // stays inside its control points' hull, and a stamp reaches w pixels.
    int64_t bx0 = std::numeric_limits<int32_t>::max(), by0 = bx0, bx1 = std::numeric_limits<int32_t>::min(), by1 = bx1;
    for (const PathPoint& p : dp.path.points()) {
        bx0 = std::min<int64_t>(bx0, p.x);
        by0 = std::min<int64_t>(by0, p.y);
        bx1 = std::max<int64_t>(bx1, p.x);
        by1 = std::max<int64_t>(by1, p.y);
    }
    int64_t reach = int64_t(w) + 2;
    int64_t x0 = std::max<int64_t>(bx0 - reach, 0), x1 = std::min<int64_t>(bx1 + reach, W - 2);
    int64_t y0 = std::max<int64_t>(by0 - reach, 0), y1 = std::min<int64_t>(by1 + reach, H - 2);

    const uint32_t cr = colour >> 16 & 0xFF, cg = colour >> 8 & 0xFF, cb = colour & 0xFF;
    const uint32_t solid = 0xFF000000u | colour;
    for (int64_t y = y0; y <= y1; ++y) {
        const uint8_t* m0 = mask.data() + size_t(2 * y * MW);
        const uint8_t* m1 = m0 + MW;
        const uint8_t* m2 = m1 + MW;
        uint32_t* row = img.row(int32_t(y));
        for (int64_t x = x0; x <= x1; ++x) {
            int64_t mx = 2 * x;
            uint32_t s = uint32_t(m0[mx]) + m0[mx + 1] + m0[mx + 2] + m1[mx] + m1[mx + 1] + m1[mx + 2] + m2[mx] +
                         m2[mx + 1] + m2[mx + 2];
            if (s == 0) continue;
            if (s >= 9) {
                row[x] = solid;
                continue;
            }
            uint32_t p = row[x];
            uint32_t r = ((p >> 16 & 0xFF) * (9 - s) + cr * s) / 9;
            uint32_t g = ((p >> 8 & 0xFF) * (9 - s) + cg * s) / 9;
            uint32_t b = ((p & 0xFF) * (9 - s) + cb * s) / 9;
            row[x] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    }
}

void drawArrows(Canvas& picture, const DragPath& dp, int32_t w, uint32_t colour) {
    int32_t n = dp.count();
    if (n < 2 || w < 1) return;
    double f0 = dp.spanFirst(), f1 = dp.spanLast(), F = dp.document->currentFrame;
    bool start, end;
    if (dp.arrowMode & kArrowAuto) {
        start = F > (f1 + 2 * f0) / 3;
        end = F < (f0 + 2 * f1) / 3;
    } else {
        start = (dp.arrowMode & kArrowStart) != 0;
        end = (dp.arrowMode & kArrowEnd) != 0;
    }
    auto head = [&](const PathPoint& a, const PathPoint& b) {
        double ex = double(b.x) - a.x, ey = double(b.y) - a.y;
        double k = (2.0 * w + 3) / (std::sqrt(ex * ex + ey * ey) + 0.1);
        int64_t p = truncToInt(ey * k), q = truncToInt(ex * k);
        picture.Polygon({{polygonCoord(a.x - p), polygonCoord(a.y + q)},
                         {polygonCoord(a.x + p), polygonCoord(a.y - q)},
                         {polygonCoord(a.x - q), polygonCoord(a.y - p)}},
                        colour);
    };
    if (start) head(*dp.path.point(0), *dp.path.point(1));
    if (end) head(*dp.path.point(n - 1), *dp.path.point(n - 2));
}

void drawThumb(Canvas& picture, DragPath& dp) {
    if (dp.thumbs.empty()) return;
    if (!dp.keepThumb) {
        int32_t f = dp.document->currentFrame;
        if (dp.count() == 0 || f < dp.spanFirst() || f > dp.spanLast()) return;
    }
    dp.updateThumb();
    if (dp.currentThumb < 0 || dp.currentThumb >= static_cast<int32_t>(dp.thumbs.size())) dp.currentThumb = 0;
    const Image* img = imageOf(dp.thumbs[size_t(dp.currentThumb)]);
    if (!img) return;
    std::unique_ptr<Image> turned;
    if (dp.thumbDirection == kThumbFlip && dp.facing == 1)
        turned = mirroredThumb(*img);
    else if (dp.thumbDirection == kThumbRotate)
        turned = rotatedThumb(*img, dp.thumbDx, dp.thumbDy);
    const Image& shown = turned ? *turned : *img;
    picture.DrawImage(saturateToInt32(int64_t(dp.thumbX) - shown.width / 2), saturateToInt32(int64_t(dp.thumbY) - shown.height / 2),
                      shown.width, shown.height, shown);
}

void drawDragPath(Canvas& picture, DragPath& dp, int32_t frame) {
    Document& doc = *dp.document;
    if (!dp.enabled || !dp.visibleAt(frame)) {
        dp.newlyShown = 1;
        return;
    }
    if (doc.editMode && dp.grabLimit >= 1 && dp.selected) {
        if (dp.grabFromThumb) {
            dp.updateThumb();
            canvasDisc(picture, dp.thumbX, dp.thumbY, dp.grabLimit, kGrabZoneColour);
        } else {
            drawPathLine(picture, dp.shape(), dp.path, dp.grabLimit, kGrabZoneColour);
        }
    }
    int32_t state = dp.currentState();
    if (doc.activeDragPath() == &dp) dp.newlyShown = 0;

    if (const Image* img = imageOf(dp.statePictures[size_t(state)])) {
        drawScaled(picture, dp, *img);
    } else if (dp.stateWidths[size_t(state)] >= 1) {
        int32_t w = dp.stateWidths[size_t(state)];
        uint32_t colour = uint32_t(dp.stateColours[size_t(state)]) & 0xFFFFFF;
        bool still = !doc.editMode && !doc.mouseDown && !doc.redrawNeeded && !doc.runningEvent[kPlayEvent] &&
                     !(doc.timeline && doc.timeline->draggingFrame());
        if (still)
            drawSmoothed(picture, dp, w, colour);
        else
            drawPathLine(picture, dp.shape(), dp.path, w, colour);
        drawArrows(picture, dp, w, colour);
    }
    drawThumb(picture, dp);
}

class Painter final : public ObjectVisitor {
public:
    Painter(Canvas& picture, int32_t frame) : picture_(picture), frame_(frame) {}

    void visit(VideoObject& o) override {
        if (!o.enabled || !o.visibleAt(frame_)) return;
        VideoSource* v = o.video ? o.video->video.get() : nullptr;
        if (!v) {
            drawPlaceholder(picture_, o, placeholderText(o.storedName, "video"));
            return;
        }
        if (const Image* image = v->frameAt(o.videoFrameAt(frame_))) drawScaled(picture_, o, *image);
    }

    void visit(ImageObject& o) override {
        if (!o.enabled || !o.visibleAt(frame_)) return;
        if (!o.picture || !o.picture->image) {
            drawPlaceholder(picture_, o, placeholderText(o.storedName, "image"));
            return;
        }
        drawScaled(picture_, o, *o.picture->image);
    }

    void visit(DragPath& o) override { drawDragPath(picture_, o, frame_); }

private:
    Canvas& picture_;
    int32_t frame_;
};

}  // namespace

std::unique_ptr<Image> mirroredThumb(const Image& picture) {
    auto out = std::make_unique<Image>(picture);
    for (int32_t y = 0; y < out->height; ++y) std::reverse(out->row(y), out->row(y) + out->width);
    return out;
}

std::unique_ptr<Image> rotatedThumb(const Image& picture, int32_t dx, int32_t dy) {
    double len = std::sqrt(double(dx) * dx + double(dy) * dy);
    if (len == 0 || picture.empty()) return nullptr;
    int64_t w = picture.width, h = picture.height;
    int64_t s = 2 * std::max(w, h);
    auto out = Image::create(s, s);
    if (!out) return nullptr;
    std::fill(out->pixels.begin(), out->pixels.end(), 0u);
    out->transparent = true;
    for (int64_t r = 0; r < s; ++r) {
        double v = double(r - s / 2);
        uint32_t* row = out->row(int32_t(r));
        for (int64_t c = 0; c < s; ++c) {
            double u = double(c - s / 2);
            int64_t sc = int64_t(std::trunc((u * dx + v * dy) / len)) + w / 2;
            int64_t sr = int64_t(std::trunc((v * dx - u * dy) / len)) + h / 2;
            if (sc >= 0 && sc < w && sr >= 0 && sr < h) row[c] = picture.at(int32_t(sc), int32_t(sr));
        }
    }
    return out;
}

void drawObject(Canvas& picture, MediaObject& object, int32_t frame) {
    Painter painter(picture, frame);
    object.accept(painter);
}

}  // namespace tavlin
