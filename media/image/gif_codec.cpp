#include "media/image/gif_codec.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "base/byte_order.h"
#include "base/safe_write.h"

namespace tavlin::gif {

namespace {

constexpr int kMaxCodes = 4096;    // 12-bit codes
constexpr int kHashSize = 5003;    // encoder dictionary slots (prime, ~80% of 2^12.3)

bool isTransparent(uint32_t p) { return (p >> 24) == 0; }

// A small open-addressing map from 32-bit pixel values to palette indices.
class ColourIndex {
public:
    ColourIndex() { slots_.fill(-1); }
    int find(uint32_t v) const {
        for (uint32_t i = hash(v);; i = (i + 1) & kMask) {
            if (slots_[i] < 0) return -1;
            if (keys_[i] == v) return slots_[i];
        }
    }
    void insert(uint32_t v, int index) {
        uint32_t i = hash(v);
        while (slots_[i] >= 0) {
            if (keys_[i] == v) return;  // keep the first index of a value
            i = (i + 1) & kMask;
        }
        keys_[i] = v;
        slots_[i] = int16_t(index);
    }

private:
    static constexpr uint32_t kSlots = 1024, kMask = kSlots - 1;  // at most 256 used
    static uint32_t hash(uint32_t v) { return (v * 0x9E3779B1u) >> 22; }
    std::array<uint32_t, kSlots> keys_{};
    std::array<int16_t, kSlots> slots_{};
};

int channelDistance(uint32_t a, uint32_t b) {
    return std::abs(int(a >> 16 & 0xFF) - int(b >> 16 & 0xFF)) + std::abs(int(a >> 8 & 0xFF) - int(b >> 8 & 0xFF)) +
           std::abs(int(a & 0xFF) - int(b & 0xFF));
}

// Nearest-entry search. The colour cube is cut into 16x16x16 cells; for each
// cell that a pixel falls into we keep, once, the few entries that can be the
// nearest to any colour inside it (those whose least possible distance does
// not exceed the smallest greatest distance of any entry). Scanning only
// those, in palette order, gives exactly the answer of scanning all entries.
class NearestSearch {
public:
    explicit NearestSearch(const Palette& palette) : palette_(palette) {
        for (int k = 0; k < 256; ++k)
            if (!isTransparent(palette.entries[k])) usable_.push_back(uint8_t(k));
        // Nothing opaque to choose from: fall back to every entry.
        if (usable_.empty())
            for (int k = 0; k < 256; ++k) usable_.push_back(uint8_t(k));
        start_.fill(-1);
    }

    uint8_t nearest(uint32_t p) {
        const int cell = int(p >> 20 & 0xF) << 8 | int(p >> 12 & 0xF) << 4 | int(p >> 4 & 0xF);
        if (start_[cell] < 0) fillCell(cell);
        const uint8_t* c = candidates_.data() + start_[cell];
        const int n = count_[cell];
        int best = c[0], bestDist = channelDistance(p, palette_.entries[c[0]]);
        for (int i = 1; i < n && bestDist > 0; ++i) {
            int d = channelDistance(p, palette_.entries[c[i]]);
            if (d < bestDist) bestDist = d, best = c[i];
        }
        return uint8_t(best);
    }

private:
    void fillCell(int cell) {
        const int lo[3] = {(cell >> 8) * 16, (cell >> 4 & 0xF) * 16, (cell & 0xF) * 16};
        std::vector<std::pair<int, int>> bounds;  // least and greatest distance per usable entry
        bounds.reserve(usable_.size());
        int limit = INT32_MAX;
        for (uint8_t k : usable_) {
            const uint32_t e = palette_.entries[k];
            const int ev[3] = {int(e >> 16 & 0xFF), int(e >> 8 & 0xFF), int(e & 0xFF)};
            int dmin = 0, dmax = 0;
            for (int ch = 0; ch < 3; ++ch) {
                const int a = lo[ch], b = lo[ch] + 15;
                dmin += ev[ch] < a ? a - ev[ch] : (ev[ch] > b ? ev[ch] - b : 0);
                dmax += std::max(std::abs(a - ev[ch]), std::abs(b - ev[ch]));
            }
            bounds.emplace_back(dmin, dmax);
            limit = std::min(limit, dmax);
        }
        start_[cell] = int32_t(candidates_.size());
        for (size_t i = 0; i < usable_.size(); ++i)
            if (bounds[i].first <= limit) candidates_.push_back(usable_[i]);
        count_[cell] = uint16_t(candidates_.size() - size_t(start_[cell]));
    }

