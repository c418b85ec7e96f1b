// All-screen shots at every depth Xvfb offers: the BMP holds the screen's pixels exactly, the
// PNG decodes (with libpng) to them exactly, 16 bits a channel at depth 30, the JPEG within the
// quality's error; the pointer is drawn in at every true-colour depth.
#include <gtest/gtest.h>

#include <cstring>

#include <X11/Xlib.h>

#include "core/shot.h"
#include "jpeg_support.h"
#include "platform/x11/x11_screen_source.h"
#include "png_support.h"
#include "xserver.h"
#include "xtest_support.h"

namespace kvr {
namespace {

using namespace kvr::test;

class ScreenDepth : public ::testing::TestWithParam<int> {};

// A channel of a pixel value spread over 0..65535 to the nearest step, as a 16-bit PNG keeps it.
uint16_t wide(uint32_t pixel, unsigned long mask) {
    const int shift = __builtin_ctzl(mask);
    const uint64_t max = mask >> shift;
    return uint16_t((((pixel & mask) >> shift) * 65535 + max / 2) / max);
}

TEST_P(ScreenDepth, AllScreenBmpPngAndJpegHoldTheScreensPixels) {
    const int depth = GetParam();
    XServer server(XServer::Options{320, 240, depth, false});
    server.exportDisplay();
    Display* dpy = XOpenDisplay(server.display().c_str());
    ASSERT_TRUE(dpy);
    const PaintedRoot painted(dpy);
    TempDir dir;
    x11::X11ScreenSource source;
    const auto shoot = [&](const ShotChoices& c) {
        return shotNow(source, c, JpegOptions{}).result;
    };

    ShotChoices choices;
    choices.mode = ShotMode::AllScreen;
    choices.format = SaveFormat::Bmp;
    choices.Place = dir.path().string();
    ASSERT_EQ(shoot(choices), ShotResult::Written);
    const auto f = readFile(dir / "ALL_B00.bmp");
    const int bpp = depth > 16 ? 32 : depth > 8 ? 16 : 8;
    const size_t colours = bpp == 8 ? 256 : 0;
    const size_t stride = (320 * size_t(bpp) + 31) / 32 * 4;
    ASSERT_EQ(f.size(), 54 + colours * 4 + stride * 240);
    EXPECT_EQ(f[28], bpp);
    EXPECT_EQ(le32(f, 46), colours);
    int wrong = 0;
    for (int y = 0; y < 240; ++y) {
        const uint8_t* row = f.data() + 54 + colours * 4 + (239 - y) * stride;
        for (int x = 0; x < 320; ++x) {
            const Rgb c = painted.displayedAt(x, y);
            bool ok;
            if (bpp == 32) {
                ok = row[x * 4] == c.b && row[x * 4 + 1] == c.g && row[x * 4 + 2] == c.r &&
                     row[x * 4 + 3] == 0xff;
            } else if (bpp == 16) {
                const uint16_t w = uint16_t(row[x * 2] | row[x * 2 + 1] << 8);
                ok = w == ((c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3);
            } else {
                const uint32_t index = painted.pixelAt(x, y);
                const uint8_t* entry = f.data() + 54 + index * 4;
                ok = row[x] == index && entry[0] == c.b && entry[1] == c.g && entry[2] == c.r;
            }
            wrong += !ok;
        }
    }
    EXPECT_EQ(wrong, 0);

    choices.format = SaveFormat::Png;
    ASSERT_EQ(shoot(choices), ShotResult::Written);
    const DecodedPng png = decodePng(dir / "ALL_P00.png");
    ASSERT_EQ(png.width, 320);
    ASSERT_EQ(png.height, 240);
    EXPECT_EQ(png.bitDepth, depth == 30 ? 16 : 8);
    EXPECT_EQ(png.colourType, depth == 8 ? 3 : 2);
    EXPECT_GT(png.pixelsPerMetre, 0u);
    const Visual* visual = DefaultVisual(dpy, DefaultScreen(dpy));
    int pngWrong = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint16_t* got = &png.rgb[(size_t(y) * 320 + x) * 3];
            const Rgb c = painted.displayedAt(x, y);
            const uint32_t p = painted.pixelAt(x, y);
            const bool ok = depth == 30 ? got[0] == wide(p, visual->red_mask) &&
                                              got[1] == wide(p, visual->green_mask) &&
                                              got[2] == wide(p, visual->blue_mask)
                                        : got[0] == c.r && got[1] == c.g && got[2] == c.b;
            pngWrong += !ok;
        }
    EXPECT_EQ(pngWrong, 0);

    choices.format = SaveFormat::Jpeg;
    ASSERT_EQ(shoot(choices), ShotResult::Written);
    const auto d = decodeJpeg(readFile(dir / "ALL_J00.jpg"));
    ASSERT_EQ(d.width, 320);
    ASSERT_EQ(d.height, 240);
    int worst = 0;
    for (int y = 3; y < 240; y += 16)
        for (int x = 3; x < 320; x += 16)
            for (int k = 0; k < 10; k += 3) {
                const Rgb c = painted.displayedAt(x + k, y + k);
                const uint8_t* px = &d.pixels[(size_t(y + k) * 320 + x + k) * 3];
                worst = std::max(
                    {worst, std::abs(px[0] - c.r), std::abs(px[1] - c.g), std::abs(px[2] - c.b)});
            }
    EXPECT_LE(worst, 8);

    // The pointer: drawn near its place at every true-colour depth, refused on a palette.
    const bool refused = source.refusal(CaptureChoice::Pointer) != nullptr;
    EXPECT_EQ(refused, depth == 8);
    if (!refused) {
        XWarpPointer(dpy, None, DefaultRootWindow(dpy), 0, 0, 0, 0, 100, 100);
        XSync(dpy, False);
        const Picture plain = source.grab(ShotMode::AllScreen);
        const std::vector<uint8_t> before(plain.pixels, plain.pixels + plain.stride * 240);
        const Picture drawn = source.grab({ShotMode::AllScreen, MonitorChoice::Primary, "", true});
        int near = 0, far = 0;
        for (int y = 0; y < 240; ++y)
            if (std::memcmp(drawn.row(y), before.data() + y * plain.stride, plain.stride) != 0)
                ++(std::abs(y - 100) < 64 ? near : far);
        EXPECT_GT(near, 0);
        EXPECT_EQ(far, 0);
    }
    XCloseDisplay(dpy);
}

INSTANTIATE_TEST_SUITE_P(Xvfb, ScreenDepth, ::testing::Values(24, 16, 15, 8, 30),
                         [](const auto& info) { return "Depth" + std::to_string(info.param); });

}  // namespace
}  // namespace kvr
