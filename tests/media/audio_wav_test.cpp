#include "media/audio/wav_format.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <cstring>
#include <optional>
#include <random>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include "media/media_registry.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

// --- making WAV files -------------------------------------------------------

std::string le16(uint32_t v) { return {char(v), char(v >> 8)}; }
std::string le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

std::string chunk(const std::string& id, const std::string& payload) {
    std::string c = id + le32(uint32_t(payload.size())) + payload;
    if (payload.size() & 1) c.push_back('\0');
    return c;
}

struct Fmt {
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t rate = 8000;
    uint16_t blockAlign = 2;
    uint16_t bits = 16;
    std::optional<uint32_t> bytesPerSecond;  // rate * blockAlign when not given
    std::string extra;
    bool withCbSize = true;

    std::string bytes() const {
        std::string b = le16(tag) + le16(channels) + le32(rate) +
                        le32(bytesPerSecond.value_or(rate * blockAlign)) + le16(blockAlign) + le16(bits);
        if (withCbSize) b += le16(uint32_t(extra.size())) + extra;
        return b;
    }
};

Fmt makeFmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits) {
    Fmt f;
    f.tag = tag;
    f.channels = channels;
    f.rate = rate;
    f.blockAlign = blockAlign;
    f.bits = bits;
    return f;
}

std::string wav(const Fmt& fmt, const std::string& data, const std::string& before = "") {
    std::string body = "WAVE" + before + chunk("fmt ", fmt.bytes()) + chunk("data", data);
    return "RIFF" + le32(uint32_t(body.size())) + body;
}

std::string pcm16(const std::vector<int16_t>& samples) {
    std::string s;
    for (int16_t v : samples) s += le16(uint16_t(v));
    return s;
}

// A sine tone, interleaved, the same in every channel unless `rightSilent`.
std::vector<int16_t> tone(double hz, int rate, int channels, double seconds, double amplitude,
                          bool rightSilent = false) {
    std::vector<int16_t> out;
    int n = int(rate * seconds);
    for (int i = 0; i < n; ++i) {
        auto v = int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c) out.push_back(c == 1 && rightSilent ? 0 : v);
    }
    return out;
}

