// A region of the screen from the command line on an X server with openbox: -g cuts a given
// rectangle; -r shows the picture taken after the delay and takes the rectangle dragged on it
// with xdotool (keys, a click on a window, a cancel), across two monitors' seam too. Every file
// is compared with the same pixels of a plain grab, so nothing the selection draws is in it.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <thread>

#include "e2e_support.h"
#include "file_support.h"
#include "jpeg_support.h"
#include "polling.h"

// Last: its macros (None, Status, ...) would clash with the test framework's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using namespace kvr::e2e;
using namespace kvr::test;

// A 32-bit BMP as the program writes it: rows bottom first, blue green red and a fourth byte.
struct Bmp {
    int width = 0, height = 0;
    std::vector<uint8_t> bytes;
    uint32_t at(int x, int y) const {
        const size_t offset = 54 + (size_t(height - 1 - y) * width + x) * 4;
        return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16;
    }
};

Bmp readBmp(const fs::path& path) {
    Bmp b;
    b.bytes = readFile(path);
    if (b.bytes.size() < 54)
        return b;
    b.width = b.bytes[18] | b.bytes[19] << 8;
    b.height = b.bytes[22] | b.bytes[23] << 8;
    return b;
}

// Where the cut lies in the whole picture, and whether every pixel matches it.
::testing::AssertionResult isCutOf(const Bmp& cut, const Bmp& whole, int x, int y, int width,
                                   int height) {
    if (cut.width != width || cut.height != height)
        return ::testing::AssertionFailure() << "size " << cut.width << "x" << cut.height;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            if (cut.at(column, row) != whole.at(x + column, y + row))
                return ::testing::AssertionFailure() << "pixel " << column << "," << row;
    return ::testing::AssertionSuccess();
}

class Region : public ::testing::Test {
protected:
    void SetUp() override {
        // A pattern no two neighbouring pixels share, so a cut one pixel off shows; and a
        // small window above it for the click.
        display_ = XOpenDisplay(program_.display().c_str());
        ASSERT_NE(display_, nullptr);
        pattern_ = window(0, 0, 1024, 768, [](int x, int y) {
            return uint32_t((x * 7 + y * 13) & 0xff) << 16 | uint32_t((x * 3) & 0xff) << 8 |
                   uint32_t(y & 0xff);
        });
        small_ = window(400, 300, 200, 150, [](int x, int y) { return 0x20c040u + x + y; });
        XSync(display_, False);
        ASSERT_EQ(shot({"-m", "all", "-t", "bmp", "-o", plainPath().string()}).status, 0);
        plain_ = readBmp(plainPath());
        ASSERT_EQ(plain_.width, 1024);
    }
    void TearDown() override {
        if (display_)
            XCloseDisplay(display_);
    }

    // An override-redirect window painted with colour(x, y); openbox leaves it as it is.
    unsigned long window(int x, int y, int width, int height, uint32_t (*colour)(int, int)) {
        XSetWindowAttributes a{};
        a.override_redirect = True;
        const Window w =
            XCreateWindow(display_, DefaultRootWindow(display_), x, y, width, height, 0,
                          CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect, &a);
        XMapRaised(display_, w);
        const Pixmap pixmap = XCreatePixmap(display_, w, width, height, 24);
        XImage* image = XCreateImage(display_, DefaultVisual(display_, 0), 24, ZPixmap, 0, nullptr,
                                     width, height, 32, 0);
        image->data = static_cast<char*>(malloc(size_t(image->bytes_per_line) * height));
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                XPutPixel(image, column, row, colour(column, row));
        const GC gc = XCreateGC(display_, pixmap, 0, nullptr);
        XPutImage(display_, pixmap, gc, image, 0, 0, 0, 0, width, height);
        XSetWindowBackgroundPixmap(display_, w, pixmap);
        XClearWindow(display_, w);
        XFreeGC(display_, gc);
        XDestroyImage(image);
        XFreePixmap(display_, pixmap);
        XSync(display_, False);
        return w;
    }

