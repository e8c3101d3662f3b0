#include "media/image/image_formats.h"

#include "media/image/gif_codec.h"

namespace tavlin {

// PNG and JPEG live in png_format.cpp and jpeg_format.cpp; GIF is our own codec.
std::unique_ptr<Image> GifFormat::read(const std::string& path) { return gif::read(path.c_str()); }
bool GifFormat::write(const std::string& path, const Image& image) { return gif::write(image, path.c_str()); }

void registerImageFormats() {
    registerImageFormat(std::make_unique<PngFormat>());
    registerImageFormat(std::make_unique<JpegFormat>());
    registerImageFormat(std::make_unique<GifFormat>());
}

}  // namespace tavlin