    const Palette& palette_;
    std::vector<uint8_t> usable_;
    std::vector<uint8_t> candidates_;
    std::array<int32_t, 4096> start_{};
    std::array<uint16_t, 4096> count_{};
};

// Bits packed least significant first, gathered into sub-blocks of up to 255 bytes.
class BlockWriter {
public:
    explicit BlockWriter(std::vector<uint8_t>& out) : out_(out) {}
    void put(uint32_t code, int width) {
        acc_ |= code << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            byte(uint8_t(acc_));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    void finish() {
        if (bits_ > 0) byte(uint8_t(acc_));
        acc_ = 0;
        bits_ = 0;
        flushBlock();
        out_.push_back(0);
    }

private:
    void byte(uint8_t b) {
        block_[len_++] = b;
        if (len_ == 255) flushBlock();
    }
    void flushBlock() {
        if (len_ == 0) return;
        out_.push_back(uint8_t(len_));
        out_.insert(out_.end(), block_, block_ + len_);
        len_ = 0;
    }
    std::vector<uint8_t>& out_;
    uint32_t acc_ = 0;
    int bits_ = 0;
    uint8_t block_[255];
    int len_ = 0;
};


}  // namespace

namespace {

// The palette in pixel order, and (when asked) each pixel's entry on the way.
// False when a 257th distinct value turns up.
bool buildExact(const Image& image, Palette& pal, std::vector<uint8_t>* indices) {
    ColourIndex seen;
    bool haveLast = false;
    uint32_t last = 0;
    uint8_t lastIndex = 0;
    if (indices) indices->resize(image.pixels.size());
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t p = image.pixels[i];
        if (!haveLast || p != last) {
            int k = seen.find(p);
            if (k < 0) {
                if (pal.count == 256) return false;
                k = pal.count++;
                seen.insert(p, k);
                pal.entries[k] = p;
            }
            haveLast = true;
            last = p;
            lastIndex = uint8_t(k);
        }
        if (indices) (*indices)[i] = lastIndex;
    }
    pal.exact = true;
    return true;
}

Palette popularityPalette(const Image& image) {
    Palette pal;
    std::vector<uint32_t> counts(4096, 0);
    for (uint32_t p : image.pixels)
        if (!isTransparent(p)) counts[(p >> 20 & 0xF) << 8 | (p >> 12 & 0xF) << 4 | (p >> 4 & 0xF)]++;
    std::vector<uint16_t> order(4096);
    for (int i = 0; i < 4096; ++i) order[i] = uint16_t(i);
    std::stable_sort(order.begin(), order.end(), [&](uint16_t a, uint16_t b) { return counts[a] > counts[b]; });
    int k = 0;
    if (image.transparent) pal.entries[k++] = 0;
    for (int i = 0; k < 256; ++i, ++k) {
        const uint32_t bin = order[i];
        pal.entries[k] = 0xFF000000u | (bin >> 8) << 20 | (bin >> 4 & 0xF) << 12 | (bin & 0xF) << 4;
    }
    pal.count = 256;
    return pal;
}

}  // namespace

Palette buildPalette(const Image& image) {
    Palette pal;
    if (buildExact(image, pal, nullptr)) return pal;
    return popularityPalette(image);
}

int firstTransparentEntry(const Palette& palette) {
    for (int k = 0; k < 256; ++k)
        if (isTransparent(palette.entries[k])) return k;
    return -1;
}

std::vector<uint8_t> mapToPalette(const Image& image, const Palette& palette) {
    std::vector<uint8_t> out(image.pixels.size());
    ColourIndex exact;
    for (int k = 0; k < 256; ++k) exact.insert(palette.entries[k], k);
    const int t = firstTransparentEntry(palette);
    const uint8_t transparentIndex = uint8_t(t < 0 ? 255 : t);
    std::unique_ptr<NearestSearch> search;
    // Answers remembered per distinct value (direct-mapped); a photograph
    // repeats most of its colours many times.
    constexpr uint32_t kCacheBits = 14;
    std::vector<uint32_t> cacheKey(1u << kCacheBits, 0);  // 0 is transparent, never looked up
    std::vector<uint8_t> cacheIndex(1u << kCacheBits, 0);

    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t p = image.pixels[i];
        if (isTransparent(p)) {
            out[i] = transparentIndex;
            continue;
        }
        const uint32_t slot = (p * 0x9E3779B1u) >> (32 - kCacheBits);
        if (cacheKey[slot] == p) {
            out[i] = cacheIndex[slot];
            continue;
        }
        uint8_t idx;
        if (int e = exact.find(p); e >= 0) {
            idx = uint8_t(e);
        } else {
            if (!search) search = std::make_unique<NearestSearch>(palette);
            idx = search->nearest(p);
        }
        cacheKey[slot] = p;
        cacheIndex[slot] = idx;
        out[i] = idx;
    }
    return out;
}

