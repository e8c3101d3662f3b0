#pragma once
// The picture formats: PNG and JPEG through libpng and libjpeg, GIF our own.

#include "media/media_registry.h"

namespace tavlin {

class PngFormat : public ImageFormat {
public:
    std::string description() const override { return "PNG image (*.png)"; }
    std::string pattern() const override { return "*.png"; }
    std::unique_ptr<Image> read(const std::string& path) override;
    bool write(const std::string& path, const Image& image) override;
    Result<std::unique_ptr<Image>> readWithReason(const std::string& path) override;
    Status writeWithReason(const std::string& path, const Image& image) override;
};

class JpegFormat : public ImageFormat {
public:
    std::string description() const override { return "JPEG image (*.jpg;*.jpeg)"; }
    std::string pattern() const override { return "*.jpg;*.jpeg"; }
    std::unique_ptr<Image> read(const std::string& path) override;
    bool write(const std::string& path, const Image& image) override;
    Result<std::unique_ptr<Image>> readWithReason(const std::string& path) override;
    Status writeWithReason(const std::string& path, const Image& image) override;
    int quality = 75;  // 1..100
};

class GifFormat : public ImageFormat {
public:
    std::string description() const override { return "GIF image (*.gif)"; }
    std::string pattern() const override { return "*.gif"; }
    std::unique_ptr<Image> read(const std::string& path) override;
    bool write(const std::string& path, const Image& image) override;
    Result<std::unique_ptr<Image>> readWithReason(const std::string& path) override;
    Status writeWithReason(const std::string& path, const Image& image) override;
};

}  // namespace tavlin
