#include "media/video/ffmpeg_video.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace tavlin {

namespace {

// A request this close after the frame last decoded is served by decoding
// forward even when a key frame lies between: cheaper than a seek, and it
// keeps sequential reading of intra-only video free of seeks.
constexpr int32_t kForwardReach = 8;

void quietFfmpeg() {
    static bool done = false;
    if (!done) av_log_set_level(AV_LOG_QUIET);
    done = true;
}

}  // namespace

FfmpegVideo::FfmpegVideo() = default;

FfmpegVideo::~FfmpegVideo() {
    sws_freeContext(sws_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&dec_);
    avformat_close_input(&fmt_);
}

std::string FfmpegVideo::demuxerName() const {
    return fmt_ && fmt_->iformat && fmt_->iformat->name ? fmt_->iformat->name : "";
}

bool FfmpegVideo::openInput(const std::string& path, const char* demuxer) {
    const AVInputFormat* forced = nullptr;
    if (demuxer) {
        forced = av_find_input_format(demuxer);
        if (!forced) return false;
    }
    if (avformat_open_input(&fmt_, path.c_str(), forced, nullptr) < 0) return false;
    if (avformat_find_stream_info(fmt_, nullptr) < 0) return false;
    stream_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream_ < 0) return false;
    // Only the video stream is read; the others are skipped by the demuxer.
    for (unsigned i = 0; i < fmt_->nb_streams; ++i)
        fmt_->streams[i]->discard = int(i) == stream_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    return true;
}

bool FfmpegVideo::open(const std::string& path, const char* demuxer) {
    quietFfmpeg();
    path_ = path;
    demuxer_ = demuxer ? demuxer : "";
    if (!openInput(path, demuxer)) return false;
    const AVStream* st = fmt_->streams[stream_];
    const AVCodecParameters* par = st->codecpar;
    if (par->width <= 0 || par->height <= 0 || !imageSizeAllowed(par->width, par->height)) return false;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return false;
    dec_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!dec_ || !frame_ || !packet_) return false;
    if (avcodec_parameters_to_context(dec_, par) < 0) return false;
    dec_->thread_count = 0;
    if (avcodec_open2(dec_, codec, nullptr) < 0) return false;
    width_ = par->width;
    height_ = par->height;
    timeBase_ = av_q2d(st->time_base);
    if (st->duration > 0 && st->duration != AV_NOPTS_VALUE) streamSeconds_ = double(st->duration) * timeBase_;
    else if (fmt_->duration > 0) streamSeconds_ = double(fmt_->duration) / AV_TIME_BASE;
    if (!buildIndex()) return false;
    return restartAt(firstDts_);
}

