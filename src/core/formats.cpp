#include "core/formats.h"

#include <iterator>
#include <string>

#include "core/bmp.h"
#include "core/jpeg.h"
#include "core/outfile.h"
#include "core/png.h"
#include "core/row_converter.h"
#include "core/webp.h"

namespace kvr {

namespace {

const ImageFormat kFormats[] = {
    {SaveFormat::Jpeg, "jpeg", ".jpg", 'J', "image/jpeg", true, -1, false,
     [](const Picture& p, ByteSink& sink, const JpegOptions& jpeg) {
         writeJpeg(p, sink, jpeg.quality, jpeg.grey);
     }},
    {SaveFormat::Bmp, "bmp", ".bmp", 'B', "image/bmp", false, 0, false,
     [](const Picture& p, ByteSink& sink, const JpegOptions&) { writeBmp(p, sink); }},
    {SaveFormat::Png, "png", ".png", 'P', "image/png", true, 1, true,
     [](const Picture& p, ByteSink& sink, const JpegOptions&) { writePng(p, sink); }},
    {SaveFormat::Webp, "webp", ".webp", 'W', "image/webp", true, 2, true,
     [](const Picture& p, ByteSink& sink, const JpegOptions&) { writeWebp(p, sink); }},
};

// ASCII only: the locale plays no part in a type's name.
std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

}  // namespace

const ImageFormat& formatOf(SaveFormat format) {
    for (const ImageFormat& row : kFormats)
        if (row.format == format)
            return row;
    return kFormats[0];
}

std::optional<SaveFormat> formatNamed(std::string_view name) {
    const std::string n = lower(name);
    for (const ImageFormat& row : kFormats)
        if (n == row.name || n == row.extension + 1)
            return row.format;
    return std::nullopt;
}

SaveFormat losslessFormatSaved(int32_t value) {
    for (const ImageFormat& row : kFormats)
        if (row.savedAs >= 0 && row.savedAs == value)
            return row.format;
    return SaveFormat::Bmp;
}

void writePicture(const Picture& picture, SaveFormat format, ByteSink& sink,
                  const JpegOptions& jpeg) {
    const ImageFormat& row = formatOf(format);
    if (!picture.empty())
        row.write(row.keepsAlpha ? picture : opaqueFrame(picture), sink, jpeg);
}

void writePicture(const Picture& picture, SaveFormat format, OutputFile& file,
                  const JpegOptions& jpeg) {
    try {
        writePicture(picture, format, static_cast<ByteSink&>(file), jpeg);
    } catch (...) {
        // Half a picture under a numbered name would pass for a shot.
        file.abandon();
        throw;
    }
    file.close();
}

}  // namespace kvr
