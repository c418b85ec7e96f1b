// JPEG files from made-up pictures: the markers and tables to the byte, the pixels through
// libjpeg's decoder, and the failures.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include <jerror.h>
#include <jpeglib.h>

#include "base/error.h"
#include "core/jpeg.h"
#include "fake_source.h"
#include "file_support.h"
#include "jpeg_support.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;
using test::bgrx;
using test::blockColour;
using test::decodeJpeg;
using test::expectedQuantTable;
using test::parseJpeg;
using test::patterned;
using test::Rgb;

std::vector<uint8_t> encoded(const Picture& p, uint8_t quality = 30, bool grey = false) {
    const JpegBytes bytes = encodeJpeg(p, quality, grey);
    return {bytes.data(), bytes.data() + bytes.size()};
}

std::vector<uint8_t> markersOf(const test::JpegLayout& layout) {
    std::vector<uint8_t> markers;
    for (const auto& s : layout.segments)
        markers.push_back(s.marker);
    return markers;
}

// Every pixel of the decoded file against the pattern, within what quality 30 loses on flat
// blocks (the 4-bit display loses more before the encoder sees it).
void expectPattern(const std::vector<uint8_t>& file, int width, int height, int tolerance) {
    const auto d = decodeJpeg(file);
    ASSERT_EQ(d.width, width);
    ASSERT_EQ(d.height, height);
    ASSERT_EQ(d.components, 3);
    int worst = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Edges of blocks blur; the inner pixels must be the colour.
            if (x % 16 < 3 || x % 16 > 12 || y % 16 < 3 || y % 16 > 12)
                continue;
            const Rgb c = blockColour(x, y);
            const uint8_t* px = &d.pixels[(size_t(y) * width + x) * 3];
            worst = std::max(
                {worst, std::abs(px[0] - c.r), std::abs(px[1] - c.g), std::abs(px[2] - c.b)});
        }
    EXPECT_LE(worst, tolerance);
}

TEST(JpegQuality, LowEightBitsOfTenTimesTheRange) {
    const std::pair<int32_t, int> rows[] = {{0, 0},    {1, 10},   {3, 30}, {5, 50},  {10, 100},
                                            {11, 110}, {25, 250}, {26, 4}, {-1, 246}};
    for (auto [range, byte] : rows)
        EXPECT_EQ(jpegQualityByte(range), byte) << range;
}

