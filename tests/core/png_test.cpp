// PNG and WebP files from made-up pictures of each display format, decoded by libpng and by
// libwebp's own decoder and compared with the screen's colours value for value.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>

#include <webp/decode.h>
#include <webp/encode.h>
#include "base/error.h"

#include "core/formats.h"
#include "core/png.h"
#include "core/row_converter.h"
#include "core/webp.h"
#include "file_support.h"
#include "jpeg_support.h"
#include "png_support.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;

using Values = std::vector<uint16_t>;

struct PngCase {
    const char* name;
    int bitsPerPixel;
    ByteOrder byteOrder;
    uint32_t masks[4];  // red, green, blue, alpha
    std::vector<PaletteEntry> palette;
    std::vector<uint8_t> pixels;  // one row of two pixels
    int bitDepth;                 // of the file
    int colourType;
    Values rgb;         // what the reader must see
    Values alpha = {};  // with colour type 6
};

// One case a row: its pixels on the next line, then the file's depth, colour type and values.
// clang-format off
const PngCase kCases[] = {
    {"depth 24 at 32 bits", 32, ByteOrder::LsbFirst, {0xff0000, 0xff00, 0xff}, {},
     {0x10, 0x20, 0x30, 0x99, 0xff, 0x00, 0x80, 0x00}, 8, 2, {0x30, 0x20, 0x10, 0x80, 0x00, 0xff}},
    {"depth 24 at 32 bits, big-endian server", 32, ByteOrder::MsbFirst, {0xff0000, 0xff00, 0xff},
     {}, {0x00, 0x30, 0x20, 0x10, 0x00, 0x01, 0x02, 0x03}, 8, 2, {0x30, 0x20, 0x10, 1, 2, 3}},
    {"packed 24 bits, red low (a Wayland BGR888)", 24, ByteOrder::LsbFirst,
     {0xff, 0xff00, 0xff0000}, {}, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}, 8, 2,
     {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}},
    // Every bit kept: the 10-bit values spread over 16 bits, the top 10 bits give them back.
    {"depth 30", 32, ByteOrder::LsbFirst, {0x3ff00000, 0xffc00, 0x3ff}, {},
     {0xff, 0x0f, 0x00, 0x00, 0x01, 0x04, 0x00, 0x20}, 16, 2,
     {0x0000, 0x00c0, 0xffff, 0x8020, 0x0040, 0x0040}},
    {"depth 16, 5-6-5", 16, ByteOrder::LsbFirst, {0xf800, 0x07e0, 0x001f}, {},
     {0xff, 0xff, 0x21, 0x08}, 8, 2, {255, 255, 255, 8, 4, 8}},
    {"depth 15, big-endian", 16, ByteOrder::MsbFirst, {0x7c00, 0x03e0, 0x001f}, {},
     {0x7c, 0x00, 0x00, 0x1f}, 8, 2, {255, 0, 0, 0, 0, 255}},
    {"depth 8, colour map", 8, ByteOrder::LsbFirst, {0, 0, 0}, {{1, 2, 3}, {200, 100, 50}},
     {1, 0}, 8, 3, {200, 100, 50, 1, 2, 3}},
    // A window with its shadow: the alpha kept, the colour under a transparent pixel too.
    {"32 bits with alpha", 32, ByteOrder::LsbFirst, {0xff0000, 0xff00, 0xff, 0xff000000}, {},
     {0x10, 0x20, 0x30, 0x00, 0xff, 0x00, 0x80, 0x7f}, 8, 6, {0x30, 0x20, 0x10, 0x80, 0x00, 0xff},
     {0x00, 0x7f}},
    {"depth 30 with 2 bits of alpha", 32, ByteOrder::LsbFirst,
     {0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}, {},
     {0xff, 0x0f, 0x00, 0x40, 0x01, 0x04, 0x00, 0xe0}, 16, 6,
     {0x0000, 0x00c0, 0xffff, 0x8020, 0x0040, 0x0040}, {0x5555, 0xffff}},
};
// clang-format on

test::DecodedPng written(const Picture& p) {
    test::TempDir dir;
    savePng(p, dir / "p.png");
    return test::decodePng(dir / "p.png");
}

// A lossless WebP file through libwebp's decoder: 8 bits a channel, top row first.
Values writtenWebp(const Picture& p, int& width, int& height) {
    MemorySink sink;
    writeWebp(p, sink);
    uint8_t* rgb = WebPDecodeRGB(sink.bytes.data(), sink.bytes.size(), &width, &height);
    if (!rgb)
        return {};
    Values values(rgb, rgb + size_t(width) * size_t(height) * 3);
    WebPFree(rgb);
    return values;
}

