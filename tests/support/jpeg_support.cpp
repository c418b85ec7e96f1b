#include "jpeg_support.h"

#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

namespace kvr::test {

JpegLayout parseJpeg(const std::vector<uint8_t>& f) {
    JpegLayout out;
    if (f.size() < 4 || f[0] != 0xff || f[1] != 0xd8)
        throw std::runtime_error("no SOI");
    out.segments.push_back({0xd8, {}});
    size_t at = 2;
    while (at + 4 <= f.size()) {
        if (f[at] != 0xff)
            throw std::runtime_error("marker expected");
        const uint8_t marker = f[at + 1];
        const size_t length = size_t(f[at + 2]) << 8 | f[at + 3];
        out.segments.push_back({marker, {f.begin() + at + 4, f.begin() + at + 2 + length}});
        at += 2 + length;
        if (marker == 0xda)
            break;
    }
    if (f.size() >= at + 2 && f[f.size() - 2] == 0xff && f.back() == 0xd9) {
        out.endsWithEoi = true;
        out.entropy.assign(f.begin() + at, f.end() - 2);
    }
    return out;
}

namespace {

struct JpegErrorExit {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// libjpeg's own error exit ends the process: jump back and fail the one test instead.
void onJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrorExit*>(info->err)->jump, 1);
}

}  // namespace

Decoded decodeJpeg(const std::vector<uint8_t>& file) {
    jpeg_decompress_struct cinfo{};
    JpegErrorExit error{};
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    Decoded d;
    if (setjmp(error.jump)) {
        char message[JMSG_LENGTH_MAX];
        error.manager.format_message(reinterpret_cast<j_common_ptr>(&cinfo), message);
        jpeg_destroy_decompress(&cinfo);
        throw std::runtime_error(std::string("not a JPEG file: ") + message);
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), file.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    d.width = int(cinfo.output_width);
    d.height = int(cinfo.output_height);
    d.components = cinfo.output_components;
    d.pixels.resize(size_t(d.width) * d.height * d.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = d.pixels.data() + size_t(cinfo.output_scanline) * d.width * d.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    // A file cut short decodes with a warning (libjpeg fills in grey): not a whole picture.
    const bool whole = error.manager.num_warnings == 0;
    jpeg_destroy_decompress(&cinfo);
    if (!whole)
        throw std::runtime_error("not a whole JPEG file (cut short or damaged)");
    return d;
}

std::vector<uint8_t> expectedQuantTable(bool chroma, int quality) {
    static const int kLuma[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                  58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                  22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                  77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                  103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
    static const int kChroma[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
    static const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::vector<uint8_t> out(64);
    for (int k = 0; k < 64; ++k) {
        const int base = (chroma ? kChroma : kLuma)[kZigzag[k]];
        int v = (base * scale + 50) / 100;
        out[k] = uint8_t(v < 1 ? 1 : v > 255 ? 255 : v);
    }
    return out;
}

}  // namespace kvr::test
