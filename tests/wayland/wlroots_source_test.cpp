// The wlroots source on a headless sway: the whole screen is the first output's real pixels (the
// pattern window's bars at their place, in their exact colours); the active window is its frame
// with the title bar, clipped to the output; scaled outputs give their real pixels; without
// sway's IPC (another wlroots compositor) there is no active window, and a clear message says so.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>

#include "session_suite.h"
#include "wayland_session.h"

using kvr::test::Compositor;
using kvr::test::ProcessResult;
using kvr::test::SessionSuite;
using kvr::test::WaylandSession;

namespace {

constexpr char kNoWindow[] = "Windowの取得に失敗しました";
constexpr char kNoPointerMonitor[] = "このデスクトップはマウスポインタのあるモニターを教えません";
constexpr char kActiveWindowUnsupported[] =
    "このデスクトップではアクティブウィンドウを取得できません";

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    uint32_t at(int x, int y) const {
        const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
};

std::optional<Image> readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    Image img;
    if (!(in >> magic >> img.width >> img.height >> max) || magic != "P6" || max != 255)
        return std::nullopt;
    in.get();
    img.rgb.resize(size_t(img.width) * img.height * 3);
    if (!in.read(reinterpret_cast<char*>(img.rgb.data()), std::streamsize(img.rgb.size())))
        return std::nullopt;
    return img;
}

// Every pixel of `area` in `img` has `colour`; on a mismatch, the first one found.
::testing::AssertionResult filledWith(const Image& img, Rect area, uint32_t colour) {
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            if (x < 0 || y < 0 || x >= img.width || y >= img.height || img.at(x, y) != colour) {
                std::ostringstream s;
                s << "pixel " << x << "," << y << " is " << std::hex
                  << (x >= 0 && y >= 0 && x < img.width && y < img.height ? img.at(x, y) : 0)
                  << ", not " << colour;
                return ::testing::AssertionFailure() << s.str();
            }
    return ::testing::AssertionSuccess();
}

// The pattern's eight bars: `content` is the window's content in the picture, `scale` the
// output's.
void expectBars(const Image& img, Rect content, int scale) {
    ASSERT_EQ(content.width, WaylandSession::kPatternWidth * scale);
    ASSERT_EQ(content.height, WaylandSession::kPatternHeight * scale);
    const int bar = WaylandSession::kPatternBarWidth * scale;
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(filledWith(img, {content.x + i * bar, content.y, bar, content.height},
                               WaylandSession::kPatternColours[i]))
            << "bar " << i;
}

class WlrootsSourceTest : public SessionSuite {
protected:
    static void SetUpTestSuite() {
        startSession(Compositor::Sway);
        shot_ = session_->installProgram(KVR_WL_SHOT);
    }

    struct Shot {
        ProcessResult process;
        std::optional<Image> image;
    };
    static Shot shoot(const std::string& mode, const std::vector<std::string>& env = {}) {
        const std::string out = session_->home() + "/Pictures/shot.ppm";
        std::remove(out.c_str());
        Shot shot;
        shot.process = session_->run({shot_, mode, out}, std::chrono::seconds(30), env);
        shot.image = readPpm(out);
        std::remove(out.c_str());
        return shot;
    }
    static void sway(const std::string& command) {
        const ProcessResult r = session_->run({"swaymsg", command});
        ASSERT_EQ(r.exitCode, 0) << command << ": " << r.out << r.err;
    }

    // The pattern window in sway's tree: its frame (title bar included) and its content, in
    // layout coordinates.
    struct Placement {
        Rect frame, content;
        bool focused = false;
    };
    static std::optional<Placement> pattern() {
        const auto frame = session_->windowFrame("kvr-test-pattern");
        if (!frame || !frame->content)
            return std::nullopt;
        const WaylandSession::Box& c = *frame->content;
        return Placement{{frame->x, frame->y, frame->width, frame->height},
                         {c.x, c.y, c.width, c.height},
                         frame->active};
    }

    static inline std::string shot_;
};

TEST_F(WlrootsSourceTest, WholeScreenIsTheOutputsRealPixels) {
    const auto place = pattern();
    ASSERT_TRUE(place);
    // Where the fixture asked sway to put it: the frame's top-left.
    EXPECT_EQ(place->frame.x, WaylandSession::kPatternX);
    EXPECT_EQ(place->frame.y, WaylandSession::kPatternY);

    const Shot shot = shoot("all");
    ASSERT_EQ(shot.process.exitCode, 0) << shot.process.err;
    EXPECT_NE(shot.process.out.find("supports all: 1"), std::string::npos);
    ASSERT_TRUE(shot.image);
    const Image& img = *shot.image;
    ASSERT_EQ(img.width, WaylandSession::kOutputWidth);
    ASSERT_EQ(img.height, WaylandSession::kOutputHeight);
    expectBars(img, place->content, 1);
    // The background around it, and the title bar above the content (sway's, not background).
    EXPECT_TRUE(filledWith(img, {0, 0, 300, 150}, WaylandSession::kBackground));
    EXPECT_TRUE(filledWith(img, {1500, 800, 420, 280}, WaylandSession::kBackground));
    const int titleY = (place->frame.y + place->content.y) / 2;
    EXPECT_NE(img.at(place->content.x + 20, titleY), WaylandSession::kBackground);
}

