// kvr_bench paint [plain] | monitors | stages [N] | region [N [session]] | all [N] |
//           compare N ONESHOT KVR [png]
// Times on the current DISPLAY: each stage of a shot and whole shots through shotNow, kept in one
// process; then kvr_oneshot and `kvr --shot` against scrot as whole processes, with their peak
// memory. Prints medians; asserts nothing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Before Xlib, whose macros would rename their enumerators.
#include "platform/loader.h"
#include "platform/session.h"

#include "core/bmp.h"
#include "core/formats.h"
#include "core/jpeg.h"
#include "core/outfile.h"
#include "core/region.h"
#include "core/row_converter.h"
#include "core/shot.h"
#include "paint.h"
#include "platform/x11/x11_screen_source.h"

#include <X11/extensions/Xrandr.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Milliseconds of each of n runs of f; after runs `after` outside the timing.
std::vector<double> timeRuns(int n, const std::function<void()>& f,
                             const std::function<void()>& after = {}) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        const auto start = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (after)
            after();
    }
    return ms;
}

long peakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void row(const char* what, double ms, const char* note = "") {
    std::printf("  %-34s %8.2f ms  %s\n", what, ms, note);
}

int stages(int n) {
    const kvr::JpegOptions jpeg;  // quality 30, colour
    kvr::x11::X11ScreenSource source;
    char tmpl[] = "/tmp/kvr-bench-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    const long startKiB = peakKiB();

    kvr::Picture picture = source.grab(kvr::ShotMode::AllScreen);  // warm: connection, segment
    const double screenMiB = double(picture.stride) * picture.height / 1048576.0;
    std::printf("display %s: %dx%d, %d bits per pixel; screen image %.1f MiB\n",
                std::getenv("DISPLAY"), picture.width, picture.height, picture.bitsPerPixel,
                screenMiB);

    const double grab =
        median(timeRuns(n, [&] { picture = source.grab(kvr::ShotMode::AllScreen); }));
    double convert = 0;
    const bool direct = kvr::jpegTakesRowsDirectly(picture);
    if (!direct) {
        std::vector<uint8_t> buffer(size_t(picture.width) * 3);
        convert = median(timeRuns(n, [&] {
            const kvr::RowConverter converter(picture);
            for (int y = 0; y < picture.height; ++y)
                converter.toBgr(y, buffer.data());
        }));
    }
    size_t jpegBytes = 0;
    const double encode = median(timeRuns(n, [&] {
        const kvr::JpegBytes bytes = kvr::encodeJpeg(picture, 30, false);
        jpegBytes = bytes.size();
    }));
    const kvr::JpegBytes bytes = kvr::encodeJpeg(picture, 30, false);
    const fs::path written = dir / "stage.jpg";
    const double write = median(timeRuns(n, [&] {
        kvr::OutputFile file(written);
        file.writeAll(bytes.data(), bytes.size());
        file.close();
    }));
    kvr::ShotChoices choices;
    choices.mode = kvr::ShotMode::AllScreen;
    choices.format = kvr::SaveFormat::Jpeg;
    choices.Place = dir.string();
    const double jpegShot = median(timeRuns(
        n, [&] { kvr::shotNow(source, choices, jpeg); }, [&] { fs::remove(dir / "ALL_J00.jpg"); }));
    const long jpegPeak = peakKiB();
    // PNG before the BMP stages below: those hold a whole BMP file and would hide its peak.
    choices.format = kvr::SaveFormat::Png;
    const double pngShot = median(timeRuns(
        n, [&] { kvr::shotNow(source, choices, jpeg); }, [&] { fs::remove(dir / "ALL_P00.png"); }));
    const long pngPeak = peakKiB();

    std::printf("JPEG, quality 30 (%.0f KiB a file):\n", jpegBytes / 1024.0);
    row("grab (XShmGetImage)", grab);
    row("convert", convert,
        direct ? "(none: rows go to libjpeg-turbo as they are)" : "(row by row, inside encode)");
    row("encode (float DCT)", encode);
    row("write (one write)", write);
    row("whole shot (shotNow)", jpegShot);
    const double target = 1.15 * (grab + encode);
    std::printf("  %-34s %8.2f ms  %s\n", "target 1.15 x (grab + encode)", target,
                jpegShot <= target ? "met" : "MISSED");

    const double bmpConvert = median(timeRuns(n, [&] { kvr::makeBmp(picture); }));
    const kvr::BmpImage bmp = kvr::makeBmp(picture);
    const double bmpWrite = median(timeRuns(n, [&] {
        kvr::OutputFile file(dir / "stage.bmp");
        file.writeAll(bmp.fileHeader, sizeof bmp.fileHeader);
        file.writeAll(bmp.infoHeader, sizeof bmp.infoHeader);
        file.writeAll(bmp.colourTable.data(), bmp.colourTable.size());
        file.writeAll(bmp.pixels.data(), bmp.pixels.size());
        file.close();
    }));
    choices.format = kvr::SaveFormat::Bmp;
    const double bmpShot = median(timeRuns(
        n, [&] { kvr::shotNow(source, choices, jpeg); }, [&] { fs::remove(dir / "ALL_B00.bmp"); }));
    std::printf("BMP:\n");
    row("convert (file's pixel array)", bmpConvert);
    row("write (four writes)", bmpWrite);
    row("whole shot (shotNow)", bmpShot);
    std::printf("PNG:\n");
    row("whole shot (shotNow)", pngShot);
    std::printf("  %-34s %8.2f     %s\n", "PNG shot / JPEG shot", pngShot / jpegShot,
                pngShot <= 2 * jpegShot ? "met (goal at most 2)" : "MISSED (goal at most 2)");
    std::printf(
        "  peak after the PNG shots %.1f MiB: %.1f MiB over the start, picture %.1f MiB "
        "(goal: picture + 10 MiB)\n",
        pngPeak / 1024.0, (pngPeak - startKiB) / 1024.0, screenMiB);

    std::printf(
        "peak memory: %.1f MiB at start, %.1f MiB after the JPEG shots (screen image "
        "%.1f + file %.1f), %.1f MiB after the BMP shots\n",
        startKiB / 1024.0, jpegPeak / 1024.0, screenMiB, jpegBytes / 1048576.0, peakKiB() / 1024.0);
    fs::remove_all(dir);
    return 0;
}

