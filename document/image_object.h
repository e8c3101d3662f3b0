#pragma once
// A stage object that shows a picture.

#include "document/media_object.h"

namespace tavlin {

class ImageResource;

class ImageObject : public MediaObject {
public:
    explicit ImageObject(Document& document);

    Size mediaSize() const override;
    void accept(ObjectVisitor& visitor) override { visitor.visit(*this); }
    int32_t kind() const override { return kImageObject; }
    std::string icon() const override { return "bimage.png"; }
    bool write(ProjectWriter& out) const override;
    void collectMedia(std::vector<MediaResource*>& out) const override;

    // Uses the picture; creates a range at the current frame when there is
    // none; takes the picture's size when the rectangle is 0 x 0.
    void attachImage(ImageResource* resource);

    ImageResource* picture = nullptr;
    // The picture's name as the project stored it, kept (and written back)
    // while the picture itself cannot be found.
    std::string storedName;

protected:
    int32_t readOwn(ProjectReader& in) override;
};

}  // namespace tavlin
