#include "document/video_object.h"

#include <algorithm>
#include <limits>

#include "base/numbers.h"
#include "document/document.h"
#include "document/media_resource.h"
#include "document/project_text.h"

namespace tavlin {

namespace {

VideoSource* sourceOf(const VideoResource* r) { return r ? r->video.get() : nullptr; }

}  // namespace

VideoObject::VideoObject(Document& doc) : MediaObject(doc) {}

Size VideoObject::mediaSize() const {
    const VideoSource* v = sourceOf(video);
    if (!v) return {};
    return {v->current.width, v->current.height};
}

int32_t VideoObject::videoFrameAt(int32_t frame) const {
    int64_t start = ranges.empty() ? 0 : ranges[0].first;
    int64_t step = std::max(frameStep, 0);
    return saturateToInt32((int64_t(frame) - start) * (step + 1));
}

void VideoObject::fitRangeToVideo() {
    const VideoSource* v = sourceOf(video);
    if (ranges.empty() || !v) return;
    int64_t k = std::max(frameStep, 0);  // a negative step would divide by zero
    int64_t n = std::max(v->frameCount, 0);
    int64_t filled = (n + k) / (k + 1);
    // An empty video still occupies its first frame rather than inverting
    // the range.
    if (filled < 1) filled = 1;
    ranges[0].last = saturateToInt32(int64_t(ranges[0].first) + filled - 1);
}

void VideoObject::attachVideo(VideoResource* resource) {
    video = resource;
    if (ranges.empty()) ranges.push_back({document->currentFrame, document->currentFrame});
    fitRangeToVideo();
    if (width == 0 && height == 0) {
        Size s = mediaSize();
        width = s.width;
        height = s.height;
    }
}

void VideoObject::collectMedia(std::vector<MediaResource*>& out) const {
    if (video) out.push_back(video);
}

void VideoObject::setFrameStep(int32_t step) {
    frameStep = step;
    fitRangeToVideo();
}

int32_t VideoObject::readOwn(ProjectReader& in) {
    if (in.keywordIs("OT")) {
        if (scanInts(in.value(), reserved, 4) < 4) return -1;
        return 1;
    }
    std::string file;
    if (in.keywordIs("OVS")) {
        std::string_view v = in.value();
        if (v.empty()) return 1;
        size_t digits = 0;
        frameStep = leadingDigits(v, &digits);
        // Digits alone name no file: the object stays without a video.
        if (digits + 1 >= v.size()) return 1;
        file = std::string(v.substr(digits + 1));
    } else if (in.keywordIs("OV")) {
        file = std::string(in.value());
        if (file.empty()) return 1;
    } else {
        return 0;
    }
    storedName = file;
    auto* r = dynamic_cast<VideoResource*>(document->resolveMedia(MediaKind::Video, file));
    if (!r) return 1;
    // Ranges come before the video in the file; stored ones stay as they are
    // (a trimmed range is the user's choice, not the video's length).
    if (ranges.empty())
        attachVideo(r);
    else
        video = r;
    return 1;
}

bool VideoObject::write(ProjectWriter& out) const {
    if (!MediaObject::write(out)) return false;
    const std::string& name = video && !video->name.empty() ? video->name : storedName;
    if (!name.empty())
        out.record("OVS", formatInt(frameStep) + " " + name);
    else
        out.record("OVS", "");
    out.numbersEachSpaced("OT", {reserved[0], reserved[1], reserved[2], reserved[3]});
    return true;
}

}  // namespace tavlin
