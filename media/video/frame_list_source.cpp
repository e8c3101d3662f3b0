#include "media/video/frame_list_source.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "base/paths.h"
#include "media/video/block_index_coder.h"
#include "media/video/ncrf_escape.h"

namespace tavlin {

namespace {

constexpr int32_t kMaxSide = 10000;       // W, H and R of the header
constexpr size_t kMaxLine = 2047;         // characters of one line
constexpr int32_t kReducedWidth = 720;    // full pictures wider than this are reduced

// Lines of the unwrapped list, ended by a line feed; a carriage return before
// it is not part of the line.
class LineReader {
public:
    explicit LineReader(std::span<const uint8_t> data) : data_(data) {}
    // Nothing at the end of the data or for an over-long line.
    std::optional<std::string_view> next() {
        if (pos_ >= data_.size()) return std::nullopt;
        const char* start = reinterpret_cast<const char*>(data_.data()) + pos_;
        const void* nl = std::memchr(start, '\n', data_.size() - pos_);
        size_t len = nl ? size_t(static_cast<const char*>(nl) - start) : data_.size() - pos_;
        pos_ += len + (nl ? 1 : 0);
        if (len > 0 && start[len - 1] == '\r') --len;
        if (len > kMaxLine) return std::nullopt;
        return std::string_view(start, len);
    }
    size_t position() const { return pos_; }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

void skipSpaces(std::string_view s, size_t& i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
}

// A decimal integer (optional sign) in int32 range at s[i], as %d reads it.
bool readInt(std::string_view s, size_t& i, int32_t& out) {
    skipSpaces(s, i);
    size_t j = i;
    if (j < s.size() && s[j] == '+') ++j;
    int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data() + j, s.data() + s.size(), v);
    if (ec != std::errc() || v < INT32_MIN || v > INT32_MAX) return false;
    out = int32_t(v);
    i = size_t(end - s.data());
    return true;
}

// How many 8x8 cells a patch picture holds (clipped cells count).
uint64_t patchCapacity(const Image& patch) {
    return uint64_t((patch.width + 7) / 8) * uint64_t((patch.height + 7) / 8);
}

// Copies `src` into `dst` (same size) or fits it: cropped, or padded with
// transparent pixels on the right and bottom.
void fitInto(const Image& src, Image& dst) {
    if (src.width == dst.width && src.height == dst.height) {
        dst.pixels = src.pixels;
        return;
    }
    for (int32_t y = 0; y < dst.height; ++y) {
        uint32_t* row = dst.row(y);
        for (int32_t x = 0; x < dst.width; ++x) row[x] = src.contains(x, y) ? src.at(x, y) : 0u;
    }
}

}  // namespace

bool FrameListSource::fail(const std::string& why) {
    error_ = why;
    records_.clear();
    current = Image();
    return false;
}

bool FrameListSource::load(const std::string& path) {
    records_.clear();
    error_.clear();
    renderedRecord_ = -1;
    auto raw = readFileBytes(path);
    if (!raw) return fail("cannot be opened");
    const std::vector<uint8_t> data = NcrfEscape::unwrap(*raw);
    const std::string folder = std::filesystem::path(path).parent_path().string();

    LineReader lines(data);
    auto header = lines.next();
    if (!header || header->empty() || header->front() < '0' || header->front() > '9')
        return fail("is not a frame list (no header line)");
    int32_t w = 0, h = 0, f = 0, r = 0;
    size_t i = 0;
    if (!readInt(*header, i, w) || !readInt(*header, i, h) || !readInt(*header, i, f) || !readInt(*header, i, r))
        return fail("has a malformed header line");
    if (w < 0 || w > kMaxSide || h < 0 || h > kMaxSide || r < 0 || r > kMaxSide)
        return fail("declares a size or record count out of range");
    if (f < 0) return fail("declares a negative frame count");
    width_ = w;
    height_ = h;
    frameCount = f;
    frameRate = 0;
    blocksPerRow_ = (w + 7) / 8;
    blockRows_ = (h + 7) / 8;
    blockCount_ = int64_t(blocksPerRow_) * blockRows_;

    records_.reserve(size_t(r));
    int32_t lastKey = -1;
    for (int32_t n = 0; n < r; ++n) {
        auto line = lines.next();
        if (!line || line->empty()) return fail("ends before its frame line " + std::to_string(n));
        FrameRecord rec;
        rec.type = line->front();
        if (std::strchr("NSDd", rec.type) == nullptr || rec.type == '\0')
            return fail("has an unknown frame type in line " + std::to_string(n + 2));
        size_t j = 1;
        if (!readInt(*line, j, rec.frame)) return fail("has no frame index in line " + std::to_string(n + 2));
        if (rec.type != 'd') {
            skipSpaces(*line, j);
            rec.file = std::string(line->substr(j));
            if (rec.file.empty()) return fail("names no file in line " + std::to_string(n + 2));
            const std::string picturePath = rec.file.front() == '/' ? rec.file : joinPath(folder, rec.file);
            rec.picture = readImage(picturePath);
            if (!rec.picture) return fail("names a picture that cannot be read: " + rec.file);
            if (rec.type == 'N' && rec.picture->width > kReducedWidth) {
                for (int32_t k = 2; k <= 9; ++k) {
                    if (rec.picture->width / k > kReducedWidth) continue;
                    auto reduced = scaleAveraged(*rec.picture, rec.picture->width / k, rec.picture->height / k);
                    if (reduced) rec.picture = std::move(reduced);
                    break;
                }
            }
            // Block positions address a key patch by its own width; one wider
            // than the frame's block grid cannot belong to this frame.
            if (rec.type == 'S' && rec.picture->width > blocksPerRow_ * 8)
                return fail("has a key patch wider than its frames: " + rec.file);
        }
        if (rec.type == 'N' || rec.type == 'S') {
            lastKey = n;
        } else {
            if (lastKey < 0) return fail("has a difference frame before any full or key frame");
            rec.key = lastKey;
        }
        records_.push_back(std::move(rec));
    }
    current = Image(w, h);

    auto tail = lines.next();
    if (tail && !tail->empty() && tail->front() == 'C') {
        std::span<const uint8_t> stream(data.data() + lines.position(), data.size() - lines.position());
        BlockIndexCoder::Reader reader;
        std::string why;
        if (!reader.start(stream, &why)) return fail(why);
        for (int32_t n = 0; n < r; ++n) {
            FrameRecord& rec = records_[size_t(n)];
            if (rec.type != 'S' && rec.type != 'D') continue;
            auto count = reader.next();
            if (!count) return fail("has a block index stream that ends too soon");
            if (*count > patchCapacity(*rec.picture))
                return fail("lists more blocks than the patch holds: " + rec.file);
            for (uint32_t k = 0; k < *count; ++k) {
                int32_t owner = n;
                if (rec.type == 'D') {
                    auto a = reader.next();
                    if (!a) return fail("has a block index stream that ends too soon");
                    // A patch holds blocks of its own record and the d records after it.
                    bool inGroup = int64_t(*a) == n;
                    for (int32_t m = n + 1; !inGroup && m < r && records_[size_t(m)].type == 'd'; ++m)
                        inGroup = int64_t(*a) == m;
                    if (!inGroup) return fail("has a block of record " + std::to_string(*a) + " in the patch of record " + std::to_string(n));
                    owner = int32_t(*a);
                }
                auto block = reader.next();
                if (!block) return fail("has a block index stream that ends too soon");
                if (int64_t(*block) >= blockCount_) return fail("has a block index out of range");
                records_[size_t(owner)].blocks.push_back({*block, k, n});
            }
        }
    }

    // Key records become whole frames, each built over the one before.
    for (FrameRecord& rec : records_) {
        if (rec.type != 'S') continue;
        for (const Block& b : rec.blocks) putBlock(*rec.picture, b.position, b.block);
        rec.blocks.clear();
        rec.picture = std::make_unique<Image>(current);
    }
    return true;
}

void FrameListSource::putBlock(const Image& patch, uint32_t position, uint32_t block) {
    const uint32_t perRow = uint32_t((patch.width + 7) / 8);
    if (perRow == 0 || blocksPerRow_ == 0) return;
    const int32_t sx = int32_t(position % perRow) * 8, sy = int32_t(position / perRow) * 8;
    const int32_t dx = int32_t(block % uint32_t(blocksPerRow_)) * 8, dy = int32_t(block / uint32_t(blocksPerRow_)) * 8;
    for (int32_t y = 0; y < 8; ++y) {
        if (sy + y >= patch.height || dy + y >= current.height) break;
        const uint32_t* src = patch.row(sy + y);
        uint32_t* dst = current.row(dy + y);
        for (int32_t x = 0; x < 8 && sx + x < patch.width && dx + x < current.width; ++x) dst[dx + x] = src[sx + x];
    }
}

const Image* FrameListSource::frameAt(int32_t index) {
    if (records_.empty()) return nullptr;
    size_t chosen = 0;
    while (chosen + 1 < records_.size() && records_[chosen + 1].frame <= index) ++chosen;
    const FrameRecord& rec = records_[chosen];
    if (rec.type == 'N' || rec.type == 'S') {
        if (rec.picture->width == width_ && rec.picture->height == height_) return rec.picture.get();
        fitInto(*rec.picture, current);
        renderedRecord_ = -1;
        return &current;
    }
    // A later difference frame of the same group continues from the one
    // already drawn.
    size_t from = size_t(rec.key) + 1;
    if (renderedRecord_ >= 0 && records_[size_t(renderedRecord_)].key == rec.key && size_t(renderedRecord_) <= chosen &&
        records_[size_t(renderedRecord_)].type != 'N') {
        from = size_t(renderedRecord_) + 1;
    } else {
        fitInto(*records_[size_t(rec.key)].picture, current);
    }
    for (size_t n = from; n <= chosen; ++n)
        for (const Block& b : records_[n].blocks) putBlock(*records_[size_t(b.owner)].picture, b.position, b.block);
    renderedRecord_ = int32_t(chosen);
    return &current;
}

std::unique_ptr<VideoSource> FrameListFormat::open(const std::string& path) {
    auto source = std::make_unique<FrameListSource>();
    if (!source->load(path)) return nullptr;
    return source;
}

}  // namespace tavlin
