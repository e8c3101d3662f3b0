#include "media/image_formats.h"

namespace tavlin {

// Placeholders until the codecs land.
std::unique_ptr<Image> PngFormat::read(const std::string&) { return nullptr; }
bool PngFormat::write(const std::string&, const Image&) { return false; }
std::unique_ptr<Image> JpegFormat::read(const std::string&) { return nullptr; }
bool JpegFormat::write(const std::string&, const Image&) { return false; }
std::unique_ptr<Image> GifFormat::read(const std::string&) { return nullptr; }
bool GifFormat::write(const std::string&, const Image&) { return false; }

void registerImageFormats() {
    registerImageFormat(std::make_unique<PngFormat>());
    registerImageFormat(std::make_unique<JpegFormat>());
    registerImageFormat(std::make_unique<GifFormat>());
}

}  // namespace tavlin
