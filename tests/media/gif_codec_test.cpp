#include "media/image/gif_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "media/image/image_formats.h"
#include "picture_helpers.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

using Bytes = std::vector<uint8_t>;

// Packs codes of the given widths least significant bit first into sub-blocks.
Bytes packCodes(const std::vector<std::pair<int, int>>& codes) {
    Bytes raw;
    uint32_t acc = 0;
    int bits = 0;
    for (auto [code, width] : codes) {
        acc |= uint32_t(code) << bits;
        bits += width;
        while (bits >= 8) raw.push_back(uint8_t(acc)), acc >>= 8, bits -= 8;
    }
    if (bits) raw.push_back(uint8_t(acc));
    Bytes out;
    for (size_t i = 0; i < raw.size(); i += 255) {
        size_t n = std::min<size_t>(255, raw.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), raw.begin() + long(i), raw.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

struct GifParts {
    int width = 1, height = 1, screenW = -1, screenH = -1;
    std::vector<uint32_t> global, local;  // RGB, power-of-two sizes
    bool interlaced = false;
    int transparent = -1;
    int minCode = 2;
    Bytes data;  // sub-blocks with terminator
};

void put16(Bytes& b, int v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
int bitsOf(size_t n) { int b = 0; while ((size_t(2) << b) < n) ++b; return b; }
void putTable(Bytes& b, const std::vector<uint32_t>& t) {
    for (uint32_t c : t) b.push_back(uint8_t(c >> 16)), b.push_back(uint8_t(c >> 8)), b.push_back(uint8_t(c));
}

Bytes buildGif(const GifParts& p) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    put16(b, p.screenW < 0 ? p.width : p.screenW);
    put16(b, p.screenH < 0 ? p.height : p.screenH);
    b.push_back(p.global.empty() ? 0 : uint8_t(0x80 | bitsOf(p.global.size())));
    b.push_back(0), b.push_back(0);
    putTable(b, p.global);
    if (p.transparent >= 0) b.insert(b.end(), {0x21, 0xF9, 4, 1, 0, 0, uint8_t(p.transparent), 0});
    b.insert(b.end(), {0x21, 0xFE, 3, 'h', 'e', 'y', 0});  // a comment to skip
    b.push_back(0x2C);
    put16(b, 0), put16(b, 0), put16(b, p.width), put16(b, p.height);
    b.push_back(uint8_t((p.interlaced ? 0x40 : 0) | (p.local.empty() ? 0 : 0x80 | bitsOf(p.local.size()))));
    putTable(b, p.local);
    b.push_back(uint8_t(p.minCode));
    b.insert(b.end(), p.data.begin(), p.data.end());
    b.push_back(0x3B);
    return b;
}

std::unique_ptr<Image> decodeBytes(const Bytes& b) { return gif::decode(b.data(), b.size()); }

// The codes of the first image's data, assuming they stay at the starting width.
std::vector<int> leadingCodes(const Bytes& file, size_t count) {
    size_t pos = 13 + 768;
    if (file[pos] == 0x21) pos += 8;
    pos += 10;  // image descriptor
    const int min = file[pos++];
    Bytes raw;
    while (file[pos]) {
        raw.insert(raw.end(), file.begin() + long(pos + 1), file.begin() + long(pos + 1 + file[pos]));
        pos += 1 + file[pos];
    }
    std::vector<int> codes;
    for (size_t bit = 0; codes.size() < count; bit += size_t(min + 1)) {
        int c = 0;
        for (int k = 0; k <= min; ++k) c |= (raw[(bit + k) / 8] >> ((bit + k) % 8) & 1) << k;
        codes.push_back(c);
    }
    return codes;
}

TEST(GifPalette, ExactUpTo256ColoursThenPopularityWithQuantisedChannels) {
    Image exact = test::paletted(32, 32, 256);
    auto back = decodeBytes(gif::encode(exact));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, exact.pixels);

    Image many = test::paletted(32, 32, 257);
    gif::Palette pal = gif::buildPalette(many);
    EXPECT_FALSE(pal.exact);
    back = decodeBytes(gif::encode(many));
    ASSERT_TRUE(back);
    for (uint32_t p : back->pixels) ASSERT_EQ(p & 0x0F0F0F, 0u) << std::hex << p;
}

TEST(GifPalette, PaletteFollowsPixelOrderAndPopularityOrdersByCount) {
    Image img(3, 1);
    img.pixels = {0xFF00FF00, 0xFFFF0000, 0xFF00FF00};
    gif::Palette pal = gif::buildPalette(img);
    ASSERT_TRUE(pal.exact);
    ASSERT_EQ(pal.count, 2);
    EXPECT_EQ(pal.entries[0], 0xFF00FF00u);
    EXPECT_EQ(pal.entries[1], 0xFFFF0000u);

    // 258 colours: 100 pixels in the red bin, 60 in one blue bin, the rest
    // spread thinly over green bins.
    Image pop(401, 1);
    for (int x = 0; x < 401; ++x) {
        uint32_t p = x < 100 ? 0xFFF00000u : x < 160 ? 0xFF0000F0u + uint32_t(x % 16) : 0xFF000000u | uint32_t(x - 159) << 8;
        pop.pixels[size_t(x)] = p;
    }
    pal = gif::buildPalette(pop);
    EXPECT_FALSE(pal.exact);
    EXPECT_EQ(pal.count, 256);
    EXPECT_EQ(pal.entries[0], 0xFFF00000u);
    EXPECT_EQ(pal.entries[1], 0xFF0000F0u);
    pop.transparent = true;
    pal = gif::buildPalette(pop);
    EXPECT_EQ(pal.entries[0], 0u);
    EXPECT_EQ(pal.entries[1], 0xFFF00000u);
    EXPECT_EQ(pal.entries[2], 0xFF0000F0u);
}

TEST(GifPalette, NearestColourUsesSmallestChannelDistanceFirstOnTies) {
    gif::Palette pal;
    pal.entries[0] = 0xFF000000;
    pal.entries[1] = 0xFF202020;
    pal.entries[2] = 0xFF101010;
    pal.entries[3] = 0xFF0A0A0A;
    for (int k = 4; k < 256; ++k) pal.entries[k] = 0xFFFFFFFF;
    pal.count = 256;
    Image img(4, 1);
    img.pixels = {0xFF050505, 0xFF181818, 0xFF0E0F0F, 0x00123456};
    auto idx = gif::mapToPalette(img, pal);
    EXPECT_EQ(idx[0], 0);  // 0x00 and 0x0A both 15 away: the first wins
    EXPECT_EQ(idx[1], 1);  // tie between 0x10 and 0x20 at 24: entry 1 comes first
    EXPECT_EQ(idx[2], 2);
    EXPECT_EQ(idx[3], 255);  // transparent with no transparent entry
}

TEST(GifPalette, NearestMatchesBruteForceOnPhotoPicture) {
    Image img = test::photoLike(120, 90);
    gif::Palette pal = gif::buildPalette(img);
    ASSERT_FALSE(pal.exact);
    auto idx = gif::mapToPalette(img, pal);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        const uint32_t p = img.pixels[i];
        int best = 0, bestD = 1 << 30;
        for (int k = 0; k < 256; ++k) {
            const uint32_t e = pal.entries[k];
            int d = std::abs(int(p >> 16 & 255) - int(e >> 16 & 255)) + std::abs(int(p >> 8 & 255) - int(e >> 8 & 255)) +
                    std::abs(int(p & 255) - int(e & 255));
            if (d < bestD) bestD = d, best = k;
        }
        ASSERT_EQ(idx[i], best) << "pixel " << i;
    }
}