// Encodes interleaved samples with one of libavcodec's encoders and describes
// the result as a WAV "fmt " record.
std::pair<Fmt, std::string> encodeWith(AVCodecID id, uint16_t tag, int rate, int channels,
                                       const std::vector<int16_t>& samples) {
    const AVCodec* codec = avcodec_find_encoder(id);
    EXPECT_TRUE(codec);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = rate;
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->sample_fmt = codec->sample_fmts[0];
    EXPECT_EQ(avcodec_open2(ctx, codec, nullptr), 0);
    int frameSize = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    AVFrame* frame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    std::string data;
    auto drain = [&] {
        while (avcodec_receive_packet(ctx, pkt) == 0) {
            data.append(reinterpret_cast<const char*>(pkt->data), size_t(pkt->size));
            av_packet_unref(pkt);
        }
    };
    size_t total = samples.size() / size_t(channels);
    for (size_t start = 0; start < total; start += size_t(frameSize)) {
        frame->nb_samples = frameSize;
        frame->format = ctx->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        EXPECT_EQ(av_frame_get_buffer(frame, 0), 0);
        for (int i = 0; i < frameSize; ++i) {
            for (int c = 0; c < channels; ++c) {
                size_t at = start + size_t(i);
                int16_t v = at < total ? samples[at * size_t(channels) + size_t(c)] : 0;
                switch (ctx->sample_fmt) {
                case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(frame->data[0])[i * channels + c] = v; break;
                case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(frame->data[c])[i] = v; break;
                case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(frame->data[0])[i * channels + c] = v / 32768.0f; break;
                default: ADD_FAILURE() << "sample format " << ctx->sample_fmt;
                }
            }
        }
        EXPECT_EQ(avcodec_send_frame(ctx, frame), 0);
        av_frame_unref(frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();
    Fmt fmt;
    fmt.tag = tag;
    fmt.channels = uint16_t(channels);
    fmt.rate = uint32_t(rate);
    fmt.blockAlign = uint16_t(ctx->block_align);
    fmt.bits = uint16_t(ctx->bits_per_coded_sample);
    fmt.bytesPerSecond = uint32_t(int64_t(rate) * ctx->block_align / (ctx->frame_size > 0 ? ctx->frame_size : 1));
    if (ctx->extradata_size > 0) fmt.extra.assign(reinterpret_cast<const char*>(ctx->extradata), size_t(ctx->extradata_size));
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return {fmt, data};
}

// --- looking at the result --------------------------------------------------

// Half-cycles of a tone, counted with a dead band so coding noise near zero
// does not count.
int halfCycles(const Sound& s, int threshold = 1000) {
    int count = 0, state = 0;
    for (size_t i = 0; i < s.sampleCount(); ++i) {
        int v = s.sample(i);
        int now = v > threshold ? 1 : v < -threshold ? -1 : 0;
        if (now != 0 && now != state) {
            if (state != 0) ++count;
            state = now;
        }
    }
    return count;
}

int peak(const Sound& s) {
    int p = 0;
    for (size_t i = 0; i < s.sampleCount(); ++i) p = std::max(p, std::abs(int(s.sample(i))));
    return p;
}

class WavFormatTest : public ::testing::Test {
protected:
    std::unique_ptr<Sound> read(const std::string& bytes) { return WavFormat().read(dir.write("t.wav", bytes)); }
    test::ScratchDir dir;
};

// --- tests -------------------------------------------------------------------

TEST_F(WavFormatTest, TargetFormPassesThroughUnchanged) {
    std::vector<int16_t> samples{0, 1, -1, 32767, -32768, 1234, -4321, 77};
    auto s = read(wav(Fmt{}, pcm16(samples)));
    ASSERT_TRUE(s);
    ASSERT_EQ(s->sampleCount(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(s->sample(i), samples[i]) << i;
}

TEST_F(WavFormatTest, PcmWidthsAndFloatBecome16Bit) {
    Fmt u8 = makeFmt(1, 1, 8000, 1, 8);
    auto a = read(wav(u8, std::string("\x80\xff\x00\xc0", 4)));
    ASSERT_TRUE(a);
    ASSERT_EQ(a->sampleCount(), 4u);
    EXPECT_EQ(a->sample(0), 0);
    EXPECT_EQ(a->sample(1), 127 * 256);
    EXPECT_EQ(a->sample(2), -128 * 256);
    EXPECT_EQ(a->sample(3), 64 * 256);

    Fmt s24 = makeFmt(1, 1, 8000, 3, 24);
    auto b = read(wav(s24, std::string("\x00\x34\x12\x00\x00\x80", 6)));
    ASSERT_TRUE(b);
    ASSERT_EQ(b->sampleCount(), 2u);
    EXPECT_EQ(b->sample(0), 0x1234);
    EXPECT_EQ(b->sample(1), -32768);

    Fmt s32 = makeFmt(1, 1, 8000, 4, 32);
    auto c = read(wav(s32, le32(0x43210000u) + le32(0xFFFF0000u)));
    ASSERT_TRUE(c);
    ASSERT_EQ(c->sampleCount(), 2u);
    EXPECT_EQ(c->sample(0), 0x4321);
    EXPECT_EQ(c->sample(1), -1);

    Fmt f32 = makeFmt(3, 1, 8000, 4, 32);
    float fs[3] = {0.5f, -0.25f, 0.0f};
    auto d = read(wav(f32, std::string(reinterpret_cast<const char*>(fs), sizeof fs)));
    ASSERT_TRUE(d);
    ASSERT_EQ(d->sampleCount(), 3u);
    EXPECT_EQ(d->sample(0), 16384);
    EXPECT_EQ(d->sample(1), -8192);
    EXPECT_EQ(d->sample(2), 0);

    // 24-bit samples in 32-bit containers, described by an extensible record.
    Fmt ext = makeFmt(0xFFFE, 1, 8000, 4, 32);
    ext.extra = le16(24) + le32(4) + le16(1) + std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 14);
    auto e = read(wav(ext, le32(0x11110000u)));
    ASSERT_TRUE(e);
    ASSERT_EQ(e->sampleCount(), 1u);
    EXPECT_EQ(e->sample(0), 0x1111);
}

TEST_F(WavFormatTest, StereoAt44100BecomesMonoAt8000) {
    auto samples = tone(440, 44100, 2, 1.0, 10000);
    Fmt fmt = makeFmt(1, 2, 44100, 4, 16);
    auto s = read(wav(fmt, pcm16(samples)));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->length(), 16000u);
    EXPECT_NEAR(halfCycles(*s), 880, 4);
    // The channels are mixed, not summed into clipping.
    EXPECT_NEAR(peak(*s), 10000, 600);

    // One silent channel halves the level.
    auto half = read(wav(fmt, pcm16(tone(440, 44100, 2, 1.0, 10000, true))));
    ASSERT_TRUE(half);
    EXPECT_NEAR(peak(*half), 5000, 600);
}

TEST_F(WavFormatTest, AnyRateComesOutAtItsDuration) {
    for (int rate : {11025, 16000, 22050, 48000, 96000}) {
        Fmt fmt = makeFmt(1, 1, uint32_t(rate), 2, 16);
        auto s = read(wav(fmt, pcm16(tone(300, rate, 1, 0.5, 8000))));
        ASSERT_TRUE(s) << rate;
        EXPECT_NEAR(double(s->sampleCount()), 4000, 1) << rate;
        EXPECT_NEAR(halfCycles(*s), 300, 4) << rate;
    }
}

TEST_F(WavFormatTest, CompressedCodingsAreDecoded) {
    struct Case {
        AVCodecID id;
        uint16_t tag;
        int channels;
    };
    for (Case c : {Case{AV_CODEC_ID_ADPCM_IMA_WAV, 0x11, 1}, Case{AV_CODEC_ID_ADPCM_IMA_WAV, 0x11, 2},
                   Case{AV_CODEC_ID_ADPCM_MS, 0x02, 1}, Case{AV_CODEC_ID_ADPCM_MS, 0x02, 2},
                   Case{AV_CODEC_ID_PCM_MULAW, 0x07, 1}, Case{AV_CODEC_ID_PCM_ALAW, 0x06, 2},
                   Case{AV_CODEC_ID_PCM_F32LE, 0x03, 2}}) {
        SCOPED_TRACE(avcodec_get_name(c.id) + std::string(" channels ") + std::to_string(c.channels));
        auto [fmt, data] = encodeWith(c.id, c.tag, 22050, c.channels, tone(440, 22050, c.channels, 1.0, 12000));
        ASSERT_GT(fmt.blockAlign, 0);
        auto s = read(wav(fmt, data));
        ASSERT_TRUE(s);
        // Block codings round the length up to whole blocks.
        EXPECT_GE(s->sampleCount(), 8000u);
        EXPECT_LE(s->sampleCount(), 8000u + 8000u * 2100 / 22050);
        EXPECT_NEAR(halfCycles(*s), 880, 8);
        EXPECT_NEAR(peak(*s), 12000, 1500);
    }
}

TEST_F(WavFormatTest, ChunksAreWalkedInOrderWithPadding) {
    std::vector<int16_t> samples{10, 20, 30};
    // An odd-sized chunk before "fmt " is followed by its pad byte.
    auto a = read(wav(Fmt{}, pcm16(samples), chunk("LIST", "odd")));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->sampleCount(), 3u);

    // "data" before "fmt ", and a second "data" that does not count.
    std::string body = "WAVE" + chunk("data", pcm16(samples)) + chunk("fmt ", Fmt{}.bytes()) + chunk("data", pcm16({1}));
    auto b = read("RIFF" + le32(uint32_t(body.size())) + body);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->sampleCount(), 3u);

    // A 16-byte record without the extra-size field is read as if zero-extended.
    Fmt shortFmt;
    shortFmt.withCbSize = false;
    auto c = read(wav(shortFmt, pcm16(samples)));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->sample(2), 30);

    // A RIFF size running past the end of the file (streaming writers) is bounded by the file.
    std::string streamed = wav(Fmt{}, pcm16(samples));
    streamed.replace(4, 4, le32(0xFFFFFFFFu));
    auto d = read(streamed);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->sampleCount(), 3u);

    // An odd last byte of 16-bit data is completed to a whole sample.
    auto e = read(wav(Fmt{}, pcm16(samples) + "\x01"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->sampleCount(), 4u);
}

