// A desktop of two monitors side by side with the primary one on the right: grabs hold only the
// primary monitor, and its top-left is the origin of the clipping.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <memory>

#include "base/error.h"
#include "platform/x11/display.h"
#include "platform/x11/windows.h"
#include "xserver.h"
#include "xtest_support.h"

namespace kvr {
namespace {

using namespace kvr::test;

class TwoMonitors : public OnServer<640, 480, true> {
protected:
    static void SetUpTestSuite() {
        OnServer::SetUpTestSuite();
        // RandR virtual monitors: Xvfb has one output, but lays out monitors as it is told.
        const Window root = DefaultRootWindow(display_);
        XRRMonitorInfo* m = XRRAllocateMonitor(display_, 0);
        m->width = 320, m->height = 480, m->mwidth = 100, m->mheight = 150;
        m->name = XInternAtom(display_, "KVR-LEFT", False);
        m->x = 0, m->primary = False;
        XRRSetMonitor(display_, root, m);
        m->name = XInternAtom(display_, "KVR-RIGHT", False);
        m->x = 320, m->primary = True;
        XRRSetMonitor(display_, root, m);
        XRRFreeMonitors(m);
        XSync(display_, False);
    }
    // The grabbed picture must be the root window's pixels over region.
    void expectScreen(const Picture& p, const ScreenRect& region) {
        ASSERT_EQ(p.width, region.width);
        ASSERT_EQ(p.height, region.height);
        ASSERT_EQ(p.bitsPerPixel, 32);
        EXPECT_EQ(differingPixels(display_, region,
                                  [&](int x, int y) {
                                      const uint8_t* px = p.row(y) + x * 4;
                                      return Rgb{px[2], px[1], px[0]};
                                  }),
                  0);
    }
};

TEST_F(TwoMonitors, PrimaryIsTheMonitorMarkedSo) {
    EXPECT_EQ(x11::primaryMonitor(display_), (ScreenRect{320, 0, 320, 480}));
}

TEST_F(TwoMonitors, AllScreenIsThePrimaryMonitorOnly) {
    expectScreen(source_.grab(ShotMode::AllScreen), {320, 0, 320, 480});
}

TEST_F(TwoMonitors, WindowOnTheOtherMonitorIsNoWindow) {
    TestWindow w(display_, 20, 100, 150, 100, 0xff0000);
    w.activate();
    ASSERT_LT(w.frameRect().x + w.frameRect().width, 320);
    try {
        source_.grab(ShotMode::ActiveWindow);
        ADD_FAILURE() << "no error";
    } catch (const KvrError& e) {
        EXPECT_STREQ(e.what(), "Windowの取得に失敗しました");
    }
}

TEST_F(TwoMonitors, WindowAcrossBothIsCutAtThePrimarysLeftEdge) {
    TestWindow w(display_, 250, 100, 200, 100, 0x00ff00);
    w.activate();
    const ScreenRect frame = w.frameRect();
    ASSERT_LT(frame.x, 320);
    expectScreen(source_.grab(ShotMode::ActiveWindow),
                 {320, frame.y, frame.x + frame.width - 320, frame.height});
}

}  // namespace
}  // namespace kvr
