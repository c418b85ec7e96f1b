// The program itself in a headless Wayland session, one compositor per binary (KVR_COMPOSITOR):
// kvr_oneshot takes the source the session calls for, and its JPEG and BMP files hold the
// screen's pixels (never a black picture reported as written); the active window is its frame
// where the compositor tells it, the person's pick in GNOME's own dialog there. Then the real
// window on Qt's wayland platform, driven through the accessibility tree: "Shot" counts down in the
// title, the file lands on the desktop of the session's HOME without the program's own window in
// it, and the window is back on screen afterwards. No picture is left in ~/Pictures or /tmp.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <webp/decode.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "base/countdown_badge.h"
#include "base/texts.h"
#include "file_support.h"
#include "grab_check.h"
#include "jpeg_support.h"
#include "polling.h"
#include "session_suite.h"
#include "wayland_session.h"

#ifndef KVR_COMPOSITOR
#error "KVR_COMPOSITOR: Sway, KWin or Gnome"
#endif

namespace kvr::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr Compositor kCompositor = Compositor::KVR_COMPOSITOR;
// Where the compositor can say which window is active (GNOME gives programs no way: there the
// person picks it in GNOME's own screenshot dialog).
constexpr bool kActiveWindowKnown = kCompositor != Compositor::Gnome;

struct Shot {
    ProcessResult process;
    std::vector<uint8_t> file;  // empty when none was written
};

// A BMP file of ours: its pixels, and its bits per pixel from the header.
struct Bmp {
    QImage image;
    int bitsPerPixel = 0;
};
Bmp readBmp(const std::vector<uint8_t>& file) {
    Bmp bmp;
    if (file.size() < 30 || file[0] != 'B' || file[1] != 'M')
        return bmp;
    bmp.bitsPerPixel = file[28] | file[29] << 8;
    bmp.image = QImage::fromData(file.data(), int(file.size()), "BMP")
                    .convertToFormat(QImage::Format_RGB32);
    return bmp;
}

QImage decodeToImage(const std::vector<uint8_t>& file) {
    const Decoded d = decodeJpeg(file);
    if (d.components != 3)
        return {};
    QImage image(d.width, d.height, QImage::Format_RGB32);
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x) {
            const uint8_t* p = &d.pixels[(size_t(y) * d.width + x) * 3];
            image.setPixel(x, y, qRgb(p[0], p[1], p[2]));
        }
    return image;
}

// A WebP from the clipboard through libwebp's own decoder; a null image when it refuses it.
QImage decodeWebp(const std::string& bytes) {
    int width = 0, height = 0;
    uint8_t* rgb = WebPDecodeRGB(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                 &width, &height);
    if (!rgb)
        return {};
    const QImage image = QImage(rgb, width, height, width * 3, QImage::Format_RGB888)
                             .convertToFormat(QImage::Format_RGB32);
    WebPFree(rgb);
    return image;
}

// Every bar of the pattern whole and exact at `content`.
bool barsWhole(const QImage& img, Area content) {
    const int bar = WaylandSession::kPatternBarWidth;
    for (int i = 0; i < 8; ++i)
        if (!filledWith(img, {content.x + i * bar, content.y, bar, content.height},
                        WaylandSession::kPatternColours[i]))
            return false;
    return true;
}

// A JPEG of the same screen as an exact picture: every pixel within `tolerance` a channel
// away, away from the sharp edges where quality 30 rings (within a 16 px block, as colour is
// kept at half resolution, of any change).
::testing::AssertionResult closeTo(const QImage& jpeg, const QImage& exact, int tolerance) {
    if (jpeg.size() != exact.size())
        return ::testing::AssertionFailure() << "size differs";
    auto flatAround = [&](int x, int y) {
        const QRgb c = exact.pixel(x, y);
        for (int dy = -16; dy <= 16; dy += 4)
            for (int dx = -16; dx <= 16; dx += 4) {
                const int px = std::clamp(x + dx, 0, exact.width() - 1);
                const int py = std::clamp(y + dy, 0, exact.height() - 1);
                if (exact.pixel(px, py) != c)
                    return false;
            }
        return true;
    };
    int compared = 0;
    for (int y = 0; y < exact.height(); y += 2)
        for (int x = 0; x < exact.width(); x += 2) {
            if (!flatAround(x, y))
                continue;
            ++compared;
            const QRgb a = jpeg.pixel(x, y), b = exact.pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b))});
            if (d > tolerance)
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << std::hex << (a & 0xffffff)
                       << ", the screen " << (b & 0xffffff);
        }
    if (compared < exact.width() * exact.height() / 8)
        return ::testing::AssertionFailure() << "too few flat pixels compared: " << compared;
    return ::testing::AssertionSuccess();
}

class ProgramTest : public SessionSuite {
protected:
    static void SetUpTestSuite() {
        startSession(kCompositor);
        oneshot_ = session_->installProgram(KVR_ONESHOT);
        program_ = session_->installProgram(KVR_PROGRAM);
        drive_ = session_->installProgram(KVR_ATSPI_DRIVE);
        shots_ = session_->home() + "/shots";
        ASSERT_EQ(session_->run({"mkdir", "-p", shots_}).exitCode, 0);
        if (kCompositor == Compositor::KWin) {
            if (const std::string missing = kwinCaptureMissing(*session_); !missing.empty())
                GTEST_SKIP() << missing;
            // What an installed menu entry gives the program: KWin's leave to take pixels.
            authoriseForKWin(*session_, oneshot_, "kvr-test-oneshot.desktop");
            authoriseForKWin(*session_, program_, "org.example.kelvoro.desktop");
            // KWin reads new entries a moment after they appear.
            for (int i = 0; i < 20 && oneshot("first.bmp").process.exitCode != 0; ++i)
                std::this_thread::sleep_for(500ms);
        }
        if (kCompositor == Compositor::Gnome) {
            // The answer GNOME keeps after its one-time question, given beforehand (the question
            // itself is the portal source's own test).
            setScreenshotPermission(*session_, "yes");
        }
        const Shot first = oneshot("first.bmp");
        ASSERT_EQ(first.process.exitCode, 0) << first.process.err;
        before_ = leftovers();
    }
    void TearDown() override {
        stopProgram();
        EXPECT_EQ(leftovers(), before_) << "a picture was left behind";
    }

    // kvr_oneshot [--window] into ~/shots/NAME; the file's bytes, removed afterwards.
    static Shot oneshot(const std::string& name, bool window = false) {
        const std::string path = shots_ + "/" + name;
        std::vector<std::string> argv = {oneshot_};
        if (window)
            argv.push_back("--window");
        argv.push_back(path);
        Shot shot;
        shot.process = session_->run(argv, 60s);
        shot.file = readFile(path);
        fs::remove(path);
        return shot;
    }
    static QImage screen() {
        const Shot shot = oneshot("screen.bmp");
        EXPECT_EQ(shot.process.exitCode, 0) << shot.process.err;
        return readBmp(shot.file).image;
    }

