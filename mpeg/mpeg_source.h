#pragma once
// MPEG-1/2 videos in the format registry: "MPEG video (*.mpg;*.mpeg;*.mpv;*.m2v)".

#include <functional>
#include <memory>
#include <string>

#include "media/media_registry.h"
#include "media/progress.h"
#include "mpeg/mpeg_decoder.h"

namespace tavlin {

// The progress a source shows while it builds an index (the studio's window,
// a terminal line, nothing).
using ProgressMaker = std::function<std::unique_ptr<Progress>()>;

class MpegSource : public VideoSource {
public:
    explicit MpegSource(ProgressMaker progress = {}) : progress_(std::move(progress)) {}
    // Finds or builds the index, then opens the decoder. The rate is the
    // sequence header's own.
    bool load(const std::string& path) override;
    const Image* frameAt(int32_t index) override;
    void reserved3(int32_t* a, int32_t* b, int32_t* c) override;
    int32_t reserved2(int32_t a, int32_t b, int32_t* out) override;

    // Why load failed ("stopped" when the user stopped the index build).
    const std::string& error() const { return error_; }
    const std::string& indexPath() const { return indexPath_; }
    const MpegDecoder& decoder() const { return decoder_; }

private:
    ProgressMaker progress_;
    MpegDecoder decoder_;
    std::string error_, indexPath_;
};

class MpegFormat : public VideoFormat {
public:
    explicit MpegFormat(ProgressMaker progress = {}) : progress_(std::move(progress)) {}
    std::string description() const override { return "MPEG video (*.mpg;*.mpeg;*.mpv;*.m2v)"; }
    std::string pattern() const override { return "*.mpg;*.mpeg;*.mpv;*.m2v"; }
    std::unique_ptr<VideoSource> open(const std::string& path) override;

private:
    ProgressMaker progress_;
};

}  // namespace tavlin