TEST_F(WlrootsSourceTest, ActiveWindowIsItsFrameWithTitleBar) {
    sway("[title=\"^kvr-test-pattern$\"] focus");
    const auto place = pattern();
    ASSERT_TRUE(place);
    ASSERT_TRUE(place->focused);
    ASSERT_GT(place->content.y, place->frame.y) << "a title bar above the content";

    const Shot window = shoot("active");
    ASSERT_EQ(window.process.exitCode, 0) << window.process.err;
    EXPECT_NE(window.process.out.find("supports active: 1"), std::string::npos);
    ASSERT_TRUE(window.image);
    EXPECT_EQ(window.image->width, place->frame.width);
    EXPECT_EQ(window.image->height, place->frame.height);
    expectBars(*window.image,
               {place->content.x - place->frame.x, place->content.y - place->frame.y,
                place->content.width, place->content.height},
               1);

    // The frame's pixels are the screen's at that place, title bar and border included.
    const Shot screen = shoot("all");
    ASSERT_TRUE(screen.image);
    for (int y = 0; y < window.image->height; y += 3)
        for (int x = 0; x < window.image->width; x += 3)
            ASSERT_EQ(window.image->at(x, y),
                      screen.image->at(place->frame.x + x, place->frame.y + y))
                << x << "," << y;
}

TEST_F(WlrootsSourceTest, ActiveWindowIsClippedToTheOutput) {
    sway("[title=\"^kvr-test-pattern$\"] focus");
    sway("[title=\"^kvr-test-pattern$\"] move absolute position 1600 900");
    const auto place = pattern();
    const Shot window = shoot("active");
    sway("[title=\"^kvr-test-pattern$\"] move absolute position " +
         std::to_string(WaylandSession::kPatternX) + " " +
         std::to_string(WaylandSession::kPatternY));
    ASSERT_TRUE(place);
    ASSERT_EQ(place->frame.x, 1600);
    ASSERT_EQ(window.process.exitCode, 0) << window.process.err;
    ASSERT_TRUE(window.image);
    EXPECT_EQ(window.image->width, WaylandSession::kOutputWidth - 1600);
    EXPECT_EQ(window.image->height, WaylandSession::kOutputHeight - 900);
    // The first bar, white, starts after the left border.
    const int border = place->content.x - place->frame.x;
    EXPECT_TRUE(filledWith(*window.image,
                           {border, place->content.y - place->frame.y, 10,
                            WaylandSession::kOutputHeight - place->content.y},
                           WaylandSession::kPatternColours[0]));
}

TEST_F(WlrootsSourceTest, NoWindowFocusedIsAClearErrorAndNoPicture) {
    sway("workspace kvr-empty");
    const Shot shot = shoot("active");
    sway("workspace 1");
    EXPECT_EQ(shot.process.exitCode, 1);
    EXPECT_NE(shot.process.err.find(kNoWindow), std::string::npos) << shot.process.err;
    EXPECT_FALSE(shot.image);
}

TEST_F(WlrootsSourceTest, WithoutSwaysIpcThereIsNoActiveWindowButTheScreenWorks) {
    const Shot window = shoot("active", {"SWAYSOCK="});
    EXPECT_NE(window.process.out.find("supports active: 0"), std::string::npos);
    EXPECT_EQ(window.process.exitCode, 1);
    EXPECT_NE(window.process.err.find(kActiveWindowUnsupported), std::string::npos)
        << window.process.err;
    EXPECT_FALSE(window.image);

    const Shot screen = shoot("all", {"SWAYSOCK="});
    ASSERT_EQ(screen.process.exitCode, 0) << screen.process.err;
    ASSERT_TRUE(screen.image);
    EXPECT_EQ(screen.image->width, WaylandSession::kOutputWidth);
    const auto place = pattern();
    ASSERT_TRUE(place);
    expectBars(*screen.image, place->content, 1);
}

