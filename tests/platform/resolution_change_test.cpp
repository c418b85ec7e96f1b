// The screen size changing while the program runs: the kept connection must not grab with the
// size it saw when it was opened.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "platform/x11/display.h"
#include "platform/x11/windows.h"
#include "platform/x11/x11_screen_source.h"
#include "xserver.h"
#include "xtest_support.h"

namespace kvr {
namespace {

using namespace kvr::test;

// As a settings tool would, from its own connection: the output off, then a smaller screen.
// Xvfb only offers sizes up to the one it started with.
void shrinkScreen(Display* dpy, int width, int height) {
    const Window root = DefaultRootWindow(dpy);
    XRRScreenResources* resources = XRRGetScreenResources(dpy, root);
    ASSERT_TRUE(resources);
    ASSERT_GE(resources->ncrtc, 1);
    EXPECT_EQ(XRRSetCrtcConfig(dpy, resources, resources->crtcs[0], CurrentTime, 0, 0, None,
                               RR_Rotate_0, nullptr, 0),
              0);
    XRRFreeScreenResources(resources);
    XRRSetScreenSize(dpy, root, width, height, width / 4, height / 4);
    XSync(dpy, False);
}

TEST(ResolutionChange, AllScreenGrabFollowsTheNewRootSize) {
    XServer server(XServer::Options{640, 480, 24, false});
    server.exportDisplay();
    Display* ours = XOpenDisplay(server.display().c_str());
    ASSERT_TRUE(ours);
    x11::X11ScreenSource source_;
    const Picture before = source_.grab(ShotMode::AllScreen);  // opens the kept connection
    EXPECT_EQ(before.width, 640);
    EXPECT_EQ(before.height, 480);

    Display* tool = XOpenDisplay(server.display().c_str());
    ASSERT_TRUE(tool);
    shrinkScreen(tool, 320, 240);
    Window rootReturn;
    int x, y;
    unsigned width = 0, height = 0, border, depth;
    XGetGeometry(tool, DefaultRootWindow(tool), &rootReturn, &x, &y, &width, &height, &border,
                 &depth);
    ASSERT_EQ(width, 320u) << "the server did not change its size";
    ASSERT_EQ(height, 240u);
    XCloseDisplay(tool);

    // With no monitor left to ask, the root window's size is what counts.
    EXPECT_EQ(x11::primaryMonitor(ours), (ScreenRect{0, 0, 320, 240}));
    Picture after;
    ASSERT_NO_THROW(after = source_.grab(ShotMode::AllScreen));
    EXPECT_EQ(after.width, 320);
    EXPECT_EQ(after.height, 240);
    XCloseDisplay(ours);
}

}  // namespace
}  // namespace kvr
