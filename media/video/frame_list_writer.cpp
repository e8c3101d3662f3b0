#include "media/video/frame_list_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/paths.h"
#include "media/image/image_formats.h"
#include "media/video/block_index_coder.h"
#include "media/video/frame_scaler.h"
#include "media/video/mosaic_jpeg.h"
#include "media/video/ncrf_escape.h"

namespace tavlin {

namespace {

constexpr int32_t kDiffPatchWidth = 320;             // 40 blocks per row
constexpr int32_t kDiffBlocksPerRow = kDiffPatchWidth / 8;

struct Entry {
    uint32_t sum;     // R+G+B over the block's pixels
    uint32_t record;  // the frame record the block belongs to
    uint32_t block;   // its index in that frame
    uint32_t position;
};

// A patch being filled: 8x8 cells side by side, row by row.
struct Patch {
    Image picture;
    std::vector<Entry> entries;
    std::string file;
    bool open = false;
};

void copyCell(const Image& src, int32_t sx, int32_t sy, Image& dst, int32_t dx, int32_t dy) {
    for (int32_t y = 0; y < 8 && sy + y < src.height && dy + y < dst.height; ++y) {
        const uint32_t* s = src.row(sy + y) + sx;
        uint32_t* d = dst.row(dy + y) + dx;
        const int32_t n = std::min({8, src.width - sx, dst.width - dx});
        std::memcpy(d, s, size_t(std::max(n, 0)) * 4);
    }
}

// |dR| + |dG| + |dB| summed over the block at (x0, y0), clipped to the
// frame; against nothing (null) it is the block's R+G+B.
uint32_t blockDifference(const Image& frame, const Image* reference, int32_t x0, int32_t y0) {
    const int32_t w = std::min(8, frame.width - x0), h = std::min(8, frame.height - y0);
#if defined(__SSE2__)
    if (w == 8) {
        // Eight pixels are two registers; the byte-wise absolute difference
        // sums of the colour bytes, with alpha masked out on both sides.
        const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
        __m128i total = _mm_setzero_si128();
        for (int32_t y = 0; y < h; ++y) {
            const auto* a = reinterpret_cast<const __m128i*>(frame.row(y0 + y) + x0);
            const __m128i a0 = _mm_and_si128(_mm_loadu_si128(a), colour);
            const __m128i a1 = _mm_and_si128(_mm_loadu_si128(a + 1), colour);
            __m128i b0 = _mm_setzero_si128(), b1 = _mm_setzero_si128();
            if (reference) {
                const auto* b = reinterpret_cast<const __m128i*>(reference->row(y0 + y) + x0);
                b0 = _mm_and_si128(_mm_loadu_si128(b), colour);
                b1 = _mm_and_si128(_mm_loadu_si128(b + 1), colour);
            }
            total = _mm_add_epi64(total, _mm_add_epi64(_mm_sad_epu8(a0, b0), _mm_sad_epu8(a1, b1)));
        }
        return uint32_t(_mm_cvtsi128_si32(total)) + uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(total, 8)));
    }
#endif
    uint32_t sum = 0;
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t* a = frame.row(y0 + y) + x0;
        const uint32_t* b = reference ? reference->row(y0 + y) + x0 : nullptr;
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = a[x], q = b ? b[x] : 0;
            sum += uint32_t(std::abs(int(p >> 16 & 0xFF) - int(q >> 16 & 0xFF)) +
                            std::abs(int(p >> 8 & 0xFF) - int(q >> 8 & 0xFF)) + std::abs(int(p & 0xFF) - int(q & 0xFF)));
        }
    }
    return sum;
}

// The block index stream, which grows with the length of the video: its
// values are counted as they come (the coder's tree needs every count before
// the first value is coded) and, past a small start, kept as 16-bit values in
// an unlinked file beside the list, so memory stays the same however long the
// video is.
class IndexStream {
public:
    explicit IndexStream(std::string spillPath) : spillPath_(std::move(spillPath)), counts_(BlockIndexCoder::kLimit, 0) {}
    ~IndexStream() {
        if (file_) std::fclose(file_);
    }
    IndexStream(const IndexStream&) = delete;
    IndexStream& operator=(const IndexStream&) = delete;

    // Values must lie below the coder's limit.
    void push(uint32_t value) {
        ++counts_[value];
        ++total_;
        buffer_.push_back(uint16_t(value));
        if (buffer_.size() >= kHeld) spill();
    }
    bool empty() const { return total_ == 0; }
    bool failed() const { return failed_; }
    const std::string& why() const { return why_; }
    std::span<const uint64_t> counts() const { return counts_; }