    // Pictures of the session's user where screenshot tools leave them.
    static std::set<std::string> leftovers() {
        return picturesLeft(*session_, {".png", ".jpg", ".bmp", ".ppm"});
    }

    // The program as a user starts it: Qt picks its platform itself, accessibility on.
    void startProgram(int type, int save, int timer, const std::string& more = {}) {
        const std::string ini = "[CreatFlg]\ntype=" + std::to_string(type) +
                                "\nsave=" + std::to_string(save) +
                                "\ntimer=" + std::to_string(timer) + "\n" + more;
        const ProcessResult w =
            session_->run({"sh", "-c",
                           "mkdir -p \"$HOME/.config/kelvoro\" && "
                           "printf '%s' \"$1\" > \"$HOME/.config/kelvoro/kvr.ini\"",
                           "sh", ini});
        ASSERT_EQ(w.exitCode, 0) << w.err;
        programPid_ = session_->spawn("kvr", {program_}, {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"});
        const ProcessResult ready =
            session_->run({"python3", drive_, "wait", "kvr", text::kTitle}, 60s);
        ASSERT_EQ(ready.exitCode, 0) << ready.err << session_->log("kvr");
        // Qt's own choice in a Wayland session is its wayland platform.
        std::ifstream maps("/proc/" + std::to_string(programPid_) + "/maps");
        const std::string mapped{std::istreambuf_iterator<char>(maps), {}};
        ASSERT_NE(mapped.find("libqwayland"), std::string::npos) << "not on Qt's wayland platform";
    }
    void stopProgram() {
        if (programPid_ <= 0)
            return;
        kill(programPid_, SIGTERM);
        waitpid(programPid_, nullptr, 0);
        programPid_ = -1;
    }

    // The program's window lies over part of the pattern (both are placed by the compositor,
    // near the output's centre): a picture with the bars whole has no window of ours in it.
    static bool windowOverPattern(const QImage& img) {
        const auto content = findPattern(img);
        return content && !barsWhole(img, *content);
    }
    static bool waitForWindowOverPattern() {
        for (int i = 0; i < 40; ++i) {
            if (windowOverPattern(screen()))
                return true;
            std::this_thread::sleep_for(250ms);
        }
        return false;
    }

    struct Drive {
        ProcessResult process;
        QJsonObject report;
        std::vector<std::string> titles;
    };
    // other: the name of a window of the program's that is not the main one (a selection).
    static Drive pressShot(int seconds, const std::string& other = {}) {
        Drive d;
        std::vector<std::string> argv = {"python3", drive_, "shot", "kvr",
                                         std::to_string(seconds + 2)};
        if (!other.empty())
            argv.push_back(other);
        d.process = session_->run(argv, 120s);
        d.report = QJsonDocument::fromJson(QByteArray::fromStdString(d.process.out)).object();
        for (const QJsonValue& t : d.report.value("titles").toArray())
            d.titles.push_back(t.toString().toStdString());
        return d;
    }
    // The titles a countdown of `seconds` shows, as read through the accessibility tree at each
    // change. "撮影中" stands while the grab runs; the program answers the question for it only
    // where the grab waits in an event loop (for the portal's answer); elsewhere its answer
    // comes after the grab, when the title is back to idle.
    static std::vector<std::string> titlesRead(int seconds, bool grabWaitsForThePortal) {
        std::vector<std::string> titles;
        for (int s = seconds; s > 0; --s)
            titles.push_back(fillText(text::kCountdown, {std::to_string(s)}));
        titles.push_back(grabWaitsForThePortal ? text::kShooting : text::kTitle);
        titles.push_back(text::kTitle);
        return titles;
    }
    // The program's file on the desktop of the session's HOME; read and removed.
    static std::vector<uint8_t> takeDesktopFile(const std::string& name) {
        const fs::path path = fs::path(session_->home()) / "Desktop" / name;
        std::vector<uint8_t> bytes = readFile(path);
        fs::remove(path);
        return bytes;
    }
    static std::vector<std::string> desktopFiles() {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(session_->home() + "/Desktop", ec))
            names.push_back(e.path().filename().string());
        return names;
    }
    // After the shot: the window is back over the pattern, and active where that can be told.
    static void expectBackOnScreen(const Drive& d) {
        EXPECT_TRUE(d.report.value("showing").toBool()) << d.process.out;
        EXPECT_TRUE(waitForWindowOverPattern()) << "the window did not come back on screen";
        if (kActiveWindowKnown) {
            const auto frame = session_->windowFrame(text::kTitle);
            ASSERT_TRUE(frame) << "the compositor lists no window of the program";
            EXPECT_TRUE(frame->active);
        }
        EXPECT_TRUE(d.report.value("active").toBool()) << d.process.out;
    }

    // The person's pick in GNOME's screenshot dialog once it opens, in the background: "screen"
    // (shared) or "cancel".
    static void pickInPortalDialog(const std::string& choice) {
        session_->spawn("press", {"python3", drive_, "pick", "portal", choice});
    }

    static inline std::string oneshot_, program_, drive_, shots_;
    static inline std::set<std::string> before_;
    pid_t programPid_ = -1;
};

TEST_F(ProgramTest, OneshotWritesTheScreensPixelsAsBmpAndJpeg) {
    const Shot bmpShot = oneshot("all.bmp");
    ASSERT_EQ(bmpShot.process.exitCode, 0) << bmpShot.process.err;
    const Bmp bmp = readBmp(bmpShot.file);
    EXPECT_EQ(bmp.bitsPerPixel, 32);
    ASSERT_EQ(bmp.image.size(), QSize(WaylandSession::kOutputWidth, WaylandSession::kOutputHeight));
    // The bars, exact: the compositor's pixels, not Xwayland's black root.
    const auto content = findPattern(bmp.image);
    ASSERT_TRUE(content) << "no pattern in the picture";
    expectBars(bmp.image, *content);

    const Shot jpegShot = oneshot("all.jpg");
    ASSERT_EQ(jpegShot.process.exitCode, 0) << jpegShot.process.err;
    const QImage jpeg = decodeToImage(jpegShot.file);
    EXPECT_TRUE(closeTo(jpeg, bmp.image, 24));
}

TEST_F(ProgramTest, OneshotActiveWindowIsItsFrameOrAClearMessage) {
    if (kCompositor == Compositor::Sway)
        session_->run({"swaymsg", "[title=\"^kvr-test-pattern$\"] focus"});
    if (!kActiveWindowKnown)
        pickInPortalDialog("cancel");
    const Shot shot = oneshot("active.bmp", true);
    if (!kActiveWindowKnown) {
        EXPECT_EQ(shot.process.exitCode, 1);
        EXPECT_EQ(shot.process.err, std::string(text::kShotCancelled) + "\n");
        EXPECT_TRUE(shot.file.empty()) << "a file written for a cancelled shot";
        // The answer comes while GNOME's dialog is still closing; the next shot wants it gone.
        EXPECT_TRUE(pollUntil(
            10s,
            [] {
                const QImage img = screen();
                const auto content = findPattern(img);
                return content && barsWhole(img, *content);
            },
            200ms))
            << "GNOME's dialog stays on screen after a cancel";
        return;
    }
    ASSERT_EQ(shot.process.exitCode, 0) << shot.process.err;
    const auto frame = session_->windowFrame("kvr-test-pattern");
    ASSERT_TRUE(frame);
    ASSERT_TRUE(frame->active);
    const Bmp bmp = readBmp(shot.file);
    EXPECT_EQ(bmp.bitsPerPixel, 32);
    ASSERT_EQ(bmp.image.size(), QSize(frame->width, frame->height));
    const auto content = findPattern(bmp.image);
    ASSERT_TRUE(content);
    expectBars(bmp.image, *content);
    EXPECT_GT(content->y, 0) << "no title bar above the content";
    EXPECT_EQ(bmp.image, screen().copy(frame->x, frame->y, frame->width, frame->height));
}

TEST_F(ProgramTest, CommandLineShotWritesTheScreensPixels) {
    const std::string path = shots_ + "/cli.bmp";
    const ProcessResult r = session_->run({program_, "--shot", "-n", "-o", path}, 60s);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, path + "\n");
    const std::vector<uint8_t> file = readFile(path);
    fs::remove(path);
    const Bmp bmp = readBmp(file);
    ASSERT_EQ(bmp.image.size(), QSize(WaylandSession::kOutputWidth, WaylandSession::kOutputHeight));
    const auto content = findPattern(bmp.image);
    ASSERT_TRUE(content) << "no pattern in the picture";
    expectBars(bmp.image, *content);
    // GNOME has no data-control; wl-copy's way there needs a keyboard the headless seat lacks.
    if (kCompositor == Compositor::Gnome)
        return;
    // The clipboard through the compositor's data-control, served after the command returned.
    const ProcessResult copied = session_->run({program_, "-c", "-n"}, 60s);
    ASSERT_EQ(copied.exitCode, 0) << copied.err;
    EXPECT_EQ(copied.out, "");
    const ProcessResult pasted = session_->run({"wl-paste", "-n", "-t", "image/png"}, 60s);
    ASSERT_EQ(pasted.exitCode, 0) << pasted.err;
    const QImage png = QImage::fromData(reinterpret_cast<const uchar*>(pasted.out.data()),
                                        int(pasted.out.size()), "PNG");
    // Beside it the same picture as lossless WebP.
    EXPECT_NE(session_->run({"wl-paste", "--list-types"}).out.find("image/webp"),
              std::string::npos);
    const QImage webp = decodeWebp(session_->run({"wl-paste", "-n", "-t", "image/webp"}, 60s).out);
    // Another client takes the clipboard (here: empties it): ours lets go and ends.
    session_->run({"wl-copy", "--clear"});
    EXPECT_EQ(session_->run({"wl-paste", "--list-types"}).out, "");
    ASSERT_EQ(png.size(), bmp.image.size());
    const QImage pngRgb = png.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x)
            ASSERT_EQ(pngRgb.pixel(x, y) & 0xffffff, bmp.image.pixel(x, y) & 0xffffff)
                << x << "," << y << " of " << png.format();
    // (the PNG's image carries its sRGB colour space, which == compares too)
    EXPECT_TRUE(webp == bmp.image) << "the WebP's pixels differ from the PNG's and the file's";
}

