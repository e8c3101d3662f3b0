#include "media/audio/wav_format.h"
#include "media/file_handle.h"
#include "base/byte_order.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
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
// The program's sounds are short effects: a conversion whose result would be
// longer than four hours (230 MB) is refused before anything is allocated,
// so a tiny header (a sample rate of 1, say) cannot ask for gigabytes.
constexpr uint64_t kMaxOutputSamples = uint64_t(4) * 3600 * kTargetRate;
// Room kept beyond the expected length for the resampler's rounding.
constexpr size_t kOutputSlack = 4096;
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
        tag = loadLittle16(fmt.extra.data() + 6);
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

// Resamples decoded frames straight into the sound it returns. The sound's
// buffer is set aside once for the expected length, so the peak memory of a
// conversion stays close to the size of its result (no growing buffer that
// is copied at the end).
class Converter {
public:
    explicit Converter(uint64_t expectedSamples) {
        sound_ = std::make_unique<Sound>();
        sound_->data.reserve(size_t(std::min(expectedSamples, kMaxOutputSamples) + kOutputSlack) * 2);
    }

    bool add(const AVFrame* frame) {
        if (!swr_.p && !openResampler(frame)) return false;
        inSamples_ += uint64_t(frame->nb_samples);
        return convert((const uint8_t**)frame->extended_data, frame->nb_samples);
    }

    // Drains the resampler and fixes the length to the input's duration at
    // 8000 Hz, so equal inputs always give equal lengths.
    Result<std::unique_ptr<Sound>> finish() {
        if (swr_.p && !convert(nullptr, 0)) return failed();
        uint64_t want = inRate_ ? inSamples_ * kTargetRate / uint64_t(inRate_) : 0;
        if (want > kMaxOutputSamples) return tooLong();
        if (size_t(want) * 2 > sound_->data.capacity()) sound_->data.reserve(size_t(want) * 2);
        sound_->data.resize(size_t(want) * 2, 0);
        return std::move(sound_);
    }

    // Why the conversion stopped.
    static Result<std::unique_ptr<Sound>> tooLong() {
        return {Failure::TooLarge, "the sound would be longer than four hours"};
    }

    Result<std::unique_ptr<Sound>> failed() const {
        if (tooLong_) return tooLong();
        return {Failure::Damaged, "the sample data cannot be converted"};
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
        std::vector<uint8_t>& out = sound_->data;
        for (;;) {
            int room = swr_get_out_samples(swr_.p, count);
            if (room < 0) return false;
            room += 16;
            size_t have = out.size() / 2;
            if (have + size_t(room) > kMaxOutputSamples + kOutputSlack) {
                tooLong_ = true;
                return false;
            }
            // Past the expected length the buffer grows by an eighth at a
            // time, never doubling.
            size_t need = (have + size_t(room)) * 2;
            if (need > out.capacity()) out.reserve(std::max(need, out.capacity() + out.capacity() / 8));
            out.resize(need);
            uint8_t* dst = out.data() + have * 2;
            int got = swr_convert(swr_.p, &dst, room, in, count);
            if (got < 0) return false;
            out.resize((have + size_t(got)) * 2);
            // Feeding input converts it all; draining goes on until nothing is left.
            if (in || got == 0) return true;
        }
    }

    Resampler swr_;
    int inRate_ = 0;
    uint64_t inSamples_ = 0;
    bool tooLong_ = false;
    std::unique_ptr<Sound> sound_;
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
    r.formatTag = loadLittle16(&b[0]);
    r.channels = loadLittle16(&b[2]);
    r.sampleRate = loadLittle32(&b[4]);
    r.bytesPerSecond = loadLittle32(&b[8]);
    r.blockAlign = loadLittle16(&b[12]);
    r.bitsPerSample = loadLittle16(&b[14]);
    size_t extraSize = std::min<size_t>(loadLittle16(&b[16]), b.size() - 18);
    r.extra.assign(b.begin() + 18, b.begin() + 18 + long(extraSize));
    return r;
}

namespace {

// Samples per channel that `blocks` blocks decode to (for ADPCM from the code
// width the record declares).
uint64_t samplesPerChannel(const WavFormatRecord& fmt, const Coding& coding, uint64_t blocks) {
    if (!coding.adpcm) return blocks;
    uint64_t perChannel = fmt.blockAlign / fmt.channels;
    uint64_t perBlock = 0;
    if (coding.id == AV_CODEC_ID_ADPCM_MS) {
        perBlock = perChannel >= 7 ? (perChannel - 7) * 2 + 2 : 0;
    } else {
        uint64_t bits = fmt.bitsPerSample >= 2 && fmt.bitsPerSample <= 5 ? fmt.bitsPerSample : 4;
        perBlock = perChannel >= 4 ? (perChannel - 4) * 8 / bits + 1 : 0;
    }
    return blocks * perBlock;
}

Result<std::unique_ptr<Sound>> unsupported(const char* why) { return {Failure::Unsupported, why}; }
Result<std::unique_ptr<Sound>> undecodable() { return {Failure::Damaged, "the sample data cannot be decoded"}; }

}  // namespace

std::unique_ptr<Sound> convertToInternalSound(const WavFormatRecord& fmt, std::vector<uint8_t> data) {
    return valueOrNull(convertSound(fmt, std::move(data)));
}