    // Hands every value to `take`, in order; false when the spilled part
    // cannot be read back.
    template <class Take>
    bool replay(Take take) {
        if (failed_) return false;
        if (file_) {
            std::vector<uint16_t> chunk(kHeld);
            if (std::fseek(file_, 0, SEEK_SET) != 0) return failWith("the block index cannot be read back");
            for (uint64_t left = spilled_; left > 0;) {
                const size_t n = size_t(std::min<uint64_t>(left, chunk.size()));
                if (std::fread(chunk.data(), sizeof(uint16_t), n, file_) != n)
                    return failWith("the block index cannot be read back");
                for (size_t i = 0; i < n; ++i) take(chunk[i]);
                left -= n;
            }
        }
        for (uint16_t v : buffer_) take(v);
        return true;
    }

private:
    static constexpr size_t kHeld = size_t(1) << 18;  // values held before they go to the file

    bool failWith(const std::string& why) {
        if (!failed_) why_ = why;
        failed_ = true;
        return false;
    }
    void spill() {
        if (failed_) {
            buffer_.clear();
            return;
        }
        if (!file_) {
            file_ = std::fopen(spillPath_.c_str(), "w+b");
            if (!file_) {
                failWith(spillPath_ + " cannot be created: " + std::strerror(errno));
                return;
            }
            // Gone from the folder at once; the open file lives until closed.
            std::remove(spillPath_.c_str());
        }
        if (std::fwrite(buffer_.data(), sizeof(uint16_t), buffer_.size(), file_) != buffer_.size()) {
            failWith("the block index cannot be kept: " + std::string(std::strerror(errno)));
            return;
        }
        spilled_ += buffer_.size();
        buffer_.clear();
    }

    std::string spillPath_;
    std::FILE* file_ = nullptr;
    std::vector<uint16_t> buffer_;
    std::vector<uint64_t> counts_;
    uint64_t total_ = 0, spilled_ = 0;
    bool failed_ = false;
    std::string why_;
};

// Writes the wrapped text of a frame list piece by piece.
class WrappedOutput {
public:
    explicit WrappedOutput(std::FILE* file) : file_(file) {
        buffer_.assign(NcrfEscape::kPrefix, NcrfEscape::kPrefix + 4);
    }
    void write(std::span<const uint8_t> bytes) {
        NcrfEscape::escape(bytes, buffer_);
        if (buffer_.size() >= (size_t(1) << 16)) flush();
    }
    void write(const std::string& text) {
        write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
    // False when any byte could not be written.
    bool flush() {
        ok_ = ok_ && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
        buffer_.clear();
        return ok_;
    }

private:
    std::FILE* file_;
    std::vector<uint8_t> buffer_;
    bool ok_ = true;
};

// Reads and scales the flagged frames on a thread of its own, a few frames
// ahead of the writer, so decoding and scaling overlap with the change masks
// and JPEG coding. Frames come out in timeline order.
class FrameFeed {
public:
    enum class Status { Ok, Missing, NoMemory };
    struct Item {
        int64_t index = -1;
        Status status = Status::Missing;
        Image scaled;
    };

    // `flags` as writeFrameList takes them; timeline frame i is source frame i * step.
    FrameFeed(VideoSource& source, int32_t width, int32_t height, std::span<const uint8_t> flags, int64_t frames,
              int64_t step)
        : source_(source), width_(width), height_(height), flags_(flags), frames_(frames), step_(step) {
        thread_ = std::thread([this] { produce(); });
    }
    ~FrameFeed() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    FrameFeed(const FrameFeed&) = delete;
    FrameFeed& operator=(const FrameFeed&) = delete;

    // The next flagged frame; its picture goes back with giveBack.
    Item next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !ready_.empty(); });
        Item item = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        return item;
    }
    void giveBack(Image&& picture) {
        std::lock_guard lock(mutex_);
        if (picture.width == width_ && picture.height == height_) spare_.push_back(std::move(picture));
    }

