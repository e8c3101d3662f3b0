#include "test_videos.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace tavlin::test {

namespace {

constexpr int kIndexBits = 10;

struct Muxer {
    AVFormatContext* fmt = nullptr;
    AVCodecContext* enc = nullptr;
    AVStream* st = nullptr;
    AVPacket* pkt = av_packet_alloc();
    ~Muxer() {
        av_packet_free(&pkt);
        avcodec_free_context(&enc);
        if (fmt) {
            if (fmt->pb) avio_closep(&fmt->pb);
            avformat_free_context(fmt);
        }
    }
    bool drain(AVFrame* frame) {
        if (avcodec_send_frame(enc, frame) < 0) return false;
        for (;;) {
            int r = avcodec_receive_packet(enc, pkt);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return false;
            if (pkt->duration <= 0) pkt->duration = enc->time_base.den == 1000 ? 40 : 1;
            av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
            pkt->stream_index = 0;
            if (av_interleaved_write_frame(fmt, pkt) < 0) return false;
        }
    }
};

}  // namespace

uint32_t paletteColour(int index) {
    // 6x6x6 colour cube, then greys.
    if (index < 216) return 0xFF000000u | uint32_t(index / 36 * 51) << 16 | uint32_t(index / 6 % 6 * 51) << 8 | uint32_t(index % 6 * 51);
    const uint32_t g = uint32_t((index - 216) * 6);
    return 0xFF000000u | g << 16 | g << 8 | g;
}

Image indexedFrame(int32_t i, int32_t w, int32_t h) {
    Image img(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) img.at(x, y) = paletteColour((x / 8 + y / 8 * 3) % 36 + 72);
    // A square that moves one block a frame.
    const int32_t sx = (i * 8) % std::max(w - 16, 1);
    for (int32_t y = 16; y < std::min(h, 32); ++y)
        for (int32_t x = sx; x < std::min(w, sx + 16); ++x) img.at(x, y) = paletteColour(180);
    for (int b = 0; b < kIndexBits && b * 8 + 8 <= w; ++b)
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = b * 8; x < b * 8 + 8; ++x) img.at(x, y) = (i >> b & 1) ? 0xFFFFFFFFu : 0xFF000000u;
    return img;
}

int32_t readIndex(const Image& frame) {
    int32_t v = 0;
    for (int b = 0; b < kIndexBits && b * 8 + 8 <= frame.width; ++b) {
        const uint32_t p = frame.at(b * 8 + 4, 4);
        const int lum = int(p >> 16 & 0xFF) + int(p >> 8 & 0xFF) + int(p & 0xFF);
        if (lum > 3 * 200) v |= 1 << b;
        else if (lum > 3 * 60) return -1;
    }
    return v;
}