    struct Result {
        int status;
        std::string err;
    };
    std::vector<std::string> environment() const {
        return {"DISPLAY=" + program_.display(),
                "HOME=" + program_.home().string(),
                "XDG_CONFIG_HOME=" + program_.configHome().string(),
                "LANG=en_GB.UTF-8",
                "LC_ALL=",
                "LC_MESSAGES=",
                "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"};
    }
    std::vector<std::string> argv(const std::vector<std::string>& words) const {
        std::vector<std::string> line = {(program_.folder() / "kvr").string(), "-n"};
        line.insert(line.end(), words.begin(), words.end());
        return line;
    }
    Result shot(const std::vector<std::string>& words) {
        const fs::path err = program_.root() / "stderr.txt";
        fs::remove(err);
        const CommandResult r = run(Command(argv(words), environment(), err));
        return {r.exitCode, readText(err)};
    }
    // -r into out.bmp: the selection is shown, then `drive` acts on it; the status.
    Result choose(const std::function<void()>& drive, const std::vector<std::string>& env = {}) {
        fs::remove(outPath());
        const fs::path err = program_.root() / "stderr.txt";
        fs::remove(err);
        std::vector<std::string> variables = environment();
        variables.insert(variables.end(), env.begin(), env.end());
        Process kvr(Command(argv({"-r", "-t", "bmp", "-o", outPath().string()}), variables, err));
        // Up when the selection's window is mapped and has taken the keyboard.
        const bool shown = pollUntil(5s, [&] {
            return !program_.run({"xdotool", "search", "--onlyvisible", "--name", "^Region$"})
                        .output.empty();
        });
        EXPECT_TRUE(shown);
        std::this_thread::sleep_for(300ms);
        drive();
        const auto status = kvr.waitForExit(10s);
        return {status.value_or(-1), readText(err)};
    }
    void xdotool(const std::string& words) const {
        std::vector<std::string> line = {"xdotool"};
        std::istringstream in(words);
        for (std::string w; in >> w;)
            line.push_back(w);
        program_.run(line);
    }
    void drag(int x0, int y0, int x1, int y1) const {
        xdotool("mousemove " + std::to_string(x0) + " " + std::to_string(y0) + " mousedown 1");
        xdotool("mousemove " + std::to_string((x0 + x1) / 2) + " " + std::to_string((y0 + y1) / 2));
        xdotool("mousemove " + std::to_string(x1) + " " + std::to_string(y1) + " mouseup 1");
    }

    fs::path plainPath() const { return program_.root() / "plain.bmp"; }
    fs::path outPath() const { return program_.root() / "out.bmp"; }

    Program program_;
    Display* display_ = nullptr;
    unsigned long pattern_ = 0, small_ = 0;
    Bmp plain_;
};