TEST(JpegMarkers, ColourFileHasExactlyTheStandardMarkersInOrder) {
    const auto layout = parseJpeg(encoded(bgrx(64, 48)));
    EXPECT_EQ(markersOf(layout),
              (std::vector<uint8_t>{0xd8, 0xe0, 0xdb, 0xdb, 0xc0, 0xc4, 0xc4, 0xc4, 0xc4, 0xda}));
    EXPECT_TRUE(layout.endsWithEoi);
    EXPECT_EQ(layout.segments[1].payload,
              (std::vector<uint8_t>{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
    // A screen that tells its density gets it in dots per inch.
    Picture dense = bgrx(64, 48);
    dense.dotsPerInch = 143.8;
    EXPECT_EQ(parseJpeg(encoded(dense)).segments[1].payload,
              (std::vector<uint8_t>{'J', 'F', 'I', 'F', 0, 1, 1, 1, 0, 144, 0, 144, 0, 0}));
    // SOF0: precision 8, height, width, components 1 (2x2, table 0), 2 and 3 (1x1, table 1).
    EXPECT_EQ(layout.segments[4].payload,
              (std::vector<uint8_t>{8, 0, 48, 0, 64, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
    EXPECT_EQ(layout.segments[9].payload,
              (std::vector<uint8_t>{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
    // Standard Huffman tables (Annex K.3): DC 0, AC 0, DC 1, AC 1.
    const uint8_t classes[] = {0x00, 0x10, 0x01, 0x11};
    const std::vector<uint8_t> bits[] = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
                                         {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
                                         {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
                                         {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}};
    for (int i = 0; i < 4; ++i) {
        const auto& p = layout.segments[5 + i].payload;
        EXPECT_EQ(p[0], classes[i]);
        EXPECT_EQ(std::vector<uint8_t>(p.begin() + 1, p.begin() + 17), bits[i]);
        EXPECT_EQ(p.size(), 17u + (i % 2 ? 162u : 12u));
    }
    // No restart markers in the scan.
    for (size_t i = 0; i + 1 < layout.entropy.size(); ++i) {
        if (layout.entropy[i] == 0xff) {
            EXPECT_EQ(layout.entropy[i + 1], 0) << "at " << i;
        }
    }
}

TEST(JpegMarkers, QuantisationTablesFollowTheQuality) {
    for (int quality : {30, 50, 100, 4, 10}) {
        const auto layout = parseJpeg(encoded(bgrx(16, 16), uint8_t(quality)));
        ASSERT_EQ(layout.segments[2].payload.size(), 65u);
        EXPECT_EQ(layout.segments[2].payload[0], 0);
        EXPECT_EQ(layout.segments[3].payload[0], 1);
        EXPECT_EQ(std::vector<uint8_t>(layout.segments[2].payload.begin() + 1,
                                       layout.segments[2].payload.end()),
                  expectedQuantTable(false, quality))
            << quality;
        EXPECT_EQ(std::vector<uint8_t>(layout.segments[3].payload.begin() + 1,
                                       layout.segments[3].payload.end()),
                  expectedQuantTable(true, quality))
            << quality;
    }
    // Quality byte 0 counts as 1 (all 255); anything above 100 as 100 (all 1).
    auto table = [](uint8_t q) {
        const auto p = parseJpeg(encoded(bgrx(16, 16), q)).segments[2].payload;
        return std::vector<uint8_t>(p.begin() + 1, p.end());
    };
    EXPECT_EQ(table(0), std::vector<uint8_t>(64, 255));
    EXPECT_EQ(table(100), std::vector<uint8_t>(64, 1));
    EXPECT_EQ(table(246), std::vector<uint8_t>(64, 1));
}

TEST(JpegMarkers, GreyFileHasOneComponentOneTableAndTheGreyLevels) {
    Picture p = bgrx(32, 32);
    const auto file = encoded(p, 30, true);
    const auto layout = parseJpeg(file);
    EXPECT_EQ(markersOf(layout), (std::vector<uint8_t>{0xd8, 0xe0, 0xdb, 0xc0, 0xc4, 0xc4, 0xda}));
    EXPECT_EQ(layout.segments[3].payload, (std::vector<uint8_t>{8, 0, 32, 0, 32, 1, 1, 0x11, 0}));
    EXPECT_EQ(layout.segments[6].payload, (std::vector<uint8_t>{1, 1, 0x00, 0, 63, 0}));
    const auto d = decodeJpeg(file);
    ASSERT_EQ(d.components, 1);
    for (int y = 4; y < 32; y += 16)
        for (int x = 4; x < 32; x += 16) {
            const Rgb c = blockColour(x, y);
            const int grey = (c.r * 299 + c.g * 587 + c.b * 114 + 500) / 1000;
            EXPECT_NEAR(d.pixels[size_t(y) * 32 + x], grey, 4) << x << "," << y;
        }
}

TEST(JpegPixels, EveryDisplayLayoutDecodesToItsColours) {
    const struct {
        int bpp;
        ByteOrder order;
        uint32_t r, g, b;
        int tolerance;  // 16 bits a pixel lose more before the encoder sees them
    } layouts[] = {
        {32, ByteOrder::LsbFirst, 0xff0000, 0xff00, 0xff, 6},
        {32, ByteOrder::MsbFirst, 0xff0000, 0xff00, 0xff, 6},
        {32, ByteOrder::LsbFirst, 0xff, 0xff00, 0xff0000, 6},
        {24, ByteOrder::LsbFirst, 0xff0000, 0xff00, 0xff, 6},
        {24, ByteOrder::MsbFirst, 0xff0000, 0xff00, 0xff, 6},
        {32, ByteOrder::LsbFirst, 0x3ff00000, 0x000ffc00, 0x000003ff, 6},
        {16, ByteOrder::LsbFirst, 0xf800, 0x07e0, 0x001f, 10},
        {16, ByteOrder::MsbFirst, 0x7c00, 0x03e0, 0x001f, 10},
    };
    for (const auto& l : layouts) {
        SCOPED_TRACE(::testing::Message() << l.bpp << " bpp, red mask " << l.r);
        expectPattern(encoded(patterned(64, 48, l.bpp, l.order, l.r, l.g, l.b)), 64, 48,
                      l.tolerance);
    }
}

TEST(JpegPixels, PaletteDisplayUsesItsColourTable) {
    Picture p = makeOwnedPicture(32, 32, 8, 32);
    p.palette.resize(256);
    p.palette[3] = {255, 0, 0};
    p.palette[9] = {0, 0, 255};
    for (int y = 0; y < 32; ++y)
        std::memset(mutablePixels(p) + y * 32, y < 16 ? 3 : 9, 32);
    const auto d = decodeJpeg(encoded(p));
    const uint8_t* top = &d.pixels[(4 * 32 + 4) * 3];
    const uint8_t* bottom = &d.pixels[(28 * 32 + 4) * 3];
    EXPECT_GT(top[0], 240);  // red stays red, and the first row in the file is the top row
    EXPECT_LT(top[2], 20);
    EXPECT_GT(bottom[2], 240);
    EXPECT_LT(bottom[0], 20);
}

TEST(JpegPixels, OneRowAndOddSizesAreValidFiles) {
    for (auto [w, h] : {std::pair{1, 1}, {37, 1}, {1, 23}, {33, 17}}) {
        const auto d = decodeJpeg(encoded(bgrx(w, h)));
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
    }
}

class JpegFile : public ::testing::Test {
protected:
    test::TempDir dir_;
};

TEST_F(JpegFile, EmptyPictureGivesAnEmptyFile) {
    saveJpeg(bgrx(0, 10), dir_ / "e.jpg", 30, false);
    EXPECT_EQ(fs::file_size(dir_ / "e.jpg"), 0u);
}

TEST_F(JpegFile, WrittenBytesAreTheEncodedOnes) {
    const Picture p = bgrx(40, 40);
    saveJpeg(p, dir_ / "p.jpg", 30, false);
    EXPECT_EQ(test::readFile(dir_ / "p.jpg"), encoded(p));
}

TEST_F(JpegFile, EncoderErrorCarriesLibjpegsNumberAndLeavesAnEmptyFile) {
    test::writeText(dir_ / "big.jpg", "old contents");
    try {
        saveJpeg(bgrx(65501, 1), dir_ / "big.jpg", 30, false);
        ADD_FAILURE() << "no error";
    } catch (const KvrError& e) {
        EXPECT_EQ(std::string(e.what()), "JPEG エラー #" + std::to_string(JERR_IMAGE_TOO_BIG));
    }
    EXPECT_EQ(fs::file_size(dir_ / "big.jpg"), 0u);
}

}  // namespace
}  // namespace kvr