TEST_F(WavFormatTest, DamagedOrForeignFilesYieldNothing) {
    std::string data = pcm16({1, 2, 3, 4});
    EXPECT_FALSE(read(""));
    EXPECT_FALSE(read("RIFF"));
    std::string body = "WAVE" + chunk("data", data);
    EXPECT_FALSE(read("RIFF" + le32(uint32_t(body.size())) + body));  // no "fmt "
    body = "WAVE" + chunk("fmt ", Fmt{}.bytes());
    EXPECT_FALSE(read("RIFF" + le32(uint32_t(body.size())) + body));  // no "data"
    std::string avi = wav(Fmt{}, data);
    avi.replace(8, 4, "AVI ");
    EXPECT_FALSE(read(avi));

    // A chunk claiming more than the file holds.
    std::string big = wav(Fmt{}, data);
    big.replace(big.find("data") + 4, 4, le32(1000));
    EXPECT_FALSE(read(big));
    std::string bigFmt = wav(Fmt{}, data);
    bigFmt.replace(bigFmt.find("fmt ") + 4, 4, le32(0x7FFFFFF0));
    EXPECT_FALSE(read(bigFmt));

    // Codings and records that cannot be converted.
    EXPECT_FALSE(read(wav(makeFmt(0x55, 1, 8000, 2, 16), data)));  // MPEG layer 3
    EXPECT_FALSE(read(wav(makeFmt(1, 1, 8000, 0, 16), data)));
    Fmt noRate = makeFmt(1, 1, 0, 2, 16);
    EXPECT_FALSE(read(wav(noRate, data)));
    Fmt noBytesPerSecond = makeFmt(1, 1, 8000, 2, 16);
    noBytesPerSecond.bytesPerSecond = 0;
    EXPECT_FALSE(read(wav(noBytesPerSecond, data)));
    EXPECT_FALSE(read(wav(makeFmt(1, 0, 8000, 2, 16), data)));
    EXPECT_FALSE(read(wav(makeFmt(1, 3, 8000, 4, 16), data)));
    EXPECT_FALSE(read(wav(makeFmt(1, 1, 8000, 5, 40), data + "xx")));
    // A tiny rate would make the sound enormous: refused, not allocated.
    EXPECT_FALSE(read(wav(makeFmt(1, 1, 1, 1, 8), std::string(300000, '\x80'))));

    // Cut anywhere before the end of its data.
    std::string good = wav(Fmt{}, data);
    for (size_t cut = 0; cut < good.size(); ++cut) EXPECT_FALSE(read(good.substr(0, cut))) << cut;
    EXPECT_TRUE(read(good));

    EXPECT_FALSE(WavFormat().read(dir.file("missing.wav")));
    EXPECT_FALSE(WavFormat().read(dir.path()));
}

