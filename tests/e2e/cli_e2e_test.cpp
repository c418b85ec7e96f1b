// `kvr --shot` on an X server: files, folders with the window's names, stdout, exit statuses,
// and the clipboard read back with xclip.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <thread>

#include "e2e_support.h"
#include "file_support.h"
#include "jpeg_support.h"
#include "png_support.h"
#include "polling.h"

// Last: its macros (None, Status, ...) would clash with the test framework's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <webp/decode.h>

namespace {

using namespace kvr::e2e;
using namespace kvr::test;

struct Result {
    int status;
    std::string out, err;
};

class CommandLine : public ::testing::Test {
protected:
    // The program with these words, in the given language; stdout a pipe.
    Result shot(const std::vector<std::string>& words, const std::string& lang = "C.UTF-8",
                const std::string& bus = "unix:path=/nonexistent") {
        const fs::path err = program_.root() / "stderr.txt";
        fs::remove(err);
        std::vector<std::string> argv = {(program_.folder() / "kvr").string()};
        argv.insert(argv.end(), words.begin(), words.end());
        const CommandResult r =
            run(Command(argv,
                        {"DISPLAY=" + program_.display(), "HOME=" + program_.home().string(),
                         "XDG_CONFIG_HOME=" + program_.configHome().string(), "LANG=" + lang,
                         "LC_ALL=", "LC_MESSAGES=", "DBUS_SESSION_BUS_ADDRESS=" + bus},
                        err));
        return {r.exitCode, r.output, readText(err)};
    }
    Program program_;
};

TEST_F(CommandLine, WritesFilesFoldersAndStdoutWithTheirStatuses) {
    const fs::path file = program_.root() / "shot.jpg";
    Result r = shot({"--shot", "-o", file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, file.string() + "\n");
    const Decoded picture = decodeJpeg(readFile(file));
    EXPECT_EQ(picture.width, 1024);
    EXPECT_EQ(picture.height, 768);

    // A folder: the saved prefix and the next free number, as the window names them.
    writeText(program_.settingsFile(), "[Save]\nfilenamecheck=1\nfilename=mine_\n");
    const fs::path folder = program_.root() / "out";
    fs::create_directory(folder);
    r = shot({"-n", "-t", "bmp", "-o", folder.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (folder / "mine_00.bmp").string() + "\n");
    r = shot({"-n", "-o", folder.string() + "/"});
    EXPECT_EQ(r.out, (folder / "mine_00.jpg").string() + "\n");
    EXPECT_EQ(entries(folder), (std::vector<std::string>{"mine_00.bmp", "mine_00.jpg"}));

    // Stdout: the picture's bytes, nothing else.
    r = shot({"-o", "-", "--grey", "-q", "90"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(decodeJpeg(std::vector<uint8_t>(r.out.begin(), r.out.end())).components, 1);
    r = shot({"-o", "-", "-t", "png"});
    ASSERT_EQ(r.status, 0) << r.err;
    writeText(program_.root() / "stdout.png", r.out);
    EXPECT_EQ(decodePng((program_.root() / "stdout.png").string()).width, 1024);

    // 1: the write failed, and no file is left; 2: a usage error, in the locale's language.
    r = shot({"-n", "-o", (program_.root() / "no" / "such" / "x.jpg").string()});
    EXPECT_EQ(r.status, 1);
    const std::string missing = (program_.root() / "no" / "such" / "x.jpg").string();
    EXPECT_EQ(r.err, "ファイル \"" + missing + "\" を作成できません: フォルダが見つかりません\n");
    EXPECT_FALSE(fs::exists(program_.root() / "no"));
    // In English, the reason too.
    r = shot({"-n", "-o", missing}, "en_US.UTF-8");
    EXPECT_EQ(r.err, "Cannot create file \"" + missing + "\": The folder does not exist\n");
    r = shot({"--quality=0"}, "en_GB.UTF-8");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kvr: Quality '0': give 1 to 100\nTry 'kvr --help' for more information\n");
}

// The saved capture choices, as the window takes them; -m overrides. Two monitors side by side
// on the one screen (RandR's own), the pointer on the right one.
TEST_F(CommandLine, TakesTheSavedCaptureChoicesUnlessOverridden) {
    for (const char* monitor : {"left 512/135x768/203+0+0", "right 512/135x768/203+512+0"}) {
        std::vector<std::string> words = {"xrandr", "--setmonitor"};
        std::istringstream(monitor) >> words.emplace_back() >> words.emplace_back();
        words.push_back("none");
        program_.run(words);
    }
    program_.run({"xdotool", "mousemove", "700", "300"});
    writeText(program_.settingsFile(), "[Capture]\nmonitor=1\n");
    const fs::path file = program_.root() / "saved.bmp";
    Result r = shot({"-n", "-o", file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(file).size(), 54u + 512 * 768 * 4) << "the monitor under the pointer";
    r = shot({"-n", "-m", "all", "-o", file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(file).size(), 54u + 1024 * 768 * 4);

    // A name no monitor has is said before the delay, with the names there are.
    r = shot({"-n", "-d", "3600", "-m", "HDMI-9"}, "en_GB.UTF-8");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("HDMI-9"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("left, right"), std::string::npos) << r.err;
    EXPECT_EQ(program_.run({(program_.folder() / "kvr").string(), "--list-monitors"}).output,
              "left\nright\nscreen\n");
    // bash completes -m with those names, in the "--monitor=" form too.
    EXPECT_EQ(program_
                  .run({"bash", "-c",
                        "PATH=" + program_.folder().string() +
                            ":$PATH; source " KVR_SOURCE_DIR
                            "/resources/kvr.bash-completion; COMP_WORDS=(kvr --monitor = '');"
                            " COMP_CWORD=3; _kvr; echo ${COMPREPLY[*]}"})
                  .output,
              "primary pointer all left right screen\n");
}

// What goes wrong before the picture is taken is said at once, in the window's words, and no
// descriptor of the caller's is taken for another.
TEST_F(CommandLine, FailsAtOnceForWhatItKnowsBeforeTheDelay) {
    const fs::path full = program_.root() / "full";
    fs::create_directory(full);
    for (int n = 0; n < 100; ++n)
        writeText(full / ("ALL_B" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".bmp"),
                  "x");
    Result r = shot({"-n", "-d", "3600", "-t", "bmp", "-o", full.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("連続保存できません"), std::string::npos) << r.err;

    // The program from sh, with a display and a redirection of its own.
    const auto kvr = [&](const std::string& display, const std::string& line,
                         const std::string& before = "", bool ownMounts = false) {
        const fs::path err = program_.root() / "stderr.txt";
        fs::remove(err);
        std::vector<std::string> argv = {
            "sh", "-c", before + "exec " + (program_.folder() / "kvr").string() + " " + line};
        if (ownMounts)
            argv.insert(argv.begin(), {"unshare", "-m", "--propagation", "private"});
        const CommandResult c =
            run(Command(argv,
                        {"DISPLAY=" + display, "WAYLAND_DISPLAY=", "XDG_SESSION_TYPE=",
                         "HOME=" + program_.home().string(), "LANG=C.UTF-8", "LC_ALL="},
                        err));
        return Result{c.exitCode, c.output, readText(err)};
    };
    r = kvr(":97", "--shot -d 3600");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "cannot connect to X display :97\n");
    r = kvr("", "--shot -d 3600",
            "export WAYLAND_DISPLAY=wayland-9 XDG_SESSION_TYPE=wayland XDG_RUNTIME_DIR=" +
                program_.root().string() + "; ");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "cannot connect to Wayland display wayland-9\n");
    // Standard output closed: the picture is not written into whatever takes descriptor 1.
    r = kvr(program_.display(), "-n -t bmp -o - >&-");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("書き込みエラー"), std::string::npos) << r.err;

    // No /proc (a mount namespace without it): the program's folder is unknown, and the window's
    // module is not looked for in the current folder, where anyone may have put one.
    writeText(program_.root() / "kvr-window.so", "planted");
    r = kvr(program_.display(), "",
            "mount -t tmpfs none /proc || exit 99; cd " + program_.root().string() + "; ", true);
    if (r.status == 99 || r.err.find("unshare:") != std::string::npos)
        GTEST_SKIP() << "no mount namespace here: " << r.err;
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/proc/self/exe"), std::string::npos) << r.err;
}

// Ctrl+C or SIGTERM during the delay ends it as the signal does (130, 143 in a shell): nothing
// grabbed, no file, no notification.
TEST_F(CommandLine, StopsDuringTheDelayOnCtrlCOrSigterm) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const fs::path folder = program_.root() / ("stopped" + std::to_string(signal));
        fs::create_directory(folder);
        Process p(Command({(program_.folder() / "kvr").string(), "-d", "30", "-o", folder.string()},
                          {"DISPLAY=" + program_.display(), "HOME=" + program_.home().string(),
                           "XDG_CONFIG_HOME=" + program_.configHome().string(),
                           "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"}));
        std::this_thread::sleep_for(1500ms);
        ASSERT_FALSE(p.exitStatus()) << "ended before the delay";
        kill(p.pid(), signal);
        EXPECT_EQ(p.waitForExit(5s), 128 + signal);
        EXPECT_TRUE(entries(folder).empty());
    }
}

// The countdown's badge, found among the root's children by its class; 0 when none is viewable.
Window viewableBadge(Display* dpy) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XClassHint hint{};
        XWindowAttributes attributes{};
        if (XGetClassHint(dpy, children[i], &hint)) {
            if (std::string(hint.res_name) == "kvr-countdown" &&
                XGetWindowAttributes(dpy, children[i], &attributes) &&
                attributes.map_state == IsViewable)
                found = children[i];
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
    }
    XFree(children);
    return found;
}

// During `-d N` the seconds show at the primary monitor's top-right corner, in a window that takes
// no input and is no window manager's; at the grab it is gone, with a compositing manager too
// (fading and shadows included): a shot after a 1-second countdown is the screen as a shot
// without one sees it.
TEST_F(CommandLine, CountdownBadgeShowsAndIsNeverInThePicture) {
    program_.run({"xsetroot", "-solid", "#d8d8d0"});
    Display* dpy = XOpenDisplay(program_.display().c_str());
    ASSERT_NE(dpy, nullptr);
    const fs::path later = program_.root() / "later.png";
    Process counting(
        Command({(program_.folder() / "kvr").string(), "-n", "-d", "3", "-o", later.string()},
                {"DISPLAY=" + program_.display(), "HOME=" + program_.home().string(),
                 "XDG_CONFIG_HOME=" + program_.configHome().string(),
                 "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"}));
    Window badge = 0;
    ASSERT_TRUE(pollUntil(5s, [&] { return (badge = viewableBadge(dpy)) != 0; }));
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(dpy, badge, &attributes));
    EXPECT_TRUE(attributes.override_redirect);
    int rectangles = -1, ordering = 0;
    XFree(XShapeGetRectangles(dpy, badge, ShapeInput, &rectangles, &ordering));
    EXPECT_EQ(rectangles, 0) << "the badge takes clicks";
    EXPECT_GT(attributes.x, 1024 - 2 * attributes.width);
    EXPECT_LE(attributes.x + attributes.width, 1024);
    EXPECT_LT(attributes.y, attributes.height);
    // On the screen in the program's blue and white, not the background.
    XImage* image =
        XGetImage(dpy, DefaultRootWindow(dpy), attributes.x, attributes.y,
                  unsigned(attributes.width), unsigned(attributes.height), AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    int blue = 0, white = 0;
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y) & 0xffffff;
            blue += pixel == 0x1c3c8c;
            white += pixel == 0xffffff;
        }
    XDestroyImage(image);
    EXPECT_GT(blue, attributes.width * attributes.height / 3);
    EXPECT_GT(white, 100);
    EXPECT_EQ(counting.waitForExit(10s), 0);
    EXPECT_EQ(viewableBadge(dpy), 0u);
    XCloseDisplay(dpy);

