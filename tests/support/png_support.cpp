#include "png_support.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace kvr::test {

namespace {

[[noreturn]] void fail(png_structp, png_const_charp message) {
    throw std::runtime_error(message);
}

void ignoreWarning(png_structp, png_const_charp) {}

}  // namespace

DecodedPng decodePng(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignoreWarning);
    png_infop info = png_create_info_struct(png);
    struct Free {
        png_structp& png;
        png_infop& info;
        ~Free() { png_destroy_read_struct(&png, &info, nullptr); }
    } freeLater{png, info};
    // libpng's CRC and Adler checks stay on: a wrong checksum is an error, not a warning.
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_init_io(png, file.get());
    png_read_info(png, info);

    DecodedPng d;
    d.width = int(png_get_image_width(png, info));
    d.height = int(png_get_image_height(png, info));
    d.bitDepth = png_get_bit_depth(png, info);
    d.colourType = png_get_color_type(png, info);
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER && x == y)
        d.pixelsPerMetre = x;
    int intent = 0;
    d.srgb = png_get_sRGB(png, info, &intent) != 0;
    if (d.colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (d.colourType == PNG_COLOR_TYPE_GRAY)
        png_set_gray_to_rgb(png);
    if (d.bitDepth == 16)
        png_set_swap(png);  // host order, to read as uint16_t
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const int channels = png_get_channels(png, info);
    if (channels != (d.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3))
        throw std::runtime_error("not three channels, nor four with alpha");
    std::vector<uint8_t> row(rowBytes);
    d.rgb.reserve(size_t(d.width) * d.height * 3);
    for (int r = 0; r < d.height; ++r) {
        png_read_row(png, row.data(), nullptr);
        for (size_t i = 0; i < size_t(d.width) * size_t(channels); ++i) {
            const uint16_t value =
                d.bitDepth == 16 ? reinterpret_cast<const uint16_t*>(row.data())[i] : row[i];
            (channels == 4 && i % 4 == 3 ? d.alpha : d.rgb).push_back(value);
        }
    }
    png_read_end(png, nullptr);
    return d;
}

}  // namespace kvr::test
