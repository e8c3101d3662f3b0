// MPEG index scan and random access, each beside its reference in the same
// run:
//   - the index scan of a large MPEG-2 program stream (from the page cache)
//     beside a plain memchr scan of the same file for 00 00 01;
//   - frameAt(n) for 200 random n in a 60 s 640x480 MPEG-2 stream beside
//     libavformat's own seek to the frame's time and decode up to it.
// The streams are made once under $TMPDIR (TAVLIN_BENCH_MPEG_MB sets the size
// of the large one, 1024 by default).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "media/progress.h"
#include "mpeg/mpeg_index.h"
#include "mpeg/mpeg_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

using namespace tavlin;

std::string scratchPath(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name;
}

int64_t fileSize(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_size : -1;
}

// A moving pattern, coded as MPEG-2 in a program stream (GOP 15, two B).
bool encode(const std::string& path, int w, int h, int frames, int64_t bitRate) {
    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* fmt = nullptr;
    if (avformat_alloc_output_context2(&fmt, nullptr, "vob", path.c_str()) < 0) return false;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
    AVStream* st = avformat_new_stream(fmt, nullptr);
    AVCodecContext* enc = avcodec_alloc_context3(codec);
    enc->width = w, enc->height = h, enc->pix_fmt = AV_PIX_FMT_YUV420P;
    enc->time_base = {1, 25}, enc->framerate = {25, 1};
    enc->gop_size = 15, enc->max_b_frames = 2;
    enc->bit_rate = bitRate, enc->rc_max_rate = bitRate, enc->rc_buffer_size = int(bitRate);
    bool ok = avcodec_open2(enc, codec, nullptr) >= 0;
    avcodec_parameters_from_context(st->codecpar, enc);
    st->time_base = enc->time_base;
    ok = ok && avio_open(&fmt->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(fmt, nullptr) >= 0;
    AVFrame* f = av_frame_alloc();
    f->width = w, f->height = h, f->format = AV_PIX_FMT_YUV420P;
    ok = ok && av_frame_get_buffer(f, 0) >= 0;
    AVPacket* pkt = av_packet_alloc();
    auto drain = [&](AVFrame* frame) {
        if (avcodec_send_frame(enc, frame) < 0) return false;
        while (avcodec_receive_packet(enc, pkt) >= 0) {
            av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
            pkt->stream_index = 0;
            if (av_interleaved_write_frame(fmt, pkt) < 0) return false;
        }
        return true;
    };
    for (int i = 0; i < frames && ok; ++i) {
        av_frame_make_writable(f);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) f->data[0][y * f->linesize[0] + x] = uint8_t(x * 3 + y * 2 + i * 5 + ((x ^ y) & 16) * 4);
        for (int y = 0; y < h / 2; ++y)
            for (int x = 0; x < w / 2; ++x) {
                f->data[1][y * f->linesize[1] + x] = uint8_t(128 + x - i);
                f->data[2][y * f->linesize[2] + x] = uint8_t(128 + y + i);
            }
        f->pts = i;
        ok = drain(f);
    }
    ok = ok && drain(nullptr) && av_write_trailer(fmt) >= 0;
    av_packet_free(&pkt);
    av_frame_free(&f);
    avcodec_free_context(&enc);
    avio_closep(&fmt->pb);
    avformat_free_context(fmt);
    return ok;
}

