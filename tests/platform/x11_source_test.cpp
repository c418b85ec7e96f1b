// The X11 source against a real server: the plain GetImage path against shared memory, and a
// server lost between shots. (Pixels equal to the screen: screen_depths_test, active_window_test.)
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "base/error.h"
#include "core/shot.h"
#include "platform/x11/display.h"
#include "xserver.h"
#include "xtest_support.h"

namespace kvr {
namespace {

using namespace kvr::test;

class X11Source : public OnServer<320, 240, false> {};

TEST_F(X11Source, PlainGetImageGivesTheSamePixelsAsSharedMemory) {
    const Picture shared = source_.grab(ShotMode::AllScreen);
    const std::vector<uint8_t> viaShm(shared.pixels, shared.pixels + shared.stride * 240);
    x11::connection().shmUsable = false;  // as on a remote display
    const Picture plain = source_.grab(ShotMode::AllScreen);
    x11::connection().shmUsable = true;
    ASSERT_EQ(plain.stride, shared.stride);
    EXPECT_NE(plain.pixels, shared.pixels);
    EXPECT_EQ(std::vector<uint8_t>(plain.pixels, plain.pixels + plain.stride * 240), viaShm);
}

// The server goes away between shots: an error message, never the end of the program; the next
// server is found again.
TEST(LostDisplay, ServerGoneIsAnErrorAndTheNextServerWorks) {
    TempDir dir;
    ShotChoices c;
    c.mode = ShotMode::AllScreen;
    c.format = SaveFormat::Bmp;
    c.Place = dir.path().string();
    x11::X11ScreenSource source;
    const auto shoot = [&](const ShotChoices& c) {
        return shotNow(source, c, JpegOptions{}).result;
    };
    std::string name;
    {
        XServer first(XServer::Options{160, 120, 24, false});
        first.exportDisplay();
        name = first.display();
        ASSERT_EQ(shoot(c), ShotResult::Written);
    }
    for (int i = 0; i < 2; ++i) {
        try {
            shoot(c);
            ADD_FAILURE() << "no error";
        } catch (const KvrError& e) {
            EXPECT_STREQ(e.what(), "システム リソースが足りません");
        }
    }
    XServer second(XServer::Options{200, 100, 24, false});
    second.exportDisplay();
    ASSERT_EQ(shoot(c), ShotResult::Written);
    const auto f = readFile(dir / "ALL_B01.bmp");
    ASSERT_GE(f.size(), 26u);
    EXPECT_EQ(f[18], 200);
    EXPECT_EQ(f[22], 100);
}

}  // namespace
}  // namespace kvr