struct Run {
    double ms = -1;      // wall time of the whole process
    double peakMiB = 0;  // its peak resident memory
};

// One whole process: its wall time and peak memory.
Run runProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = Clock::now();
    // What a tool prints (kvr --shot: the file's path) is not the bench's output.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int spawned = posix_spawnp(&pid, args[0], &quiet, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0)
        return {};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0]);
        return {};
    }
    return {ms, usage.ru_maxrss / 1024.0};
}

// kvr_oneshot and `kvr --shot` against scrot, interleaved so that all see the same machine load.
int compare(int n, const std::string& oneshot, const std::string& kvr, bool pngOnly) {
    bool fullHd = false;
    if (Display* dpy = XOpenDisplay(nullptr)) {
        fullHd = DisplayWidth(dpy, DefaultScreen(dpy)) == 1920 &&
                 DisplayHeight(dpy, DefaultScreen(dpy)) == 1080;
        XCloseDisplay(dpy);
    }
    char tmpl[] = "/tmp/kvr-race-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    std::printf("one process each, median of %d, same display (time; peak memory):\n", n);
    const std::vector<std::string> formats =
        pngOnly ? std::vector<std::string>{"png"} : std::vector<std::string>{"jpg", "bmp", "png"};
    for (const std::string& format : formats) {
        const bool jpeg = format == "jpg";
        const std::string ours = (dir / (std::string("ours.") + format)).string();
        const std::string cli = (dir / (std::string("cli.") + format)).string();
        const std::string theirs = (dir / (std::string("scrot.") + format)).string();
        std::vector<std::string> scrot = {"scrot", "-o"};
        if (jpeg)
            scrot.insert(scrot.end(), {"-q", "30"});
        scrot.push_back(theirs);
        // The command line as a shortcut runs it; quality 30 whatever the kvr.ini beside it says.
        std::vector<std::string> shot = {kvr, "--shot", "-n", "-o", cli};
        if (jpeg)
            shot.insert(shot.end(), {"-q", "30"});
        std::vector<double> a, am, c, cm, b, bm;
        for (int i = 0; i < n; ++i) {
            const Run ra = runProcess({oneshot, ours}), rc = runProcess(shot),
                      rb = runProcess(scrot);
            a.push_back(ra.ms), am.push_back(ra.peakMiB);
            c.push_back(rc.ms), cm.push_back(rc.peakMiB);
            b.push_back(rb.ms), bm.push_back(rb.peakMiB);
        }
        const double mb = median(b), mbm = median(bm);
        std::printf("  %s: scrot %7.2f ms, %5.1f MiB (%.0f KiB)\n", format.c_str(), mb, mbm,
                    fs::file_size(theirs) / 1024.0);
        const auto line = [&](const char* who, double ms, double mib, double goal, double goalMiB,
                              const fs::path& file) {
            std::printf(
                "  %s: %-12s %7.2f ms, %5.1f MiB (%.0f KiB): %.2f x scrot's time %s, "
                "memory %s\n",
                format.c_str(), who, ms, mib, fs::file_size(file) / 1024.0, ms / mb,
                !jpeg             ? ""
                : ms / mb <= goal ? "(goal met)"
                                  : "(goal MISSED)",
                !jpeg            ? ""
                : mib <= goalMiB ? "(goal met)"
                                 : "(goal MISSED)");
        };
        // Goals: the one-shot at most 0.75 x scrot's time and, at 1920x1080, 13 MiB; the command
        // line at most 0.8 x scrot's time and scrot's memory.
        line("kvr_oneshot", median(a), median(am), 0.75, fullHd ? 13.0 : 1e9, ours);
        line("kvr --shot", median(c), median(cm), 0.8, mbm, cli);
        if (format == "png") {
            const double size = double(fs::file_size(ours)),
                         theirSize = double(fs::file_size(theirs));
            std::printf("  png goals: time at most 0.50 x scrot's: %s; file at most 1.10 x: %s\n",
                        median(a) <= 0.5 * mb ? "met" : "MISSED",
                        size <= 1.1 * theirSize ? "met" : "MISSED");
        }
    }
    fs::remove_all(dir);
    return 0;
}