TEST_F(WavFormatTest, RandomDamageNeverCrashes) {
    auto [fmt, data] = encodeWith(AV_CODEC_ID_ADPCM_MS, 0x02, 11025, 2, tone(500, 11025, 2, 0.2, 9000));
    std::string good = wav(fmt, data);
    ASSERT_TRUE(read(good));
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        std::string bad = good;
        int changes = 1 + int(rng() % 8);
        for (int i = 0; i < changes; ++i) bad[rng() % bad.size()] = char(rng());
        read(bad);  // anything or nothing, but no crash
    }
    for (int round = 0; round < 50; ++round) {
        std::string noise(size_t(rng() % 400), '\0');
        for (char& ch : noise) ch = char(rng());
        read("RIFF" + le32(uint32_t(noise.size() + 4)) + "WAVE" + noise);
    }
}

// --- size limits and memory -------------------------------------------------

// What a conversion run in a child process costs: the child's peak resident
// memory above what it held before reading, so the test's own memory does
// not count.
struct ConversionCost {
    bool converted = false;
    Failure failure = Failure::None;
    uint64_t resultBytes = 0;
    long addedKb = -1;  // -1: the kernel does not let the peak be reset
};

long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

ConversionCost convertInChild(const std::string& path) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ConversionCost c;
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";  // the peak starts again from what is resident now
        reset.close();
        const long before = reset ? statusKb("VmRSS:") : -1;
        auto r = WavFormat().readWithReason(path);
        const long peak = statusKb("VmHWM:");
        c.converted = r.ok();
        c.failure = r.failure();
        c.resultBytes = r ? r.value()->data.size() : 0;
        c.addedKb = before < 0 ? -1 : peak - before;
        (void)!::write(fds[1], &c, sizeof c);
        ::_exit(0);
    }
    ::close(fds[1]);
    ConversionCost c;
    if (::read(fds[0], &c, sizeof c) != ssize_t(sizeof c)) c = {};
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return c;
}