TEST(PngFile, DecodesToTheScreenExactlyAtEveryDepth) {
    for (const PngCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Picture p = makeOwnedPicture(2, 1, c.bitsPerPixel, c.pixels.size());
        p.byteOrder = c.byteOrder;
        p.redMask = c.masks[0], p.greenMask = c.masks[1], p.blueMask = c.masks[2];
        p.alphaMask = c.masks[3];
        p.palette = c.palette;
        std::memcpy(mutablePixels(p), c.pixels.data(), c.pixels.size());
        const test::DecodedPng d = written(p);
        EXPECT_EQ(d.width, 2);
        EXPECT_EQ(d.height, 1);
        EXPECT_EQ(d.bitDepth, c.bitDepth);
        EXPECT_EQ(d.colourType, c.colourType);
        EXPECT_EQ(d.rgb, c.rgb);
        EXPECT_EQ(d.alpha, c.alpha);
        EXPECT_TRUE(d.srgb);
        EXPECT_EQ(d.pixelsPerMetre, 0u);  // the density unknown: no pHYs

        // WebP keeps the top 8 bits of each channel.
        Values eight = c.rgb;
        for (uint16_t& v : eight)
            v = c.bitDepth == 16 ? uint16_t(v >> 8) : v;
        int width = 0, height = 0;
        EXPECT_EQ(writtenWebp(p, width, height), eight);
        EXPECT_EQ(width, 2);
        EXPECT_EQ(height, 1);
    }
    // --grey: red and white in greys, kept as plain grey.
    Picture p = makeOwnedPicture(2, 1, 32, 8);
    const uint8_t redWhite[] = {0, 0, 255, 0, 255, 255, 255, 0};
    std::memcpy(mutablePixels(p), redWhite, sizeof redWhite);
    const test::DecodedPng d = written(greyPicture(p));
    EXPECT_EQ(d.colourType, 0);
    EXPECT_EQ(d.rgb, (Values{76, 76, 76, 255, 255, 255}));
}

// A made-up 32-bit picture with alpha: `alphas` one string a row, one letter a pixel ('#'
// opaque, '.' transparent, 'h' half), the pixels' colours all grey 0x40.
Picture shadowed(std::initializer_list<const char*> alphas) {
    const int width = int(std::strlen(*alphas.begin())), height = int(alphas.size());
    Picture p = makeOwnedPicture(width, height, 32, size_t(width) * 4);
    p.alphaMask = 0xff000000;
    int y = 0;
    for (const char* row : alphas) {
        for (int x = 0; x < width; ++x) {
            uint8_t* px = mutablePixels(p) + size_t(y) * p.stride + size_t(x) * 4;
            px[0] = px[1] = px[2] = 0x40;
            px[3] = row[x] == '#' ? 0xff : row[x] == 'h' ? 0x80 : 0;
        }
        ++y;
    }
    return p;
}