// Splits the root into monitors of at most 3840 pixels side by side (three 4K screens for an
// 11520-wide root), so that "all monitors" meets a real RandR layout.
void layMonitors(Display* dpy) {
    const int width = DisplayWidth(dpy, DefaultScreen(dpy));
    const int height = DisplayHeight(dpy, DefaultScreen(dpy));
    if (width <= 3840)
        return;
    XRRMonitorInfo* m = XRRAllocateMonitor(dpy, 0);
    for (int x = 0, i = 0; x < width; x += 3840, ++i) {
        const std::string name = "BENCH-" + std::to_string(i);
        m->name = XInternAtom(dpy, name.c_str(), False);
        m->x = x, m->y = 0, m->width = std::min(3840, width - x), m->height = height;
        m->mwidth = m->width / 4, m->mheight = height / 4, m->primary = i == 0;
        XRRSetMonitor(dpy, DefaultRootWindow(dpy), m);
    }
    XRRFreeMonitors(m);
    XSync(dpy, False);
}

// Whole shots of every monitor (grab, JPEG, file) in a fresh process, with the time and the
// process's peak memory per megapixel: how the cost grows with the screen.
int allMonitors(int n) {
    kvr::x11::X11ScreenSource source;
    char tmpl[] = "/tmp/kvr-bench-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    kvr::ShotChoices choices;
    choices.mode = kvr::ShotMode::AllScreen;
    choices.format = kvr::SaveFormat::Jpeg;
    choices.Place = dir.string();
    choices.capture.monitor = kvr::MonitorChoice::All;
    const kvr::JpegOptions jpeg;
    kvr::Picture picture;
    const double ms = median(timeRuns(
        n, [&] { picture = kvr::shotNow(source, choices, jpeg).picture; },
        [&] { fs::remove(dir / "ALL_J00.jpg"); }));
    const double megapixels = double(picture.width) * picture.height / 1e6;
    const double peakMiB = peakKiB() / 1024.0;
    std::printf("  all monitors %5dx%-5d JPEG %8.2f ms %6.2f ms/MP   peak %6.1f MiB %5.2f MiB/MP\n",
                picture.width, picture.height, ms, ms / megapixels, peakMiB, peakMiB / megapixels);
    fs::remove_all(dir);
    return 0;
}