bool makeVideo(const std::string& path, const VideoSpec& recipe) {
    av_log_set_level(AV_LOG_QUIET);
    const char* container = "avi";
    AVCodecID codecId = AV_CODEC_ID_MJPEG;
    AVPixelFormat pix = AV_PIX_FMT_YUVJ420P;
    switch (recipe.kind) {
        case VideoKind::AviMjpeg: break;
        case VideoKind::AviRaw24: codecId = AV_CODEC_ID_RAWVIDEO, pix = AV_PIX_FMT_BGR24; break;
        case VideoKind::AviPal8: codecId = AV_CODEC_ID_RAWVIDEO, pix = AV_PIX_FMT_PAL8; break;
        case VideoKind::AviRgb555: codecId = AV_CODEC_ID_RAWVIDEO, pix = AV_PIX_FMT_RGB555LE; break;
        case VideoKind::MovH264: case VideoKind::MovVariable:
            container = "mov", codecId = AV_CODEC_ID_H264, pix = AV_PIX_FMT_YUV420P; break;
        case VideoKind::MpegPs: container = "vob", codecId = AV_CODEC_ID_MPEG2VIDEO, pix = AV_PIX_FMT_YUV420P; break;
    }
    Muxer m;
    if (avformat_alloc_output_context2(&m.fmt, nullptr, container, path.c_str()) < 0) return false;
    const AVCodec* codec = avcodec_find_encoder(codecId);
    if (!codec) {
        ADD_FAILURE() << "no encoder for " << avcodec_get_name(codecId);
        return false;
    }
    m.st = avformat_new_stream(m.fmt, nullptr);
    m.enc = avcodec_alloc_context3(codec);
    m.enc->width = recipe.width;
    m.enc->height = recipe.height;
    m.enc->pix_fmt = pix;
    m.enc->time_base = recipe.kind == VideoKind::MovVariable ? AVRational{1, 1000} : AVRational{1, recipe.rate};
    m.enc->framerate = {recipe.rate, 1};
    m.enc->gop_size = 12;
    m.enc->thread_count = 1;
    if (recipe.kind == VideoKind::MovH264 || recipe.kind == VideoKind::MovVariable || recipe.kind == VideoKind::MpegPs)
        m.enc->max_b_frames = 2;
    if (codecId == AV_CODEC_ID_MPEG2VIDEO) m.enc->bit_rate = 2000000;
    if (codecId == AV_CODEC_ID_H264) av_opt_set(m.enc->priv_data, "preset", "ultrafast", 0), av_opt_set(m.enc->priv_data, "crf", "12", 0);
    if (codecId == AV_CODEC_ID_H264) av_opt_set(m.enc->priv_data, "x264-params", "bframes=2:b-adapt=0", 0);
    if (codecId == AV_CODEC_ID_MJPEG) m.enc->flags |= AV_CODEC_FLAG_QSCALE, m.enc->global_quality = FF_QP2LAMBDA * 2;
    if (m.fmt->oformat->flags & AVFMT_GLOBALHEADER) m.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(m.enc, codec, nullptr) < 0) return false;
    avcodec_parameters_from_context(m.st->codecpar, m.enc);
    m.st->time_base = m.enc->time_base;
    if (avio_open(&m.fmt->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    if (avformat_write_header(m.fmt, nullptr) < 0) return false;

    AVFrame* frame = av_frame_alloc();
    frame->width = recipe.width;
    frame->height = recipe.height;
    frame->format = pix;
    if (av_frame_get_buffer(frame, 0) < 0) return false;
    SwsContext* sws = nullptr;
    bool ok = true;
    int64_t t = 0;
    for (int32_t i = 0; i < recipe.frames && ok; ++i) {
        av_frame_make_writable(frame);
        Image img = indexedFrame(i, recipe.width, recipe.height);
        if (pix == AV_PIX_FMT_PAL8) {
            uint32_t* pal = reinterpret_cast<uint32_t*>(frame->data[1]);
            for (int k = 0; k < 256; ++k) pal[k] = paletteColour(k);
            for (int32_t y = 0; y < recipe.height; ++y)
                for (int32_t x = 0; x < recipe.width; ++x) {
                    int idx = 0;
                    while (idx < 255 && paletteColour(idx) != img.at(x, y)) ++idx;
                    frame->data[0][y * frame->linesize[0] + x] = uint8_t(idx);
                }
        } else if (pix == AV_PIX_FMT_RGB555LE) {
            for (int32_t y = 0; y < recipe.height; ++y)
                for (int32_t x = 0; x < recipe.width; ++x) {
                    const uint32_t p = img.at(x, y);
                    const uint16_t v = uint16_t((p >> 19 & 31) << 10 | (p >> 11 & 31) << 5 | (p >> 3 & 31));
                    std::memcpy(frame->data[0] + y * frame->linesize[0] + 2 * x, &v, 2);
                }
        } else {
            sws = sws_getCachedContext(sws, recipe.width, recipe.height, AV_PIX_FMT_BGRA, recipe.width, recipe.height, pix,
                                       SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
            const uint8_t* src[4] = {reinterpret_cast<const uint8_t*>(img.pixels.data()), nullptr, nullptr, nullptr};
            const int stride[4] = {recipe.width * 4, 0, 0, 0};
            sws_scale(sws, src, stride, 0, recipe.height, frame->data, frame->linesize);
        }
        // Irregular times: 40 ms, then 80 ms, then 20 ms, and again.
        frame->pts = recipe.kind == VideoKind::MovVariable ? t : i;
        t += (i % 3 == 0) ? 40 : (i % 3 == 1) ? 80 : 20;
        ok = m.drain(frame);
    }
    ok = ok && m.drain(nullptr) && av_write_trailer(m.fmt) >= 0;
    sws_freeContext(sws);
    av_frame_free(&frame);
    return ok;
}

bool makeLavfiVideo(const std::string& path, const std::string& graph, int32_t frames, const char* codecName) {
    avdevice_register_all();
    AVFormatContext* in = nullptr;
    if (avformat_open_input(&in, graph.c_str(), av_find_input_format("lavfi"), nullptr) < 0) return false;
    avformat_find_stream_info(in, nullptr);
    const AVCodecParameters* par = in->streams[0]->codecpar;
    const AVCodec* dec = avcodec_find_decoder(par->codec_id);
    AVCodecContext* dctx = avcodec_alloc_context3(dec);
    avcodec_parameters_to_context(dctx, par);
    avcodec_open2(dctx, dec, nullptr);
    Muxer m;
    avformat_alloc_output_context2(&m.fmt, nullptr, nullptr, path.c_str());
    const AVCodec* codec = avcodec_find_encoder_by_name(codecName);
    m.st = avformat_new_stream(m.fmt, nullptr);
    m.enc = avcodec_alloc_context3(codec);
    m.enc->width = par->width;
    m.enc->height = par->height;
    m.enc->pix_fmt = codec->id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    m.enc->time_base = {1, 25};
    m.enc->flags |= AV_CODEC_FLAG_QSCALE;
    m.enc->global_quality = FF_QP2LAMBDA * 2;
    bool ok = avcodec_open2(m.enc, codec, nullptr) >= 0;
    avcodec_parameters_from_context(m.st->codecpar, m.enc);
    m.st->time_base = m.enc->time_base;
    ok = ok && avio_open(&m.fmt->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(m.fmt, nullptr) >= 0;
    AVFrame* f = av_frame_alloc();
    AVFrame* yuv = av_frame_alloc();
    yuv->width = par->width, yuv->height = par->height, yuv->format = m.enc->pix_fmt;
    av_frame_get_buffer(yuv, 0);
    SwsContext* sws = nullptr;
    AVPacket* pkt = av_packet_alloc();
    int32_t done = 0;
    while (ok && done < frames && av_read_frame(in, pkt) >= 0) {
        avcodec_send_packet(dctx, pkt);
        av_packet_unref(pkt);
        while (done < frames && avcodec_receive_frame(dctx, f) == 0) {
            sws = sws_getCachedContext(sws, f->width, f->height, AVPixelFormat(f->format), yuv->width, yuv->height,
                                       AVPixelFormat(yuv->format), SWS_BILINEAR, nullptr, nullptr, nullptr);
            av_frame_make_writable(yuv);
            sws_scale(sws, f->data, f->linesize, 0, f->height, yuv->data, yuv->linesize);
            yuv->pts = done++;
            ok = ok && m.drain(yuv);
        }
    }
    ok = ok && m.drain(nullptr) && av_write_trailer(m.fmt) >= 0;
    av_packet_free(&pkt);
    sws_freeContext(sws);
    av_frame_free(&f);
    av_frame_free(&yuv);
    avcodec_free_context(&dctx);
    avformat_close_input(&in);
    return ok && done == frames;
}

}  // namespace tavlin::test
