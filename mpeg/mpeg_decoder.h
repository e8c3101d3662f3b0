#pragma once
// MPEG-1 and MPEG-2 pictures by number, through the stream's index:
// consecutive requests decode forward; a jump starts again at the group of
// pictures whose first picture number is the greatest not above the one
// asked for. Pictures are numbered in display order, which the groups share
// with the stream order the index counts in.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mpeg/mpeg_index.h"
#include "mpeg/mpeg_stream_reader.h"
#include "mpeg/start_codes.h"

struct AVCodecContext;
struct AVCodecParserContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace tavlin {

class MpegDecoder {
public:
    MpegDecoder();
    ~MpegDecoder();
    MpegDecoder(const MpegDecoder&) = delete;
    MpegDecoder& operator=(const MpegDecoder&) = delete;

    // Opens the stream, reads its first sequence header and the index.
    // False with error(): "Input file ... not found", "Cannot read Sequence
    // Header", "Invalid index file (PID)" and the index's own complaints.
    bool open(const std::string& videoPath, const std::string& indexPath);
    void close();
    const std::string& error() const { return error_; }

    int32_t width() const { return header_.width; }
    int32_t height() const { return header_.height; }
    double frameRate() const { return header_.frameRate; }
    const MpegIndex& index() const { return index_; }

    // Picture n as width x height pixels 0xAARRGGBB (opaque), or nothing.
    std::unique_ptr<uint32_t[]> picture(int32_t n);

    // How many times picture() had to start again at a group (tests and
    // benchmarks hold sequential reading to one).
    int64_t seeks() const { return seeks_; }
    // Pictures handed to the decoder so far (B pictures before a target are not).
    int64_t picturesDecoded() const { return decoded_; }

private:
    // Positions the reader at the (skip+1)-th start code `code` at or after
    // the offset and puts it, prefix included, into the input.
    bool locate(int64_t offset, uint8_t code, int skip, int zerosBefore);
    // The sequence header (with its extensions) at the offset.
    bool captureSequenceHeader(int64_t offset, int skip, int zerosBefore, std::vector<uint8_t>& out);
    bool seekToGroup(int group);
    // Decodes on until picture target_ is in frame_; false when it cannot be.
    bool decodeTo(int32_t target);
    // Hands one parsed picture to the decoder and takes what comes out.
    bool sendPicture(const uint8_t* data, size_t size);
    bool receiveFrames();
    std::unique_ptr<uint32_t[]> convert();
    bool resetCodec();

    MpegStreamReader reader_;
    MpegIndex index_;
    SequenceHeader header_;
    std::vector<uint8_t> firstSequence_;
    std::string path_, error_;

    AVCodecContext* dec_ = nullptr;
    AVCodecParserContext* parser_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVFrame* received_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* sws_ = nullptr;
    std::vector<uint8_t> scratch_;

    // Elementary stream bytes not yet parsed.
    std::vector<uint8_t> input_;
    size_t inputPos_ = 0;
    bool live_ = false;      // decoding from a group onwards
    bool ended_ = false;     // the stream is read to its end and drained
    int32_t target_ = -1;
    int32_t held_ = -1;      // display number of the picture in frame_
    int32_t lastOut_ = -1;   // display number of the last picture decoded
    int32_t coded_ = 0;      // pictures parsed (stream order), as the index counts
    int32_t groupFirst_ = 0;
    int feedGroup_ = -1;     // the group being parsed
    int64_t seeks_ = 0;
    int64_t decoded_ = 0;
    bool found_ = false;
    bool passed_ = false;    // a later picture came out before the target
};

}  // namespace tavlin