TEST_F(Region, GeometryCutsExactlyThosePixelsOrSaysWhy) {
    Result r = shot({"-g", "100x50+10+20", "-t", "bmp", "-o", outPath().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(isCutOf(readBmp(outPath()), plain_, 10, 20, 100, 50));
    // Past the right edge: cut there.
    r = shot({"-g", "100x50+1000+718", "-t", "bmp", "-o", outPath().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(isCutOf(readBmp(outPath()), plain_, 1000, 718, 24, 50));
    // A malformed or empty geometry is a usage error; a rectangle on no monitor fails before
    // the delay, and nothing is written.
    fs::remove(outPath());
    for (const char* bad : {"", "100x50", "0x5+0+0", "5x5+-1+0"}) {
        r = shot({"-g", bad, "-o", outPath().string()});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("WIDTHxHEIGHT+X+Y"), std::string::npos) << r.err;
    }
    r = shot({"-g", "10x10+2000+0", "-d", "3600", "-o", outPath().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The region 10x10+2000+0 lies on no monitor\n");
    EXPECT_FALSE(fs::exists(outPath()));
}

TEST_F(Region, DragKeysClickAndCancel) {
    // The whole screen dragged: the file is the plain grab, none of the selection's drawing.
    Result r = choose([&] {
        drag(0, 0, 1023, 767);
        xdotool("key Return");
    });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(outPath()), readFile(plainPath()));

    // A drag includes both corners' pixels; arrows move by one, Shift+arrows resize, Ctrl by ten.
    r = choose([&] {
        drag(100, 100, 299, 199);
        xdotool("key Right key Down key shift+Right key ctrl+Right key ctrl+shift+Down");
        xdotool("key KP_Enter");
    });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(isCutOf(readBmp(outPath()), plain_, 111, 101, 201, 110));

    // A click without a drag takes the window under it; a double click accepts.
    r = choose([&] {
        xdotool("mousemove 450 350 click 1");
        std::this_thread::sleep_for(300ms);
        xdotool("click --repeat 2 1");
    });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(isCutOf(readBmp(outPath()), plain_, 400, 300, 200, 150));

    // A drag from inside moves the rectangle; Esc and a right click cancel: status 1, no file.
    r = choose([&] {
        drag(10, 10, 59, 39);
        drag(30, 20, 80, 60);
        xdotool("key Return");
    });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(isCutOf(readBmp(outPath()), plain_, 60, 50, 50, 30));
    for (const char* cancel : {"key Escape", "click 3"}) {
        r = choose([&] {
            drag(10, 10, 200, 200);
            xdotool(cancel);
        });
        EXPECT_EQ(r.status, 1) << cancel;
        EXPECT_EQ(r.err, "The shot was cancelled\n");
        EXPECT_FALSE(fs::exists(outPath()));
    }
}

// Scaled by the toolkit (1.5 and 2 logical to physical pixels), the edges still fall on the
// picture's pixels where the pointer was, never rounded per edge.
TEST_F(Region, EdgesAreWholePicturePixelsAtAnyScale) {
    for (const std::string factor : {"1.5", "2"}) {
        SCOPED_TRACE(factor);
        const Result r = choose(
            [&] {
                drag(101, 99, 300, 200);
                xdotool("key shift+Left key Left");
                xdotool("key Return");
            },
            {"QT_SCALE_FACTOR=" + factor});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(isCutOf(readBmp(outPath()), plain_, 100, 99, 199, 102));
    }
}

// Two monitors side by side on the one screen: a rectangle across their seam is one picture.
TEST_F(Region, ARectangleAcrossTwoMonitorsSeam) {
    for (const char* monitor : {"left 512/135x768/203+0+0", "right 512/135x768/203+512+0"}) {
        std::vector<std::string> words = {"xrandr", "--setmonitor"};
        std::istringstream(monitor) >> words.emplace_back() >> words.emplace_back();
        words.push_back("none");
        program_.run(words);
    }
    const Result r = choose([&] {
        drag(450, 200, 569, 329);
        xdotool("key Return");
    });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(isCutOf(readBmp(outPath()), plain_, 450, 200, 120, 130));
}

// The window's third choice: after the countdown the selection; the file is named Rgn_; with
// "Use the last region" the next shot takes the same rectangle without showing anything.
TEST(RegionWindow, ChosenAfterTheCountdownThenTheLastOneAgain) {
    Program program;
    ASSERT_TRUE(program.start()) << program.log();
    program.click(kRegion[0], kRegion[1]);
    program.click(kShot[0], kShot[1]);
    const auto selection = program.findWindow("^範囲$", 5s);
    ASSERT_TRUE(selection) << program.log();
    std::this_thread::sleep_for(300ms);
    const auto xdotool = [&](std::vector<std::string> words) {
        words.insert(words.begin(), "xdotool");
        program.run(words);
    };
    xdotool({"mousemove", "100", "100", "mousedown", "1"});
    xdotool({"mousemove", "200", "150"});
    xdotool({"mousemove", "299", "199", "mouseup", "1"});
    xdotool({"key", "Return"});
    const fs::path first = program.desktop() / "Rgn_J00.jpg";
    ASSERT_TRUE(program.waitForFile(first, 10s)) << program.log();
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    Decoded decoded = decodeJpeg(readFile(first));
    EXPECT_EQ(decoded.width, 200);
    EXPECT_EQ(decoded.height, 100);
    EXPECT_NE(readText(program.settingsFile()).find("[Region]\nrect=200x100+100+100\n"),
              std::string::npos)
        << readText(program.settingsFile());

    // The last region again: written with no selection shown.
    writeText(program.settingsFile(),
              readText(program.settingsFile()) + "[Capture]\nlastregion=1\n");
    program.click(kShot[0], kShot[1]);
    const fs::path second = program.desktop() / "Rgn_J01.jpg";
    ASSERT_TRUE(program.waitForFile(second, 10s)) << program.log();
    EXPECT_FALSE(program.findWindow("^範囲$", 0ms));
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    decoded = decodeJpeg(readFile(second));
    EXPECT_EQ(decoded.width, 200);
    EXPECT_EQ(decoded.height, 100);

    // Another monitor layout: the selection is shown again; Esc writes nothing, no message.
    // ("Shot" has the focus after a shot: Space takes the next one.)
    program.run({"xrandr", "--setmonitor", "left", "512/135x768/203+0+0", "none"});
    program.keys({"space"});
    ASSERT_TRUE(program.findWindow("^範囲$", 5s)) << program.log();
    std::this_thread::sleep_for(300ms);
    xdotool({"key", "Escape"});
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    EXPECT_FALSE(fs::exists(program.desktop() / "Rgn_J02.jpg"));
    EXPECT_FALSE(program.findWindow("エラー", 0ms)) << "a cancel says nothing";

    program.click(kExit[0], kExit[1]);
    EXPECT_EQ(program.waitForExit(5s), std::optional<int>(0)) << program.log();
    EXPECT_NE(readText(program.settingsFile()).find("type=2\n"), std::string::npos);
}

}  // namespace
