#pragma once
// Live video from a capture device through libavdevice (a V4L2 camera, or
// FFmpeg's "lavfi" test sources for tests), previewed frame by frame and
// recorded into an AVI file (Motion JPEG).

#include <cstdint>
#include <string>
#include <vector>

#include "media/image.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

namespace tavlin {

// Where frames come from: FFmpeg's input format name and its device.
struct CaptureInput {
    std::string format = "v4l2";
    std::string device = "/dev/video0";
};

class VideoCapture {
public:
    VideoCapture();
    ~VideoCapture();
    VideoCapture(const VideoCapture&) = delete;
    VideoCapture& operator=(const VideoCapture&) = delete;

    // A recording rate is a whole number from 1 to 99.
    static bool rateValid(const std::string& text, int32_t& rate);

    // Connects to the input; false when there is no such driver or device.
    bool open(const CaptureInput& input);
    // The device's own rate, rounded (15 when it states none).
    int32_t nativeRate() const { return nativeRate_; }
    int32_t width() const { return preview_.width; }
    int32_t height() const { return preview_.height; }

    // Waits for the next frame and returns it (owned here, valid until the
    // next call); while recording, the frame is also written. Nothing when
    // the input ends or fails.
    const Image* nextFrame();
    // Seconds between the first frame read and the last one.
    double seconds() const { return seconds_; }

    // Starts recording at `rate` frames per second into `path`, through a
    // file beside it that replaces `path` only when the recording is closed.
    bool startRecording(const std::string& path, int32_t rate, std::string* why = nullptr);
    bool recording() const { return out_ != nullptr; }
    // Frames this many seconds or more into the recording are not written.
    void setRecordingLimit(double seconds) { limit_ = seconds; }
    // Closes the file; false when it could not be completed (nothing is left
    // at the path then, and any earlier file there is kept).
    bool stopRecording();
    int64_t framesRecorded() const { return written_; }

private:
    bool encode(AVFrame* frame);
    void closeOutput();

    AVFormatContext* in_ = nullptr;
    AVCodecContext* dec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* toRgb_ = nullptr;
    int stream_ = -1;
    int32_t nativeRate_ = 15;
    Image preview_;
    std::vector<uint8_t> scratch_;
    double seconds_ = 0;
    int64_t firstPts_ = INT64_MIN;

    AVFormatContext* out_ = nullptr;
    AVCodecContext* enc_ = nullptr;
    AVStream* outStream_ = nullptr;
    AVFrame* yuv_ = nullptr;
    SwsContext* toYuv_ = nullptr;
    std::string path_, temp_;
    int32_t rate_ = 0;
    int64_t lastPts_ = -1;
    int64_t written_ = 0;
    double startSeconds_ = 0;
    bool failed_ = false;
    double limit_ = 1e300;
};

}  // namespace tavlin
