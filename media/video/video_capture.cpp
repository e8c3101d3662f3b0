#include "media/video/video_capture.h"

#include <unistd.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace tavlin {

VideoCapture::VideoCapture() = default;

VideoCapture::~VideoCapture() {
    if (out_) {
        closeOutput();
        std::remove(temp_.c_str());
    }
    sws_freeContext(toRgb_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&dec_);
    avformat_close_input(&in_);
}

bool VideoCapture::rateValid(const std::string& text, int32_t& rate) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < 1 || v > 99) return false;
    rate = v;
    return true;
}

bool VideoCapture::open(const CaptureInput& input) {
    avdevice_register_all();
    av_log_set_level(AV_LOG_QUIET);
    const AVInputFormat* format = av_find_input_format(input.format.c_str());
    if (!format) return false;
    if (avformat_open_input(&in_, input.device.c_str(), format, nullptr) < 0) return false;
    if (avformat_find_stream_info(in_, nullptr) < 0) return false;
    stream_ = av_find_best_stream(in_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream_ < 0) return false;
    const AVStream* st = in_->streams[stream_];
    const AVCodecParameters* par = st->codecpar;
    if (par->width <= 0 || par->height <= 0 || !imageSizeAllowed(par->width, par->height)) return false;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return false;
    dec_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!dec_ || !frame_ || !packet_ || avcodec_parameters_to_context(dec_, par) < 0 ||
        avcodec_open2(dec_, codec, nullptr) < 0)
        return false;
    AVRational r = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (r.num > 0 && r.den > 0) nativeRate_ = int32_t(std::lround(av_q2d(r)));
    if (nativeRate_ < 1) nativeRate_ = 15;
    preview_ = Image(par->width, par->height);
    return true;
}

const Image* VideoCapture::nextFrame() {
    if (!in_) return nullptr;
    for (;;) {
        if (avcodec_receive_frame(dec_, frame_) == 0) break;
        if (av_read_frame(in_, packet_) < 0) return nullptr;
        if (packet_->stream_index == stream_) avcodec_send_packet(dec_, packet_);
        av_packet_unref(packet_);
    }
    const AVStream* st = in_->streams[stream_];
    int64_t pts = frame_->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE) {
        if (firstPts_ == INT64_MIN) firstPts_ = pts;
        seconds_ = double(pts - firstPts_) * av_q2d(st->time_base);
    }
    toRgb_ = sws_getCachedContext(toRgb_, frame_->width, frame_->height, AVPixelFormat(frame_->format),
                                  preview_.width, preview_.height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr,
                                  nullptr);
    if (!toRgb_) return nullptr;
    const int stride = (preview_.width * 4 + 63) / 64 * 64;
    scratch_.resize(size_t(stride) * size_t(preview_.height + 1) + 64);
    uint8_t* dst[4] = {scratch_.data(), nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    sws_scale(toRgb_, frame_->data, frame_->linesize, 0, frame_->height, dst, strides);
    for (int32_t y = 0; y < preview_.height; ++y) {
        uint32_t* row = preview_.row(y);
        std::memcpy(row, scratch_.data() + size_t(y) * size_t(stride), size_t(preview_.width) * 4);
        for (int32_t x = 0; x < preview_.width; ++x) row[x] |= 0xFF000000u;
    }
    if (out_ && !failed_) {
        // Frames land on the recording's own clock; a frame that comes too
        // soon after the last one is dropped.
        const int64_t outPts = int64_t(std::floor((seconds_ - startSeconds_) * rate_ + 1e-6));
        if (outPts > lastPts_ && seconds_ - startSeconds_ < limit_) {
            toYuv_ = sws_getCachedContext(toYuv_, frame_->width, frame_->height, AVPixelFormat(frame_->format),
                                          enc_->width, enc_->height, enc_->pix_fmt, SWS_BILINEAR, nullptr, nullptr,
                                          nullptr);
            if (!toYuv_ || av_frame_make_writable(yuv_) < 0) {
                failed_ = true;
            } else {
                sws_scale(toYuv_, frame_->data, frame_->linesize, 0, frame_->height, yuv_->data, yuv_->linesize);
                yuv_->pts = outPts;
                lastPts_ = outPts;
                failed_ = !encode(yuv_);
                if (!failed_) ++written_;
            }
        }
    }
    return &preview_;
}