TEST(GifTransparency, FlagChoosesGif89aWithControlExtension) {
    Image img(2, 1);
    img.pixels = {0xFFFF0000, 0x00000000};
    Bytes plain = gif::encode(img);
    EXPECT_EQ(std::string(plain.begin(), plain.begin() + 6), "GIF87a");
    EXPECT_EQ(plain[13 + 768], 0x2C);

    img.transparent = true;
    Bytes flagged = gif::encode(img);
    EXPECT_EQ(std::string(flagged.begin(), flagged.begin() + 6), "GIF89a");
    const Bytes gce = {0x21, 0xF9, 0x04, 0x01, 0, 0, 1, 0};
    EXPECT_TRUE(std::equal(gce.begin(), gce.end(), flagged.begin() + 13 + 768));
    auto back = decodeBytes(flagged);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->transparent);
    EXPECT_EQ(back->pixels[0], 0xFFFF0000u);
    EXPECT_EQ(back->pixels[1] >> 24, 0u);
}

TEST(GifTransparency, OpaqueColoursNeverTurnTransparent) {
    // 256 opaque colours with the flag set: no entry is transparent, so the
    // control extension must not name one.
    Image full = test::paletted(16, 16, 256);
    full.transparent = true;
    auto back = decodeBytes(gif::encode(full));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, full.pixels);

    // Popularity palette with transparency: entry 0 is the transparent one;
    // near-black opaque pixels must map to an opaque entry.
    Image photo = test::photoLike(64, 64);
    for (int x = 0; x < 64; ++x) photo.at(x, 0) = 0xFF010101;
    photo.at(5, 5) = 0;
    photo.transparent = true;
    back = decodeBytes(gif::encode(photo));
    ASSERT_TRUE(back);
    for (int x = 0; x < 64; ++x) EXPECT_NE(back->at(x, 0) >> 24, 0u) << x;
    EXPECT_EQ(back->at(5, 5) >> 24, 0u);
}