// One pass over the packets (no decoding) gives the frame count and, for
// each display index, its timestamp and the key frame to start decoding from.
bool FfmpegVideo::buildIndex() {
    struct Packet {
        int64_t pts, dts;
        bool key;
    };
    std::vector<Packet> packets;
    bool allPts = true, allDts = true;
    while (av_read_frame(fmt_, packet_) >= 0) {
        if (packet_->stream_index == stream_) {
            size_t size = 0;
            const uint8_t* pal = av_packet_get_side_data(packet_, AV_PKT_DATA_PALETTE, &size);
            if (pal && size == AVPALETTE_SIZE && palette_.empty()) palette_.assign(pal, pal + size);
            Packet p{packet_->pts, packet_->dts, (packet_->flags & AV_PKT_FLAG_KEY) != 0};
            // Samples an edit list leaves out are decoded for reference only.
            if (packet_->flags & AV_PKT_FLAG_DISCARD) {
                av_packet_unref(packet_);
                continue;
            }
            allPts = allPts && p.pts != AV_NOPTS_VALUE;
            allDts = allDts && p.dts != AV_NOPTS_VALUE;
            packets.push_back(p);
        }
        av_packet_unref(packet_);
    }
    if (packets.empty() || packets.size() > size_t(INT32_MAX)) return false;

    const AVCodecDescriptor* desc = avcodec_descriptor_get(dec_->codec_id);
    const bool reorders = !desc || ((desc->props & AV_CODEC_PROP_REORDER) && !(desc->props & AV_CODEC_PROP_INTRA_ONLY));
    // Without a display timestamp on every packet, a codec that never
    // reorders shows frames in decode order, so the decode timestamps serve.
    byTimestamp_ = allPts || (allDts && !reorders);
    firstDts_ = packets.front().dts != AV_NOPTS_VALUE ? packets.front().dts : packets.front().pts;
    if (firstDts_ == AV_NOPTS_VALUE) firstDts_ = 0;

    frames_.clear();
    frames_.reserve(packets.size());
    if (byTimestamp_) {
        const Packet* lastKey = nullptr;
        const Packet* prevKey = nullptr;
        for (const Packet& p : packets) {
            const int64_t ts = allPts ? p.pts : p.dts;
            if (p.key) {
                prevKey = lastKey;
                lastKey = &p;
            }
            // A frame shown before the key frame that precedes it in decode
            // order (the leading frames of an open group) needs the group
            // before it.
            const Packet* key = lastKey;
            auto keyTs = [&](const Packet* k) { return allPts ? k->pts : k->dts; };
            if (key && ts < keyTs(key)) key = prevKey;
            int64_t keyDts = firstDts_;
            if (key) keyDts = key->dts != AV_NOPTS_VALUE ? key->dts : key->pts;
            frames_.push_back({ts, keyDts});
        }
        std::sort(frames_.begin(), frames_.end(), [](const FrameEntry& a, const FrameEntry& b) { return a.pts < b.pts; });
        // Frames that share a timestamp cannot be told apart: count instead.
        for (size_t i = 1; i < frames_.size() && byTimestamp_; ++i)
            if (frames_[i].pts == frames_[i - 1].pts) byTimestamp_ = false;
        // Decoding back from an earlier key frame is always correct, so
        // each frame starts from the earliest key any later frame needs.
        for (size_t i = frames_.size(); i-- > 1;)
            frames_[i - 1].keyDts = std::min(frames_[i - 1].keyDts, frames_[i].keyDts);
    }
    if (!byTimestamp_) {
        frames_.assign(packets.size(), FrameEntry{0, firstDts_});
    }
    return true;
}

bool FfmpegVideo::restartAt(int64_t keyDts) {
    avcodec_flush_buffers(dec_);
    bool sought = av_seek_frame(fmt_, stream_, keyDts, AVSEEK_FLAG_BACKWARD) >= 0;
    if (!sought && keyDts == firstDts_) {
        // A file that cannot seek is read again from its start.
        avformat_close_input(&fmt_);
        sought = openInput(path_, demuxer_.empty() ? nullptr : demuxer_.c_str());
    }
    heldIndex_ = -1;
    holding_ = false;
    counted_ = 0;
    ended_ = !sought;
    draining_ = false;
    // After a seek the decoder starts clean at a key frame; what comes before
    // one would decode against missing references.
    awaitingKey_ = byTimestamp_;
    needPalette_ = true;
    lastReadDts_ = INT64_MIN;
    restartedAt_ = keyDts;
    return sought;
}

bool FfmpegVideo::decodeNext() {
    if (ended_) return false;
    for (;;) {
        int r = avcodec_receive_frame(dec_, frame_);
        if (r == 0) return true;
        if (r == AVERROR_EOF || draining_) {
            ended_ = true;
            return false;
        }
        r = av_read_frame(fmt_, packet_);
        if (r < 0) {
            avcodec_send_packet(dec_, nullptr);
            draining_ = true;
            continue;
        }
        if (packet_->stream_index == stream_) {
            const bool key = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
            if (!awaitingKey_ || key) {
                awaitingKey_ = false;
                if (packet_->dts != AV_NOPTS_VALUE) lastReadDts_ = packet_->dts;
                // Some containers hand the colour table over once, with the
                // first packet read; every fresh start needs it again.
                if (needPalette_ && !palette_.empty()) {
                    if (!av_packet_get_side_data(packet_, AV_PKT_DATA_PALETTE, nullptr)) {
                        uint8_t* pal = av_packet_new_side_data(packet_, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
                        if (pal) std::memcpy(pal, palette_.data(), AVPALETTE_SIZE);
                    }
                }
                needPalette_ = false;
                // A damaged packet gives no frame; the ones after it still may.
                avcodec_send_packet(dec_, packet_);
            }
        }
        av_packet_unref(packet_);
    }
}

int32_t FfmpegVideo::indexOfDecoded() const {
    int64_t ts = frame_->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE) ts = frame_->pts;
    if (ts == AV_NOPTS_VALUE) return -1;
    auto it = std::lower_bound(frames_.begin(), frames_.end(), ts,
                               [](const FrameEntry& e, int64_t t) { return e.pts < t; });
    if (it == frames_.end() || it->pts != ts) return -1;
    return int32_t(it - frames_.begin());
}