bool VideoCapture::encode(AVFrame* frame) {
    if (avcodec_send_frame(enc_, frame) < 0) return false;
    AVPacket* pkt = av_packet_alloc();
    bool ok = pkt != nullptr;
    while (ok) {
        const int r = avcodec_receive_packet(enc_, pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
        if (r < 0) {
            ok = false;
            break;
        }
        pkt->duration = 1;
        av_packet_rescale_ts(pkt, enc_->time_base, outStream_->time_base);
        pkt->stream_index = 0;
        ok = av_interleaved_write_frame(out_, pkt) >= 0;
    }
    av_packet_free(&pkt);
    return ok;
}

bool VideoCapture::startRecording(const std::string& path, int32_t rate, std::string* why) {
    auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        closeOutput();
        std::remove(temp_.c_str());
        return false;
    };
    if (!in_ || out_) return fail("not ready to record");
    path_ = path;
    temp_ = path + ".tavlin-" + std::to_string(::getpid()) + ".tmp";
    rate_ = rate;
    if (avformat_alloc_output_context2(&out_, nullptr, "avi", temp_.c_str()) < 0) return fail("cannot make an AVI file");
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec) return fail("no Motion JPEG encoder");
    outStream_ = avformat_new_stream(out_, nullptr);
    enc_ = avcodec_alloc_context3(codec);
    yuv_ = av_frame_alloc();
    if (!outStream_ || !enc_ || !yuv_) return fail("not enough memory");
    enc_->width = preview_.width;
    enc_->height = preview_.height;
    enc_->pix_fmt = AV_PIX_FMT_YUVJ420P;
    enc_->time_base = {1, rate};
    enc_->framerate = {rate, 1};
    enc_->flags |= AV_CODEC_FLAG_QSCALE;
    enc_->global_quality = FF_QP2LAMBDA * 3;
    if (avcodec_open2(enc_, codec, nullptr) < 0) return fail("cannot start the Motion JPEG encoder");
    avcodec_parameters_from_context(outStream_->codecpar, enc_);
    outStream_->time_base = enc_->time_base;
    yuv_->width = enc_->width;
    yuv_->height = enc_->height;
    yuv_->format = enc_->pix_fmt;
    if (av_frame_get_buffer(yuv_, 0) < 0) return fail("not enough memory");
    if (avio_open(&out_->pb, temp_.c_str(), AVIO_FLAG_WRITE) < 0) return fail(path + " cannot be created");
    if (avformat_write_header(out_, nullptr) < 0) return fail(path + " cannot be written");
    lastPts_ = -1;
    written_ = 0;
    failed_ = false;
    startSeconds_ = seconds_;
    return true;
}

void VideoCapture::closeOutput() {
    if (out_ && out_->pb) avio_closep(&out_->pb);
    avformat_free_context(out_);
    out_ = nullptr;
    outStream_ = nullptr;
    avcodec_free_context(&enc_);
    av_frame_free(&yuv_);
    sws_freeContext(toYuv_);
    toYuv_ = nullptr;
}

bool VideoCapture::stopRecording() {
    if (!out_) return false;
    bool ok = !failed_ && written_ > 0 && encode(nullptr);
    ok = av_write_trailer(out_) >= 0 && ok;
    closeOutput();
    if (ok && std::rename(temp_.c_str(), path_.c_str()) == 0) return true;
    std::remove(temp_.c_str());
    return false;
}

}  // namespace tavlin
