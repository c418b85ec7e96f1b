// kvr_bench paint [plain] | monitors | stages [N] | all [N] | compare N ONESHOT [png]
// Times on the current DISPLAY: each stage of a shot and whole shots through shotNow, kept in one
// process; then kvr_oneshot against scrot as whole processes. Prints medians; asserts nothing.
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

#include "core/bmp.h"
#include "core/jpeg.h"
#include "core/outfile.h"
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

// Wall time of one whole process, in milliseconds; its peak memory in KiB to peak.
double runProcess(const std::vector<std::string>& argv, long* peak = nullptr) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (peak)
        *peak = usage.ru_maxrss;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0]);
        return -1;
    }
    return ms;
}

int compare(int n, const std::string& oneshot, bool pngOnly) {
    char tmpl[] = "/tmp/kvr-race-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    std::printf("one process each, median of %d, same display:\n", n);
    const std::vector<std::string> formats =
        pngOnly ? std::vector<std::string>{"png"} : std::vector<std::string>{"jpg", "bmp", "png"};
    for (const std::string& format : formats) {
        const std::string ours = (dir / (std::string("ours.") + format)).string();
        const std::string theirs = (dir / (std::string("scrot.") + format)).string();
        std::vector<std::string> scrot = {"scrot", "-o"};
        if (format == "jpg")
            scrot.insert(scrot.end(), {"-q", "30"});
        scrot.push_back(theirs);
        std::vector<double> a, b;
        long peak = 0, theirPeak = 0;
        for (int i = 0; i < n; ++i) {  // interleaved, so both see the same machine load
            a.push_back(runProcess({oneshot, ours}, &peak));
            b.push_back(runProcess(scrot, &theirPeak));
        }
        const double ma = median(a), mb = median(b);
        const double size = double(fs::file_size(ours)), theirSize = double(fs::file_size(theirs));
        std::printf(
            "  %s: kvr_oneshot %7.2f ms, scrot %7.2f ms, ratio %.2f (%.0f KiB vs %.0f KiB, "
            "%.2f x); peak %.1f MiB vs %.1f MiB\n",
            format.c_str(), ma, mb, ma / mb, size / 1024.0, theirSize / 1024.0, size / theirSize,
            peak / 1024.0, theirPeak / 1024.0);
        if (format == "png")
            std::printf("  png goals: time at most 0.50 x scrot's: %s; file at most 1.10 x: %s\n",
                        ma <= 0.5 * mb ? "met" : "MISSED",
                        size <= 1.1 * theirSize ? "met" : "MISSED");
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
        if (command == "all")
            return allMonitors(argc > 2 ? std::atoi(argv[2]) : 30);
        if (command == "compare" && argc > 3)
            return compare(std::atoi(argv[2]), argv[3], argc > 4 && std::string(argv[4]) == "png");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvr_bench: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: kvr_bench paint [plain] | monitors | stages [N] | all [N] | "
                 "compare N ONESHOT [png]\n");
    return 2;
}