bool FfmpegVideo::frameAt(int32_t n, Image& out) {
    if (n < 0 || n >= frameCount() || !dec_) return false;
    if (holding_ && heldIndex_ == n) return convert(out);

    const bool ahead = !ended_ && (heldIndex_ < n);
    bool forward = false;
    if (ahead) {
        if (byTimestamp_)
            forward = (heldIndex_ >= 0 && n - heldIndex_ <= kForwardReach) ||
                      (lastReadDts_ != INT64_MIN && frames_[size_t(n)].keyDts <= lastReadDts_) ||
                      (heldIndex_ < 0 && lastReadDts_ == INT64_MIN && frames_[size_t(n)].keyDts == restartedAt_);
        else
            forward = true;
    }
    bool fromStart = false;
    if (!forward) {
        const int64_t key = byTimestamp_ ? frames_[size_t(n)].keyDts : firstDts_;
        ++seeks_;
        if (!restartAt(key)) return false;
        fromStart = key == firstDts_;
    }
    for (;;) {
        if (holding_) {
            if (heldIndex_ == n) return convert(out);
            if (heldIndex_ > n) {
                // Either frame n is damaged, or the seek landed past its key
                // frame; the latter is retried once from the very start.
                if (fromStart || forward) return false;
                ++seeks_;
                if (!restartAt(firstDts_)) return false;
                fromStart = true;
            }
        }
        if (!decodeNext()) {
            holding_ = false;
            return false;
        }
        const int32_t idx = byTimestamp_ ? indexOfDecoded() : counted_++;
        holding_ = idx >= 0;
        if (holding_) heldIndex_ = idx;
    }
}

bool FfmpegVideo::convert(Image& out) {
    if (out.width != width_ || out.height != height_ || out.empty()) return false;
    const int fw = frame_->width, fh = frame_->height;
    if (fw <= 0 || fh <= 0 || !frame_->data[0]) return false;
    const auto format = AVPixelFormat(frame_->format);
    if (format == AV_PIX_FMT_RGB555LE && fw == width_ && fh == height_) {
        // 5-5-5 channels keep their low three bits zero.
        for (int y = 0; y < fh; ++y) {
            const uint8_t* src = frame_->data[0] + ptrdiff_t(y) * frame_->linesize[0];
            uint32_t* dst = out.row(y);
            for (int x = 0; x < fw; ++x) {
                const uint32_t v = uint32_t(src[2 * x]) | uint32_t(src[2 * x + 1]) << 8;
                dst[x] = 0xFF000000u | ((v >> 10 & 31) << 3) << 16 | ((v >> 5 & 31) << 3) << 8 | (v & 31) << 3;
            }
        }
        return true;
    }
    sws_ = sws_getCachedContext(sws_, fw, fh, format, width_, height_, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr,
                                nullptr, nullptr);
    if (!sws_) return false;
    // swscale may write whole vector widths past a row's end, so it fills a
    // padded buffer of its own and rows are copied out from there.
    const int stride = (width_ * 4 + 63) / 64 * 64;
    scratch_.resize(size_t(stride) * size_t(height_ + 1) + 64);
    uint8_t* dst[4] = {scratch_.data(), nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    if (sws_scale(sws_, frame_->data, frame_->linesize, 0, fh, dst, strides) <= 0) return false;
    // swscale makes pictures without alpha opaque itself; alpha and colour
    // tables may carry any value, and frames are opaque.
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    const bool mayBeClear = !desc || (desc->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL));
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* src = scratch_.data() + size_t(y) * size_t(stride);
        uint32_t* row = out.row(y);
        std::memcpy(row, src, size_t(width_) * 4);
        if (mayBeClear)
            for (int32_t x = 0; x < width_; ++x) row[x] |= 0xFF000000u;
    }
    return true;
}

}  // namespace tavlin
