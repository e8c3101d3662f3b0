#include "media/audio/wav_format.h"
#include "media/file_handle.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace tavlin {

namespace {

constexpr int kTargetRate = 8000;
// The internal form of a sound never exceeds 1 GiB; a header asking for more
// (a tiny sample rate, say) is refused before anything is allocated.
constexpr uint64_t kMaxOutputSamples = (uint64_t(1) << 30) / 2;
// Rates beyond this make the resampler's filter grow without bound.
constexpr uint32_t kMaxSampleRate = 1000000;
constexpr int kMaxChannels = 32;

constexpr uint16_t kTagPcm = 0x0001;
constexpr uint16_t kTagMsAdpcm = 0x0002;
constexpr uint16_t kTagFloat = 0x0003;
constexpr uint16_t kTagALaw = 0x0006;
constexpr uint16_t kTagMuLaw = 0x0007;
constexpr uint16_t kTagImaAdpcm = 0x0011;
constexpr uint16_t kTagExtensible = 0xFFFE;

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

bool readAt(FILE* f, uint64_t pos, void* out, size_t n) {
    if (std::fseek(f, long(pos), SEEK_SET) != 0) return false;
    return std::fread(out, 1, n, f) == n;
}

// The decoder for a coding, and how the data is laid out for it.
struct Coding {
    AVCodecID id = AV_CODEC_ID_NONE;
    bool adpcm = false;
};

Coding codingOf(const WavFormatRecord& fmt) {
    uint16_t tag = fmt.formatTag;
    // Extensible records carry the real coding in the first two bytes of
    // their sub-format GUID.
    if (tag == kTagExtensible) {
        if (fmt.extra.size() < 22) return {};
        tag = le16(fmt.extra.data() + 6);
    }
    if (fmt.channels == 0 || fmt.blockAlign % fmt.channels != 0) return {};
    int bytes = fmt.blockAlign / fmt.channels;  // container size of one sample
    switch (tag) {
    case kTagPcm:
        switch (bytes) {
        case 1: return {AV_CODEC_ID_PCM_U8, false};
        case 2: return {AV_CODEC_ID_PCM_S16LE, false};
        case 3: return {AV_CODEC_ID_PCM_S24LE, false};
        case 4: return {AV_CODEC_ID_PCM_S32LE, false};
        default: return {};
        }
    case kTagFloat:
        if (bytes == 4) return {AV_CODEC_ID_PCM_F32LE, false};
        if (bytes == 8) return {AV_CODEC_ID_PCM_F64LE, false};
        return {};
    case kTagALaw: return bytes == 1 ? Coding{AV_CODEC_ID_PCM_ALAW, false} : Coding{};
    case kTagMuLaw: return bytes == 1 ? Coding{AV_CODEC_ID_PCM_MULAW, false} : Coding{};
    case kTagImaAdpcm: return {AV_CODEC_ID_ADPCM_IMA_WAV, true};
    case kTagMsAdpcm: return {AV_CODEC_ID_ADPCM_MS, true};
    default: return {};
    }
}

// Owners of the libav objects, so every way out frees them.
struct CodecContext {
    AVCodecContext* p = nullptr;
    ~CodecContext() { avcodec_free_context(&p); }
};
struct Packet {
    AVPacket* p = av_packet_alloc();
    ~Packet() { av_packet_free(&p); }
};
struct Frame {
    AVFrame* p = av_frame_alloc();
    ~Frame() { av_frame_free(&p); }
};
struct Resampler {
    SwrContext* p = nullptr;
    ~Resampler() { swr_free(&p); }
};
struct Layout {
    AVChannelLayout l{};
    ~Layout() { av_channel_layout_uninit(&l); }
};

class Converter {
public:

    bool add(const AVFrame* frame) {
        if (!swr_.p && !openResampler(frame)) return false;
        inSamples_ += uint64_t(frame->nb_samples);
        return convert((const uint8_t**)frame->extended_data, frame->nb_samples);
    }

