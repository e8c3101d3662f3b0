#pragma once
// The program's own video format: a frame list "v*.txt" naming, in time
// order, the JPEG files of its full frames, key mosaics and difference
// patches, closed by the coded block index stream.

#include <memory>
#include <string>
#include <vector>

#include "media/media_registry.h"

namespace tavlin {

class FrameListSource : public VideoSource {
public:
    // Reads the list and every picture it names, resolved against the
    // list's own folder (the process's current folder is left alone). False,
    // with what was read freed, on any fault.
    bool load(const std::string& path) override;
    // The frame shown at the index (borrowed), or nothing with no records.
    const Image* frameAt(int32_t index) override;

    // Why the last load failed (for the command-line tool).
    const std::string& error() const { return error_; }

    struct Block {
        uint32_t block;     // index of the block in the frame
        uint32_t position;  // its position in the owner's patch
        int32_t owner;      // the record whose picture is that patch
    };
    struct FrameRecord {
        char type = 'N';  // N full, S key, D difference opening a patch, d difference
        int32_t frame = 0;
        std::string file;                // as written in the list; empty for d
        std::unique_ptr<Image> picture;  // absent for d
        int32_t key = 0;                 // D and d: the nearest N or S record above
        // The blocks this record changes (D, d) or holds (S), newest last.
        std::vector<Block> blocks;
    };
    const std::vector<FrameRecord>& records() const { return records_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

private:
    bool fail(const std::string& why);
    void putBlock(const Image& patch, uint32_t position, uint32_t block);

    int32_t width_ = 0, height_ = 0, blocksPerRow_ = 0, blockRows_ = 0;
    int64_t blockCount_ = 0;
    int32_t renderedRecord_ = -1;  // the difference record `current` shows, -1 none
    std::vector<FrameRecord> records_;
    std::string error_;
};

class FrameListFormat : public VideoFormat {
public:
    std::string description() const override { return "TAVLIN Video (v*.txt)"; }
    std::string pattern() const override { return "v*.txt"; }
    std::unique_ptr<VideoSource> open(const std::string& path) override;
};

}  // namespace tavlin