// Where two pictures of one size differ (the box around every differing pixel), for a message.
std::string whereTheyDiffer(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return "sizes differ";
    QRect box;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    return "differ in " + std::to_string(box.x()) + "," + std::to_string(box.y()) + " " +
           std::to_string(box.width()) + "x" + std::to_string(box.height());
}

// A picture to compare with one taken seconds apart: GNOME's top bar shows the time and, for
// a while after a shot, status icons, so the bar's height is left out there (the badge reaches
// well below it).
QImage withoutTopBar(QImage image) {
    if (kCompositor != Compositor::Gnome || image.isNull())
        return image;
    for (int y = 0; y < std::min(48, image.height()); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, 0);
    return image;
}

// During `-d N` the seconds stand at the output's top-right corner, in the program's blue and
// white over whatever lies there, in a screencopy of another client; a shot after a 1-second
// countdown is the screen as a shot without one sees it. (Sway and KWin: the layer shell; GNOME:
// a window of its Xwayland that a click goes through, and no badge and no message of ours where
// that display is out of reach.)
TEST_F(ProgramTest, CountdownBadgeShowsAndIsNeverInThePicture) {
    const std::string plain = shots_ + "/plain.bmp";
    ASSERT_EQ(session_->run({program_, "--shot", "-n", "-o", plain}, 30s).exitCode, 0);
    const QImage raw = readBmp(readFile(plain)).image;
    const QImage screen = withoutTopBar(raw);
    fs::remove(plain);
    ASSERT_TRUE(findPattern(screen)) << "no pattern on the screen";
    const std::string later = shots_ + "/later.bmp";
    session_->spawn("counting", {program_, "--shot", "-n", "-d", "3", "-o", later});
    // The corner: the badge's box is 2 digits wide at most and 48 pixels high at 96 dpi.
    const int right = WaylandSession::kOutputWidth;
    const QRect corner(right - 200, 0, 200, 120);
    int blue = 0, white = 0;
    QRect box;  // the badge's blue
    const std::string mid = shots_ + "/mid.bmp";
    pollUntil(
        8s,
        [&] {
            if (session_->run({program_, "--shot", "-n", "-o", mid}, 30s).exitCode != 0)
                return false;
            const QImage image = readBmp(readFile(mid)).image;
            blue = white = 0;
            box = {};
            for (int y = corner.top(); y <= corner.bottom() && !image.isNull(); ++y)
                for (int x = corner.left(); x <= corner.right(); ++x) {
                    const QRgb pixel = image.pixel(x, y) & 0xffffff;
                    if (pixel == 0x1c3c8c) {
                        ++blue;
                        box |= QRect(x, y, 1, 1);
                    }
                    white += pixel == 0xffffff;
                }
            return blue > 1000 && white > 100;
        },
        100ms);
    fs::remove(mid);
    EXPECT_GT(blue, 1000) << "no badge at the corner mid-countdown";
    EXPECT_GT(white, 100) << "no digits in the badge";
    ASSERT_TRUE(pollUntil(
        10s, [&] { return !readFile(later).empty(); }, 100ms));
    const Bmp counted = readBmp(readFile(later));
    fs::remove(later);
    ASSERT_FALSE(counted.image.isNull());
    EXPECT_TRUE(withoutTopBar(counted.image) == screen)
        << "the badge is in the picture of its own countdown";
    for (int n = 0; n < 3; ++n) {
        const std::string path = shots_ + "/counted.bmp";
        const ProcessResult r =
            session_->run({program_, "--shot", "-n", "-d", "1", "-o", path}, 30s);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const QImage image = readBmp(readFile(path)).image;
        fs::remove(path);
        EXPECT_TRUE(withoutTopBar(image) == screen)
            << "the badge is in shot " << n << ": "
            << whereTheyDiffer(withoutTopBar(image), screen);
    }
    if (kCompositor != Compositor::Gnome)
        return;
    // No X display, none answering, one refusing us: the shot as ever, without a word of ours
    // (the refusing server's reason is printed by libxcb, as for any X client).
    const std::vector<std::vector<std::string>> outOfReach = {
        {"env", "-u", "DISPLAY"}, {"env", "DISPLAY=:4095"}, {"env", "XAUTHORITY=/nonexistent"}};
    for (std::vector<std::string> argv : outOfReach) {
        const std::string path = shots_ + "/unreached.bmp";
        argv.insert(argv.end(), {program_, "--shot", "-n", "-d", "1", "-o", path});
        const ProcessResult r = session_->run(argv, 30s);
        EXPECT_EQ(r.exitCode, 0) << argv[1];
        const std::string refusal = "Authorization required";
        EXPECT_TRUE(r.err.empty() ||
                    (argv[1].starts_with("XAUTHORITY") && r.err.starts_with(refusal) &&
                     r.err.find('\n') >= r.err.size() - 2))
            << argv[1] << ": " << r.err;
        const QImage image = readBmp(readFile(path)).image;
        fs::remove(path);
        EXPECT_TRUE(withoutTopBar(image) == screen)
            << argv[1] << ": " << whereTheyDiffer(withoutTopBar(image), screen);
    }
    // Clicks go through it: it stands over the end of GNOME's top bar, whose menu a click on the
    // badge opens, in the picture of that countdown (GNOME takes one shot at a time: no other is
    // taken meanwhile).
    const QRgb background = screen.pixel(8, screen.height() - 8);
    int topBar = 0;
    while (topBar < box.bottom() && raw.pixel(box.right(), topBar) != background)
        ++topBar;
    ASSERT_LT(box.top(), topBar) << "the badge is not over the top bar";
    const std::string through = shots_ + "/through.bmp";
    session_->spawn("through", {program_, "--shot", "-n", "-d", "5", "-o", through});
    EXPECT_TRUE(pollUntil(
        4s,
        [&] {
            const QImage now = ProgramTest::screen();
            int seen = 0;
            for (int y = box.top(); y <= box.bottom() && !now.isNull(); ++y)
                for (int x = box.left(); x <= box.right(); ++x)
                    seen += (now.pixel(x, y) & 0xffffff) == 0x1c3c8c;
            return seen > box.width() * box.height() / 3;
        },
        100ms));
    const std::string input = session_->installProgram(KVR_MUTTER_INPUT);
    session_->run({"python3", input, "click", std::to_string(box.right() - 1),
                   std::to_string((box.top() + topBar) / 2)});
    ASSERT_TRUE(pollUntil(
        10s, [&] { return !readFile(through).empty(); }, 100ms));
    const QImage clicked = readBmp(readFile(through)).image;
    fs::remove(through);
    const QRect belowBar(screen.width() - 350, topBar + 20, 200, 40);
    EXPECT_NE(clicked.copy(belowBar), raw.copy(belowBar)) << "the badge took the click";
    // The menu closed and the pointer off the top bar, where it lights its button.
    session_->run({"python3", input, "escape"});
    session_->run({"python3", input, "move", std::to_string(screen.width() / 2),
                   std::to_string(screen.height() - 8)});
    EXPECT_TRUE(pollUntil(
        5s,
        [&] {
            const QImage now = ProgramTest::screen();
            return !now.isNull() && now.copy(belowBar) == raw.copy(belowBar);
        },
        100ms))
        << "the menu stays open";
}

