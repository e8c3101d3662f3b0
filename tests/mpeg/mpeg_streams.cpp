#include "mpeg_streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "test_videos.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace tavlin::test {

bool makeMpeg(const std::string& path, const MpegSpec& recipe) {
    av_log_set_level(std::getenv("TAVLIN_AV_LOG") ? AV_LOG_INFO : AV_LOG_QUIET);
    const char* container = recipe.container == MpegContainer::Transport ? "mpegts"
                            : recipe.container == MpegContainer::Program ? (recipe.mpeg2 ? "vob" : "mpeg")
                            : (recipe.mpeg2 ? "mpeg2video" : "mpeg1video");
    AVFormatContext* fmt = nullptr;
    if (avformat_alloc_output_context2(&fmt, nullptr, container, path.c_str()) < 0) return false;
    const AVCodec* codec = avcodec_find_encoder(recipe.mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO);
    AVStream* st = avformat_new_stream(fmt, nullptr);
    AVCodecContext* enc = avcodec_alloc_context3(codec);
    enc->width = recipe.width;
    enc->height = recipe.height;
    enc->pix_fmt = AV_PIX_FMT_YUV420P;
    enc->time_base = {1, recipe.rate};
    enc->framerate = {recipe.rate, 1};
    enc->gop_size = recipe.gop;
    enc->max_b_frames = recipe.bFrames;
    enc->thread_count = 1;
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * 2;
    // B pictures as sharp as the others, so every frame's counter reads.
    enc->b_quant_factor = 1.0f;
    enc->b_quant_offset = 0.0f;
    enc->mb_decision = FF_MB_DECISION_RD;
    if (recipe.closedGops) {
        enc->flags |= AV_CODEC_FLAG_CLOSED_GOP;
        av_opt_set_int(enc->priv_data, "sc_threshold", 1000000000, 0);
        av_opt_set(enc->priv_data, "mpv_flags", "+strict_gop", 0);
    }
    if (!recipe.timecode.empty()) av_opt_set(enc->priv_data, "gop_timecode", recipe.timecode.c_str(), 0);
    bool ok = avcodec_open2(enc, codec, nullptr) >= 0;
    avcodec_parameters_from_context(st->codecpar, enc);
    st->time_base = enc->time_base;
    ok = ok && avio_open(&fmt->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(fmt, nullptr) >= 0;
    AVFrame* frame = av_frame_alloc();
    frame->width = recipe.width, frame->height = recipe.height, frame->format = AV_PIX_FMT_YUV420P;
    ok = ok && av_frame_get_buffer(frame, 0) >= 0;
    AVPacket* pkt = av_packet_alloc();
    SwsContext* sws = sws_getContext(recipe.width, recipe.height, AV_PIX_FMT_BGRA, recipe.width, recipe.height,
                                     AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    auto drain = [&](AVFrame* f) {
        if (avcodec_send_frame(enc, f) < 0) return false;
        for (;;) {
            int r = avcodec_receive_packet(enc, pkt);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return false;
            av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
            pkt->stream_index = 0;
            if (av_interleaved_write_frame(fmt, pkt) < 0) return false;
        }
    };
    for (int32_t i = 0; i < recipe.frames && ok; ++i) {
        av_frame_make_writable(frame);
        Image img = indexedFrame(i, recipe.width, recipe.height);
        const uint8_t* src[4] = {reinterpret_cast<const uint8_t*>(img.pixels.data()), nullptr, nullptr, nullptr};
        const int stride[4] = {recipe.width * 4, 0, 0, 0};
        sws_scale(sws, src, stride, 0, recipe.height, frame->data, frame->linesize);
        frame->pts = i;
        ok = drain(frame);
    }
    ok = ok && drain(nullptr) && av_write_trailer(fmt) >= 0;
    sws_freeContext(sws);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&enc);
    avio_closep(&fmt->pb);
    avformat_free_context(fmt);
    return ok;
}

namespace {

struct Demuxed {
    AVFormatContext* fmt = nullptr;
    int stream = -1;
    explicit Demuxed(const std::string& path) {
        av_log_set_level(AV_LOG_QUIET);
        if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return;
        avformat_find_stream_info(fmt, nullptr);
        stream = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    }
    ~Demuxed() { avformat_close_input(&fmt); }
};

}  // namespace

std::vector<Image> referenceFrames(const std::string& path) {
    std::vector<Image> out;
    Demuxed in(path);
    if (in.stream < 0) return out;
    const AVCodecParameters* par = in.fmt->streams[in.stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, par);
    dec->thread_count = 1;
    avcodec_open2(dec, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* f = av_frame_alloc();
    SwsContext* sws = nullptr;
    auto take = [&] {
        while (avcodec_receive_frame(dec, f) >= 0) {
            Image img(f->width, f->height);
            sws = sws_getCachedContext(sws, f->width, f->height, AVPixelFormat(f->format), f->width, f->height,
                                       AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
            const int stride = (f->width * 4 + 63) / 64 * 64;
            std::vector<uint8_t> buf(size_t(stride) * f->height + 64);
            uint8_t* dst[4] = {buf.data(), nullptr, nullptr, nullptr};
            int strides[4] = {stride, 0, 0, 0};
            sws_scale(sws, f->data, f->linesize, 0, f->height, dst, strides);
            for (int y = 0; y < f->height; ++y) {
                std::memcpy(img.row(y), buf.data() + size_t(y) * stride, size_t(f->width) * 4);
                for (int x = 0; x < f->width; ++x) img.row(y)[x] |= 0xFF000000u;
            }
            out.push_back(std::move(img));
        }
    };
    while (av_read_frame(in.fmt, pkt) >= 0) {
        if (pkt->stream_index == in.stream) {
            avcodec_send_packet(dec, pkt);
            take();
        }
        av_packet_unref(pkt);
    }
    avcodec_send_packet(dec, nullptr);
    take();
    sws_freeContext(sws);
    av_frame_free(&f);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    return out;
}

std::vector<uint8_t> elementaryBytes(const std::string& path) {
    std::vector<uint8_t> out;
    Demuxed in(path);
    if (in.stream < 0) return out;
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(in.fmt, pkt) >= 0) {
        if (pkt->stream_index == in.stream) out.insert(out.end(), pkt->data, pkt->data + pkt->size);
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    return out;
}

ScannedIndex scanElementary(const std::vector<uint8_t>& es) {
    ScannedIndex s;
    int zeros = 0;
    for (size_t i = 0; i < es.size(); ++i) {
        const uint8_t b = es[i];
        if (b == 0) {
            ++zeros;
            continue;
        }
        if (b != 1 || zeros < 2 || i + 1 >= es.size()) {
            zeros = 0;
            continue;
        }
        zeros = 0;
        const uint8_t code = es[++i];
        if (code == 0xB3) {
            ++s.sequences;
        } else if (code == 0xB8 && i + 4 < es.size()) {
            const uint32_t t = uint32_t(es[i + 1]) << 24 | uint32_t(es[i + 2]) << 16 | uint32_t(es[i + 3]) << 8 | es[i + 4];
            char tc[32];
            std::snprintf(tc, sizeof tc, "%02u:%02u:%02u.%02u", (t >> 26) & 31, (t >> 20) & 63, (t >> 13) & 63,
                          (t >> 7) & 63);
            s.groupFirst.push_back(s.max);
            s.timecodes.push_back(tc);
            i += 4;
        } else if (code == 0x00 && i + 2 < es.size()) {
            const int type = (es[i + 2] >> 3) & 7;
            if (type >= 1 && type <= 3) ++s.max;
            i += 2;
        }
    }
    return s;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::string> fileLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

}  // namespace tavlin::test