private:
    static constexpr size_t kAhead = 2;

    void produce() {
        FrameScaler scaler;
        for (int64_t i = 0; i < frames_; ++i) {
            if (size_t(i) >= flags_.size() || (flags_[size_t(i)] & 3) == 0) continue;
            Item item;
            item.index = i;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || ready_.size() < kAhead; });
                if (stopping_) return;
                if (!spare_.empty()) {
                    item.scaled = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            const Image* frame = source_.frameAt(int32_t(i * step_));
            if (frame && !frame->empty()) {
                item.status = Status::Ok;
                if (item.scaled.width != width_ || item.scaled.height != height_) item.scaled = Image(width_, height_);
                if (item.scaled.empty() || !scaler.scale(*frame, item.scaled)) {
                    auto s = scaleAveraged(*frame, width_, height_);
                    if (s) item.scaled = std::move(*s);
                    else item.status = Status::NoMemory;
                }
            }
            std::lock_guard lock(mutex_);
            ready_.push_back(std::move(item));
            changed_.notify_all();
        }
    }

    VideoSource& source_;
    const int32_t width_, height_;
    const std::span<const uint8_t> flags_;
    const int64_t frames_, step_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> ready_;
    std::vector<Image> spare_;
    bool stopping_ = false;
    std::thread thread_;
};

class Writer {
public:
    Writer(Progress& progress, const std::string& path, VideoSource& source, const FrameListWriteOptions& options,
           std::span<const uint8_t> flags)
        : progress_(progress), path_(path), source_(source), o_(options), flags_(flags) {
        const std::filesystem::path p(path);
        folder_ = p.parent_path().string();
        stem_ = p.stem().string();
        perRow_ = (o_.width + 7) / 8;
        rows_ = (o_.height + 7) / 8;
        jpeg_.quality = std::clamp(o_.jpegQuality, 1, 100);
    }

    bool run(std::string& error);

private:
    bool failWith(std::string& error, const std::string& why) {
        if (error.empty()) error = why;
        return false;
    }
    std::string name(char letter, int32_t record) const {
        return stem_ + letter + std::to_string(record) + ".jpg";
    }
    bool writeJpeg(const std::string& file, const Image& picture, std::string& error, bool mosaic = true) {
        const std::string target = joinPath(folder_, file);
        if (mosaic ? writeMosaicJpeg(target, picture, jpeg_.quality) : jpeg_.write(target, picture)) return true;
        return failWith(error, file + " cannot be written");
    }
    void collect(const Image& frame, Patch& patch, uint32_t record, const std::vector<uint8_t>* changed);
    // The patch's cells in descending order of their sums, and the entries in that order.
    Image ordered(const Image& picture, std::vector<Entry>& entries) const;
    bool flushDifference(std::string& error);
    void changedBlocks(const Image& frame, const Image& reference, std::vector<uint8_t>& changed);

    Progress& progress_;
    std::string path_;
    VideoSource& source_;
    FrameListWriteOptions o_;
    std::span<const uint8_t> flags_;
    std::string folder_, stem_;
    int32_t perRow_ = 0, rows_ = 0;
    JpegFormat jpeg_;
    std::string lines_;
    std::unique_ptr<IndexStream> stream_;
    Patch diff_;
    std::vector<uint32_t> sums_, widened_;
};

void Writer::collect(const Image& frame, Patch& patch, uint32_t record, const std::vector<uint8_t>* changed) {
    const int32_t patchPerRow = patch.picture.width / 8;
    for (int32_t by = 0; by < rows_; ++by) {
        for (int32_t bx = 0; bx < perRow_; ++bx) {
            const uint32_t block = uint32_t(by * perRow_ + bx);
            if (changed && !(*changed)[block]) continue;
            const int32_t x0 = bx * 8, y0 = by * 8;
            if ((frame.at(x0, y0) >> 24) == 0) continue;
            const uint32_t k = uint32_t(patch.entries.size());
            while (int64_t(k / uint32_t(patchPerRow)) * 8 >= patch.picture.height) {
                Image taller(patch.picture.width, patch.picture.height * 2);
                std::memcpy(taller.pixels.data(), patch.picture.pixels.data(), patch.picture.pixels.size() * 4);
                patch.picture = std::move(taller);
            }
            const uint32_t sum = blockDifference(frame, nullptr, x0, y0);
            copyCell(frame, x0, y0, patch.picture, int32_t(k % uint32_t(patchPerRow)) * 8,
                     int32_t(k / uint32_t(patchPerRow)) * 8);
            patch.entries.push_back({sum, record, block, k});
        }
    }
}