// The large stream: a coded minute repeated (program streams concatenate).
const std::string& largeStream() {
    static const std::string path = [] {
        const char* mb = std::getenv("TAVLIN_BENCH_MPEG_MB");
        const int64_t want = int64_t(mb ? std::atoll(mb) : 1024) << 20;
        const std::string p = scratchPath("tavlin-bench-large-" + std::to_string(want >> 20) + ".mpg");
        if (fileSize(p) >= want) return p;
        const std::string piece = scratchPath("tavlin-bench-piece.mpg");
        if (fileSize(piece) <= 0) encode(piece, 720, 576, 1500, 15000000);
        std::vector<char> bytes(size_t(fileSize(piece)));
        int in = ::open(piece.c_str(), O_RDONLY);
        if (in < 0 || ::read(in, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::abort();
        ::close(in);
        int out = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (int64_t written = 0; written < want; written += int64_t(bytes.size()))
            if (::write(out, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::abort();
        ::close(out);
        return p;
    }();
    return path;
}

const std::string& minuteStream() {
    static const std::string path = [] {
        const std::string p = scratchPath("tavlin-bench-640x480.mpg");
        if (fileSize(p) <= 0 && !encode(p, 640, 480, 1500, 4000000)) std::abort();
        return p;
    }();
    return path;
}

void BM_MemchrStartCodes(benchmark::State& state) {
    const std::string& p = largeStream();
    std::vector<uint8_t> buf(1 << 20);
    int64_t found = 0;
    for (auto _ : state) {
        int fd = ::open(p.c_str(), O_RDONLY);
        int64_t at = 0;
        for (ssize_t n; (n = ::pread(fd, buf.data(), buf.size(), at)) > 0; at += n) {
            const uint8_t* d = buf.data();
            for (size_t i = 2; i < size_t(n);) {
                const void* hit = std::memchr(d + i, 1, size_t(n) - i);
                if (!hit) break;
                const size_t j = size_t(static_cast<const uint8_t*>(hit) - d);
                found += d[j - 1] == 0 && d[j - 2] == 0;
                i = j + 1;
            }
        }
        ::close(fd);
    }
    benchmark::DoNotOptimize(found);
    state.SetBytesProcessed(state.iterations() * fileSize(p));
}
BENCHMARK(BM_MemchrStartCodes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_IndexScan(benchmark::State& state) {
    const std::string& p = largeStream();
    const std::string index = scratchPath("tavlin-bench.index");
    for (auto _ : state)
        if (buildMpegIndex(p, index, silentProgress()) != IndexBuild::Built) state.SkipWithError("index failed");
    state.SetBytesProcessed(state.iterations() * fileSize(p));
}
BENCHMARK(BM_IndexScan)->Unit(benchmark::kMillisecond)->MinTime(2.0);

std::vector<int32_t> randomFrames(int32_t count) {
    std::mt19937 rng(200);
    std::vector<int32_t> out(200);
    for (int32_t& n : out) n = int32_t(rng() % uint32_t(count));
    return out;
}

void BM_FrameAtRandom(benchmark::State& state) {
    MpegFormat format;
    auto source = format.open(minuteStream());
    if (!source) return state.SkipWithError("cannot open");
    const auto frames = randomFrames(source->frameCount);
    const MpegDecoder& decoder = static_cast<MpegSource&>(*source).decoder();
    const int64_t decodedBefore = decoder.picturesDecoded(), seeksBefore = decoder.seeks();
    for (auto _ : state)
        for (int32_t n : frames) benchmark::DoNotOptimize(source->frameAt(n));
    state.SetItemsProcessed(state.iterations() * int64_t(frames.size()));
    const double requests = double(state.iterations()) * double(frames.size());
    state.counters["decoded_per_frame"] = double(decoder.picturesDecoded() - decodedBefore) / requests;
    state.counters["seeks_per_frame"] = double(decoder.seeks() - seeksBefore) / requests;
    state.counters["ms_per_frame"] =
        benchmark::Counter(double(frames.size()) * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FrameAtRandom)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// libavformat's own frame-accurate access: seek to the frame's time, then
// decode until that frame and convert it as the source does.
void BM_LibavformatSeekAndDecode(benchmark::State& state) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, minuteStream().c_str(), nullptr, nullptr) < 0) return state.SkipWithError("open");
    avformat_find_stream_info(fmt, nullptr);
    const int s = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVStream* st = fmt->streams[s];
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, st->codecpar);
    dec->thread_count = 1;
    avcodec_open2(dec, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* f = av_frame_alloc();
    SwsContext* sws = nullptr;
    std::vector<uint8_t> out(size_t(640 * 4 + 64) * 480);
    const int64_t start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
    const int64_t tick = av_rescale_q(1, AVRational{1, 25}, st->time_base);
    const auto frames = randomFrames(1500);
    int64_t misses = 0, sent = 0;
    for (auto _ : state) {
        for (int32_t n : frames) {
            const int64_t target = start + n * tick;
            // Decoding must start at a key picture at or before the target;
            // when the seek lands after one, it goes a group further back.
            bool got = false;
            for (int64_t back = 0; !got && back <= 4; ++back) {
                const int64_t at = target - back * 15 * tick;
                avformat_seek_file(fmt, s, INT64_MIN, at, at, AVSEEK_FLAG_BACKWARD);
                avcodec_flush_buffers(dec);
                bool keyed = false, late = false;
                while (!got && !late && av_read_frame(fmt, pkt) >= 0) {
                    if (pkt->stream_index == s && (keyed || (pkt->flags & AV_PKT_FLAG_KEY))) {
                        keyed = true;
                        avcodec_send_packet(dec, pkt), ++sent;
                    }
                    av_packet_unref(pkt);
                    while (!got && !late && avcodec_receive_frame(dec, f) >= 0) {
                        if (f->best_effort_timestamp < target) continue;
                        if (f->best_effort_timestamp > target) {
                            late = true;
                            break;
                        }
                        got = true;
                        sws = sws_getCachedContext(sws, f->width, f->height, AVPixelFormat(f->format), 640, 480,
                                                   AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
                        uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
                        int strides[4] = {640 * 4 + 64, 0, 0, 0};
                        sws_scale(sws, f->data, f->linesize, 0, f->height, dst, strides);
                    }
                }
            }
            misses += !got;
        }
    }
    state.counters["misses"] = double(misses);
    state.counters["decoded_per_frame"] = double(sent) / (double(state.iterations()) * double(frames.size()));
    state.SetItemsProcessed(state.iterations() * int64_t(frames.size()));
    state.counters["ms_per_frame"] =
        benchmark::Counter(double(frames.size()) * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    sws_freeContext(sws);
    av_frame_free(&f);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
}
BENCHMARK(BM_LibavformatSeekAndDecode)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