TEST(GifLzw, OnePixelIsClearIndexEnd) {
    Image img(1, 1);
    img.pixels = {0xFF123456};
    Bytes file = gif::encode(img);
    EXPECT_EQ(file[13 + 768 + 10], 8);  // minimum code size
    EXPECT_EQ(leadingCodes(file, 3), (std::vector<int>{256, 0, 257}));
    EXPECT_EQ(file.back(), 0x3B);
}

TEST(GifLzw, RoundTripsThroughDictionaryResets) {
    for (auto [w, h] : {std::pair{1, 1}, {7, 3}, {300, 1}, {1, 300}, {400, 400}}) {
        Image img = test::paletted(w, h, 256, uint32_t(w * h));
        auto back = decodeBytes(gif::encode(img));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->width, w);
        EXPECT_EQ(back->pixels, img.pixels) << w << "x" << h;
    }
    // Long runs exercise the code-equal-to-next-free case.
    Image flat(500, 200);
    auto back = decodeBytes(gif::encode(flat));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, flat.pixels);
}

TEST(GifLzw, SubBlocksHoldAtMost255Bytes) {
    Bytes out;
    std::vector<uint8_t> idx(5000);
    std::mt19937 rng(3);
    for (auto& i : idx) i = uint8_t(rng());
    gif::compress(idx.data(), idx.size(), 8, out);
    size_t pos = 0, blocks = 0;
    while (out[pos]) pos += 1 + out[pos], blocks++;
    EXPECT_EQ(pos + 1, out.size());
    EXPECT_GT(blocks, 10u);
    for (size_t p = 0; out[p]; p += 1 + out[p])
        if (p + 1 + out[p] < pos) {
            EXPECT_EQ(out[p], 255);
        }
}

TEST(GifRead, InterlacedRowsComeInFourPasses) {
    GifParts p;
    p.width = 1, p.height = 5, p.interlaced = true;
    p.global = {0x000000, 0x111111, 0x222222, 0x333333};
    // Stream order is rows 0, 4, 2, 1, 3: give each the index of its row position.
    std::vector<uint8_t> stream = {0, 3, 2, 1, 3};
    gif::compress(stream.data(), stream.size(), 2, p.data);
    auto img = decodeBytes(buildGif(p));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixels, (std::vector<uint32_t>{0xFF000000, 0xFF111111, 0xFF222222, 0xFF333333, 0xFF333333}));
}

TEST(GifRead, LocalTableReplacesGlobalAndTransparentIndexSetsFlag) {
    GifParts p;
    p.width = 3;
    p.global = {0xFF0000, 0x00FF00};
    p.local = {0x0000FF, 0xFFFF00, 0x00FFFF, 0xFFFFFF};
    p.transparent = 2;
    std::vector<uint8_t> idx = {0, 1, 2};
    gif::compress(idx.data(), idx.size(), 2, p.data);
    auto img = decodeBytes(buildGif(p));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixels, (std::vector<uint32_t>{0xFF0000FF, 0xFFFFFF00, 0x0000FFFF}));
    EXPECT_TRUE(img->transparent);
}