    for (const std::vector<std::string>& compositor :
         {std::vector<std::string>{}, {"xcompmgr"}, {"xcompmgr", "-c", "-f"}}) {
        SCOPED_TRACE(compositor.empty() ? "no compositor" : compositor.back());
        std::optional<Process> running;
        if (!compositor.empty()) {
            running.emplace(Command(compositor, {"DISPLAY=" + program_.display()}));
            std::this_thread::sleep_for(700ms);
            ASSERT_FALSE(running->exitStatus()) << "the compositing manager did not start";
        }
        const fs::path plain = program_.root() / "plain.png";
        ASSERT_EQ(shot({"-n", "-o", plain.string()}).status, 0);
        const std::vector<uint16_t> screen = decodePng(plain.string()).rgb;
        for (int n = 0; n < 3; ++n) {
            const fs::path counted = program_.root() / "counted.png";
            const Result r = shot({"-n", "-d", "1", "-o", counted.string()});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(decodePng(counted.string()).rgb == screen) << "the badge is in shot " << n;
        }
    }
}

TEST_F(CommandLine, ClipboardServedAfterTheCommandReturns) {
    const fs::path file = program_.root() / "copied.bmp";
    const Result r = shot({"-c", "-n", "-o", file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto paste = [&](const std::string& target) {
        return program_.run({"xclip", "-selection", "clipboard", "-t", target, "-o"}).output;
    };
    const std::string targets = paste("TARGETS");
    EXPECT_NE(targets.find("image/png"), std::string::npos) << targets;
    EXPECT_NE(targets.find("image/webp"), std::string::npos) << targets;
    // The same picture as the file, as PNG; megabytes of it read in pieces (INCR).
    const fs::path pasted = program_.root() / "pasted.png";
    writeText(pasted, paste("image/png"));
    const DecodedPng png = decodePng(pasted.string());
    const std::vector<uint8_t> bmp = readFile(file);
    ASSERT_EQ(png.width, 1024);
    ASSERT_EQ(png.height, 768);
    ASSERT_EQ(bmp.size(), 54u + 1024 * 768 * 4);
    for (int y = 0; y < 768; y += 97)  // the BMP's rows go bottom up, blue first
        for (int x = 0; x < 1024; x += 89) {
            const uint8_t* b = &bmp[54 + (size_t(767 - y) * 1024 + x) * 4];
            const uint16_t* p = &png.rgb[(size_t(y) * 1024 + x) * 3];
            ASSERT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{b[2], b[1], b[0]}))
                << x << "," << y;
        }
    // Beside it the same pixels as lossless WebP, through libwebp's own decoder.
    const std::string webp = paste("image/webp");
    int width = 0, height = 0;
    uint8_t* rgb =
        WebPDecodeRGB(reinterpret_cast<const uint8_t*>(webp.data()), webp.size(), &width, &height);
    ASSERT_NE(rgb, nullptr) << webp.size() << " bytes";
    const std::vector<uint16_t> decoded(rgb, rgb + size_t(width) * size_t(height) * 3);
    WebPFree(rgb);
    ASSERT_EQ(png.bitDepth, 8);
    EXPECT_EQ(width, 1024);
    EXPECT_TRUE(decoded == png.rgb) << "the WebP's pixels differ from the PNG's";
    EXPECT_EQ(paste("text/uri-list"), "file://" + file.string() + "\r\n");
    // Someone else takes the clipboard (xclip owns it from its background process, a moment
    // after it returns): ours lets go.
    program_.run({"sh", "-c", "echo other | xclip -selection clipboard -i >/dev/null 2>&1"});
    EXPECT_TRUE(pollUntil(10s, [&] { return paste("UTF8_STRING") == "other\n"; }));
}