// A region shot's write against a whole shot of the same pixels: the rectangle is cut from the
// picture of every monitor (no copy at whole bytes per pixel) and written through the same
// writers. The picture is taken once, as a region shot takes it. From this X display, or with
// `session` from the source the program would choose in this session (a Wayland one).
int region(int n, bool session) {
    kvr::x11::X11ScreenSource x11;
    std::unique_ptr<kvr::ScreenSource> chosen;
    if (session)
        chosen = kvr::platform::makeScreenSource(
            kvr::platform::chooseSourceKind(kvr::platform::processEnvironment()));
    kvr::ScreenSource& source = session ? *chosen : x11;
    char tmpl[] = "/tmp/kvr-bench-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    kvr::ShotChoices choices;
    choices.mode = kvr::ShotMode::Region;
    choices.Place = dir.string();
    const kvr::JpegOptions jpeg;
    const kvr::Picture whole = source.grab(kvr::shotRequest(source, choices));
    const kvr::ScreenRect r{whole.width / 4, whole.height / 4, whole.width / 2, whole.height / 2};
    // The same pixels as a picture of their own, as a grab of that size would give them.
    const kvr::Picture part = kvr::cutRegion(whole, r);
    kvr::Picture own = kvr::makeOwnedPicture(part.width, part.height, part.bitsPerPixel,
                                             size_t(part.width) * (part.bitsPerPixel / 8));
    for (int y = 0; y < part.height; ++y)
        std::copy_n(part.row(y), own.stride, kvr::mutablePixels(own) + size_t(y) * own.stride);
    std::printf("region %s of %dx%d:\n", kvr::geometryText(r).c_str(), whole.width, whole.height);
    for (const auto format : {kvr::SaveFormat::Jpeg, kvr::SaveFormat::Png}) {
        choices.format = format;
        const std::string name = std::string("Rgn_") + kvr::formatOf(format).letter + "00" +
                                 kvr::formatOf(format).extension;
        const auto clean = [&] { fs::remove(dir / name); };
        const double cut = median(timeRuns(
            n, [&] { kvr::saveNumbered(kvr::cutRegion(whole, r), choices, jpeg); }, clean));
        const double plain = median(timeRuns(
            n, [&] { kvr::saveNumbered(own, choices, jpeg); }, clean));
        std::printf("  %-4s cut and write %8.2f ms; the same pixels whole %8.2f ms (%.2f x)\n",
                    kvr::formatOf(format).name, cut, plain, cut / plain);
    }
    fs::remove_all(dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "paint") {
            Display* dpy = XOpenDisplay(nullptr);
            if (!dpy)
                return 1;
            kvr::bench::paintRoot(dpy, argc > 2 && std::string(argv[2]) == "plain");
            XCloseDisplay(dpy);
            return 0;
        }
        if (command == "stages")
            return stages(argc > 2 ? std::atoi(argv[2]) : 30);
        if (command == "monitors") {
            Display* dpy = XOpenDisplay(nullptr);
            if (!dpy)
                return 1;
            layMonitors(dpy);
            XCloseDisplay(dpy);
            return 0;
        }
        if (command == "region")
            return region(argc > 2 ? std::atoi(argv[2]) : 30,
                          argc > 3 && std::string(argv[3]) == "session");
        if (command == "all")
            return allMonitors(argc > 2 ? std::atoi(argv[2]) : 30);
        if (command == "compare" && argc > 4)
            return compare(std::atoi(argv[2]), argv[3], argv[4],
                           argc > 5 && std::string(argv[5]) == "png");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvr_bench: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: kvr_bench paint [plain] | monitors | stages [N] | region [N [session]] | "
                 "all [N] | "
                 "compare N ONESHOT KVR [png]\n");
    return 2;
}