void compress(const uint8_t* indices, size_t count, int minCodeSize, std::vector<uint8_t>& out) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    int next = clear + 2, width = minCodeSize + 1;
    std::vector<int32_t> keys(kHashSize, -1);
    std::vector<uint16_t> codes(kHashSize, 0);
    BlockWriter bits(out);

    auto emit = [&](int code) {
        bits.put(uint32_t(code), width);
        if (next > (1 << width) - 1 && width < 12) width++;
    };

    emit(clear);
    int string = -1;
    for (size_t i = 0; i < count; ++i) {
        const int c = indices[i] & (clear - 1);
        if (string < 0) {
            string = c;
            continue;
        }
        const int32_t key = int32_t(string) << 8 | c;
        int h = (c << 4) ^ string;  // < 4096 < kHashSize
        const int disp = h == 0 ? 1 : kHashSize - h;
        bool found = false;
        while (keys[h] >= 0) {
            if (keys[h] == key) {
                found = true;
                break;
            }
            h -= disp;
            if (h < 0) h += kHashSize;
        }
        if (found) {
            string = codes[h];
            continue;
        }
        emit(string);
        if (next < kMaxCodes) {
            keys[h] = key;
            codes[h] = uint16_t(next++);
        } else {
            emit(clear);
            std::fill(keys.begin(), keys.end(), -1);
            next = clear + 2;
            width = minCodeSize + 1;
        }
        string = c;
    }
    if (string >= 0) emit(string);
    emit(end);
    bits.finish();
}

std::vector<uint8_t> encode(const Image& image) {
    std::vector<uint8_t> out;
    const int64_t w = image.width, h = image.height;
    // The format holds 16-bit sizes; a larger picture cannot be stored.
    if (w <= 0 || h <= 0 || w > 0xFFFF || h > 0xFFFF || image.pixels.size() != size_t(w) * size_t(h)) return out;

    Palette pal;
    std::vector<uint8_t> indices;
    if (buildExact(image, pal, &indices)) {
        // Transparent pixels all go to the first transparent entry.
        const int t = firstTransparentEntry(pal);
        uint8_t remap[256];
        bool identity = true;
        for (int k = 0; k < 256; ++k) {
            remap[k] = uint8_t(isTransparent(pal.entries[k]) ? t : k);
            identity = identity && remap[k] == k;
        }
        if (!identity)
            for (uint8_t& i : indices) i = remap[i];
    } else {
        pal = popularityPalette(image);
        indices = mapToPalette(image, pal);
    }
    const int b = 8;
    out.reserve(indices.size() / 2 + 1024);

    const char* sig = image.transparent ? "GIF89a" : "GIF87a";
    out.insert(out.end(), sig, sig + 6);
    appendLittle16(out, uint32_t(w));
    appendLittle16(out, uint32_t(h));
    out.push_back(uint8_t(0x80 | (b - 1) << 4 | (b - 1)));
    out.push_back(0);  // background
    out.push_back(0);  // aspect
    for (int k = 0; k < (1 << b); ++k) {
        const uint32_t e = k < pal.count ? pal.entries[k] : 0;
        out.push_back(uint8_t(e >> 16));
        out.push_back(uint8_t(e >> 8));
        out.push_back(uint8_t(e));
    }
    if (image.transparent) {
        // Name a transparent index only when the palette has one: naming an
        // opaque entry would make that colour vanish wherever it is used.
        const int t = firstTransparentEntry(pal);
        const uint8_t gce[] = {0x21, 0xF9, 0x04, uint8_t(t >= 0 ? 0x01 : 0x00), 0, 0, uint8_t(t >= 0 ? t : 0), 0};
        out.insert(out.end(), gce, gce + sizeof gce);
    }
    out.push_back(0x2C);
    appendLittle16(out, 0);
    appendLittle16(out, 0);
    appendLittle16(out, uint32_t(w));
    appendLittle16(out, uint32_t(h));
    out.push_back(0);
    const int minCode = std::max(2, b);
    out.push_back(uint8_t(minCode));
    compress(indices.data(), indices.size(), minCode, out);
    out.push_back(0x3B);
    return out;
}

