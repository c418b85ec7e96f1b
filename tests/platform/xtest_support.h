#pragma once
// Helpers for tests on a private X server: a painted root window and real client windows.
// gtest first: Xlib's macros (None, Bool) break its headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/screen.h"
#include "core/settings.h"
#include "core/shot.h"
#include "fake_source.h"
#include "file_support.h"
#include "platform/x11/x11_screen_source.h"
#include "xserver.h"

namespace kvr::test {

// The root window's background, in 16-pixel blocks of flat colour, as pixel values of the
// root visual (colours allocated in the default colormap on palette displays).
class PaintedRoot {
public:
    explicit PaintedRoot(Display* display);
    uint32_t pixelAt(int x, int y) const { return pixels_[blockIndex(x, y)]; }
    Rgb colourAt(int x, int y) const { return colours_[blockIndex(x, y)]; }   // what was asked
    Rgb displayedAt(int x, int y) const { return shown_[blockIndex(x, y)]; }  // what the server has

private:
    static size_t blockIndex(int x, int y);
    std::vector<uint32_t> pixels_;
    std::vector<Rgb> colours_;
    std::vector<Rgb> shown_;
};

// A top-level window of one colour, mapped and managed by the window manager.
class TestWindow {
public:
    TestWindow(Display* display, int x, int y, int width, int height, unsigned long pixel,
               bool decorated = true);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    Window id() const { return window_; }
    Window frame() const;          // the child of the root holding it
    ScreenRect frameRect() const;  // root coordinates, border included
    void activate();               // as a pager would, through the window manager
    void moveTo(int x, int y);     // waits until the frame has moved
    void iconify();
    void setProperty32(const char* name, Atom type, const std::vector<long>& values);

private:
    Display* display_;
    Window window_;
};

// Sets _NET_ACTIVE_WINDOW on the root as the window manager would.
void setActiveWindowProperty(Display* display, Window w);

// How many pixels of region (root coordinates, a 24-bit screen) differ from got(x, y), counted
// from the region's top-left; -1 when the server gives no image.
int differingPixels(Display* display, const ScreenRect& region,
                    const std::function<Rgb(int x, int y)>& got);

// Suites sharing one private X server (openbox or another window manager on it when Wm) and its
// painted root.
template <int Width, int Height, bool Wm, WindowManagerKind Kind = WindowManagerKind::Openbox>
class OnServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        XServer::Options options{Width, Height, 24, Wm};
        options.kind = Kind;
        server_ = std::make_unique<XServer>(options);
        display_ = XOpenDisplay(server_->display().c_str());
        painted_ = std::make_unique<PaintedRoot>(display_);
    }
    static void TearDownTestSuite() {
        painted_.reset();
        XCloseDisplay(display_);
        server_.reset();
    }
    // Each test shoots into its own folder, with its own kvr.ini there.
    void SetUp() override { server_->exportDisplay(); }

    // A whole shot as the main window makes it, with the JPEG settings of the test's kvr.ini.
    ShotResult shoot(const ShotChoices& choices) {
        return shotNow(source_, choices, readJpegOptions(Settings((dir_ / "kvr.ini").string())))
            .result;
    }

    TempDir dir_;
    x11::X11ScreenSource source_;

    static inline std::unique_ptr<XServer> server_;
    static inline Display* display_ = nullptr;
    static inline std::unique_ptr<PaintedRoot> painted_;
};

}  // namespace kvr::test
