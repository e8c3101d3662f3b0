#include "mpeg/mpeg_decoder.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace tavlin {

namespace {

// How much of the stream is searched for a start code an index points at
// before the offset is taken for a lie.
constexpr size_t kSearchLimit = 8 << 20;
constexpr size_t kSequenceHeaderMax = 4096;
constexpr int kTypeB = 3;

}  // namespace

MpegDecoder::MpegDecoder() = default;
MpegDecoder::~MpegDecoder() { close(); }

void MpegDecoder::close() {
    if (parser_) av_parser_close(parser_);
    parser_ = nullptr;
    avcodec_free_context(&dec_);
    av_frame_free(&frame_);
    av_frame_free(&received_);
    av_packet_free(&packet_);
    sws_freeContext(sws_);
    sws_ = nullptr;
    reader_.close();
    live_ = false;
    held_ = lastOut_ = -1;
}

bool MpegDecoder::open(const std::string& videoPath, const std::string& indexPath) {
    // Damaged pictures are the decoder's own business: callers see only
    // that a picture did not come.
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    close();
    path_ = videoPath;
    if (!reader_.open(videoPath)) {
        error_ = reader_.error();
        return false;
    }
    if (!captureSequenceHeader(0, 0, 0, firstSequence_) ||
        !parseSequenceHeader(firstSequence_.data() + 4, firstSequence_.size() - 4, header_)) {
        error_ = "Cannot read Sequence Header";
        return false;
    }
    Result<MpegIndex> index = readMpegIndex(indexPath, reader_.fileSize());
    if (!index) {
        error_ = index.reason();
        return false;
    }
    index_ = index.take();
    if (reader_.kind() == MpegStreamKind::Transport && (index_.kind != MpegStreamKind::Transport || index_.pid != reader_.pid())) {
        error_ = "Invalid index file (PID)";
        return false;
    }
    if (index_.hasKind && index_.kind != reader_.kind()) {
        error_ = "Invalid index file (stream kind)";
        return false;
    }
    frame_ = av_frame_alloc();
    received_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!frame_ || !received_ || !packet_ || !resetCodec()) {
        error_ = "Cannot start the MPEG decoder";
        return false;
    }
    return true;
}

bool MpegDecoder::resetCodec() {
    if (parser_) av_parser_close(parser_);
    const AVCodecID id = header_.mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO;
    parser_ = av_parser_init(id);
    if (!dec_) {
        const AVCodec* codec = avcodec_find_decoder(id);
        if (!codec || !(dec_ = avcodec_alloc_context3(codec))) return false;
        dec_->thread_count = 1;
        if (avcodec_open2(dec_, codec, nullptr) < 0) return false;
    } else {
        avcodec_flush_buffers(dec_);
    }
    return parser_ != nullptr;
}

bool MpegDecoder::locate(int64_t offset, uint8_t code, int skip, int zerosBefore) {
    reader_.seek(offset);
    input_.clear();
    inputPos_ = 0;
    StartCodeScanner scanner(zerosBefore);
    MpegChunk c;
    size_t searched = 0;
    while (searched < kSearchLimit && reader_.next(c)) {
        searched += c.size;
        for (size_t i = scanner.find(c.data, c.size, 0); i < c.size; i = scanner.find(c.data, c.size, i + 1)) {
            if (c.data[i] != code || skip-- > 0) continue;
            static const uint8_t prefix[] = {0, 0, 1};
            input_.assign(prefix, prefix + 3);
            input_.insert(input_.end(), c.data + i, c.data + c.size);
            return true;
        }
    }
    return false;
}

bool MpegDecoder::captureSequenceHeader(int64_t offset, int skip, int zerosBefore, std::vector<uint8_t>& out) {
    if (!locate(offset, startcode::kSequenceHeader, skip, zerosBefore)) return false;
    MpegChunk c;
    while (input_.size() < kSequenceHeaderMax && reader_.next(c)) input_.insert(input_.end(), c.data, c.data + c.size);
    // The header ends at the first start code that is not one of its extensions.
    size_t end = std::min(input_.size(), kSequenceHeaderMax);
    for (size_t i = 4; i + 3 < end; ++i) {
        if (input_[i] == 0 && input_[i + 1] == 0 && input_[i + 2] == 1 && input_[i + 3] != startcode::kExtension &&
            input_[i + 3] != startcode::kUserData) {
            end = i;
            break;
        }
    }
    out.assign(input_.begin(), input_.begin() + end);
    input_.clear();
    return out.size() >= 12;
}

bool MpegDecoder::seekToGroup(int group) {
    ++seeks_;
    live_ = false;
    held_ = lastOut_ = -1;
    const MpegGroup& g = index_.groups[size_t(group)];
    std::vector<uint8_t> sequence;
    if (g.sequenceOffset < 0 || !captureSequenceHeader(g.sequenceOffset, g.sequenceSameOffset, 1, sequence))
        sequence = firstSequence_;
    if (!resetCodec() || !locate(g.offset, startcode::kGroup, g.sameOffset, 1)) return false;
    input_.insert(input_.begin(), sequence.begin(), sequence.end());
    coded_ = groupFirst_ = g.first;
    feedGroup_ = group - 1;  // the group's own header moves it on
    ended_ = false;
    live_ = true;
    return true;
}

