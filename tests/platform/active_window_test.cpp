// Active-window shots with real windows under openbox: the window in front with its frame, the
// clipping at the screen's edges, and the walk past hidden and iconified windows.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "base/error.h"
#include "core/settings.h"
#include "core/shot.h"
#include "polling.h"
#include "xserver.h"
#include "xtest_support.h"

namespace kvr {
namespace {

using namespace kvr::test;

template <WindowManagerKind Kind>
class ActiveWindowUnder : public OnServer<640, 480, true, Kind> {
protected:
    using Base = OnServer<640, 480, true, Kind>;
    using Base::dir_;
    using Base::display_;
    using Base::shoot;

    // One active-window BMP shot; its file's bytes.
    std::vector<uint8_t> shootBmp() {
        ShotChoices choices;
        choices.mode = ShotMode::ActiveWindow;
        choices.format = SaveFormat::Bmp;
        choices.Place = dir_.path().string();
        EXPECT_EQ(shoot(choices), ShotResult::Written);
        const auto name = dir_ / ("Act_B0" + std::to_string(shots_++) + ".bmp");
        return readFile(name);
    }

    // The BMP must hold exactly what the screen shows over region (root coordinates).
    void expectScreen(const std::vector<uint8_t>& f, const ScreenRect& region) {
        ASSERT_GE(f.size(), 54u);
        ASSERT_EQ(int(le32(f, 18)), region.width);
        ASSERT_EQ(int(le32(f, 22)), region.height);
        const size_t stride = size_t(region.width) * 4;
        EXPECT_EQ(differingPixels(display_, region,
                                  [&](int x, int y) {
                                      const uint8_t* b =
                                          f.data() + 54 + (region.height - 1 - y) * stride + x * 4;
                                      return Rgb{b[2], b[1], b[0]};
                                  }),
                  0);
    }

    void expectNoWindow() {
        ShotChoices choices;
        choices.mode = ShotMode::ActiveWindow;
        choices.format = SaveFormat::Jpeg;
        choices.Place = dir_.path().string();
        try {
            shoot(choices);
            ADD_FAILURE() << "no error";
        } catch (const KvrError& e) {
            EXPECT_STREQ(e.what(), "Windowの取得に失敗しました");
        }
        EXPECT_FALSE(std::filesystem::exists(dir_ / "Act_J00.jpg"));
    }