    // Drains the resampler and fixes the length to the input's duration at
    // 8000 Hz, so equal inputs always give equal lengths.
    std::unique_ptr<Sound> finish() {
        if (swr_.p && !convert(nullptr, 0)) return nullptr;
        uint64_t want = inRate_ ? inSamples_ * kTargetRate / uint64_t(inRate_) : 0;
        if (want > kMaxOutputSamples) return nullptr;
        out_.resize(size_t(want), 0);
        auto sound = std::make_unique<Sound>();
        sound->data.resize(out_.size() * 2);
        for (size_t i = 0; i < out_.size(); ++i) {
            uint16_t v = uint16_t(out_[i]);
            sound->data[2 * i] = uint8_t(v);
            sound->data[2 * i + 1] = uint8_t(v >> 8);
        }
        return sound;
    }

private:
    bool openResampler(const AVFrame* frame) {
        Layout in, out;
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels <= 0) {
            av_channel_layout_default(&in.l, frame->ch_layout.nb_channels);
        } else if (av_channel_layout_copy(&in.l, &frame->ch_layout) < 0) {
            return false;
        }
        if (in.l.nb_channels <= 0) return false;
        av_channel_layout_default(&out.l, 1);
        inRate_ = frame->sample_rate;
        if (inRate_ <= 0) return false;
        if (swr_alloc_set_opts2(&swr_.p, &out.l, AV_SAMPLE_FMT_S16, kTargetRate, &in.l,
                                AVSampleFormat(frame->format), inRate_, 0, nullptr) < 0)
            return false;
        if (swr_init(swr_.p) < 0) return false;
        return true;
    }

    bool convert(const uint8_t** in, int count) {
        for (;;) {
            int room = swr_get_out_samples(swr_.p, count);
            if (room < 0) return false;
            room += 16;
            if (out_.size() + size_t(room) > kMaxOutputSamples) return false;
            size_t at = out_.size();
            out_.resize(at + size_t(room));
            uint8_t* dst = reinterpret_cast<uint8_t*>(out_.data() + at);
            int got = swr_convert(swr_.p, &dst, room, in, count);
            if (got < 0) return false;
            out_.resize(at + size_t(got));
            // Feeding input converts it all; draining goes on until nothing is left.
            if (in || got == 0) return true;
        }
    }

    Resampler swr_;
    int inRate_ = 0;
    uint64_t inSamples_ = 0;
    std::vector<int16_t> out_;
};

bool receiveAll(AVCodecContext* ctx, AVFrame* frame, Converter& conv) {
    for (;;) {
        int r = avcodec_receive_frame(ctx, frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        bool ok = conv.add(frame);
        av_frame_unref(frame);
        if (!ok) return false;
    }
}

}  // namespace

WavFormatRecord WavFormatRecord::parse(const std::vector<uint8_t>& chunk) {
    std::vector<uint8_t> b(chunk);
    if (b.size() < 18) b.resize(18, 0);
    WavFormatRecord r;
    r.formatTag = le16(&b[0]);
    r.channels = le16(&b[2]);
    r.sampleRate = le32(&b[4]);
    r.bytesPerSecond = le32(&b[8]);
    r.blockAlign = le16(&b[12]);
    r.bitsPerSample = le16(&b[14]);
    size_t extraSize = std::min<size_t>(le16(&b[16]), b.size() - 18);
    r.extra.assign(b.begin() + 18, b.begin() + 18 + long(extraSize));
    return r;
}

