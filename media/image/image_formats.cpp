#include "media/image/image_formats.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/safe_write.h"
#include "media/image/gif_codec.h"

namespace tavlin {

// PNG and JPEG live in png_format.cpp and jpeg_format.cpp; GIF is our own codec.
std::unique_ptr<Image> GifFormat::read(const std::string& path) { return gif::read(path.c_str()); }
bool GifFormat::write(const std::string& path, const Image& image) { return gif::write(image, path.c_str()); }

Status GifFormat::writeWithReason(const std::string& path, const Image& image) {
    const std::vector<uint8_t> bytes = gif::encode(image);
    if (bytes.empty()) return {Failure::CannotWrite, "cannot be written: the picture is empty or too large for a GIF image"};
    return writeFileSafely(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Result<std::unique_ptr<Image>> GifFormat::readWithReason(const std::string& path) {
    if (auto img = read(path)) return img;
    // Which of two reasons: the signature tells a GIF from anything else.
    char head[6] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {Failure::CannotRead, std::strerror(errno)};
    size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    const std::string_view sig(head, n);
    if (sig != "GIF87a" && sig != "GIF89a") return {Failure::NotRecognised, "not a GIF image"};
    return {Failure::Damaged, "damaged GIF image: cut off before its first picture, or its sizes are wrong"};
}

void registerImageFormats() {
    registerImageFormat(std::make_unique<PngFormat>());
    registerImageFormat(std::make_unique<JpegFormat>());
    registerImageFormat(std::make_unique<GifFormat>());
}

}  // namespace tavlin
