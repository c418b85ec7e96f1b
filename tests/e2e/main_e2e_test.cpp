// The built program as a user runs it: choose "All Screen", "Shot", wait, "×"; then look at the
// picture on the desktop and at kvr.ini beside the program.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>

#include "e2e_support.h"
#include "jpeg_support.h"
#include "png_support.h"
#include "polling.h"

namespace {

using namespace kvr::e2e;
using namespace kvr::test;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

Rect geometry(const Program& program) {
    Rect r;
    const std::string out =
        program.run({"xdotool", "getwindowgeometry", "--shell", std::to_string(program.window())})
            .output;
    std::sscanf(out.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &r.x, &r.y, &r.width,
                &r.height);
    return r;
}

double meanLevel(const Decoded& picture, const Rect& r) {
    double sum = 0;
    for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x)
            for (int c = 0; c < picture.components; ++c)
                sum += picture.pixels[(size_t(y) * picture.width + x) * picture.components + c];
    return sum / (double(r.width) * r.height * picture.components);
}

TEST(EndToEnd, ShotOfTheWholeScreenThenExit) {
    Program program;
    ASSERT_TRUE(program.start()) << program.log();
    EXPECT_EQ(program.title(program.window()), "Kelvoro");
    const Rect window = geometry(program);
    ASSERT_EQ(window.width, 242);
    program.click(kAllScreen[0], kAllScreen[1]);
    program.click(kShot[0], kShot[1]);
    EXPECT_TRUE(program.waitForTitle("1秒前", 2s));
    const fs::path picture = program.desktop() / "ALL_J00.jpg";
    ASSERT_TRUE(program.waitForFile(picture, 10s)) << program.log();
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    // A whole JFIF file of the whole 1024 x 768 screen, in colour.
    Decoded decoded;
    ASSERT_NO_THROW(decoded = decodeJpeg(readFile(picture)));
    EXPECT_EQ(decoded.width, 1024);
    EXPECT_EQ(decoded.height, 768);
    EXPECT_EQ(decoded.components, 3);
    EXPECT_EQ(readText(picture).substr(6, 5), std::string("JFIF\0", 5));
    // The program's own window is not in it: where it stood, the picture looks like the bare
    // screen beside it (the server's root pattern), not like the grey metal of the window.
    const Rect beside{window.x - window.width - 20, window.y, window.width, window.height};
    EXPECT_NEAR(meanLevel(decoded, window), meanLevel(decoded, beside), 12.0);

    program.click(kExit[0], kExit[1]);
    EXPECT_EQ(program.waitForExit(5s), std::optional<int>(0)) << program.log();
    EXPECT_EQ(readText(program.settingsFile()), "[CreatFlg]\ntype=1\nsave=0\ntimer=1\n");
    EXPECT_EQ(program.log(), "") << "the program prints nothing, not even the toolkit's warnings";
}

// The countdown's progress on the taskbar entry, as Plasma's task manager and the docks read it:
// LauncherEntry signals on the session bus, heard by dbus-monitor. 0 at the start, half-way at
// "1秒前", taken away at the shot.
TEST(EndToEnd, CountdownProgressOnTheTaskbarEntry) {
    Program program;
    SessionBus bus(program.root() / "bus");
    const fs::path heard = program.root() / "heard.txt";
    bus.startHelper({"sh", "-c",
                     "exec dbus-monitor \"type='signal',interface='com.canonical.Unity."
                     "LauncherEntry'\" > " +
                         heard.string()});
    ASSERT_TRUE(pollUntil(5s, [&] { return !readText(heard).empty(); })) << "no monitor";
    writeText(program.settingsFile(), "[CreatFlg]\ntype=1\ntimer=2\n");
    ASSERT_TRUE(program.start({"DBUS_SESSION_BUS_ADDRESS=" + bus.address()})) << program.log();
    program.click(kShot[0], kShot[1]);
    EXPECT_TRUE(program.waitForTitle("1秒前", 3s));
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    ASSERT_TRUE(pollUntil(5s, [&] {
        return readText(heard).find("boolean false") != std::string::npos;
    })) << readText(heard);
    // One line per update: its entry, progress and whether it shows.
    std::vector<std::string> updates;
    const std::string text = readText(heard);
    for (size_t at = text.find("member=Update"); at != std::string::npos;) {
        const size_t next = text.find("member=Update", at + 1);
        const std::string one = text.substr(at, next == std::string::npos ? next : next - at);
        const auto value = [&](const std::string& type) {
            const size_t v = one.find(type + " ");
            return v == std::string::npos
                       ? std::string("?")
                       : one.substr(v + type.size() + 1, one.find('\n', v) - v - type.size() - 1);
        };
        const bool entry =
            one.find("string \"application://org.example.kelvoro.desktop\"") != std::string::npos;
        updates.push_back((entry ? "kelvoro " : "other ") + value("double") + " " +
                          value("boolean"));
        at = next;
    }
    EXPECT_EQ(updates,
              (std::vector<std::string>{"kelvoro 0 true", "kelvoro 0.5 true", "kelvoro 0 false"}))
        << text;
    EXPECT_TRUE(fs::exists(program.desktop() / "ALL_J00.jpg"));
}