std::unique_ptr<Sound> convertToInternalSound(const WavFormatRecord& fmt, std::vector<uint8_t> data) {
    if (fmt.blockAlign == 0 || fmt.bytesPerSecond == 0) return nullptr;
    if (fmt.channels == 0 || fmt.channels > kMaxChannels) return nullptr;
    if (fmt.sampleRate == 0 || fmt.sampleRate > kMaxSampleRate) return nullptr;
    Coding coding = codingOf(fmt);
    if (coding.id == AV_CODEC_ID_NONE) return nullptr;

    // Whole blocks only: a cut-off last block is completed with zeros.
    size_t blocks = (data.size() + fmt.blockAlign - 1) / fmt.blockAlign;
    data.resize(blocks * fmt.blockAlign, 0);

    // Refuse before decoding what would come out too large. ADPCM holds at
    // most four samples per byte and channel (2-bit codes).
    uint64_t perChannel = coding.adpcm ? uint64_t(data.size()) * 4 / fmt.channels + uint64_t(blocks) * 2
                                       : uint64_t(blocks);
    if (perChannel * kTargetRate / fmt.sampleRate > kMaxOutputSamples) return nullptr;

    const AVCodec* codec = avcodec_find_decoder(coding.id);
    if (!codec) return nullptr;
    CodecContext ctx;
    ctx.p = avcodec_alloc_context3(codec);
    if (!ctx.p) return nullptr;
    ctx.p->sample_rate = int(fmt.sampleRate);
    av_channel_layout_default(&ctx.p->ch_layout, fmt.channels);
    ctx.p->block_align = fmt.blockAlign;
    ctx.p->bits_per_coded_sample = fmt.bitsPerSample;
    ctx.p->bit_rate = int64_t(fmt.bytesPerSecond) * 8;
    if (!fmt.extra.empty() && fmt.formatTag != kTagExtensible) {
        ctx.p->extradata = static_cast<uint8_t*>(av_mallocz(fmt.extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!ctx.p->extradata) return nullptr;
        std::memcpy(ctx.p->extradata, fmt.extra.data(), fmt.extra.size());
        ctx.p->extradata_size = int(fmt.extra.size());
    }
    if (avcodec_open2(ctx.p, codec, nullptr) < 0) return nullptr;

    Packet pkt;
    Frame frame;
    if (!pkt.p || !frame.p) return nullptr;
    Converter conv;
    // ADPCM goes one block per packet; plain codings in runs of blocks.
    size_t step = coding.adpcm ? fmt.blockAlign : std::max<size_t>(1, 65536 / fmt.blockAlign) * fmt.blockAlign;
    for (size_t pos = 0; pos < data.size(); pos += step) {
        size_t n = std::min(step, data.size() - pos);
        if (av_new_packet(pkt.p, int(n)) < 0) return nullptr;
        std::memcpy(pkt.p->data, data.data() + pos, n);
        int r = avcodec_send_packet(ctx.p, pkt.p);
        av_packet_unref(pkt.p);
        if (r < 0) return nullptr;
        if (!receiveAll(ctx.p, frame.p, conv)) return nullptr;
    }
    if (avcodec_send_packet(ctx.p, nullptr) < 0) return nullptr;
    if (!receiveAll(ctx.p, frame.p, conv)) return nullptr;
    return conv.finish();
}

std::unique_ptr<Sound> WavFormat::read(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    uint64_t fileSize = uint64_t(st.st_size);
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file.f) return nullptr;

    // Find the RIFF chunk of form "WAVE" among the top-level chunks.
    uint64_t pos = 0, waveStart = 0, waveEnd = 0;
    bool foundWave = false;
    while (pos + 12 <= fileSize) {
        uint8_t h[12];
        if (!readAt(file.f, pos, h, 12)) return nullptr;
        uint64_t size = le32(h + 4);
        if (std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVE", 4) == 0) {
            waveStart = pos + 12;
            // Writers that stream often leave the RIFF size too large; the
            // file's end bounds the walk then.
            waveEnd = std::min(pos + 8 + size, fileSize);
            foundWave = true;
            break;
        }
        pos += 8 + size + (size & 1);
    }
    if (!foundWave) return nullptr;

    // Walk the sub-chunks in order; the first "fmt " and the first "data" count.
    std::optional<std::vector<uint8_t>> fmtChunk, dataChunk;
    pos = waveStart;
    while (pos + 8 <= waveEnd && !(fmtChunk && dataChunk)) {
        uint8_t h[8];
        if (!readAt(file.f, pos, h, 8)) return nullptr;
        uint64_t size = le32(h + 4);
        bool isFmt = std::memcmp(h, "fmt ", 4) == 0 && !fmtChunk;
        bool isData = std::memcmp(h, "data", 4) == 0 && !dataChunk;
        if (isFmt || isData) {
            // A chunk that claims more than the file holds is a damaged file.
            if (pos + 8 + size > fileSize) return nullptr;
            std::vector<uint8_t> bytes(static_cast<size_t>(size));
            if (size > 0 && !readAt(file.f, pos + 8, bytes.data(), size_t(size))) return nullptr;
            (isFmt ? fmtChunk : dataChunk) = std::move(bytes);
        }
        pos += 8 + size + (size & 1);
    }
    if (!fmtChunk || !dataChunk) return nullptr;
    std::fclose(file.f);
    file.f = nullptr;
    return convertToInternalSound(WavFormatRecord::parse(*fmtChunk), std::move(*dataChunk));
}

}  // namespace tavlin