TEST_F(WavFormatTest, SoundsBeyondFourHoursAreRefusedBeforeAllocating) {
    // 134 KB asking for 67,000 samples at 1 Hz: 18.6 hours, 1.07 GB at 8000 Hz.
    const std::string hostile = dir.write("hostile.wav", wav(makeFmt(1, 1, 1, 2, 16), std::string(134000, '\x10')));
    auto r = WavFormat().readWithReason(hostile);
    EXPECT_FALSE(r);
    EXPECT_EQ(r.failure(), Failure::TooLarge);
    EXPECT_NE(r.reason().find("four hours"), std::string::npos) << r.reason();
    ConversionCost cost = convertInChild(hostile);
    EXPECT_FALSE(cost.converted);
    if (cost.addedKb >= 0) {
        EXPECT_LT(cost.addedKb, 16 * 1024) << "refused only after allocating";
    }

    // A second past four hours at 1000 Hz is refused, as is a record without
    // a block size.
    EXPECT_EQ(convertSound(WavFormatRecord::parse({}), {}).failure(), Failure::Unsupported);
    WavFormatRecord rec;
    rec.formatTag = 1, rec.channels = 1, rec.sampleRate = 1000, rec.bytesPerSecond = 1000, rec.blockAlign = 1;
    rec.bitsPerSample = 8;
    EXPECT_EQ(convertSound(rec, std::vector<uint8_t>(4 * 3600 * 1000 + 1000, 0x80)).failure(), Failure::TooLarge);
}

TEST_F(WavFormatTest, PeakMemoryOfAConversionStaysNearItsResult) {
    // One hour at 1000 Hz, 8-bit: 3.6 MB in, 57.6 MB out.
    const std::string path = dir.write("hour.wav", wav(makeFmt(1, 1, 1000, 1, 8), std::string(3600 * 1000, '\x90')));
    ConversionCost cost = convertInChild(path);
    ASSERT_TRUE(cost.converted);
    EXPECT_EQ(cost.resultBytes, uint64_t(3600) * 8000 * 2);
    if (cost.addedKb < 0) GTEST_SKIP() << "the peak resident memory cannot be reset here";
    EXPECT_LT(double(cost.addedKb) * 1024, 1.5 * double(cost.resultBytes))
        << "peak " << cost.addedKb << " KB for a result of " << cost.resultBytes / 1024 << " KB";
}

}  // namespace
}  // namespace tavlin
