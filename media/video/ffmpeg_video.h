#pragma once
// One video stream of a file read through libavformat/libavcodec, with
// frame-exact access by display index: sequential requests decode forward
// without seeking; a jump seeks to the nearest earlier key frame and decodes
// forward to the frame asked for.

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/image.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace tavlin {

class FfmpegVideo {
public:
    FfmpegVideo();
    ~FfmpegVideo();
    FfmpegVideo(const FfmpegVideo&) = delete;
    FfmpegVideo& operator=(const FfmpegVideo&) = delete;

    // Opens the file; `demuxer` forces one container reader ("avi", "mov")
    // and null lets FFmpeg probe. False when the file holds no decodable
    // video stream of an allowed size.
    bool open(const std::string& path, const char* demuxer);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t frameCount() const { return int32_t(frames_.size()); }
    // Seconds of `count` frames by the stream's own clock (its time base
    // times the first and last timestamps), and the stream's duration in its
    // time base with that base.
    double streamSeconds() const { return streamSeconds_; }
    double timeBase() const { return timeBase_; }
    // The container's own reader name ("avi", "mov,mp4,...").
    std::string demuxerName() const;

    // Fills `out` (already width x height) with display frame n, opaque.
    // False when n is out of range or that frame cannot be decoded.
    bool frameAt(int32_t n, Image& out);

    // How many times frameAt had to seek (tests hold sequential access to 0).
    int64_t seeks() const { return seeks_; }

private:
    struct FrameEntry {
        int64_t pts;        // display timestamp, in the stream's time base
        int64_t keyDts;     // decode timestamp of the key packet to start from
    };
    bool openInput(const std::string& path, const char* demuxer);
    bool buildIndex();
    bool restartAt(int64_t keyDts);
    // Decodes the next frame into frame_; false at the end of the stream.
    bool decodeNext();
    int32_t indexOfDecoded() const;
    bool convert(Image& out);

    AVFormatContext* fmt_ = nullptr;
    AVCodecContext* dec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* sws_ = nullptr;
    int stream_ = -1;
    int32_t width_ = 0, height_ = 0;
    double streamSeconds_ = 0, timeBase_ = 0;

    // By display index. With trustworthy timestamps (every packet has one,
    // or the codec never reorders) frames are found by timestamp; otherwise
    // they are counted from the start of the stream.
    std::vector<FrameEntry> frames_;
    bool byTimestamp_ = true;
    int64_t firstDts_ = 0;

    // Decoder position: the display index of the frame held in frame_ (-1
    // when none), whether frame_ holds an undelivered frame, the count of
    // frames output since the last restart (counting mode) and whether the
    // stream has ended.
    int32_t heldIndex_ = -1;
    bool holding_ = false;
    int32_t counted_ = 0;
    bool ended_ = true;
    bool awaitingKey_ = false;
    bool draining_ = false;
    int64_t seeks_ = 0;
    int64_t lastReadDts_ = INT64_MIN;  // of the last packet given to the decoder
    int64_t restartedAt_ = INT64_MIN;  // key of the last restart
    std::string path_, demuxer_;
    std::vector<uint8_t> scratch_;  // converted pixels, rows padded for swscale
    std::vector<uint8_t> palette_;  // the stream's colour table, when it has one
    bool needPalette_ = false;
};

}  // namespace tavlin
