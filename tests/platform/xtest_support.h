#pragma once
// Helpers for tests on a private X server: a painted root window and real client windows.
#include <X11/Xlib.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/monitors.h"

namespace kvr::test {

struct Rgb {
    uint8_t r, g, b;
};

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
    Window frame() const;                    // the child of the root holding it
    platform::ScreenRect frameRect() const;  // root coordinates, border included
    void activate();                         // as a pager would, through the window manager
    void moveTo(int x, int y);               // waits until the frame has moved
    void iconify();
    void withdraw();
    void setProperty32(const char* name, Atom type, const std::vector<long>& values);

private:
    Display* display_;
    Window window_;
};

// Polls until done() or about two seconds have passed.
bool waitFor(Display* display, const std::function<bool()>& done);

// Sets _NET_ACTIVE_WINDOW on the root as the window manager would.
void setActiveWindowProperty(Display* display, Window w);

std::vector<uint8_t> readFile(const std::filesystem::path& path);

class TempDir {
public:
    TempDir();
    ~TempDir();
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace kvr::test