TEST(GifRead, BadCodesStopDecodingLeavingWhite) {
    GifParts p;
    p.width = 4;
    p.global = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
    // clear, 1, then 9: the next free code is 6, so 9 is beyond the table.
    p.data = packCodes({{4, 3}, {1, 3}, {7, 3}});
    auto img = decodeBytes(buildGif(p));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixels, (std::vector<uint32_t>{0xFF00FF00, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));

    // A first code after clear that names the entry it would create.
    p.data = packCodes({{4, 3}, {6, 3}, {0, 3}});
    img = decodeBytes(buildGif(p));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixels, std::vector<uint32_t>(4, 0xFFFFFFFF));

    // code == next free (KwKwK) is valid: 1, then 6 = "1 1", then end.
    p.data = packCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}});
    img = decodeBytes(buildGif(p));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixels, (std::vector<uint32_t>{0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFFFFFFFF}));
}

TEST(GifRead, RefusesWhatIsNotAGifOrTooLarge) {
    EXPECT_FALSE(decodeBytes({}));
    EXPECT_FALSE(decodeBytes({'G', 'I', 'F', '9', '0', 'a', 1, 0, 1, 0, 0, 0, 0}));
    GifParts p;
    p.global = {0, 0xFFFFFF};
    p.data = packCodes({{4, 3}, {1, 3}, {5, 3}});
    p.screenW = p.screenH = 65535;  // only the image's own size counts
    auto img = decodeBytes(buildGif(p));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 1);
    p.width = p.height = 65535;
    EXPECT_FALSE(decodeBytes(buildGif(p)));
    p.width = 0;
    EXPECT_FALSE(decodeBytes(buildGif(p)));
}

TEST(GifRead, EveryTruncationFailsOrLeavesWhite) {
    Image src = test::paletted(20, 10, 40);
    src.pixels[3] = 0;
    src.transparent = true;
    const Bytes full = gif::encode(src);
    const size_t dataStart = 13 + 768 + 8 + 10 + 1;  // after the minimum code size byte
    for (size_t n = 0; n < full.size(); ++n) {
        auto img = gif::decode(full.data(), n);
        if (n < dataStart) {
            EXPECT_FALSE(img) << n;
            continue;
        }
        ASSERT_TRUE(img) << n;
        ASSERT_EQ(img->pixels.size(), src.pixels.size());
        // Whatever came through matches; the rest stays white.
        size_t i = 0;
        while (i < src.pixels.size() && img->pixels[i] == src.pixels[i]) ++i;
        for (size_t j = i; j < src.pixels.size(); ++j) ASSERT_EQ(img->pixels[j], 0xFFFFFFFFu) << n << " " << j;
    }
}

TEST(GifRead, RandomAndMangledBytesNeverCrash) {
    std::mt19937 rng(11);
    const Bytes good = gif::encode(test::paletted(30, 30, 200));
    for (int round = 0; round < 2000; ++round) {
        Bytes b = good;
        if (round % 4 == 0) {
            b.resize(rng() % 600);
            for (auto& x : b) x = uint8_t(rng());
            if (b.size() > 6) std::memcpy(b.data(), "GIF89a", 6);
        } else {
            for (int k = 0; k < 1 + round % 8; ++k) b[13 + rng() % (b.size() - 13)] = uint8_t(rng());
        }
        auto img = decodeBytes(b);
        if (img) {
            EXPECT_EQ(img->pixels.size(), size_t(img->width) * size_t(img->height));
        }
    }
}

TEST(GifFormatFiles, WriteReadAndRefusals) {
    test::ScratchDir dir;
    GifFormat fmt;
    Image img = test::paletted(9, 4, 12);
    ASSERT_TRUE(fmt.write(dir.file("a.gif"), img));
    auto back = fmt.read(dir.file("a.gif"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, img.pixels);
    EXPECT_FALSE(fmt.read(dir.file("missing.gif")));
    EXPECT_FALSE(fmt.read(dir.write("empty.gif", "")));
    EXPECT_FALSE(fmt.write(dir.file("no/such/folder.gif"), img));
    EXPECT_FALSE(fmt.write(dir.file("empty-picture.gif"), Image()));
    Image wide(70000, 1);  // sizes are 16-bit in the file
    EXPECT_FALSE(fmt.write(dir.file("wide.gif"), wide));
    EXPECT_FALSE(std::ifstream(dir.file("wide.gif")).good());
    if (test::haveFullDevice()) {
        EXPECT_FALSE(fmt.write("/dev/full", img));
        EXPECT_TRUE(test::haveFullDevice());
    }
}

}  // namespace
}  // namespace tavlin
