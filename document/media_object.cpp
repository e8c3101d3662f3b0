#include "document/media_object.h"

#include <cmath>
#include <limits>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/image_object.h"
#include "document/media_resource.h"
#include "document/project_text.h"
#include "document/video_object.h"

namespace tavlin {

MediaObject::MediaObject(Document& doc) : document(&doc), id(doc.newObjectId()) {}

MediaObject::~MediaObject() = default;

bool MediaObject::animate() { return false; }

bool MediaObject::isAnimatedAt(int32_t) const { return false; }

void MediaObject::moveTo(int32_t x, int32_t y) {
    left = x;
    top = y;
}

void MediaObject::resize(int32_t w, int32_t h) {
    width = w;
    height = h;
}

void MediaObject::setRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    moveTo(x, y);
    resize(w, h);
}

int32_t MediaObject::hitTest(int32_t x, int32_t y, int32_t t, int32_t* index) const {
    if (index) *index = -1;
    // 64-bit so that rectangles read from a file cannot overflow the sums.
    int64_t x0 = left, x1 = int64_t(left) + width, y0 = top, y1 = int64_t(top) + height;
    if (x < x0 - t || x >= x1 + t || y < y0 - t || y >= y1 + t) return kHitNone;
    int h = x < x0 + t ? 0 : (x >= x1 - t ? 2 : 1);  // left, middle, right
    int v = y < y0 + t ? 0 : (y >= y1 - t ? 2 : 1);  // top, middle, bottom
    if (h == 0 && v == 0) return kHitTopLeft;
    if (h == 2 && v == 0) return kHitTopRight;
    if (h == 0 && v == 2) return kHitBottomLeft;
    if (h == 2 && v == 2) return kHitBottomRight;
    return kHitMove;
}

bool MediaObject::visibleAt(int32_t frame) const {
    for (const FrameRange& r : ranges)
        if (r.first <= frame && frame <= r.last) return true;
    return false;
}

void MediaObject::uniqueName(const std::string& base) {
    for (int32_t n = 0;; ++n) {
        std::string candidate = base + std::to_string(n);
        bool used = false;
        for (const auto& o : document->objects) {
            if (o.get() != this && o->name == candidate) {
                used = true;
                break;
            }
        }
        if (!used) {
            name = candidate;
            return;
        }
    }
}

void MediaObject::normalizeRanges() {
    size_t i = 0;
    while (i < ranges.size()) {
        FrameRange& cur = ranges[i];
        if (cur.first > cur.last) {
            ranges.erase(ranges.begin() + ptrdiff_t(i));
            continue;
        }
        if (cur.first < 0) cur.first = 0;
        if (cur.last < 0) cur.last = 0;
        size_t j = i + 1;
        while (j < ranges.size()) {
            const FrameRange later = ranges[j];
            FrameRange& c = ranges[i];
            if (int64_t(later.first) - 1 <= c.last && int64_t(c.first) <= int64_t(later.last) + 1) {
                c.first = std::min(c.first, later.first);
                c.last = std::max(c.last, later.last);
                // A merged range that still reached below 0 keeps the rule
                // that no range starts before the timeline.
                if (c.first < 0) c.first = 0;
                ranges.erase(ranges.begin() + ptrdiff_t(j));
                j = i + 1;
            } else {
                ++j;
            }
        }
        ++i;
    }
}

// Objects without media of their own (and drag paths without points) add
// nothing; each kind with media overrides these.
void MediaObject::collectMedia(std::vector<MediaResource*>&) const {}

bool MediaObject::pathFrameSpan(FrameRange*) const { return false; }

int32_t MediaObject::readOwn(ProjectReader&) { return 0; }

bool MediaObject::read(ProjectReader& in) {
    for (;;) {
        int32_t r = 1;
        if (in.keywordIs("OP")) {
            int32_t v[4];
            if (scanInts(in.value(), v, 4) < 4) return false;
            left = v[0];
            top = v[1];
            width = v[2];
            height = v[3];
        } else if (in.keywordIs("OR")) {
            int32_t v[2];
            if (scanInts(in.value(), v, 2) < 2) return false;
            ranges.push_back({v[0], v[1]});
        } else if (in.keywordIs("ON")) {
            name = std::string(in.value());
        } else if (in.keywordIs("OE")) {
            enabled = valueInt(in.value());
            selected = 0;
        } else if (in.keywordIs("OL")) {
            locked = valueInt(in.value());
            selected = 0;
        } else {
            r = readOwn(in);
        }
        if (r < 0) return false;
        if (r == 0 || r == 2) return true;
        if (!in.next()) return false;
    }
}

bool MediaObject::write(ProjectWriter& out) const {
    out.numbers("OP", {left, top, width, height});
    for (const FrameRange& r : ranges) out.numbers("OR", {r.first, r.last});
    out.record("ON", name);
    out.numbers("OE", {enabled});
    out.numbers("OL", {locked});
    return true;
}

std::unique_ptr<MediaObject> MediaObject::create(Document& doc, int32_t kind) {
    switch (kind) {
    case kVideoObject: return std::make_unique<VideoObject>(doc);
    case kImageObject: return std::make_unique<ImageObject>(doc);
    case kDragPath: return std::make_unique<DragPath>(doc);
    default: return nullptr;
    }
}

}  // namespace tavlin
