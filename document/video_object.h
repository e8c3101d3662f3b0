#pragma once
// A stage object that shows frames of a video.

#include "document/media_object.h"

namespace tavlin {

class VideoResource;

class VideoObject : public MediaObject {
public:
    explicit VideoObject(Document& document);

    Size mediaSize() const override;
    void accept(ObjectVisitor& visitor) override { visitor.visit(*this); }
    int32_t kind() const override { return kVideoObject; }
    std::string icon() const override { return "bmovie.png"; }
    bool write(ProjectWriter& out) const override;
    void collectMedia(std::vector<MediaResource*>& out) const override;

    // Uses the video; creates a first range at the current frame when there is
    // none and makes it as long as the video fills at the frame step. Takes
    // the video's size when the rectangle is 0 x 0.
    void attachVideo(VideoResource* resource);
    // One document frame advances the video by step + 1 frames.
    void setFrameStep(int32_t step);
    // The video frame shown at a document frame.
    int32_t videoFrameAt(int32_t frame) const;

    VideoResource* video = nullptr;
    // The video's name as the project stored it, kept (and written back)
    // while the video itself cannot be found.
    std::string storedName;
    int32_t reserved[4] = {0, 0, 0, 0};  // kept in files, otherwise unused
    int32_t frameStep = 0;

protected:
    int32_t readOwn(ProjectReader& in) override;

private:
    void fitRangeToVideo();
};

}  // namespace tavlin