TEST(PngFile, AWindowsShadowIsKeptWhereTheFormatHasAlphaAndCutAwayElsewhere) {
    const struct {
        const char* what;
        Picture picture;
        int x, y, width, height;  // the opaque frame
    } rows[] = {
        {"a shadow all round", shadowed({"......", ".####.", ".####.", "......"}), 1, 1, 4, 2},
        // GNOME's window: rounded top corners, a half-transparent outline, a wider shadow below.
        {"rounded corners and an outline",
         shadowed({"......", ".hhhh.", ".h##h.", "h####h", "h####h", "......", "......"}), 1, 2, 4,
         3},
        {"nothing opaque: as it is", shadowed({"hh.", "..h"}), 0, 0, 3, 2},
        {"opaque throughout", shadowed({"##", "##"}), 0, 0, 2, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const Picture frame = opaqueFrame(r.picture);
        EXPECT_EQ(frame.alphaMask, 0u);
        EXPECT_EQ(frame.width, r.width);
        EXPECT_EQ(frame.height, r.height);
        EXPECT_EQ(frame.pixels, r.picture.row(r.y) + r.x * 4);  // a view, not a copy
        EXPECT_EQ(frame.stride, r.picture.stride);

        // PNG and WebP keep the whole picture and its alpha; JPEG and BMP hold the frame.
        for (SaveFormat format :
             {SaveFormat::Png, SaveFormat::Webp, SaveFormat::Jpeg, SaveFormat::Bmp}) {
            SCOPED_TRACE(formatOf(format).name);
            MemorySink sink;
            writePicture(r.picture, format, sink, {});
            const std::vector<uint8_t>& bytes = sink.bytes;
            ASSERT_GT(bytes.size(), 30u);
            int width = 0, height = 0;
            std::vector<uint8_t> alpha;
            if (format == SaveFormat::Png) {
                test::TempDir dir;
                test::writeText(dir / "p.png", std::string(bytes.begin(), bytes.end()));
                const test::DecodedPng d = test::decodePng(dir / "p.png");
                width = d.width, height = d.height;
                alpha.assign(d.alpha.begin(), d.alpha.end());
            } else if (format == SaveFormat::Webp) {
                uint8_t* rgba = WebPDecodeRGBA(bytes.data(), bytes.size(), &width, &height);
                ASSERT_NE(rgba, nullptr);
                for (int i = 0; i < width * height; ++i)
                    alpha.push_back(rgba[i * 4 + 3]);
                WebPFree(rgba);
            } else if (format == SaveFormat::Jpeg) {
                const test::Decoded d = test::decodeJpeg(bytes);
                width = d.width, height = d.height;
            } else {
                std::memcpy(&width, &bytes[18], 4);
                std::memcpy(&height, &bytes[22], 4);
                height = std::abs(height);
            }
            if (formatOf(format).keepsAlpha) {
                EXPECT_EQ(width, r.picture.width);
                EXPECT_EQ(height, r.picture.height);
                std::vector<uint8_t> expected;
                for (int y = 0; y < r.picture.height; ++y)
                    for (int x = 0; x < r.picture.width; ++x)
                        expected.push_back(r.picture.row(y)[x * 4 + 3]);
                EXPECT_EQ(alpha, expected);
            } else {
                EXPECT_EQ(width, r.width);
                EXPECT_EQ(height, r.height);
            }
        }
    }
    // --grey keeps no alpha: the frame alone, in greys.
    const test::DecodedPng grey = written(greyPicture(rows[0].picture));
    EXPECT_EQ(grey.colourType, 0);
    EXPECT_EQ(grey.width, 4);
    EXPECT_EQ(grey.rgb, Values(4 * 2 * 3, 0x40));
}

TEST(PngFile, ManyRowsOfNoiseAndTheScreensDensity) {
    // Several bands of rows, more than there are cores, in noise that does not compress: every
    // row must come back, and libpng checks the stream's checksum.
    Picture p = makeOwnedPicture(700, 800, 32, 700 * 4);
    p.dotsPerInch = 96;
    uint32_t seed = 1;
    uint8_t* px = mutablePixels(p);
    for (size_t i = 0; i < p.stride * 800; ++i) {
        seed = seed * 1103515245 + 12345;
        px[i] = uint8_t(seed >> 16);
    }
    const test::DecodedPng d = written(p);
    ASSERT_EQ(d.rgb.size(), size_t(700) * 800 * 3);
    for (int y = 0; y < 800; y += 7)
        for (int x = 0; x < 700; x += 3) {
            const uint8_t* q = p.row(y) + x * 4;
            const uint16_t* got = &d.rgb[(size_t(y) * 700 + x) * 3];
            ASSERT_EQ(Values(got, got + 3), (Values{q[2], q[1], q[0]})) << x << "," << y;
        }
    EXPECT_EQ(d.pixelsPerMetre, 3780u);

    int width = 0, height = 0;
    const Values webp = writtenWebp(p, width, height);
    ASSERT_EQ(webp.size(), size_t(700) * 800 * 3);
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 700; ++x) {
            const uint8_t* q = p.row(y) + x * 4;
            const uint16_t* got = &webp[(size_t(y) * 700 + x) * 3];
            ASSERT_EQ(Values(got, got + 3), (Values{q[2], q[1], q[0]})) << x << "," << y;
        }
}

TEST(PngFile, EmptyPictureGivesAnEmptyFileAndAFolderInTheWayIsRefused) {
    test::TempDir dir;
    savePng(Picture{}, dir / "e.png");
    EXPECT_EQ(fs::file_size(dir / "e.png"), 0u);
    fs::create_directory(dir / "d.png");
    EXPECT_THROW(savePng(makeOwnedPicture(1, 1, 32, 4), dir / "d.png"), KvrError);
    EXPECT_TRUE(fs::is_directory(dir / "d.png"));

    // WebP: nothing for an empty picture; past its 16383-pixel limit, libwebp's error number.
    MemorySink sink;
    writePicture(Picture{}, SaveFormat::Webp, sink, {});
    EXPECT_TRUE(sink.bytes.empty());
    try {
        writePicture(makeOwnedPicture(16384, 1, 32, 16384 * 4), SaveFormat::Webp, sink, {});
        ADD_FAILURE() << "no error";
    } catch (const KvrError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "WebP エラー #" + std::to_string(VP8_ENC_ERROR_BAD_DIMENSION));
    }
    EXPECT_TRUE(sink.bytes.empty());
}

}  // namespace
}  // namespace kvr