Image Writer::ordered(const Image& picture, std::vector<Entry>& entries) const {
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.sum > b.sum; });
    Image out(picture.width, picture.height);
    const uint32_t perRow = uint32_t(picture.width / 8);
    for (uint32_t k = 0; k < entries.size(); ++k) {
        const uint32_t from = entries[k].position;
        copyCell(picture, int32_t(from % perRow) * 8, int32_t(from / perRow) * 8, out, int32_t(k % perRow) * 8,
                 int32_t(k / perRow) * 8);
    }
    return out;
}

bool Writer::flushDifference(std::string& error) {
    diff_.open = false;
    std::vector<Entry>& entries = diff_.entries;
    const size_t n = entries.size();
    if (n >= BlockIndexCoder::kLimit) return failWith(error, "a difference patch holds too many blocks");
    bool ok;
    if (n == 0) {
        ok = writeJpeg(diff_.file, Image(1, 1), error);
    } else {
        const int32_t height = int32_t((n + kDiffBlocksPerRow - 1) / kDiffBlocksPerRow) * 8;
        diff_.picture.pixels.resize(size_t(diff_.picture.width) * size_t(height));
        diff_.picture.height = height;
        ok = writeJpeg(diff_.file, ordered(diff_.picture, entries), error);
    }
    stream_->push(uint32_t(n));
    for (const Entry& e : entries) {
        stream_->push(e.record);
        stream_->push(e.block);
    }
    entries.clear();
    return ok;
}

// A block counts as changed when it, or one of its eight neighbours, differs
// from the reference by at least 96 * (100 - quality) summed over its pixels
// and channels.
void Writer::changedBlocks(const Image& frame, const Image& reference, std::vector<uint8_t>& changed) {
    sums_.resize(size_t(perRow_) * size_t(rows_));
    for (int32_t by = 0; by < rows_; ++by)
        for (int32_t bx = 0; bx < perRow_; ++bx)
            sums_[size_t(by) * size_t(perRow_) + size_t(bx)] = blockDifference(frame, &reference, bx * 8, by * 8);
    widened_.assign(sums_.size(), 0);
    for (int32_t by = 0; by < rows_; ++by)
        for (int32_t bx = 0; bx < perRow_; ++bx) {
            uint32_t most = 0;
            for (int32_t y = std::max(by - 1, 0); y <= std::min(by + 1, rows_ - 1); ++y)
                for (int32_t x = std::max(bx - 1, 0); x <= std::min(bx + 1, perRow_ - 1); ++x)
                    most = std::max(most, sums_[size_t(y) * size_t(perRow_) + size_t(x)]);
            widened_[size_t(by) * size_t(perRow_) + size_t(bx)] = most;
        }
    const int64_t threshold = int64_t(96) * (100 - o_.diffQuality);
    changed.resize(sums_.size());
    for (size_t i = 0; i < sums_.size(); ++i) changed[i] = int64_t(widened_[i]) >= threshold;
}