// On a 2x output the badge is drawn in the output's own pixels: digits twice as high, and every
// pixel of the box one of its colours (KWin blurs a 1x buffer scaled up).
TEST_F(ProgramTest, CountdownBadgeIsSharpOnADoubleScaleOutput) {
    if (kCompositor == Compositor::Gnome)
        GTEST_SKIP() << "GNOME's badge is an Xwayland window, drawn at the X server's density";
    const auto scale = [](const char* factor) {
        const ProcessResult r =
            kCompositor == Compositor::Sway
                ? session_->run({"swaymsg", std::string("output * scale ") + factor})
                : session_->run({"kscreen-doctor", std::string("output.Virtual-0.scale.") + factor},
                                30s, {"QT_QPA_PLATFORM=wayland"});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        std::this_thread::sleep_for(500ms);  // applied after the answer
    };
    struct Restore {
        std::function<void(const char*)> scale;
        ~Restore() { scale("1"); }
    } restore{scale};
    scale("2");
    const std::string later = shots_ + "/later.bmp";
    session_->spawn("counting", {program_, "--shot", "-n", "-d", "3", "-o", later});
    const BadgeShape shape = badgeShape(2, badgeDigitHeight(192));
    const std::set<QRgb> colours = {kBadgeEdge, kBadgeRing, kBadgeFill, kBadgeDigits};
    QRect box;  // the blue inside, then the whole box around it
    int strange = -1;
    const std::string mid = shots_ + "/mid.bmp";
    pollUntil(
        8s,
        [&] {
            if (session_->run({program_, "--shot", "-n", "-o", mid}, 30s).exitCode != 0)
                return false;
            const QImage image = readBmp(readFile(mid)).image;
            box = QRect();
            for (int y = 0; y < std::min(image.height(), 300); ++y)
                for (int x = image.width() - 400; x < image.width(); ++x)
                    if ((image.pixel(x, y) & 0xffffff) == kBadgeFill)
                        box |= QRect(x, y, 1, 1);
            if (box.height() != shape.fill.height)
                return false;
            box.adjust(-shape.fill.x, -shape.fill.y, shape.width - shape.fill.x - shape.fill.width,
                       shape.height - shape.fill.y - shape.fill.height);
            strange = 0;
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left(); x <= box.right(); ++x)
                    strange += !colours.contains(image.pixel(x, y) & 0xffffff);
            return true;
        },
        100ms);
    fs::remove(mid);
    EXPECT_EQ(box.height(), shape.height) << "no badge of 192-dpi digits mid-countdown";
    EXPECT_EQ(strange, 0) << "pixels of the badge's box in none of its colours";
    EXPECT_TRUE(pollUntil(
        10s, [&] { return !readFile(later).empty(); }, 100ms));
    fs::remove(later);
}