bool MpegDecoder::receiveFrames() {
    // Once the target is out, later pictures wait in the decoder for the
    // next request.
    while (!found_) {
        int r = avcodec_receive_frame(dec_, received_);
        if (r == AVERROR(EAGAIN)) return true;
        if (r < 0) return false;
        int64_t pts = received_->pts != AV_NOPTS_VALUE ? received_->pts : received_->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE || pts < lastOut_ || pts > INT32_MAX) {
            av_frame_unref(received_);
            continue;
        }
        lastOut_ = int32_t(pts);
        if (lastOut_ == target_ && !found_) {
            std::swap(frame_, received_);
            held_ = lastOut_;
            found_ = true;
        } else if (lastOut_ > target_ && !found_) {
            passed_ = true;
        }
        av_frame_unref(received_);
    }
    return true;
}

bool MpegDecoder::sendPicture(const uint8_t* data, size_t size) {
    // Number the picture in display order from its temporal reference, and
    // keep the group and stream counts as the index does.
    int32_t display = -1;
    int type = 0;
    StartCodeScanner scanner;
    for (size_t i = scanner.find(data, size, 0); i < size; i = scanner.find(data, size, i + 1)) {
        if (data[i] == startcode::kGroup) {
            groupFirst_ = coded_;
            ++feedGroup_;
        } else if (data[i] == startcode::kPicture && i + 2 < size) {
            type = (data[i + 2] >> 3) & 7;
            if (type >= 1 && type <= 3) {
                display = groupFirst_ + (int32_t(data[i + 1]) << 2 | data[i + 2] >> 6);
                ++coded_;
            }
        }
    }
    if (display < 0) return true;
    // B pictures before the target are never anyone's reference: skip them.
    if (type == kTypeB && display < target_) return true;
    if (av_new_packet(packet_, int(size)) < 0) return false;
    ++decoded_;
    std::memcpy(packet_->data, data, size);
    packet_->pts = display;
    int r = avcodec_send_packet(dec_, packet_);
    av_packet_unref(packet_);
    if (r == AVERROR(EAGAIN)) {
        if (!receiveFrames()) return false;
        return true;
    }
    // A damaged picture is dropped; the pictures after it go on.
    return receiveFrames();
}

bool MpegDecoder::decodeTo(int32_t target) {
    target_ = target;
    found_ = passed_ = false;
    if (!receiveFrames()) return false;
    while (!found_ && !passed_ && !ended_) {
        if (inputPos_ >= input_.size()) {
            input_.clear();
            inputPos_ = 0;
            MpegChunk c;
            if (reader_.next(c)) {
                input_.assign(c.data, c.data + c.size);
            } else {
                // The end: the parser's last picture, then the decoder's.
                uint8_t* out = nullptr;
                int outSize = 0;
                av_parser_parse2(parser_, dec_, &out, &outSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
                if (outSize > 0) sendPicture(out, size_t(outSize));
                avcodec_send_packet(dec_, nullptr);
                receiveFrames();
                ended_ = true;
                break;
            }
        }
        while (inputPos_ < input_.size() && !found_ && !passed_) {
            uint8_t* out = nullptr;
            int outSize = 0;
            const int used = av_parser_parse2(parser_, dec_, &out, &outSize, input_.data() + inputPos_,
                                              int(input_.size() - inputPos_), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (used < 0) return false;
            inputPos_ += size_t(used);
            if (outSize > 0 && !sendPicture(out, size_t(outSize))) return false;
        }
    }
    return found_;
}

std::unique_ptr<uint32_t[]> MpegDecoder::picture(int32_t n) {
    if (!dec_ || n < 0 || n >= index_.max) return nullptr;
    if (live_ && held_ == n) return convert();
    const int group = index_.groupOf(n);
    if (group < 0) return nullptr;
    const bool forward = live_ && n > lastOut_ && group >= feedGroup_ - 1 && group <= feedGroup_ + 1;
    if (forward && decodeTo(n)) return convert();
    // A jump, or a picture the forward decoding could not reach.
    if (!seekToGroup(group)) return nullptr;
    if (decodeTo(n)) return convert();
    // Pictures shown before their group's first key picture need the group
    // before it.
    if (passed_ && group > 0 && seekToGroup(group - 1) && decodeTo(n)) return convert();
    return nullptr;
}

std::unique_ptr<uint32_t[]> MpegDecoder::convert() {
    const int fw = frame_->width, fh = frame_->height;
    const int w = header_.width, h = header_.height;
    if (fw <= 0 || fh <= 0 || !frame_->data[0]) return nullptr;
    sws_ = sws_getCachedContext(sws_, fw, fh, AVPixelFormat(frame_->format), w, h, AV_PIX_FMT_BGRA, SWS_BILINEAR,
                                nullptr, nullptr, nullptr);
    if (!sws_) return nullptr;
    // swscale may write whole vector widths past a row's end: rows whose
    // length is such a width go straight into the block (with room after
    // its last row), others through a padded buffer. MPEG pictures carry no
    // alpha, so swscale makes them opaque itself.
    const int stride = (w * 4 + 63) / 64 * 64;
    const size_t pixels = size_t(w) * size_t(h);
    auto block = std::make_unique<uint32_t[]>(pixels + 16);
    const bool direct = stride == w * 4;
    if (!direct) scratch_.resize(size_t(stride) * size_t(h) + 64);
    uint8_t* dst[4] = {direct ? reinterpret_cast<uint8_t*>(block.get()) : scratch_.data(), nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    if (sws_scale(sws_, frame_->data, frame_->linesize, 0, fh, dst, strides) <= 0) return nullptr;
    if (!direct)
        for (int y = 0; y < h; ++y)
            std::memcpy(block.get() + size_t(y) * size_t(w), scratch_.data() + size_t(y) * size_t(stride), size_t(w) * 4);
    return block;
}

}  // namespace tavlin
