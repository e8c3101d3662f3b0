#include "media/video/mosaic_jpeg.h"

#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <bit>
#include <csetjmp>
#include <vector>

#include "base/safe_write.h"

namespace tavlin {

namespace {

#ifdef JCS_EXTENSIONS
constexpr bool kDirectRows = std::endian::native == std::endian::little;
#else
constexpr bool kDirectRows = false;
#endif

struct Trap {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<Trap*>(cinfo->err)->jump, 1); }
void quiet(j_common_ptr) {}

struct State {
    jpeg_compress_struct cinfo;
    Trap trap;
    bool created = false;
    std::vector<uint8_t> line;
};

// Everything that may jump back lives here; no object with a destructor is
// made between setjmp and a jump.
bool compress(State& st, std::FILE* f, const Image& image, int quality) {
    if (setjmp(st.trap.jump)) return false;
    jpeg_create_compress(&st.cinfo);
    st.created = true;
    jpeg_stdio_dest(&st.cinfo, f);
    st.cinfo.image_width = JDIMENSION(image.width);
    st.cinfo.image_height = JDIMENSION(image.height);
    st.cinfo.input_components = 3;
    st.cinfo.in_color_space = JCS_RGB;
#ifdef JCS_EXTENSIONS
    // libjpeg-turbo reads the pixels as they lie in memory (blue, green, red,
    // alpha) with the same colour conversion as for packed RGB.
    if constexpr (kDirectRows) {
        st.cinfo.input_components = 4;
        st.cinfo.in_color_space = JCS_EXT_BGRX;
    }
#endif
    jpeg_set_defaults(&st.cinfo);
    jpeg_set_quality(&st.cinfo, quality, TRUE);
    for (int c = 0; c < st.cinfo.num_components; ++c) {
        st.cinfo.comp_info[c].h_samp_factor = 1;
        st.cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&st.cinfo, TRUE);
    while (st.cinfo.next_scanline < st.cinfo.image_height) {
        const uint32_t* in = image.row(int32_t(st.cinfo.next_scanline));
        if constexpr (kDirectRows) {
            // The library only reads the row.
            JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(in));
            jpeg_write_scanlines(&st.cinfo, &row, 1);
            continue;
        }
        uint8_t* o = st.line.data();
        for (int32_t x = 0; x < image.width; ++x, o += 3) {
            o[0] = uint8_t(in[x] >> 16);
            o[1] = uint8_t(in[x] >> 8);
            o[2] = uint8_t(in[x]);
        }
        JSAMPROW row = st.line.data();
        jpeg_write_scanlines(&st.cinfo, &row, 1);
    }
    jpeg_finish_compress(&st.cinfo);
    return true;
}

}  // namespace

bool writeMosaicJpeg(const std::string& path, const Image& image, int quality) {
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != size_t(image.width) * size_t(image.height))
        return false;
    return writeFileSafely(path, [&](std::FILE* f) {
               State st;
               st.cinfo.err = jpeg_std_error(&st.trap.mgr);
               st.trap.mgr.error_exit = errorExit;
               st.trap.mgr.output_message = quiet;
               st.line.resize(size_t(image.width) * 3);
               const bool ok = compress(st, f, image, quality < 1 ? 1 : (quality > 100 ? 100 : quality));
               if (st.created) jpeg_destroy_compress(&st.cinfo);
               return ok;
           })
        .ok();
}

}  // namespace tavlin