bool Writer::run(std::string& error) {
    if (o_.width <= 0 || o_.height <= 0 || !imageSizeAllowed(o_.width, o_.height))
        return failWith(error, "the size to write is not usable");
    if (int64_t(perRow_) * rows_ >= BlockIndexCoder::kLimit)
        return failWith(error, "a frame of this size has too many blocks for a frame list");
    // The list goes to a file beside the target and replaces it only once whole.
    const std::string temp = path_ + ".tavlin-" + std::to_string(::getpid()) + ".tmp";
    stream_ = std::make_unique<IndexStream>(path_ + ".tavlin-" + std::to_string(::getpid()) + ".index");
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) return failWith(error, path_ + " cannot be created: " + std::strerror(errno));

    const int64_t count = std::max(source_.frameCount, 0);
    const int64_t step = int64_t(std::max(o_.skip, 0)) + 1;
    const int64_t frames = (count + step - 1) / step;
    int64_t flagged = 0;
    auto code = [&](int64_t i) { return size_t(i) < flags_.size() ? flags_[size_t(i)] & 3 : 0; };
    for (int64_t i = 0; i < frames; ++i) flagged += code(i) != 0;
    progress_.begin(o_.title);

    const int32_t diffHeight = std::max(o_.diffSumHeight, 8);
    Image reference;
    bool haveReference = false;
    std::vector<uint8_t> changed;
    int64_t record = 0;
    bool ok = true;
    FrameFeed feed(source_, o_.width, o_.height, flags_, frames, step);
    for (int64_t i = 0; i < frames && ok; ++i) {
        if (!progress_.update(record, flagged)) {
            ok = failWith(error, "stopped");
            break;
        }
        const int c = code(i);
        if (c == 0) continue;
        FrameFeed::Item item = feed.next();
        if (item.status == FrameFeed::Status::Missing) continue;
        if (diff_.open && (c != 3 || diff_.picture.height > diffHeight)) {
            if (!flushDifference(error)) {
                ok = false;
                break;
            }
        }
        if (item.status == FrameFeed::Status::NoMemory) {
            ok = failWith(error, "not enough memory to scale a frame");
            break;
        }
        const Image& scaled = item.scaled;
        const std::string index = std::to_string(i);
        if (c == 1) {
            const std::string file = name('n', int32_t(record));
            ok = writeJpeg(file, scaled, error, false);
            lines_ += "N " + index + " " + file + "\n";
            reference = scaled;
            haveReference = true;
        } else if (c == 2 || !haveReference) {
            Patch key;
            key.picture = Image(perRow_ * 8, rows_ * 8);
            collect(scaled, key, uint32_t(record), nullptr);
            const std::string file = name('s', int32_t(record));
            ok = writeJpeg(file, ordered(key.picture, key.entries), error);
            lines_ += "S " + index + " " + file + "\n";
            stream_->push(uint32_t(key.entries.size()));
            for (const Entry& e : key.entries) stream_->push(e.block);
            reference = scaled;
            haveReference = true;
        } else {
            if (record >= BlockIndexCoder::kLimit) {
                ok = failWith(error, "too many frames for the block index");
                break;
            }
            if (!diff_.open) {
                diff_.open = true;
                diff_.picture = Image(kDiffPatchWidth, diffHeight);
                diff_.file = name('d', int32_t(record));
                lines_ += "D " + index + " " + diff_.file + "\n";
            } else {
                lines_ += "d " + index + "\n";
            }
            changedBlocks(scaled, reference, changed);
            collect(scaled, diff_, uint32_t(record), &changed);
            // The reference becomes what the viewer will show.
            for (int32_t by = 0; by < rows_; ++by)
                for (int32_t bx = 0; bx < perRow_; ++bx)
                    if (changed[size_t(by * perRow_ + bx)]) copyCell(scaled, bx * 8, by * 8, reference, bx * 8, by * 8);
        }
        feed.giveBack(std::move(item.scaled));
        if (ok) ++record;
    }
    if (diff_.open && !flushDifference(error)) ok = false;
    progress_.update(flagged, flagged);

    WrappedOutput wrapped(out);
    wrapped.write(std::to_string(o_.width) + " " + std::to_string(o_.height) + " " + std::to_string(frames) + " " +
                  std::to_string(record) + "\n" + lines_);
    if (stream_->failed()) {
        ok = failWith(error, stream_->why());
    } else if (!stream_->empty()) {
        BlockIndexCoder::Encoder coder;
        if (coder.start(stream_->counts())) {
            wrapped.write("C\n");
            uint32_t sinceTaken = 0;
            const bool replayed = stream_->replay([&](uint32_t v) {
                coder.put(v);
                if (++sinceTaken == 4096) {
                    wrapped.write(coder.take(false));
                    sinceTaken = 0;
                }
            });
            wrapped.write(coder.take(true));
            if (!replayed) ok = failWith(error, stream_->why());
        } else {
            ok = failWith(error, "the block index cannot be coded");
        }
    }
    bool written = wrapped.flush();
    written = std::fflush(out) == 0 && written;
    written = std::fclose(out) == 0 && written;
    if (!written || std::rename(temp.c_str(), path_.c_str()) != 0) {
        std::remove(temp.c_str());
        ok = failWith(error, path_ + " cannot be written");
    }
    progress_.end();
    return ok;
}

}  // namespace

int32_t diffSumHeight(const std::string* text) {
    if (!text) return kDefaultDiffSumHeight;
    int64_t v = 0;
    const char* b = text->data();
    while (b < text->data() + text->size() && (*b == ' ' || *b == '\t')) ++b;
    auto [end, ec] = std::from_chars(b, text->data() + text->size(), v);
    if (ec != std::errc() || end == b || v <= 0) return kDefaultDiffSumHeight;
    v = std::min<int64_t>(v, 1 << 20);
    return int32_t((v + 7) / 8 * 8);
}

bool writeFrameList(Progress& progress, const std::string& path, VideoSource& source,
                    const FrameListWriteOptions& options, std::span<const uint8_t> flags, std::string* error) {
    std::string why;
    Writer writer(progress, path, source, options, flags);
    const bool ok = writer.run(why);
    if (error) *error = why;
    return ok;
}

}  // namespace tavlin