TEST_F(WlrootsSourceTest, ScaledOutputGivesItsRealPixels) {
    // At scale 2 the output is 960x540 in the layout; the window is moved to where it fits.
    sway("output HEADLESS-1 scale 2");
    sway("[title=\"^kvr-test-pattern$\"] focus");
    sway("[title=\"^kvr-test-pattern$\"] move absolute position 50 50");
    // Qt repaints the pattern at the new scale; wait until sway shows it so.
    std::optional<Placement> place;
    auto shownAtScale2 = [&](const Shot& probe) {
        if (!place || !probe.image || probe.image->width != WaylandSession::kOutputWidth)
            return false;
        const int x = place->content.x * 2, y = place->content.y * 2;
        return probe.image->at(x, y) == WaylandSession::kPatternColours[0] &&
               probe.image->at(x + 159, y) == WaylandSession::kPatternColours[0] &&
               probe.image->at(x + 160, y) == WaylandSession::kPatternColours[1];
    };
    Shot screen;
    for (int i = 0; i < 100; ++i) {
        place = pattern();
        screen = shoot("all");
        if (shownAtScale2(screen))
            break;
    }
    const Shot window = shoot("active");
    sway("output HEADLESS-1 scale 1");
    sway("[title=\"^kvr-test-pattern$\"] move absolute position " +
         std::to_string(WaylandSession::kPatternX) + " " +
         std::to_string(WaylandSession::kPatternY));
    ASSERT_TRUE(place);
    ASSERT_TRUE(screen.image) << screen.process.err;
    // The output's real pixels, not its 960x540 place in the layout.
    EXPECT_EQ(screen.image->width, WaylandSession::kOutputWidth);
    EXPECT_EQ(screen.image->height, WaylandSession::kOutputHeight);
    expectBars(*screen.image,
               {place->content.x * 2, place->content.y * 2, place->content.width * 2,
                place->content.height * 2},
               2);
    ASSERT_TRUE(window.image) << window.process.err;
    EXPECT_EQ(window.image->width, place->frame.width * 2);
    EXPECT_EQ(window.image->height, place->frame.height * 2);
    expectBars(*window.image,
               {(place->content.x - place->frame.x) * 2, (place->content.y - place->frame.y) * 2,
                place->content.width * 2, place->content.height * 2},
               2);
}

// An X11 program under Xwayland is a window like any other: its frame is sway's.
TEST_F(WlrootsSourceTest, ActiveX11WindowIsItsFrameToo) {
    const std::string title = "kvr-test-pattern-x11";
    session_->showPattern(title, true);
    sway("[title=\"" + title + "\"] focus");
    sway("[title=\"" + title + "\"] move absolute position 900 500");
    const auto frame = session_->windowFrame(title);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(frame->active);
    Shot window;
    for (int i = 0; i < 100; ++i) {  // until sway has drawn it at its new place
        window = shoot("active");
        if (window.image && window.image->width == frame->width &&
            window.image->at(frame->width / 2, frame->height - 10) ==
                WaylandSession::kPatternColours[4])
            break;
    }
    sway("[title=\"" + title + "\"] kill");
    ASSERT_EQ(window.process.exitCode, 0) << window.process.err;
    ASSERT_TRUE(window.image);
    EXPECT_EQ(window.image->width, frame->width);
    EXPECT_EQ(window.image->height, frame->height);
    const int border = (frame->width - WaylandSession::kPatternWidth) / 2;
    const int top = frame->height - WaylandSession::kPatternHeight - border;
    expectBars(*window.image,
               {border, top, WaylandSession::kPatternWidth, WaylandSession::kPatternHeight}, 1);
}

// A rotated or mirrored output: the picture is the screen as the user sees it, upright.
TEST_F(WlrootsSourceTest, RotatedOutputGivesTheUprightScreen) {
    for (const std::string transform : {"90", "180", "270", "flipped-90"}) {
        SCOPED_TRACE("transform " + transform);
        sway("output HEADLESS-1 transform " + transform);
        sway("[title=\"^kvr-test-pattern$\"] focus");
        sway("[title=\"^kvr-test-pattern$\"] move absolute position 50 50");
        const bool quarter = transform != "180";
        const int width = quarter ? WaylandSession::kOutputHeight : WaylandSession::kOutputWidth;
        const int height = quarter ? WaylandSession::kOutputWidth : WaylandSession::kOutputHeight;
        std::optional<Placement> place;
        Shot screen;
        for (int i = 0; i < 100; ++i) {
            place = pattern();
            screen = shoot("all");
            if (place && place->frame.x == 50 && screen.image && screen.image->width == width &&
                screen.image->at(place->content.x, place->content.y) ==
                    WaylandSession::kPatternColours[0])
                break;
        }
        const Shot window = shoot("active");
        sway("output HEADLESS-1 transform normal");
        ASSERT_TRUE(place);
        ASSERT_TRUE(screen.image) << screen.process.err;
        EXPECT_EQ(screen.image->width, width);
        EXPECT_EQ(screen.image->height, height);
        expectBars(*screen.image, place->content, 1);
        ASSERT_TRUE(window.image) << window.process.err;
        EXPECT_EQ(window.image->width, place->frame.width);
        expectBars(*window.image,
                   {place->content.x - place->frame.x, place->content.y - place->frame.y,
                    place->content.width, place->content.height},
                   1);
    }
    sway("[title=\"^kvr-test-pattern$\"] move absolute position " +
         std::to_string(WaylandSession::kPatternX) + " " +
         std::to_string(WaylandSession::kPatternY));
}

