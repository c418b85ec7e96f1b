// A desktop of two monitors side by side with the primary one on the right: grabs hold only the
// primary monitor, and its top-left is the origin of the clipping.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

#include <cstring>
#include <memory>
#include <vector>

#include "base/error.h"
#include "platform/x11/display.h"
#include "platform/x11/monitors.h"
#include "platform/x11/windows.h"
#include "xserver.h"
#include "xtest_support.h"

namespace kvr {
namespace {

using namespace kvr::test;
using x11::XPtr;

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
    static void pointAt(int x, int y) {
        XWarpPointer(display_, None, DefaultRootWindow(display_), 0, 0, 0, 0, x, y);
        XSync(display_, False);
    }
    static ShotRequest request(MonitorChoice monitor, const char* output = "",
                               bool pointer = false) {
        return {ShotMode::AllScreen, monitor, output, pointer};
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

TEST_F(TwoMonitors, CaptureChoicesTakeTheirMonitors) {
    EXPECT_EQ(source_.refusal(CaptureChoice::MonitorUnderPointer), nullptr);
    EXPECT_EQ(source_.refusal(CaptureChoice::AllMonitors), nullptr);
    EXPECT_EQ(source_.refusal(CaptureChoice::Pointer), nullptr);
    const struct {
        MonitorChoice monitor;
        const char* output;
        int pointerX;
        ScreenRect expected;
    } rows[] = {
        {MonitorChoice::UnderPointer, "", 100, {0, 0, 320, 480}},
        {MonitorChoice::UnderPointer, "", 600, {320, 0, 320, 480}},
        {MonitorChoice::All, "", 100, {0, 0, 640, 480}},
        {MonitorChoice::Primary, "KVR-LEFT", 600, {0, 0, 320, 480}},
        {MonitorChoice::All, "KVR-RIGHT", 100, {320, 0, 320, 480}},  // a name wins
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pointerX);
        pointAt(row.pointerX, 240);
        expectScreen(source_.grab(request(row.monitor, row.output)), row.expected);
    }
}

TEST_F(TwoMonitors, AMonitorNameNoMonitorHasIsAnError) {
    try {
        source_.grab(request(MonitorChoice::Primary, "HDMI-9"));
        ADD_FAILURE() << "no error";
    } catch (const KvrError& e) {
        EXPECT_STREQ(e.what(), "モニター HDMI-9 が見つかりません");
    }
}

TEST_F(TwoMonitors, ThePointerIsDrawnAtItsHotSpotAndNowhereElse) {
    pointAt(400, 200);
    XPtr<XFixesCursorImage> cursor(XFixesGetCursorImage(display_));
    ASSERT_TRUE(cursor);
    const ScreenRect box{cursor->x - cursor->xhot, cursor->y - cursor->yhot, cursor->width,
                         cursor->height};
    // Without the pointer first (kept: the next grab reuses the memory), then with it.
    const Picture plain = source_.grab(request(MonitorChoice::Primary));
    const std::vector<uint8_t> before(plain.pixels, plain.pixels + plain.stride * plain.height);
    const Picture p = source_.grab(request(MonitorChoice::Primary, "", true));
    ASSERT_EQ(p.width, 320);
    int inside = 0, outside = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (std::memcmp(p.row(y) + x * 4, before.data() + y * p.stride + x * 4, 3) != 0) {
                const bool in = x + 320 >= box.x && y >= box.y && x + 320 < box.x + box.width &&
                                y < box.y + box.height;
                ++(in ? inside : outside);
            }
    EXPECT_GT(inside, 0) << "the pointer is in the picture";
    EXPECT_EQ(outside, 0);
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
