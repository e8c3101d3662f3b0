#include "document/image_object.h"

#include "document/document.h"
#include "document/media_resource.h"
#include "document/project_text.h"

namespace tavlin {

ImageObject::ImageObject(Document& doc) : MediaObject(doc) {}

Size ImageObject::mediaSize() const {
    if (!picture || !picture->image) return {};
    return {picture->image->width, picture->image->height};
}

void ImageObject::attachImage(ImageResource* resource) {
    picture = resource;
    if (ranges.empty()) {
        ranges.push_back({document->currentFrame, document->currentFrame});
        normalizeRanges();
    }
    if (width == 0 && height == 0) {
        Size s = mediaSize();
        width = s.width;
        height = s.height;
    }
}

void ImageObject::collectMedia(std::vector<MediaResource*>& out) const {
    if (picture) out.push_back(picture);
}

int32_t ImageObject::readOwn(ProjectReader& in) {
    if (!in.keywordIs("OI")) return 0;
    std::string file(in.value());
    storedName = file;
    if (file.empty()) return 1;
    if (auto* r = dynamic_cast<ImageResource*>(document->resolveMedia(MediaKind::Image, file))) attachImage(r);
    return 1;
}

bool ImageObject::write(ProjectWriter& out) const {
    if (!MediaObject::write(out)) return false;
    out.record("OI", picture && !picture->name.empty() ? picture->name : storedName);
    return true;
}

}  // namespace tavlin
