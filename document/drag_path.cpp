#include "document/drag_path.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/numbers.h"
#include "document/document.h"
#include "document/event.h"
#include "document/media_resource.h"
#include "document/project_text.h"

namespace tavlin {

namespace {

constexpr int32_t kFar = 10000000;

ImageResource* asImage(MediaResource* r) {
    return r && r->kind() == MediaKind::Image ? static_cast<ImageResource*>(r) : nullptr;
}

const Image* imageOf(const ImageResource* r) { return r && r->image && !r->image->empty() ? r->image.get() : nullptr; }

}  // namespace

static_assert(kDragPathStates == kDragPathStateCount);

DragPath::DragPath(Document& doc) : MediaObject(doc) {
    const DragPathDefaults d = doc.defaults().dragPath;
    for (size_t s = 0; s < size_t(kDragPathStates); ++s) {
        stateColours[s] = d.colours[s];
        stateWidths[s] = d.widths[s];
    }
    arrowMode = d.arrowMode;
    curveFlag = d.curveFlag;
    grabLimit = d.grabLimit;
    grabFromThumb = d.grabFromThumb;
    keepThumb = d.keepThumb;
    thumbDirection = d.thumbDirection;
}

DragPath::~DragPath() = default;

// --- animation and thumb ----------------------------------------------------

bool DragPath::nextThumb() {
    if (thumbs.empty()) return false;
    ++currentThumb;
    if (currentThumb < 0 || currentThumb >= static_cast<int32_t>(thumbs.size())) currentThumb = 0;
    return true;
}

bool DragPath::animate() { return nextThumb(); }

bool DragPath::isAnimatedAt(int32_t frame) const { return visibleAt(frame) && thumbs.size() >= 2; }

int32_t DragPath::spanFirst() const { return count() > 0 ? path.point(0)->frame : 0; }

int32_t DragPath::spanLast() const { return count() > 0 ? path.point(count() - 1)->frame : 0; }

void DragPath::updateThumb() {
    PathShape::Position pos;
    if (shape().positionAt(path, document->currentFrame, &pos)) {
        thumbX = pos.x;
        thumbY = pos.y;
        thumbDx = pos.dx;
        thumbDy = pos.dy;
    }
    if (thumbX < document->lastThumbX)
        facing = 0;
    else if (thumbX > document->lastThumbX)
        facing = 1;
    if (document->activeDragPath() == this) document->lastThumbX = thumbX;
}

int32_t DragPath::grabDistance(int32_t x, int32_t y) {
    if (grabFromThumb) {
        updateThumb();
        double dx = double(x) - thumbX, dy = double(y) - thumbY;
        return truncToInt(std::sqrt(dx * dx + dy * dy));
    }
    return shape().distanceTo(path, x, y);
}

// --- geometry of the object -------------------------------------------------

void DragPath::moveTo(int32_t x, int32_t y) {
    int64_t dx = int64_t(x) - left, dy = int64_t(y) - top;
    MediaObject::moveTo(x, y);
    for (PathPoint& p : path.points()) {
        p.x = saturateToInt32(p.x + dx);
        p.y = saturateToInt32(p.y + dy);
    }
}

bool DragPath::hasStatePicture() const {
    return std::any_of(statePictures.begin(), statePictures.end(), [](const ImageResource* r) { return r; });
}

void DragPath::fitRectangle() {
    if (count() < 2 || hasStatePicture()) return;
    int32_t x0 = std::numeric_limits<int32_t>::max(), y0 = x0;
    int32_t x1 = std::numeric_limits<int32_t>::min(), y1 = x1;
    for (const PathPoint& p : path.points()) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    left = x0;
    top = y0;
    width = saturateToInt32(int64_t(x1) - x0 + 1);
    height = saturateToInt32(int64_t(y1) - y0 + 1);
}

void DragPath::setStatePicture(int32_t state, ImageResource* resource) {
    if (state < 0 || state >= kDragPathStates) return;
    statePictures[size_t(state)] = resource;
    const Image* img = imageOf(resource);
    if (img && width == 0 && height == 0) {
        width = img->width;
        height = img->height;
    }
}

void DragPath::clearStatePicture(int32_t state) {
    if (state < 0 || state >= kDragPathStates) return;
    statePictures[size_t(state)] = nullptr;
    fitRectangle();
}

Size DragPath::mediaSize() const {
    for (const ImageResource* r : statePictures)
        if (const Image* img = imageOf(r)) return {img->width, img->height};
    return {};
}

int32_t DragPath::hitTest(int32_t x, int32_t y, int32_t t, int32_t* index) const {
    if (index) *index = -1;
    const auto& pts = path.points();
    if (pts.size() >= 2) {
        for (size_t i = 0; i < pts.size(); ++i) {
            if (std::llabs(int64_t(x) - pts[i].x) <= t && std::llabs(int64_t(y) - pts[i].y) <= t) {
                if (index) *index = int32_t(i);
                return kHitPathPoint;
            }
        }
    }
    for (size_t i = 1; i < pts.size(); ++i) {
        double u = projectionParameter(x, y, pts[i - 1], pts[i]);
        if (u >= 0 && u <= 1 && lineDistance(x, y, pts[i - 1], pts[i]) <= t) {
            if (index) *index = int32_t(i);
            return kHitPathSegment;
        }
    }
    if (!hasStatePicture()) {
        // A line path is only hit on its points and segments; a curve anywhere along it.
        if (curveFlag == 0) return kHitNone;
        return shape().distanceTo(path, x, y) <= t ? kHitMove : kHitNone;
    }
    return MediaObject::hitTest(x, y, t, index);
}

// --- drawing ----------------------------------------------------------------

int32_t DragPath::currentState() const {
    int32_t state = document->mouseDown ? kStatePressed : document->activeDragPath() == this ? kStateHighlighted : kStateNormal;
    if (newlyShown) state = kStateHighlighted;
    return state;
}

void DragPath::collectMedia(std::vector<MediaResource*>& out) const {
    for (ImageResource* r : statePictures)
        if (r) out.push_back(r);
    for (ImageResource* r : thumbs)
        if (r) out.push_back(r);
}

bool DragPath::pathFrameSpan(FrameRange* span) const {
    if (count() == 0) return false;
    span->first = point(0)->frame;
    span->last = point(count() - 1)->frame;
    return true;
}

// --- project records ----------------------------------------------------------

bool DragPath::read(ProjectReader& in) {
    // Files from before the grab-from-thumb option load with it off.
    grabFromThumb = 0;
    if (!MediaObject::read(in)) return false;
    // A path without a size of its own takes its first state picture's,
    // whichever order the block's records came in.
    for (const ImageResource* picture : statePictures) {
        const Image* img = imageOf(picture);
        if (!img || width != 0 || height != 0) continue;
        width = img->width;
        height = img->height;
    }
    if (count() >= 2) {
        thumbX = path.point(0)->x;
        thumbY = path.point(0)->y;
    }
    return true;
}

int32_t DragPath::readOwn(ProjectReader& in) {
    std::string_view kw = in.keyword();
    std::string_view value = in.value();
    std::string_view head = kw.substr(0, 4);
    if (head == "ODMI" || head == "ODMW" || head == "ODMC") {
        // The digit after the letters names the state; others have no slot.
        int32_t s = kw.size() >= 5 ? kw[4] - '0' : -1;
        bool slot = s >= 0 && s < kDragPathStates;
        if (head == "ODMC") {
            int32_t rgb[3];
            if (scanInts(value, rgb, 3) < 3) return -1;
            if (slot) {
                uint32_t c = uint32_t(rgb[0]) * 65536u + uint32_t(rgb[1]) * 256u + uint32_t(rgb[2]);
                stateColours[size_t(s)] = static_cast<int32_t>(c);
            }
        } else if (head == "ODMW") {
            if (slot) stateWidths[size_t(s)] = valueInt(value);
        } else if (slot && !value.empty()) {
            // Sized once the whole block is read (see read).
            ImageResource* r = asImage(document->resolveMedia(MediaKind::Image, std::string(value)));
            if (r) statePictures[size_t(s)] = r;
        }
        return 1;
    }
    if (kw == "ODMA") {
        arrowMode = valueInt(value);
    } else if (kw == "ODMB") {
        curveFlag = valueInt(value);
    } else if (kw == "ODMD") {
        grabLimit = valueInt(value);
    } else if (kw == "ODMFT") {
        grabFromThumb = valueInt(value);
    } else if (kw == "ODMK") {
        keepThumb = valueInt(value);
    } else if (kw == "ODMTD") {
        thumbDirection = valueInt(value);
    } else if (kw == "ODMT") {
        if (!value.empty()) {
            ImageResource* r = asImage(document->resolveMedia(MediaKind::Image, std::string(value)));
            if (r) thumbs.push_back(r);
        }
    } else if (!kw.empty() && kw[0] == 'P') {
        // The point records close the block.
        while (in.keywordIs("P")) {
            Scanner sc(in.value());
            int32_t x, y, ordinary;
            double frame;
            if (!sc.integer(x) || !sc.integer(y) || !sc.real(frame) || !sc.integer(ordinary)) return -1;
            path.addPoint(x, y, truncToInt(frame), ordinary != 0);
            if (!in.next()) return -1;
        }
        path.computeCross();
        return 2;
    } else {
        return 0;
    }
    return 1;
}

bool DragPath::write(ProjectWriter& out) const {
    if (!MediaObject::write(out)) return false;
    for (int32_t s = 0; s < kDragPathStates; ++s) {
        std::string digit(1, char('0' + s));
        const ImageResource* pic = statePictures[size_t(s)];
        out.record("ODMI" + digit, pic ? pic->name : std::string());
        out.numbers("ODMW" + digit, {stateWidths[size_t(s)]});
        uint32_t c = uint32_t(stateColours[size_t(s)]);
        out.numbers("ODMC" + digit, {int32_t(c >> 16 & 0xFF), int32_t(c >> 8 & 0xFF), int32_t(c & 0xFF)});
    }
    out.numbers("ODMA", {arrowMode});
    out.numbers("ODMB", {curveFlag});
    out.numbers("ODMD", {grabLimit});
    out.numbers("ODMFT", {grabFromThumb});
    for (const ImageResource* t : thumbs)
        if (t) out.record("ODMT", t->name);
    out.numbers("ODMK", {keepThumb});
    out.numbers("ODMTD", {thumbDirection});
    for (const PathPoint& p : path.points()) out.numbers("P", {p.x, p.y, p.frame, p.handOver() ? 0 : 1});
    return true;
}

// --- the play tool's operations ---------------------------------------------

DragPath* pickPath(Document& doc, int32_t x, int32_t y) {
    if (x < 0 || x >= doc.stageWidth || y < 0 || y >= doc.stageHeight) return nullptr;
    DragPath* best = nullptr;
    int32_t bestDistance = kFar;
    for (const auto& o : doc.objects) {
        if (o->kind() != kDragPath || !o->enabled || !o->visibleAt(doc.currentFrame)) continue;
        auto* p = static_cast<DragPath*>(o.get());
        int32_t d = p->grabDistance(x, y);
        if (p->grabLimit >= 1 && d > p->grabLimit) continue;
        if (d < bestDistance) {
            bestDistance = d;
            best = p;
        }
    }
    return best;
}

bool dragTo(Document& doc, int32_t x, int32_t y) {
    if (!doc.editMode) {
        const auto* play = static_cast<const PlayEvent*>(doc.runningEvent[kPlayEvent]);
        if (play && !play->interruptible) return false;
    }
    DragPath* active = doc.activeDragPath();
    if (!active) return false;
    double frame = doc.currentFrame;
    if (!active->visibleAt(doc.currentFrame)) {
        DragPath* other = pickPath(doc, x, y);
        if (other && other != active) {
            doc.setActiveDragPath(active = other);
            frame = active->path.mapPointer(x, y, frame).frame;
        }
    }
    PointerMapping m = active->path.mapPointer(x, y, frame);
    frame = m.frame;
    int32_t s = m.index == 0 ? 1 : m.index;
    const PathPoint* p = active->point(s);
    if (p && p->handOver()) {
        DragPath* other = pickPath(doc, x, y);
        if (other && other != active) {
            doc.setActiveDragPath(active = other);
            frame = active->path.mapPointer(x, y, frame).frame;
        }
    }
    double rounded = std::trunc(frame + 0.5);
    doc.seekCodedFrame(rounded >= 2147483647.0 ? std::numeric_limits<int32_t>::max() : truncToInt(rounded));
    return true;
}

}  // namespace tavlin