// A reader that never reads (its pipe full) holds the clipboard's server only until the next
// owner comes: then it ends at once. Sway's data-control stands for KWin's here.
TEST_F(ProgramTest, ClipboardServerEndsAtTheNextOwnerWhileAReaderNeverReads) {
    if (kCompositor != Compositor::Sway)
        GTEST_SKIP() << "the background is set through sway";
    // Noise on the screen: a PNG far larger than the pipes between us and the reader hold.
    QImage noise(WaylandSession::kOutputWidth, WaylandSession::kOutputHeight, QImage::Format_RGB32);
    std::mt19937 random(7);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, random() | 0xff000000);
    const std::string background = session_->runtimeDir() + "/noise.png";
    ASSERT_TRUE(noise.save(QString::fromStdString(background)));
    chmod(background.c_str(), 0644);
    ASSERT_EQ(session_->run({"swaymsg", "output * bg " + background + " fill"}).exitCode, 0);
    const auto plain = [] {
        return (screen().pixel(3, 3) & 0xffffff) == WaylandSession::kBackground;
    };
    struct Restore {
        std::function<bool()> plain;
        ~Restore() {  // the next tests look for the plain background
            session_->run({"swaymsg", "output * bg #3a6ea5 solid_color"});
            EXPECT_TRUE(pollUntil(10s, plain, 200ms));
        }
    } restore{plain};
    ASSERT_TRUE(pollUntil(
        10s, [&] { return !plain(); }, 200ms));
    const ProcessResult copied = session_->run({program_, "-c", "-n"}, 60s);
    ASSERT_EQ(copied.exitCode, 0) << copied.err;

    std::string server;  // the server's /proc folder
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::error_code error;
        if (fs::read_symlink(entry.path() / "exe", error) == program_ &&
            readText(entry.path() / "cmdline").find("--serve-clipboard") != std::string::npos)
            server = entry.path();
    }
    ASSERT_FALSE(server.empty()) << "no clipboard server";
    // A reader that reads takes it whole, in many writes.
    const ProcessResult pasted = session_->run({"wl-paste", "-n", "-t", "image/png"}, 60s);
    EXPECT_EQ(QImage::fromData(reinterpret_cast<const uchar*>(pasted.out.data()),
                               int(pasted.out.size()), "PNG")
                  .size(),
              QSize(WaylandSession::kOutputWidth, WaylandSession::kOutputHeight));
    session_->spawn("never-reads", {"sh", "-c", "wl-paste -n -t image/png | sleep 120"});
    // Until the server writes to the reader's pipe.
    const auto writing = [&] {
        std::error_code error;
        for (const auto& fd : fs::directory_iterator(server + "/fd", error))
            if (fs::read_symlink(fd.path(), error).string().starts_with("pipe:"))
                return true;
        return false;
    };
    ASSERT_TRUE(pollUntil(10s, writing));
    ASSERT_EQ(session_->run({"wl-copy", "--clear"}).exitCode, 0);
    EXPECT_TRUE(pollUntil(10s, [&] {
        const std::string stat = readText(server + "/stat");
        return stat.empty() || stat.find(") Z ") != std::string::npos;
    })) << "the server stays";
}

TEST_F(ProgramTest, ShotOfTheWholeScreenLeavesTheWindowOutAndBringsItBack) {
    startProgram(1, 1, 2);  // All Screen, BMP, 2 seconds
    ASSERT_TRUE(waitForWindowOverPattern()) << "the window is not over the pattern: this test "
                                               "could not tell it from the picture";
    if (kCompositor == Compositor::Sway) {
        // Where the person put it, over the pattern still: sway would centre it when it comes
        // back.
        ASSERT_EQ(session_->run({"swaymsg", "[title=\"^Kelvoro$\"] move absolute position 500 300"})
                      .exitCode,
                  0);
        ASSERT_TRUE(waitForWindowOverPattern());
    }
    const Drive d = pressShot(2);
    ASSERT_EQ(d.process.exitCode, 0) << d.process.err;
    EXPECT_EQ(d.titles, titlesRead(2, kCompositor == Compositor::Gnome)) << d.process.out;

    const Bmp bmp = readBmp(takeDesktopFile("ALL_B00.bmp"));
    EXPECT_EQ(bmp.bitsPerPixel, 32);
    ASSERT_EQ(bmp.image.size(), QSize(WaylandSession::kOutputWidth, WaylandSession::kOutputHeight))
        << "no picture on the desktop; there: " << ::testing::PrintToString(desktopFiles());
    const auto content = findPattern(bmp.image);
    ASSERT_TRUE(content) << "no pattern in the picture";
    EXPECT_TRUE(barsWhole(bmp.image, *content)) << "the program's window is in its picture";
    expectBackOnScreen(d);
    if (kCompositor == Compositor::Sway) {
        std::optional<WaylandSession::WindowFrame> frame;
        pollUntil(
            5s,
            [&] {
                frame = session_->windowFrame(text::kTitle);
                return frame && frame->x == 500 && frame->y == 300;
            },
            100ms);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->x, 500) << "the window came back elsewhere";
        EXPECT_EQ(frame->y, 300);
    }
}

// GNOME 48's screenshot tool hands the window over in its shadow, the shadow's pixels
// transparent: a PNG file keeps them so around the window's opaque frame, a JPEG file holds the
// frame alone (once, a black band of 11 pixels all round).
TEST_F(ProgramTest, OneshotOfAWindowPickedInGnome48KeepsItsShadowInPngAndCutsItInJpeg) {
    if (kCompositor != Compositor::Gnome)
        GTEST_SKIP() << "GNOME's screenshot tool";
    const ProcessResult version = session_->run({"gnome-shell", "--version"}, 20s);
    const auto number = version.out.find_first_of("0123456789");
    if (number == std::string::npos || std::stoi(version.out.substr(number)) < 48)
        GTEST_SKIP() << version.out.substr(0, version.out.find('\n'))
                     << ": its portal dialog's window choice is not driven here";
    // The opaque pixels' bounds in a picture.
    const auto opaque = [](const QImage& image) {
        QRect frame;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) == 255)
                    frame |= QRect(x, y, 1, 1);
        return frame;
    };
    pickInPortalDialog("window");
    const Shot pngShot = oneshot("window.png", true);
    ASSERT_EQ(pngShot.process.exitCode, 0) << pngShot.process.err;
    QImage png;
    ASSERT_TRUE(png.loadFromData(pngShot.file.data(), int(pngShot.file.size()), "PNG"));
    ASSERT_TRUE(png.hasAlphaChannel());
    png = png.convertToFormat(QImage::Format_ARGB32);
    const QRect frame = opaque(png);
    EXPECT_EQ(frame.width(), WaylandSession::kPatternWidth);
    EXPECT_GT(png.width(), frame.width()) << "no shadow around the window";
    EXPECT_EQ(qAlpha(png.pixel(0, png.height() / 2)), 0) << "the shadow is not transparent";
    const QImage window = png.copy(frame).convertToFormat(QImage::Format_RGB32);
    const auto content = findPattern(window);
    ASSERT_TRUE(content);
    expectBars(window, *content);

    pickInPortalDialog("window");
    const Shot jpegShot = oneshot("window.jpg", true);
    ASSERT_EQ(jpegShot.process.exitCode, 0) << jpegShot.process.err;
    const QImage jpeg = decodeToImage(jpegShot.file);
    EXPECT_EQ(jpeg.size(), frame.size());
    EXPECT_TRUE(closeTo(jpeg, window, 24));
}