bool write(const Image& image, const char* path) {
    const std::vector<uint8_t> bytes = encode(image);
    if (bytes.empty()) return false;
    return writeFileSafely(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())).ok();
}

namespace {

// Bytes from memory or from a file read in large pieces.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    explicit Reader(std::FILE* f) : file_(f), buf_(1 << 16) {}

    int get() {
        if (p_ == end_ && !refill()) return -1;
        return *p_++;
    }
    bool read(uint8_t* dst, size_t n) {
        while (n > 0) {
            if (p_ == end_ && !refill()) return false;
            size_t k = std::min(n, size_t(end_ - p_));
            std::memcpy(dst, p_, k);
            p_ += k;
            dst += k;
            n -= k;
        }
        return true;
    }

private:
    bool refill() {
        if (!file_) return false;
        size_t n = std::fread(buf_.data(), 1, buf_.size(), file_);
        if (n == 0) return false;
        p_ = buf_.data();
        end_ = p_ + n;
        return true;
    }
    std::FILE* file_ = nullptr;
    std::vector<uint8_t> buf_;
    const uint8_t* p_ = nullptr;
    const uint8_t* end_ = nullptr;
};

// Walks the pixel positions of the picture, in interlaced pass order when asked.
class PixelSink {
public:
    PixelSink(Image& img, bool interlaced, const uint32_t* colours)
        : img_(img), interlaced_(interlaced), colours_(colours), row_(img.row(0)) {}
    bool done() const { return done_; }
    void put(uint8_t index) {
        row_[x_] = colours_[index];
        if (++x_ < img_.width) return;
        x_ = 0;
        if (!interlaced_) {
            y_++;
        } else {
            static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            y_ += kStep[pass_];
            while (y_ >= img_.height && ++pass_ < 4) y_ = kStart[pass_];
        }
        if (y_ >= img_.height || pass_ >= 4) done_ = true;
        else row_ = img_.row(y_);
    }

private:
    Image& img_;
    bool interlaced_;
    const uint32_t* colours_;
    uint32_t* row_;
    int32_t x_ = 0, y_ = 0;
    int pass_ = 0;
    bool done_ = false;
};