// The clipboard's server: a process of its own holding the picture and nothing of the grab (no
// shared memory segment); readers that go away, before the answer or in the middle of a
// transfer in pieces, leave it serving.
TEST_F(CommandLine, ClipboardServerOutlivesReadersThatGoAway) {
    // Noise behind every window: a PNG larger than one request, sent in pieces.
    Display* dpy = XOpenDisplay(program_.display().c_str());
    ASSERT_NE(dpy, nullptr);
    const Window root = DefaultRootWindow(dpy);
    const size_t size = 1024 * 768 * 4;
    auto* pixels = static_cast<char*>(std::malloc(size));
    std::mt19937 random(7);
    for (size_t i = 0; i < size; ++i)
        pixels[i] = char(random());
    XImage* image = XCreateImage(dpy, DefaultVisual(dpy, 0), DefaultDepth(dpy, 0), ZPixmap, 0,
                                 pixels, 1024, 768, 32, 0);
    const Pixmap noise = XCreatePixmap(dpy, root, 1024, 768, DefaultDepth(dpy, 0));
    XPutImage(dpy, noise, DefaultGC(dpy, 0), image, 0, 0, 0, 0, 1024, 768);
    XDestroyImage(image);
    XSetWindowBackgroundPixmap(dpy, root, noise);
    XFreePixmap(dpy, noise);
    XClearWindow(dpy, root);
    XSync(dpy, False);

    // A relative name, the command's stdout closed before it prints: the file's absolute address.
    const fs::path folder = program_.root() / "here";
    fs::create_directory(folder);
    const CommandResult c = program_.run(
        {"bash", "-c",
         "set -o pipefail; cd '" + folder.string() + "' && (sleep .3; exec '" +
             (program_.folder() / "kvr").string() + "' -c -n -o 'c file.png') | true"});
    ASSERT_EQ(c.exitCode, 0);
    const auto paste = [&](const std::string& target) {
        return program_.run({"xclip", "-selection", "clipboard", "-t", target, "-o"}).output;
    };
    EXPECT_EQ(paste("text/uri-list"), "file://" + folder.string() + "/c%20file.png\r\n");
    int servers = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::error_code error;
        if (fs::read_symlink(entry.path() / "exe", error) != program_.folder() / "kvr")
            continue;
        ++servers;
        const std::string maps = readText(entry.path() / "maps");
        EXPECT_EQ(maps.find("SYSV"), std::string::npos) << maps;
    }
    EXPECT_EQ(servers, 1);

    const Atom clipboard = XInternAtom(dpy, "CLIPBOARD", False);
    const Atom png = XInternAtom(dpy, "image/png", False);
    const Atom into = XInternAtom(dpy, "KVR_PASTED", False);
    const auto reader = [&] {
        return XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    };
    for (const char* target : {"TARGETS", "image/png", "text/uri-list"}) {
        const Window gone = reader();
        XConvertSelection(dpy, clipboard, XInternAtom(dpy, target, False), into, gone, CurrentTime);
        XDestroyWindow(dpy, gone);
        XSync(dpy, False);
    }
    // In pieces (INCR): gone right after asking for the second piece.
    const Window gone = reader();
    XSelectInput(dpy, gone, PropertyChangeMask);
    XConvertSelection(dpy, clipboard, png, into, gone, CurrentTime);
    XEvent event;
    const auto next = [&](int type) {
        return pollUntil(10s, [&] { return XCheckTypedWindowEvent(dpy, gone, type, &event); });
    };
    ASSERT_TRUE(next(SelectionNotify));
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* value = nullptr;
    XGetWindowProperty(dpy, gone, into, 0, 1, True, AnyPropertyType, &type, &format, &count, &after,
                       &value);
    XFree(value);
    EXPECT_EQ(type, XInternAtom(dpy, "INCR", False));
    while (next(PropertyNotify) && event.xproperty.state != PropertyNewValue) {
    }
    XDeleteProperty(dpy, gone, into);
    XDestroyWindow(dpy, gone);
    XCloseDisplay(dpy);

    const fs::path pasted = program_.root() / "pasted.png";
    writeText(pasted, paste("image/png"));
    EXPECT_EQ(decodePng(pasted.string()).width, 1024);
    EXPECT_EQ(readFile(pasted), readFile(folder / "c file.png"));
}

