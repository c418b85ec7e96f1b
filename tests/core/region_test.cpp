// A region of the desktop: its text form, where it lies against the monitors, and the exact cut
// of a picture at every depth a picture holds.
#include "core/region.h"

#include <gtest/gtest.h>

#include <optional>

namespace kvr {
namespace {

TEST(Geometry, ParserTable) {
    const struct {
        const char* text;
        std::optional<ScreenRect> rect;
    } rows[] = {
        {"1280x720+0+0", ScreenRect{0, 0, 1280, 720}},
        {"1x1+3839+2159", ScreenRect{3839, 2159, 1, 1}},
        {"640x480+1920+8", ScreenRect{1920, 8, 640, 480}},
        {"1000000x1+1000000+0", ScreenRect{1000000, 0, 1000000, 1}},
        {"", std::nullopt},
        {"1280x720", std::nullopt},
        {"1280x720+0", std::nullopt},
        {"0x720+0+0", std::nullopt},
        {"10x0+0+0", std::nullopt},
        {"10x10-5+0", std::nullopt},
        {"10x10+-5+0", std::nullopt},
        {"+10x10+0+0", std::nullopt},
        {"10X10+0+0", std::nullopt},
        {"10x10+0+0 ", std::nullopt},
        {" 10x10+0+0", std::nullopt},
        {"10x10+0+0+0", std::nullopt},
        {"1000001x1+0+0", std::nullopt},
        {"99999999999999999999x1+0+0", std::nullopt},
        {"10×10+0+0", std::nullopt},
        {"0x10x10+0+0", std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(parseGeometry(row.text), row.rect) << row.text;
        if (row.rect) {
            EXPECT_EQ(geometryText(*row.rect), row.text);
        }
    }
}

TEST(Geometry, ARegionIsCutToThePictureAndMustTouchAMonitor) {
    // Two monitors of different heights side by side: below the smaller one is no monitor.
    const std::vector<MonitorPlace> two = {{"A", {0, 0, 100, 50}}, {"B", {100, 0, 100, 80}}};
    EXPECT_EQ(regionOnMonitors({90, 10, 20, 20}, two, 200, 80), (ScreenRect{90, 10, 20, 20}));
    EXPECT_EQ(regionOnMonitors({150, 70, 100, 100}, two, 200, 80), (ScreenRect{150, 70, 50, 10}));
    EXPECT_EQ(regionOnMonitors({0, 60, 90, 20}, two, 200, 80), std::nullopt);   // under A only
    EXPECT_EQ(regionOnMonitors({200, 0, 10, 10}, two, 200, 80), std::nullopt);  // past the edge
    EXPECT_EQ(regionOnMonitors({0, 60, 90, 20}, {}, 200, 80), (ScreenRect{0, 60, 90, 20}));
    EXPECT_EQ(layoutText(two), "A:100x50+0+0 B:100x80+100+0");

    // A click takes the topmost frame under it, cut to the picture.
    const std::vector<ScreenRect> frames = {{10, 10, 20, 20}, {-5, -5, 100, 100}};
    EXPECT_EQ(frameAt(frames, 15, 15, 200, 80), (ScreenRect{10, 10, 20, 20}));
    EXPECT_EQ(frameAt(frames, 5, 5, 200, 80), (ScreenRect{0, 0, 95, 80}));
    EXPECT_EQ(frameAt(frames, 150, 5, 200, 80), std::nullopt);
}

// A pixel's value wherever it sits, as a reader of the picture would take it.
uint32_t pixelAt(const Picture& p, int x, int y) {
    const uint8_t* row = p.row(y);
    const int bits = p.bitsPerPixel;
    if (bits < 8) {
        const int perByte = 8 / bits, slot = x % perByte;
        const int shift = p.bitOrder == ByteOrder::MsbFirst ? 8 - bits * (slot + 1) : bits * slot;
        return (row[x / perByte] >> shift) & ((1u << bits) - 1);
    }
    uint32_t value = 0;
    for (int b = 0; b < bits / 8; ++b)
        value |= uint32_t(row[x * (bits / 8) + b]) << (8 * b);
    return value;
}

TEST(Crop, EveryDepthKeepsExactlyTheChosenPixels) {
    for (const int bits : {32, 24, 16, 8, 4, 1}) {
        for (const ByteOrder order : {ByteOrder::MsbFirst, ByteOrder::LsbFirst}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, bit order " << int(order));
            const int width = 37, height = 9;
            // Rows padded beyond their pixels, as X images are.
            Picture whole = makeOwnedPicture(width, height, bits, (width * bits + 7) / 8 + 5);
            whole.bitOrder = order;
            whole.palette.resize(bits <= 8 ? 1u << bits : 0);
            whole.dotsPerInch = 144;
            uint8_t* pixels = mutablePixels(whole);
            for (size_t i = 0; i < whole.stride * height; ++i)
                pixels[i] = uint8_t(i * 151 + 7);
            // Offsets that start inside a byte at 1 and 4 bits.
            for (const ScreenRect r : {ScreenRect{3, 2, 11, 5}, ScreenRect{0, 0, width, height},
                                       ScreenRect{36, 8, 1, 1}, ScreenRect{5, 1, 30, 7}}) {
                const Picture cut = cutRegion(whole, r);
                ASSERT_EQ(cut.width, r.width);
                ASSERT_EQ(cut.height, r.height);
                EXPECT_EQ(cut.bitsPerPixel, bits);
                EXPECT_EQ(cut.palette.size(), whole.palette.size());
                EXPECT_EQ(cut.dotsPerInch, 144);
                for (int y = 0; y < r.height; ++y)
                    for (int x = 0; x < r.width; ++x)
                        ASSERT_EQ(pixelAt(cut, x, y), pixelAt(whole, r.x + x, r.y + y))
                            << x << "," << y << " of " << geometryText(r);
                // Whole bytes share the pixels; the same memory is kept alive.
                if (bits >= 8) {
                    EXPECT_EQ(cut.owner, whole.owner);
                }
            }
            // Beyond the picture: cut to it, or nothing left.
            EXPECT_EQ(cutRegion(whole, {30, 5, 20, 20}).width, 7);
            EXPECT_TRUE(cutRegion(whole, {width, 0, 5, 5}).empty());
            EXPECT_TRUE(cutRegion(whole, {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}).empty());
        }
    }
}

}  // namespace
}  // namespace kvr
