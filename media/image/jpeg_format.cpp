// JPEG through libjpeg. The library's fatal errors end in error_exit, which we
// turn into a longjmp back to the one function per direction that owns the
// setjmp point; the caller then destroys the library object and the file.

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <string>

#include "media/image/image_formats.h"
#include "base/safe_write.h"

namespace tavlin {

namespace {

struct ErrorTrap {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};  // the library's text of the fatal error
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
    trap->mgr.format_message(cinfo, trap->message);
    std::longjmp(trap->jump, 1);
}
void outputMessage(j_common_ptr) {}  // library texts are not shown

void installTrap(ErrorTrap& trap) {
    jpeg_std_error(&trap.mgr);
    trap.mgr.error_exit = errorExit;
    trap.mgr.output_message = outputMessage;
}

struct JpegRead {
    ErrorTrap trap;
    jpeg_decompress_struct cinfo;
    bool created = false;
    std::unique_ptr<Image> image;
    std::vector<uint8_t> line;
    bool tooLarge = false;
};

bool readJpegInto(JpegRead& st, std::FILE* f) {
    if (setjmp(st.trap.jump)) return false;
    jpeg_create_decompress(&st.cinfo);
    st.created = true;
    // Bounds what the library itself may set aside (progressive files keep
    // every coefficient); past it the decode fails instead of growing.
    st.cinfo.mem->max_memory_to_use = 1L << 30;
    jpeg_stdio_src(&st.cinfo, f);
    jpeg_read_header(&st.cinfo, TRUE);
    if (!imageSizeAllowed(st.cinfo.image_width, st.cinfo.image_height)) {
        st.tooLarge = true;
        return false;
    }
    jpeg_start_decompress(&st.cinfo);
    const int comps = st.cinfo.output_components;
    if (comps != 3 && comps != 1) return false;
    st.image = Image::create(st.cinfo.output_width, st.cinfo.output_height);
    if (!st.image || st.image->empty()) return false;
    st.line.resize(size_t(st.cinfo.output_width) * size_t(comps));
    while (st.cinfo.output_scanline < st.cinfo.output_height) {
        uint32_t* out = st.image->row(int32_t(st.cinfo.output_scanline));
        JSAMPROW row = st.line.data();
        jpeg_read_scanlines(&st.cinfo, &row, 1);
        const uint8_t* in = st.line.data();
        if (comps == 3) {
            for (JDIMENSION x = 0; x < st.cinfo.output_width; ++x, in += 3)
                out[x] = 0xFF000000u | uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
        } else {
            for (JDIMENSION x = 0; x < st.cinfo.output_width; ++x)
                out[x] = 0xFF000000u | uint32_t(in[x]) * 0x010101u;
        }
    }
    jpeg_finish_decompress(&st.cinfo);
    return true;
}

struct JpegWrite {
    ErrorTrap trap;
    jpeg_compress_struct cinfo;
    bool created = false;
    std::vector<uint8_t> line;
};

bool writeJpegFrom(JpegWrite& st, std::FILE* f, const Image& image, int quality) {
    if (setjmp(st.trap.jump)) return false;
    jpeg_create_compress(&st.cinfo);
    st.created = true;
    jpeg_stdio_dest(&st.cinfo, f);
    st.cinfo.image_width = JDIMENSION(image.width);
    st.cinfo.image_height = JDIMENSION(image.height);
    st.cinfo.input_components = 3;
    st.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&st.cinfo);
    jpeg_set_quality(&st.cinfo, quality, TRUE);
    jpeg_start_compress(&st.cinfo, TRUE);
    st.line.resize(size_t(image.width) * 3);
    while (st.cinfo.next_scanline < st.cinfo.image_height) {
        const uint32_t* in = image.row(int32_t(st.cinfo.next_scanline));
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

std::unique_ptr<Image> JpegFormat::read(const std::string& path) { return valueOrNull(readWithReason(path)); }

Result<std::unique_ptr<Image>> JpegFormat::readWithReason(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {Failure::CannotRead, std::strerror(errno)};
    JpegRead st;
    st.cinfo.err = &st.trap.mgr;
    installTrap(st.trap);
    const bool ok = readJpegInto(st, f);
    if (st.created) jpeg_destroy_decompress(&st.cinfo);
    std::fclose(f);
    if (st.tooLarge) return {Failure::TooLarge, "the picture is larger than the program accepts"};
    if (!ok) {
        std::string why = st.trap.message;
        return {Failure::Damaged, "damaged JPEG image" + (why.empty() ? std::string() : ": " + why)};
    }
    return std::move(st.image);
}

bool JpegFormat::write(const std::string& path, const Image& image) { return writeWithReason(path, image).ok(); }

Status JpegFormat::writeWithReason(const std::string& path, const Image& image) {
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != size_t(image.width) * size_t(image.height))
        return {Failure::CannotWrite, "cannot be written: the picture is empty or inconsistent"};
    const int q = quality < 1 ? 1 : (quality > 100 ? 100 : quality);
    return writeFileSafely(path, [&image, q](std::FILE* f) {
               JpegWrite st;
               st.cinfo.err = &st.trap.mgr;
               installTrap(st.trap);
               bool ok = writeJpegFrom(st, f, image, q);
               if (st.created) jpeg_destroy_compress(&st.cinfo);
               return ok;
           });
}

}  // namespace tavlin