TEST_F(ProgramTest, ShotOfTheActiveWindowTakesTheWindowBelowOrThePersonsPick) {
    if (kCompositor == Compositor::Sway)
        session_->run({"swaymsg", "[title=\"^kvr-test-pattern$\"] focus"});
    startProgram(0, 1, 1);  // Active Form, BMP, 1 second
    ASSERT_TRUE(waitForWindowOverPattern());
    if (!kActiveWindowKnown) {
        // GNOME's own dialog: the person takes a picture (of the screen, its first choice; the
        // program is out of it) and shares it.
        pickInPortalDialog("screen");
        const Drive d = pressShot(1);
        ASSERT_EQ(d.process.exitCode, 0) << d.process.err;
        EXPECT_EQ(d.titles, titlesRead(1, true)) << d.process.out;
        EXPECT_TRUE(d.report.value("dialogs").toArray().isEmpty()) << d.process.out;
        const Bmp bmp = readBmp(takeDesktopFile("Act_B00.bmp"));
        ASSERT_EQ(bmp.image.size(),
                  QSize(WaylandSession::kOutputWidth, WaylandSession::kOutputHeight))
            << "there: " << ::testing::PrintToString(desktopFiles());
        const auto content = findPattern(bmp.image);
        ASSERT_TRUE(content);
        EXPECT_TRUE(barsWhole(bmp.image, *content)) << "the program's window is in its picture";
        expectBackOnScreen(d);
        return;
    }
    const Drive d = pressShot(1);
    ASSERT_EQ(d.process.exitCode, 0) << d.process.err;
    EXPECT_EQ(d.titles, titlesRead(1, false)) << d.process.out;
    // With the program out of the way, the pattern window is the active one.
    const auto frame = session_->windowFrame("kvr-test-pattern");
    ASSERT_TRUE(frame);
    const Bmp bmp = readBmp(takeDesktopFile("Act_B00.bmp"));
    ASSERT_EQ(bmp.image.size(), QSize(frame->width, frame->height))
        << "there: " << ::testing::PrintToString(desktopFiles());
    const auto content = findPattern(bmp.image);
    ASSERT_TRUE(content);
    EXPECT_TRUE(barsWhole(bmp.image, *content)) << "the program's window is in its picture";
    expectBackOnScreen(d);
}

// Sway stands for the Wayland sessions here: wl-paste reads the clipboard through its data
// control, without a window of its own to focus. "Shot" is pressed from a keyboard (a virtual
// one; the headless session has none), as the compositor hands the clipboard only to a program
// that has had input.
TEST_F(ProgramTest, TheShotIsOnTheClipboardOnceTheWindowIsBack) {
    if (kCompositor != Compositor::Sway)
        GTEST_SKIP() << "the clipboard is read back on sway";
    startProgram(1, 1, 1, "[Capture]\nclipboard=1\n");  // All Screen, BMP, 1 second
    ASSERT_TRUE(waitForWindowOverPattern());
    // The program's window has the keyboard; a moment for it to take the new keyboard (keys sent
    // before would be lost), then from "All Screen" to "Shot": the timer, the format, "Opt",
    // "Inf", "Shot".
    session_->run({"swaymsg", "[title=\"^Kelvoro$\"] focus"});
    const ProcessResult keys =
        session_->run({"wtype", "-s", "1000", "-d", "50", "-k", "Tab", "-k", "Tab", "-k", "Tab",
                       "-k", "Tab", "-k", "Tab", "-k", "space"});
    ASSERT_EQ(keys.exitCode, 0) << keys.err;
    const fs::path file = fs::path(session_->home()) / "Desktop" / "ALL_B00.bmp";
    ProcessResult types;
    for (int i = 0; i < 80; ++i) {
        types = session_->run({"wl-paste", "--list-types"});
        if (types.out.find("image/png") != std::string::npos)
            break;
        std::this_thread::sleep_for(250ms);
    }
    EXPECT_NE(types.out.find("text/uri-list"), std::string::npos) << types.out << types.err;
    const QImage shot = readBmp(takeDesktopFile("ALL_B00.bmp")).image;
    ASSERT_FALSE(shot.isNull()) << ::testing::PrintToString(desktopFiles());
    const ProcessResult png = session_->run({"wl-paste", "--type", "image/png"});
    const QImage pasted = QImage::fromData(QByteArray::fromStdString(png.out), "PNG")
                              .convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(pasted == shot) << "the clipboard's picture is the file's, exactly";
    const QImage webp = decodeWebp(session_->run({"wl-paste", "--type", "image/webp"}).out);
    EXPECT_TRUE(webp == shot) << "the clipboard's WebP is the file's picture, exactly";
    const ProcessResult uris = session_->run({"wl-paste", "--type", "text/uri-list"});
    EXPECT_NE(uris.out.find("file://" + file.string()), std::string::npos) << uris.out;
}