    int shots_ = 0;
};
using ActiveWindow = ActiveWindowUnder<WindowManagerKind::Openbox>;

TEST_F(ActiveWindow, FrontWindowWithItsFrame) {
    TestWindow back(display_, 50, 60, 300, 200, 0x00ff00);
    TestWindow front(display_, 120, 100, 200, 150, 0xff0000);
    front.activate();
    const ScreenRect frame = front.frameRect();
    ASSERT_GT(frame.height, 150) << "openbox should add a title bar";
    expectScreen(shootBmp(), frame);

    back.activate();  // raised above the other one
    expectScreen(shootBmp(), back.frameRect());
}

TEST_F(ActiveWindow, OffTheLeftAndTopEdgeLosesThatStrip) {
    TestWindow w(display_, 100, 100, 200, 150, 0x0000ff);
    w.activate();
    w.moveTo(-50, -30);
    const ScreenRect frame = w.frameRect();
    ASSERT_LT(frame.x, 0);
    ASSERT_LT(frame.y, 0);
    expectScreen(shootBmp(), {0, 0, frame.width + frame.x, frame.height + frame.y});
}

TEST_F(ActiveWindow, OffTheRightAndBottomEdgeIsCutThere) {
    TestWindow w(display_, 100, 100, 200, 150, 0xffff00);
    w.activate();
    w.moveTo(560, 420);
    const ScreenRect frame = w.frameRect();
    ASSERT_GT(frame.x + frame.width, 640);
    ASSERT_GT(frame.y + frame.height, 480);
    expectScreen(shootBmp(), {frame.x, frame.y, 640 - frame.x, 480 - frame.y});
}

TEST_F(ActiveWindow, SelfDecoratedWindowLosesItsShadowMargin) {
    TestWindow w(display_, 100, 100, 200, 150, 0xff00ff, false);
    w.setProperty32("_GTK_FRAME_EXTENTS", XA_CARDINAL, {10, 12, 5, 20});
    w.activate();
    const ScreenRect frame = w.frameRect();
    ASSERT_EQ(frame.width, 200) << "openbox should not decorate it";
    expectScreen(shootBmp(), {frame.x + 10, frame.y + 5, 200 - 22, 150 - 25});
}

// metacity (compositing on) frames a window with an invisible band for resizing, where what lies
// behind shows: the picture is the frame it publishes as seen.
using ActiveWindowMetacity = ActiveWindowUnder<WindowManagerKind::Metacity>;
TEST_F(ActiveWindowMetacity, ThePictureIsTheVisibleFrame) {
    TestWindow w(display_, 120, 100, 200, 150, 0xff0000);
    w.activate();
    const ScreenRect frame = w.frameRect();
    Atom type;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    XGetWindowProperty(display_, w.id(), XInternAtom(display_, "_NET_FRAME_EXTENTS", False), 0, 4,
                       False, XA_CARDINAL, &type, &format, &count, &after, &raw);
    ASSERT_EQ(count, 4u) << "metacity should publish its frame";
    const std::vector<long> e(reinterpret_cast<long*>(raw), reinterpret_cast<long*>(raw) + 4);
    XFree(raw);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display_, w.id(), DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    const ScreenRect visible{int(x - e[0]), int(y - e[2]), int(200 + e[0] + e[1]),
                             int(150 + e[2] + e[3])};
    ASSERT_GT(frame.width, visible.width) << "no invisible band: this test tells nothing";
    // The compositor paints the window, then its frame as active, a moment after the server
    // says so: the screen is taken once it shows the window and then holds still a while (a
    // loaded machine can leave the old screen up for longer than one poll).
    const auto image = [&] {
        XImage* i =
            XGetImage(display_, DefaultRootWindow(display_), visible.x, visible.y,
                      unsigned(visible.width), unsigned(visible.height), AllPlanes, ZPixmap);
        std::string bytes(i->data, size_t(i->bytes_per_line) * i->height);
        XDestroyImage(i);
        return bytes;
    };
    const auto painted = [&] {
        XImage* i = XGetImage(display_, DefaultRootWindow(display_), x + 100, y + 75, 1, 1,
                              AllPlanes, ZPixmap);
        const unsigned long pixel = XGetPixel(i, 0, 0);
        XDestroyImage(i);
        return pixel == 0xff0000;
    };
    ASSERT_TRUE(pollUntil(std::chrono::seconds(10), painted, std::chrono::milliseconds(50)));
    std::string last = image();
    int same = 0;
    pollUntil(
        std::chrono::seconds(5),
        [&] {
            std::string now = image();
            same = std::exchange(last, now) == now ? same + 1 : 0;
            return same == 3;
        },
        std::chrono::milliseconds(100));
    expectScreen(shootBmp(), visible);
}

TEST_F(ActiveWindow, WalkSkipsIconifiedAndHiddenWindows) {
    TestWindow bottom(display_, 30, 40, 250, 180, 0x808080);
    TestWindow middle(display_, 200, 150, 220, 160, 0x20a040);
    TestWindow top(display_, 300, 200, 200, 120, 0xa02040);
    top.activate();
    const Window topFrame = top.frame();
    top.iconify();
    // The window manager may have moved the focus on: point the active window back at the
    // iconified one, as if it were still in front.
    setActiveWindowProperty(display_, top.id());
    ASSERT_EQ(top.frame(), topFrame);
    expectScreen(shootBmp(), middle.frameRect());

    // Iconified but still mapped (window managers that keep thumbnails do that).
    const Atom hidden = XInternAtom(display_, "_NET_WM_STATE_HIDDEN", False);
    middle.setProperty32("_NET_WM_STATE", XA_ATOM, {long(hidden)});
    setActiveWindowProperty(display_, top.id());
    expectScreen(shootBmp(), bottom.frameRect());

    // An unmapped window in front, just above the middle one.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const Window unmapped =
        XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, 640, 480, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
    XWindowChanges changes{};
    changes.sibling = middle.frame();
    changes.stack_mode = Above;
    XConfigureWindow(display_, unmapped, CWSibling | CWStackMode, &changes);
    setActiveWindowProperty(display_, unmapped);
    expectScreen(shootBmp(), bottom.frameRect());
    XDestroyWindow(display_, unmapped);
}

TEST_F(ActiveWindow, NoActiveWindowAndNoFocusIsNoWindow) {
    setActiveWindowProperty(display_, None);
    XSetInputFocus(display_, None, RevertToNone, CurrentTime);
    XSync(display_, False);
    expectNoWindow();
}

TEST_F(ActiveWindow, WindowGoneBeforeTheShotIsNoWindowNotACrash) {
    Window gone;
    {
        TestWindow w(display_, 100, 100, 200, 150, 0x123456);
        w.activate();
        gone = w.id();
    }
    setActiveWindowProperty(display_, gone);
    expectNoWindow();
}

}  // namespace
}  // namespace kvr
