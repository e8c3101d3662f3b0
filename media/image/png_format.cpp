// PNG through libpng. libpng reports fatal errors by longjmp; every call into
// it happens inside one small function per direction that owns the setjmp
// point and keeps its state in a record of the caller, so that a damaged
// file unwinds to a plain failure and the caller frees everything.

#include <png.h>

#include <bit>
#include <csetjmp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "media/image/image_formats.h"
#include "base/safe_write.h"

namespace tavlin {

namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// The library's text goes into the reason when the caller gave a place for it.
[[noreturn]] void pngError(png_structp png, png_const_charp message) {
    if (auto* why = static_cast<std::string*>(png_get_error_ptr(png)); why && message) *why = message;
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}  // library texts are not shown

struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::unique_ptr<Image> image;
    std::vector<png_bytep> rows;
    std::string error;  // the library's text of a fatal error
    bool tooLarge = false;
};

// Reads straight into the picture's pixels, asking libpng for the byte order
// of 0xAARRGGBB words in memory.
bool readPngInto(PngRead& st) {
    if (setjmp(png_jmpbuf(st.png))) return false;
    png_read_info(st.png, st.info);
    const png_uint_32 w = png_get_image_width(st.png, st.info);
    const png_uint_32 h = png_get_image_height(st.png, st.info);
    if (!imageSizeAllowed(w, h)) {
        st.tooLarge = true;
        return false;
    }
    const int colorType = png_get_color_type(st.png, st.info);
    const int depth = png_get_bit_depth(st.png, st.info);
    const bool hasTrns = png_get_valid(st.png, st.info, PNG_INFO_tRNS);

    if (colorType == PNG_COLOR_TYPE_PALETTE || (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) || hasTrns)
        png_set_expand(st.png);
    if (depth == 16) png_set_strip_16(st.png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(st.png);
    const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) || hasTrns;
    if (kLittleEndian) {
        png_set_bgr(st.png);
        if (!alpha) png_set_filler(st.png, 0xFF, PNG_FILLER_AFTER);
    } else {
        if (alpha) png_set_swap_alpha(st.png);
        else png_set_filler(st.png, 0xFF, PNG_FILLER_BEFORE);
    }
    png_set_interlace_handling(st.png);
    png_read_update_info(st.png, st.info);
    if (png_get_rowbytes(st.png, st.info) != size_t(w) * 4) return false;

    st.image = Image::create(w, h);
    if (!st.image || st.image->empty()) return false;
    st.image->transparent = alpha;
    st.rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) st.rows[y] = reinterpret_cast<png_bytep>(st.image->row(int32_t(y)));
    png_read_image(st.png, st.rows.data());
    // The end chunk is not read: a picture whose pixel data is complete is
    // kept even when what follows it is missing or cut off.
    return true;
}

struct PngWrite {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
};

bool writePngFrom(PngWrite& st, const Image& image) {
    if (setjmp(png_jmpbuf(st.png))) return false;
    png_set_IHDR(st.png, st.info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(st.png, st.info);
    if (kLittleEndian) png_set_bgr(st.png);
    else png_set_swap_alpha(st.png);
    st.rows.resize(size_t(image.height));
    for (int32_t y = 0; y < image.height; ++y)
        st.rows[size_t(y)] = reinterpret_cast<png_bytep>(const_cast<uint32_t*>(image.row(y)));
    png_write_image(st.png, st.rows.data());
    png_write_end(st.png, nullptr);
    return true;
}

}  // namespace

std::unique_ptr<Image> PngFormat::read(const std::string& path) { return valueOrNull(readWithReason(path)); }

Result<std::unique_ptr<Image>> PngFormat::readWithReason(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {Failure::CannotRead, std::strerror(errno)};
    PngRead st;
    st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &st.error, pngError, pngWarning);
    if (st.png) st.info = png_create_info_struct(st.png);
    bool ok = false;
    if (st.png && st.info) {
        png_init_io(st.png, f);
        // No side may exceed what the pixel budget allows, and no single
        // chunk may make the library allocate without bound.
        png_set_user_limits(st.png, png_uint_32(kMaxImagePixels), png_uint_32(kMaxImagePixels));
        png_set_chunk_malloc_max(st.png, 8 << 20);
        ok = readPngInto(st);
    }
    png_destroy_read_struct(st.png ? &st.png : nullptr, st.info ? &st.info : nullptr, nullptr);
    std::fclose(f);
    if (st.tooLarge) return {Failure::TooLarge, "the picture is larger than the program accepts"};
    if (!ok) return {Failure::Damaged, "damaged PNG image" + (st.error.empty() ? std::string() : ": " + st.error)};
    return std::move(st.image);
}

bool PngFormat::write(const std::string& path, const Image& image) { return writeWithReason(path, image).ok(); }

Status PngFormat::writeWithReason(const std::string& path, const Image& image) {
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != size_t(image.width) * size_t(image.height))
        return {Failure::CannotWrite, "cannot be written: the picture is empty or inconsistent"};
    return writeFileSafely(path, [&image](std::FILE* f) {
               PngWrite st;
               st.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
               if (st.png) st.info = png_create_info_struct(st.png);
               bool ok = false;
               if (st.png && st.info) {
                   png_init_io(st.png, f);
                   ok = writePngFrom(st, image);
               }
               png_destroy_write_struct(st.png ? &st.png : nullptr, st.info ? &st.info : nullptr);
               return ok;
           });
}

}  // namespace tavlin