Result<std::unique_ptr<Sound>> convertSound(const WavFormatRecord& fmt, std::vector<uint8_t> data) {
    if (fmt.blockAlign == 0 || fmt.bytesPerSecond == 0) return unsupported("the format record has no block size or rate");
    if (fmt.channels == 0 || fmt.channels > kMaxChannels) return unsupported("unsupported number of channels");
    if (fmt.sampleRate == 0 || fmt.sampleRate > kMaxSampleRate) return unsupported("unsupported sample rate");
    Coding coding = codingOf(fmt);
    if (coding.id == AV_CODEC_ID_NONE) return unsupported("unsupported sample coding");

    // Whole blocks only: a cut-off last block is completed with zeros (when
    // it is sent, so the data is never copied whole).
    const size_t blocks = (data.size() + fmt.blockAlign - 1) / fmt.blockAlign;
    const size_t paddedSize = blocks * fmt.blockAlign;

    // Refuse before decoding or allocating what would come out too long.
    const uint64_t expected = samplesPerChannel(fmt, coding, blocks) * kTargetRate / fmt.sampleRate;
    if (expected > kMaxOutputSamples) return Converter::tooLong();

    const AVCodec* codec = avcodec_find_decoder(coding.id);
    if (!codec) return unsupported("no decoder for the sample coding");
    CodecContext ctx;
    ctx.p = avcodec_alloc_context3(codec);
    if (!ctx.p) return undecodable();
    ctx.p->sample_rate = int(fmt.sampleRate);
    av_channel_layout_default(&ctx.p->ch_layout, fmt.channels);
    ctx.p->block_align = fmt.blockAlign;
    ctx.p->bits_per_coded_sample = fmt.bitsPerSample;
    ctx.p->bit_rate = int64_t(fmt.bytesPerSecond) * 8;
    if (!fmt.extra.empty() && fmt.formatTag != kTagExtensible) {
        ctx.p->extradata = static_cast<uint8_t*>(av_mallocz(fmt.extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!ctx.p->extradata) return undecodable();
        std::memcpy(ctx.p->extradata, fmt.extra.data(), fmt.extra.size());
        ctx.p->extradata_size = int(fmt.extra.size());
    }
    if (avcodec_open2(ctx.p, codec, nullptr) < 0) return undecodable();

    Packet pkt;
    Frame frame;
    if (!pkt.p || !frame.p) return undecodable();
    Converter conv(expected);
    // ADPCM goes one block per packet; plain codings in runs of blocks.
    size_t step = coding.adpcm ? fmt.blockAlign : std::max<size_t>(1, 65536 / fmt.blockAlign) * fmt.blockAlign;
    for (size_t pos = 0; pos < paddedSize; pos += step) {
        size_t n = std::min(step, paddedSize - pos);
        if (av_new_packet(pkt.p, int(n)) < 0) return undecodable();
        size_t present = pos < data.size() ? std::min(n, data.size() - pos) : 0;
        if (present) std::memcpy(pkt.p->data, data.data() + pos, present);
        std::memset(pkt.p->data + present, 0, n - present);
        int r = avcodec_send_packet(ctx.p, pkt.p);
        av_packet_unref(pkt.p);
        if (r < 0) return undecodable();
        if (!receiveAll(ctx.p, frame.p, conv)) return conv.failed();
    }
    if (avcodec_send_packet(ctx.p, nullptr) < 0) return undecodable();
    if (!receiveAll(ctx.p, frame.p, conv)) return conv.failed();
    return conv.finish();
}

std::unique_ptr<Sound> WavFormat::read(const std::string& path) { return valueOrNull(readWithReason(path)); }

Result<std::unique_ptr<Sound>> WavFormat::readWithReason(const std::string& path) {
    using Read = Result<std::unique_ptr<Sound>>;
    const Reason cutOff{Failure::Damaged, "damaged WAV file: a chunk is cut off"};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Read(Failure::CannotRead, "not a file");
    uint64_t fileSize = uint64_t(st.st_size);
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file.f) return Read(Failure::CannotRead, std::strerror(errno));

    // Find the RIFF chunk of form "WAVE" among the top-level chunks.
    uint64_t pos = 0, waveStart = 0, waveEnd = 0;
    bool foundWave = false;
    while (pos + 12 <= fileSize) {
        uint8_t h[12];
        if (!readAt(file.f, pos, h, 12)) return cutOff;
        uint64_t size = loadLittle32(h + 4);
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
    if (!foundWave) return Read(Failure::NotRecognised, "not a WAV file (no RIFF WAVE chunk)");

    // Walk the sub-chunks in order; the first "fmt " and the first "data" count.
    std::optional<std::vector<uint8_t>> fmtChunk, dataChunk;
    pos = waveStart;
    while (pos + 8 <= waveEnd && !(fmtChunk && dataChunk)) {
        uint8_t h[8];
        if (!readAt(file.f, pos, h, 8)) return cutOff;
        uint64_t size = loadLittle32(h + 4);
        bool isFmt = std::memcmp(h, "fmt ", 4) == 0 && !fmtChunk;
        bool isData = std::memcmp(h, "data", 4) == 0 && !dataChunk;
        if (isFmt || isData) {
            // A chunk that claims more than the file holds is a damaged file.
            if (pos + 8 + size > fileSize) return cutOff;
            std::vector<uint8_t> bytes(static_cast<size_t>(size));
            if (size > 0 && !readAt(file.f, pos + 8, bytes.data(), size_t(size))) return cutOff;
            (isFmt ? fmtChunk : dataChunk) = std::move(bytes);
        }
        pos += 8 + size + (size & 1);
    }
    if (!fmtChunk) return Read(Failure::Damaged, "damaged WAV file: no \"fmt \" chunk");
    if (!dataChunk) return Read(Failure::Damaged, "damaged WAV file: no \"data\" chunk");
    std::fclose(file.f);
    file.f = nullptr;
    return convertSound(WavFormatRecord::parse(*fmtChunk), std::move(*dataChunk));
}

}  // namespace tavlin