// Sway: the selection full-screen on the output, above the windows, with the keyboard; keys come
// from a virtual keyboard (the headless seat has none), after a moment for the window to take it.
// Esc cancels; a rectangle made with keys alone is cut exactly from the picture.
TEST_F(ProgramTest, RegionOnSwayTakesTheKeysAndCutsExactly) {
    if (kCompositor != Compositor::Sway)
        GTEST_SKIP() << "the selection is driven on sway";
    const std::string whole = shots_ + "/whole.bmp", path = shots_ + "/region.bmp";
    // kvr -r; sway's tree once its window is up, the keys, then its status.
    const std::string tree = shots_ + "/tree.json";
    // first: what is done before the keys (a click).
    const auto choose = [&](const std::string& keys, int outputs = 1, const std::string& focus = "",
                            const std::string& first = "") {
        const std::string script =
            "rm -f '" + path + "'; LANG=en_GB.UTF-8 LC_ALL= '" + program_ + "' -r -n -t bmp -o '" +
            path + "' & for i in $(seq 100); do [ $(swaymsg -t get_tree | grep -c '\"name\": " +
            "\"Region\"') -ge " + std::to_string(outputs) +
            " ] && break; sleep 0.1; done; swaymsg -r -t get_tree > '" + tree + "'; " +
            (focus.empty() ? "" : "swaymsg focus output " + focus + " >/dev/null; ") + first +
            "wtype -s 1000 -d 50 " + keys + "; wait $!; echo status $?";
        return session_->run({"sh", "-c", script}, 60s);
    };
    ProcessResult r = choose("-k Escape");
    EXPECT_NE(r.out.find("status 1"), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.err.find("The shot was cancelled"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path));
    // Closed by the desktop (sway's kill): a cancel too, never a selection waiting unseen.
    r = choose("-s 1", 1, "", "swaymsg '[title=\"^Region$\"] kill' >/dev/null; ");
    EXPECT_NE(r.out.find("status 1"), std::string::npos) << r.out << r.err;
    EXPECT_FALSE(fs::exists(path));
    r = choose("-k Escape");
    // Full-screen over the whole output, above the windows (the keys show it has the focus).
    const std::vector<uint8_t> json = readFile(tree);
    QJsonObject shown;
    std::function<void(const QJsonObject&)> find = [&](const QJsonObject& node) {
        if (node.value("name").toString() == "Region")
            shown = node;
        for (const char* list : {"nodes", "floating_nodes"})
            for (const QJsonValue& child : node.value(list).toArray())
                find(child.toObject());
    };
    find(QJsonDocument::fromJson(
             QByteArray(reinterpret_cast<const char*>(json.data()), qsizetype(json.size())))
             .object());
    ASSERT_FALSE(shown.isEmpty()) << "no selection in sway's tree";
    EXPECT_EQ(shown.value("fullscreen_mode").toInt(), 1);
    const QJsonObject rect = shown.value("rect").toObject();
    EXPECT_EQ(QRect(rect.value("x").toInt(), rect.value("y").toInt(), rect.value("width").toInt(),
                    rect.value("height").toInt()),
              QRect(0, 0, WaylandSession::kOutputWidth, WaylandSession::kOutputHeight));

    // A click without a drag takes the window under the pointer, its frame as sway shows it.
    const auto frame = session_->windowFrame("kvr-test-pattern");
    ASSERT_TRUE(frame);
    ASSERT_EQ(session_->run({program_, "--shot", "-n", "-t", "bmp", "-o", whole}, 60s).exitCode, 0);
    r = choose("-k Return", 1, "",
               "'" + std::string(KVR_TEST_POINTER) + "' " +
                   std::to_string(frame->x + frame->width / 2) + " " +
                   std::to_string(frame->y + frame->height / 2) + " " +
                   std::to_string(WaylandSession::kOutputWidth) + " " +
                   std::to_string(WaylandSession::kOutputHeight) + "; ");
    EXPECT_NE(r.out.find("status 0"), std::string::npos) << r.out << r.err;
    EXPECT_TRUE(
        readBmp(readFile(path)).image ==
        readBmp(readFile(whole)).image.copy(frame->x, frame->y, frame->width, frame->height))
        << "not the window's frame";

    // The first arrow starts a rectangle of one pixel at the monitor's corner, then moves it;
    // Shift+arrows resize it, by ten with Ctrl. Over the pattern's bars, in the picture's pixels
    // at any scale of the output (the picture stays 1920x1080; the window's logical size shrinks).
    const auto times = [](int n, const std::string& key) {
        std::string keys;
        for (int i = 0; i < n; ++i)
            keys += " -k " + key;
        return keys;
    };
    const std::string keys = "-k Right -k Down -M shift -k Right -m shift -M ctrl" +
                             times(85, "Right") + times(45, "Down") + " -M shift" +
                             times(20, "Right") + times(5, "Down") + " -m shift -m ctrl -k Return";
    struct ScaleBack {
        WaylandSession& session;
        ~ScaleBack() { session.run({"swaymsg", "output", "*", "scale", "1"}); }
    } scaleBack{*session_};
    for (const char* scale : {"1", "1.5", "2"}) {
        ASSERT_EQ(session_->run({"swaymsg", "output", "*", "scale", scale}).exitCode, 0);
        ASSERT_EQ(session_->run({program_, "--shot", "-n", "-t", "bmp", "-o", whole}, 60s).exitCode,
                  0);
        const QImage picture = readBmp(readFile(whole)).image;
        r = choose(keys);
        EXPECT_NE(r.out.find("status 0"), std::string::npos) << scale << r.out << r.err;
        const QImage cut = readBmp(readFile(path)).image;
        EXPECT_EQ(cut.size(), QSize(202, 51)) << scale << r.out << r.err;
        EXPECT_TRUE(cut == picture.copy(851, 451, 202, 51))
            << "not the picture's own pixels at scale " << scale;
        EXPECT_GT(std::set<QRgb>(reinterpret_cast<const QRgb*>(cut.constBits()),
                                 reinterpret_cast<const QRgb*>(cut.constBits()) + cut.width())
                      .size(),
                  1u)
            << "no bars under the rectangle at scale " << scale;
    }
    // A second output to the right: one window on each, and a rectangle across the seam, started
    // at the corner of the output the keys are on.
    ASSERT_EQ(session_->run({"swaymsg", "output", "*", "scale", "1"}).exitCode, 0);
    ASSERT_EQ(session_->run({"swaymsg", "create_output"}).exitCode, 0);
    struct Unplug {
        WaylandSession& session;
        ~Unplug() { session.run({"swaymsg", "output", "HEADLESS-2", "unplug"}); }
    } unplug{*session_};
    // The pattern across the seam, so that the cut shows where it is.
    const auto movePattern = [&](int x, int y) {
        return session_->run({"swaymsg", "[title=\"^kvr-test-pattern$\"] move absolute position " +
                                             std::to_string(x) + " " + std::to_string(y)});
    };
    struct PatternBack {
        std::function<ProcessResult(int, int)> move;
        ~PatternBack() { move(WaylandSession::kPatternX, WaylandSession::kPatternY); }
    } patternBack{movePattern};
    ASSERT_EQ(
        movePattern(WaylandSession::kOutputWidth - 4 * WaylandSession::kPatternBarWidth - 1, 0)
            .exitCode,
        0);
    ASSERT_EQ(session_
                  ->run({"swaymsg",
                         "output HEADLESS-1 position 0 0, output HEADLESS-2 "
                         "position " +
                             std::to_string(WaylandSession::kOutputWidth) + " 0"})
                  .exitCode,
              0);
    ASSERT_EQ(session_->run({program_, "--shot", "-n", "-m", "all", "-t", "bmp", "-o", whole}, 60s)
                  .exitCode,
              0);
    const QImage both = readBmp(readFile(whole)).image;
    ASSERT_EQ(both.size(), QSize(2 * WaylandSession::kOutputWidth, WaylandSession::kOutputHeight));
    r = choose("-M ctrl" + times(10, "Down") +
                   " -m ctrl -k Left -k Left -k Left -M shift -k Right -k Right -k Right -k Right "
                   "-k Right "
                   "-m shift -k Return",
               2, "HEADLESS-2");
    EXPECT_NE(r.out.find("status 0"), std::string::npos) << r.out << r.err;
    EXPECT_EQ(session_->run({"sh", "-c", "grep -c '\"name\": \"Region\"' '" + tree + "'"}).out,
              "2\n")
        << "not one window on each output";
    const QImage seam = readBmp(readFile(path)).image;
    EXPECT_EQ(seam.size(), QSize(6, 1));
    EXPECT_TRUE(seam == both.copy(WaylandSession::kOutputWidth - 3, 100, 6, 1));
    EXPECT_GT(std::set<QRgb>(reinterpret_cast<const QRgb*>(seam.constBits()),
                             reinterpret_cast<const QRgb*>(seam.constBits()) + seam.width())
                  .size(),
              1u)
        << "the cut is not across the pattern's bars at the seam";
    for (const std::string& file : {path, whole, tree})
        fs::remove(file);
}