// The session's end on a desktop without a session manager, or a plain kill: the choices are
// kept as "×" keeps them, and the program ends quietly.
TEST(EndToEnd, SigtermAndSighupKeepTheChoicesAsExitDoes) {
    for (const int number : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(number);
        Program program;
        ASSERT_TRUE(program.start()) << program.log();
        program.click(kAllScreen[0], kAllScreen[1]);
        program.click(kBmp[0], kBmp[1]);
        program.signal(number);
        EXPECT_EQ(program.waitForExit(5s), std::optional<int>(0)) << program.log();
        EXPECT_EQ(readText(program.settingsFile()), "[CreatFlg]\ntype=1\nsave=1\ntimer=1\n");
        EXPECT_EQ(program.log(), "");
    }
}

TEST(EndToEnd, SavedChoicesComeBackAndBmpShotsAreNumbered) {
    Program program;
    writeText(program.settingsFile(), "[CreatFlg]\ntype=1\nsave=0\ntimer=1\n");
    fs::create_directories(program.desktop());
    writeText(program.desktop() / "ALL_B00.bmp", "taken");
    ASSERT_TRUE(program.start()) << program.log();
    program.click(kBmp[0], kBmp[1]);
    program.click(kShot[0], kShot[1]);
    const fs::path picture = program.desktop() / "ALL_B01.bmp";
    ASSERT_TRUE(program.waitForFile(picture, 10s)) << program.log();
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    const std::string bmp = readText(picture);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(readText(program.desktop() / "ALL_B00.bmp"), "taken");
    program.click(kExit[0], kExit[1]);
    EXPECT_EQ(program.waitForExit(5s), std::optional<int>(0)) << program.log();
    EXPECT_EQ(readText(program.settingsFile()), "[CreatFlg]\ntype=1\nsave=1\ntimer=1\n");
}

TEST(EndToEnd, PngChosenInTheOptionsIsWhatTheLosslessButtonWrites) {
    Program program;
    writeText(program.settingsFile(), "[CreatFlg]\ntype=1\nsave=1\ntimer=1\n[Save]\npng=1\n");
    ASSERT_TRUE(program.start()) << program.log();
    program.click(kShot[0], kShot[1]);
    const fs::path picture = program.desktop() / "ALL_P00.png";
    ASSERT_TRUE(program.waitForFile(picture, 10s)) << program.log();
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    // Read by libpng: the whole 1024 x 768 screen as 8-bit RGB, with the screen's density.
    DecodedPng decoded;
    ASSERT_NO_THROW(decoded = decodePng(picture));
    EXPECT_EQ(decoded.width, 1024);
    EXPECT_EQ(decoded.height, 768);
    EXPECT_EQ(decoded.bitDepth, 8);
    EXPECT_EQ(decoded.colourType, 2);
    EXPECT_GT(decoded.pixelsPerMetre, 0u);
    program.click(kExit[0], kExit[1]);
    EXPECT_EQ(program.waitForExit(5s), std::optional<int>(0)) << program.log();
}

}  // namespace