// Decodes LZW codes from the sub-blocks into the sink. Stops quietly at the
// end code, at the end of the data, or at a code the table cannot explain.
void decompress(Reader& in, int minCodeSize, PixelSink& sink) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    int next = clear + 2, width = minCodeSize + 1;
    std::vector<uint16_t> prefix(kMaxCodes);
    std::vector<uint8_t> suffix(kMaxCodes), first(kMaxCodes);
    std::vector<uint8_t> stack(kMaxCodes + 1);
    for (int i = 0; i < clear; ++i) suffix[i] = first[i] = uint8_t(i);

    uint32_t acc = 0;
    int bits = 0, blockLeft = 0;
    bool dataEnded = false;
    auto readCode = [&]() -> int {
        while (bits < width) {
            if (blockLeft == 0) {
                int len = dataEnded ? -1 : in.get();
                if (len <= 0) {
                    dataEnded = true;
                    return -1;
                }
                blockLeft = len;
            }
            int b = in.get();
            if (b < 0) {
                dataEnded = true;
                return -1;
            }
            blockLeft--;
            acc |= uint32_t(b) << bits;
            bits += 8;
        }
        int code = int(acc & ((1u << width) - 1));
        acc >>= width;
        bits -= width;
        return code;
    };

    int prev = -1;
    while (!sink.done()) {
        const int code = readCode();
        if (code < 0 || code == end) return;
        if (code == clear) {
            next = clear + 2;
            width = minCodeSize + 1;
            prev = -1;
            continue;
        }
        if (prev < 0) {
            // The first code after a clear must be a single index; anything
            // else refers to an entry that does not exist yet.
            if (code >= clear) return;
            sink.put(uint8_t(code));
            prev = code;
            continue;
        }
        uint8_t firstIndex;
        if (code < next) firstIndex = first[code];
        else if (code == next && next < kMaxCodes) firstIndex = first[prev];
        else return;  // beyond the table
        if (next < kMaxCodes) {
            prefix[next] = uint16_t(prev);
            suffix[next] = firstIndex;
            first[next] = first[prev];
            next++;
            if (next == (1 << width) && width < 12) width++;
        }
        // Unwind the string; entries only ever point at older codes, but a
        // bound keeps a damaged table from looping.
        int n = 0;
        int c = code;
        while (c > end && n < kMaxCodes) {
            stack[n++] = suffix[c];
            if (prefix[c] == c) return;  // refers to itself
            c = prefix[c];
        }
        if (c > end) return;
        stack[n++] = uint8_t(c);
        while (n > 0 && !sink.done()) sink.put(stack[--n]);
        prev = code;
    }
}

std::unique_ptr<Image> decodeFrom(Reader& in) {
    uint8_t head[13];
    if (!in.read(head, 6)) return nullptr;
    if (std::memcmp(head, "GIF", 3) != 0 || (std::memcmp(head + 3, "87a", 3) != 0 && std::memcmp(head + 3, "89a", 3) != 0))
        return nullptr;
    if (!in.read(head, 7)) return nullptr;

    uint8_t table[256 * 3] = {};
    if (head[4] & 0x80) {
        if (!in.read(table, size_t(2 << (head[4] & 7)) * 3)) return nullptr;
    }

    int transparent = -1;
    uint8_t desc[9];
    for (;;) {
        const int c = in.get();
        if (c < 0 || c == ';') return nullptr;
        if (c == '!') {
            const int label = in.get();
            if (label < 0) return nullptr;
            bool firstBlock = true;
            for (;;) {
                const int len = in.get();
                if (len < 0) return nullptr;
                if (len == 0) break;
                uint8_t data[255];
                if (!in.read(data, size_t(len))) return nullptr;
                if (label == 0xF9 && firstBlock && len >= 4 && (data[0] & 1)) transparent = data[3];
                firstBlock = false;
            }
        } else if (c == ',') {
            if (!in.read(desc, 9)) return nullptr;
            if (desc[8] & 0x80) {
                if (!in.read(table, size_t(2 << (desc[8] & 7)) * 3)) return nullptr;
            }
            break;
        }
        // anything else between blocks is ignored
    }

    const int32_t w = desc[4] | desc[5] << 8, h = desc[6] | desc[7] << 8;
    const bool interlaced = desc[8] & 0x40;
    const int minCodeSize = in.get();
    if (minCodeSize < 1 || minCodeSize > 8 || w == 0 || h == 0) return nullptr;
    auto img = Image::create(w, h);
    if (!img) return nullptr;

    uint32_t colours[256];
    for (int i = 0; i < 256; ++i) {
        const uint32_t rgb = uint32_t(table[i * 3]) << 16 | uint32_t(table[i * 3 + 1]) << 8 | table[i * 3 + 2];
        colours[i] = i == transparent ? rgb : 0xFF000000u | rgb;
    }
    PixelSink sink(*img, interlaced, colours);
    decompress(in, minCodeSize, sink);
    if (transparent >= 0) {
        for (uint32_t p : img->pixels)
            if ((p >> 24) == 0) {
                img->transparent = true;
                break;
            }
    }
    return img;
}

}  // namespace

std::unique_ptr<Image> decode(const uint8_t* data, size_t size) {
    Reader in(data, size);
    return decodeFrom(in);
}

std::unique_ptr<Image> read(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return nullptr;
    Reader in(f);
    auto img = decodeFrom(in);
    std::fclose(f);
    return img;
}

}  // namespace tavlin::gif