// Two outputs side by side, the pattern window on the first: which output each choice takes,
// wherever the focus is.
TEST(WlrootsTwoOutputs, EachChoiceTakesItsOutputs) {
    auto session = WaylandSession::start(Compositor::Sway, 2);
    session->showPattern();
    const std::string shot = session->installProgram(KVR_WL_SHOT);
    const std::string out = session->home() + "/Pictures/shot.ppm";
    {
        // The whole screen is the first in sway's order, wherever the focus is. Which one that
        // is, is sway's choice (1.10 lists the second one made first): asked, not assumed.
        const ProcessResult outputs = session->run({"swaymsg", "-t", "get_outputs", "-r"});
        ASSERT_EQ(outputs.exitCode, 0) << outputs.err;
        const size_t name = outputs.out.find("\"HEADLESS-");
        ASSERT_NE(name, std::string::npos) << outputs.out;
        const bool patternFirst = outputs.out.compare(name, 12, "\"HEADLESS-1\"") == 0;
        ASSERT_EQ(session->run({"swaymsg", "focus output HEADLESS-2"}).exitCode, 0);
        const ProcessResult r = session->run({shot, "all", out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto img = readPpm(out);
        ASSERT_TRUE(img);
        EXPECT_EQ(img->width, WaylandSession::kOutputWidth);
        EXPECT_EQ(img->height, WaylandSession::kOutputHeight);
        // The pattern window sits on HEADLESS-1, the left half of the layout.
        const int bar = WaylandSession::kPatternBarWidth;
        int found = 0;
        for (int i = 0; i < 8; ++i)
            for (int x = WaylandSession::kPatternX; x < WaylandSession::kPatternX + 700; ++x)
                if (img->at(x, WaylandSession::kPatternY + 100) ==
                        WaylandSession::kPatternColours[i] &&
                    img->at(x + bar / 2, WaylandSession::kPatternY + 100) ==
                        WaylandSession::kPatternColours[i]) {
                    ++found;
                    break;
                }
        EXPECT_EQ(found, patternFirst ? 8 : 0);
    }
    const int w = WaylandSession::kOutputWidth, h = WaylandSession::kOutputHeight;
    // Whether the pattern's first bar shows where the fixture put it, `shift` to the right.
    const auto patternAt = [](const Image& img, int shift) {
        return filledWith(
            img, {WaylandSession::kPatternX + shift + 20, WaylandSession::kPatternY + 100, 10, 10},
            WaylandSession::kPatternColours[0]);
    };
    const struct {
        const char* focus;
        const char* what;
        int width;
        bool pattern;
    } rows[] = {
        {"HEADLESS-2", "pointer-monitor", w, false},
        {"HEADLESS-1", "pointer-monitor", w, true},
        {"HEADLESS-2", "output=HEADLESS-2", w, false},
        {"HEADLESS-2", "monitors", 2 * w, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(session->run({"swaymsg", std::string("focus output ") + row.focus}).exitCode, 0);
        std::remove(out.c_str());
        const ProcessResult r = session->run({shot, row.what, out});
        EXPECT_NE(r.out.find("refuses pointer-monitor: no"), std::string::npos) << r.out;
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto img = readPpm(out);
        ASSERT_TRUE(img);
        EXPECT_EQ(img->width, row.width);
        EXPECT_EQ(img->height, h);
        EXPECT_EQ(bool(patternAt(*img, 0)), row.pattern);
    }

    const ProcessResult unknown = session->run({shot, "output=NOPE-7", out});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("モニター NOPE-7 が見つかりません"), std::string::npos)
        << unknown.err;
    // Without sway's IPC nothing says where the pointer is: refused, with the reason.
    const ProcessResult bare =
        session->run({shot, "all", out}, std::chrono::seconds(30), {"SWAYSOCK="});
    EXPECT_NE(bare.out.find("refuses pointer-monitor: " + std::string(kNoPointerMonitor)),
              std::string::npos)
        << bare.out;
}

}  // namespace