// The window's own Region choice on sway: the selection comes up after the countdown, the keys make
// the rectangle, the file is exactly its pixels, and the window comes back at rest and active.
// Return is held past the keyboard's repeat delay: the window is back while it is down, and neither
// its release nor a repeat presses "Shot" again.
TEST_F(ProgramTest, RegionFromTheWindowOnSwayIsCutAndTheWindowComesBack) {
    if (kCompositor != Compositor::Sway)
        GTEST_SKIP() << "the selection is driven on sway";
    const QImage before = screen();
    startProgram(2, 1, 1);  // Region, BMP, 1 second
    ASSERT_TRUE(waitForWindowOverPattern());
    // Once the selection is up: a pixel at the corner, moved right, grown by ten each way,
    // accepted. The virtual keyboard stays a while, as a real one would: without a keyboard on
    // the seat no window is active to the toolkit.
    std::string keys = "-k Right -M shift";
    for (int i = 0; i < 10; ++i)
        keys += " -k Right -k Down";
    session_->spawn("keys", {"sh", "-c",
                             "for i in $(seq 200); do swaymsg -t get_tree | grep -q '\"name\": \"" +
                                 std::string(text::kRegion) +
                                 "\"' && break; sleep 0.1; done; wtype -s 1000 -d 50 " + keys +
                                 " -m shift -P Return -s 1200 -p Return -s 8000"});
    const Drive d = pressShot(1, text::kRegionSelection);
    ASSERT_EQ(d.process.exitCode, 0) << d.process.err;
    EXPECT_EQ(d.titles, titlesRead(1, true)) << d.process.out;
    const QImage cut = readBmp(takeDesktopFile("Rgn_B00.bmp")).image;
    ASSERT_EQ(cut.size(), QSize(11, 11)) << ::testing::PrintToString(desktopFiles());
    EXPECT_TRUE(cut == before.copy(1, 0, 11, 11)) << "not the picture's own pixels";
    expectBackOnScreen(d);
    // At rest after the key's release: no selection again, no second file.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(session_
                  ->run({"sh", "-c",
                         "swaymsg -t get_tree | grep -c '\"name\": \"" +
                             std::string(text::kRegion) + "\"'"})
                  .out,
              "0\n")
        << "a selection is up again";
    EXPECT_TRUE(desktopFiles().empty()) << ::testing::PrintToString(desktopFiles());
}

// KWin: `kvr -r` puts a full-screen window over the output, active, and KWin's own keys make
// the rectangle: the file is the picture's own pixels. Esc cancels; a click takes a window.
TEST_F(ProgramTest, RegionOnKWinTakesTheKeysAndCutsExactly) {
    if (kCompositor != Compositor::KWin)
        GTEST_SKIP() << "driven by KWin's fake input";
    const std::string input = session_->installProgram(KVR_KWIN_INPUT);
    // KWin hands its fake input only to a program whose desktop entry names it.
    ASSERT_EQ(session_
                  ->run({"sh", "-c",
                         "printf '[Desktop Entry]\nType=Application\nName=kvr input\nExec=%s\n"
                         "NoDisplay=true\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n' "
                         "\"$1\" > \"$2\"",
                         "sh", input,
                         session_->home() + "/.local/share/applications/kvr-test-input.desktop"})
                  .exitCode,
              0);
    // KWin reads a new entry a moment after it appears.
    ASSERT_TRUE(pollUntil(
        15s, [&] { return session_->run({input}).exitCode == 0; }, 300ms))
        << session_->run({input}).err;
    const std::string whole = shots_ + "/whole.bmp", path = shots_ + "/region.bmp";
    ASSERT_EQ(session_->run({program_, "--shot", "-n", "-t", "bmp", "-o", whole}, 60s).exitCode, 0);
    const QImage picture = readBmp(readFile(whole)).image;
    fs::remove(whole);
    int runs = 0;
    // kvr -r, the keys once its window is up and active, then what it said.
    const auto choose = [&](std::vector<std::string> keys, WaylandSession::WindowFrame& shown) {
        const std::string name = "region" + std::to_string(++runs);
        session_->spawn(name, {"sh", "-c",
                               "LANG=en_GB.UTF-8 LC_ALL= \"$0\" -r -n -t bmp -o \"$1\"; "
                               "echo status $?",
                               program_, path});
        EXPECT_TRUE(pollUntil(
            20s,
            [&] {
                const auto frame = session_->windowFrame("Region");
                shown = frame.value_or(WaylandSession::WindowFrame{});
                return frame && frame->active;
            },
            200ms))
            << "no active selection window";
        keys.insert(keys.begin(), input);
        const ProcessResult typed = session_->run(keys, 60s);
        EXPECT_EQ(typed.exitCode, 0) << typed.err;
        pollUntil(
            30s, [&] { return session_->log(name).find("status") != std::string::npos; }, 100ms);
        return session_->log(name);
    };
    WaylandSession::WindowFrame shown;
    std::string said = choose({"key:1"}, shown);  // Esc
    EXPECT_NE(said.find("status 1"), std::string::npos) << said;
    EXPECT_NE(said.find("The shot was cancelled"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(QRect(shown.x, shown.y, shown.width, shown.height),
              QRect(0, 0, WaylandSession::kOutputWidth, WaylandSession::kOutputHeight));
    // A pixel at the corner, moved by one and then by ten (Ctrl), grown by ten (Ctrl+Shift).
    std::vector<std::string> keys = {"key:106", "key:108", "hold:29"};
    const auto steps = [&](int right, int down) {
        keys.insert(keys.end(), right, "key:106");
        keys.insert(keys.end(), down, "key:108");
    };
    steps(40, 25);
    keys.push_back("hold:42");
    steps(20, 5);
    keys.insert(keys.end(), {"release:42", "release:29", "key:28"});
    said = choose(keys, shown);
    EXPECT_NE(said.find("status 0"), std::string::npos) << said;
    const QImage cut = readBmp(readFile(path)).image;
    fs::remove(path);
    ASSERT_EQ(cut.size(), QSize(201, 51)) << said;
    EXPECT_TRUE(cut == picture.copy(401, 251, 201, 51)) << "not the picture's own pixels";
    EXPECT_GT(std::set<QRgb>(reinterpret_cast<const QRgb*>(cut.constBits()),
                             reinterpret_cast<const QRgb*>(cut.constBits()) + cut.width())
                  .size(),
              1u)
        << "no bars under the rectangle";
    // A click without a drag takes the window under it: its frame, title bar included.
    const auto frame = session_->windowFrame("kvr-test-pattern");
    ASSERT_TRUE(frame);
    const std::string centre = std::to_string(frame->x + frame->width / 2) + "," +
                               std::to_string(frame->y + frame->height / 2);
    // The pointer first comes with the new input device: a move that the window sees, then the
    // click.
    said = choose({"move:0,0", "sleep:300", "move:" + centre, "down:" + centre, "up", "key:28"},
                  shown);
    EXPECT_NE(said.find("status 0"), std::string::npos) << said;
    EXPECT_TRUE(readBmp(readFile(path)).image ==
                picture.copy(frame->x, frame->y, frame->width, frame->height))
        << "not the window's frame";
    fs::remove(path);
}

}  // namespace
}  // namespace kvr::test