// The notification, from its own process, reaches a real server (dunst) with the file's name and
// its folder; the countdown shows on a terminal (script(1) gives the program one).
TEST_F(CommandLine, NotifiesAndCountsDownOnATerminal) {
    SessionBus bus(program_.root() / "bus");
    ASSERT_TRUE(bus.startNotifications(program_.display()));
    const fs::path folder = program_.root() / "shots";
    fs::create_directory(folder);
    const Result r = shot({"-o", folder.string()}, "C.UTF-8", bus.address());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string history;
    pollUntil(10s, [&] {
        bus.run({"dunstctl", "close-all"}, program_.display());
        history = bus.run({"dunstctl", "history"}, program_.display()).output;
        return history.find("ALL_J00.jpg") != std::string::npos;
    });
    EXPECT_NE(history.find("ALL_J00.jpg"), std::string::npos) << history;
    EXPECT_NE(history.find(folder.string()), std::string::npos) << history;
    // A folder name that is no UTF-8 (Linux names are bytes): still notified.
    const fs::path odd = program_.root() / "\xffrare";
    fs::create_directory(odd);
    ASSERT_EQ(shot({"-o", odd.string()}, "C.UTF-8", bus.address()).status, 0);
    pollUntil(10s, [&] {
        bus.run({"dunstctl", "close-all"}, program_.display());
        history = bus.run({"dunstctl", "history"}, program_.display()).output;
        return history.find("rare") != std::string::npos;
    });
    EXPECT_NE(history.find("rare"), std::string::npos) << history;

    const fs::path typescript = program_.root() / "typescript";
    const std::string line = (program_.folder() / "kvr").string() + " -n -d 2 -o " +
                             (program_.root() / "later.jpg").string();
    const CommandResult s =
        run(Command({"script", "-qec", line, typescript.string()},
                    {"DISPLAY=" + program_.display(), "HOME=" + program_.home().string(),
                     "LANG=C.UTF-8", "LC_ALL="}));
    EXPECT_EQ(s.exitCode, 0) << s.output;
    EXPECT_NE(s.output.find("2秒前"), std::string::npos) << s.output;
    EXPECT_NE(s.output.find("1秒前"), std::string::npos) << s.output;
    EXPECT_TRUE(fs::exists(program_.root() / "later.jpg"));
}

}  // namespace
