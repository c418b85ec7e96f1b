// The portal source on a headless GNOME Shell: the first grab waits while GNOME asks the user and
// takes the picture once they allow it; a wait given up leaves no picture behind even when the
// user allows it later; a refusal says so; the whole screen is the screen's real pixels; the
// portal's files are removed; the active window is refused with a clear message.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "base/texts.h"
#include "grab_check.h"
#include "polling.h"
#include "session_suite.h"
#include "wayland_session.h"

namespace kvr::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Where GNOME 43 puts the "Allow" and "Deny" buttons of its question on a 1920x1080 monitor.
constexpr int kAllowX = 1115, kDenyX = 800, kButtonsY = 635;
// The question's top edge there (its shadow included).
constexpr int kQuestionTop = 440;

class PortalSourceTest : public SessionSuite {
protected:
    static void SetUpTestSuite() {
        startSession(Compositor::Gnome);
        grab_ = session_->installProgram(KVR_WL_GRAB);
        click_ = session_->installProgram(KVR_WL_MUTTER_CLICK);
    }

    static void setPermission(const char* answer) { setScreenshotPermission(*session_, answer); }
    static void click(int x, int y) {
        const ProcessResult r = session_->run({click_, std::to_string(x), std::to_string(y)}, 20s);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // The pictures the portal may have left.
    static std::set<std::string> leftovers() { return picturesLeft(*session_, {".png"}); }
    // Waits until `pred` holds, up to `limit`.
    template <class Pred>
    static bool waitUntil(Pred pred, std::chrono::milliseconds limit) {
        return pollUntil(limit, pred, 100ms);
    }
    // Whether a program started with spawn() still runs (reaping it once it has ended).
    static bool alive(pid_t pid) {
        int status = 0;
        return waitpid(pid, &status, WNOHANG) == 0;
    }

    static inline std::string grab_, click_;
};

TEST_F(PortalSourceTest, WaitsWhileGnomeAsksAndTakesThePictureOnceAllowed) {
    setPermission(nullptr);
    const auto before = leftovers();
    const std::string out = session_->runtimeDir() + "/asked.png";
    const pid_t pid = session_->spawn("asked", {grab_, "portal", "all", out});
    // The question is open: the grab waits, well past a portal's usual answer.
    std::this_thread::sleep_for(4s);
    EXPECT_TRUE(alive(pid)) << session_->log("asked");
    EXPECT_FALSE(fs::exists(out));
    click(kAllowX, kButtonsY);
    ASSERT_TRUE(waitUntil(
        [&] { return session_->log("asked").find("1920 1080") != std::string::npos; }, 20s))
        << session_->log("asked");
    const QImage image = QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB32);
    fs::remove(out);
    const auto content = findPattern(image);
    ASSERT_TRUE(content);
    // GNOME takes the picture as its question fades out, over the bars' lower part.
    expectBars(image, *content, kQuestionTop - content->y);
    EXPECT_EQ(leftovers(), before);
}

TEST_F(PortalSourceTest, AWaitGivenUpLeavesNoPictureWhenTheUserAllowsLater) {
    setPermission(nullptr);
    const auto before = leftovers();
    // A 2-second limit, and the program stays up 8 s afterwards, as the main window would.
    const std::string out = session_->runtimeDir() + "/late.png";
    const pid_t pid = session_->spawn("late", {grab_, "portal", "all", out, "2000", "8000"});
    const std::string message = fillText(text::kPortalNoAnswer, {"2"});
    ASSERT_TRUE(
        waitUntil([&] { return session_->log("late").find(message) != std::string::npos; }, 20s))
        << session_->log("late");
    click(kAllowX, kButtonsY);
    // GNOME takes the picture all the same; the program removes it when the answer comes.
    waitUntil([&] { return !alive(pid); }, 30s);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(leftovers(), before);
}

TEST_F(PortalSourceTest, ARefusalSaysSo) {
    setPermission(nullptr);
    const std::string out = session_->runtimeDir() + "/denied.png";
    const pid_t pid = session_->spawn("denied", {grab_, "portal", "all", out});
    std::this_thread::sleep_for(3s);
    click(kDenyX, kButtonsY);
    ASSERT_TRUE(waitUntil([&] { return !alive(pid); }, 20s));
    EXPECT_NE(session_->log("denied").find(text::kPortalDenied), std::string::npos)
        << session_->log("denied");
    EXPECT_FALSE(fs::exists(out));
    // And once refused, the next grab is refused at once, with the same message.
    const Grab again = runGrab(*session_, grab_, "portal", "all");
    EXPECT_EQ(again.process.exitCode, 1);
    EXPECT_EQ(again.process.err, std::string(text::kPortalDenied) + "\n");
}

TEST_F(PortalSourceTest, WholeScreenIsTheScreensPixelsAndNoFileStays) {
    setPermission("yes");
    const auto before = leftovers();
    const Grab grab = runGrab(*session_, grab_, "portal", "all");
    ASSERT_EQ(grab.process.exitCode, 0) << grab.process.err;
    EXPECT_TRUE(grab.supported);
    ASSERT_EQ(grab.image.size(), QSize(1920, 1080));
    const auto content = findPattern(grab.image);
    ASSERT_TRUE(content) << "no pattern in the picture";
    expectBars(grab.image, *content);
    // GNOME centres the window (its client-side title bar above the content).
    EXPECT_EQ(content->x, (1920 - WaylandSession::kPatternWidth) / 2);
    EXPECT_EQ(leftovers(), before);
}

TEST_F(PortalSourceTest, ActiveWindowIsRefusedWithAClearMessage) {
    setPermission("yes");
    const Grab grab = runGrab(*session_, grab_, "portal", "active");
    EXPECT_FALSE(grab.supported);
    EXPECT_EQ(grab.process.exitCode, 1);
    EXPECT_TRUE(grab.image.isNull());
    EXPECT_EQ(grab.process.err, std::string(text::kActiveWindowUnsupported) + "\n");
}

// Two monitors: the portal's picture holds both, and the grab is GNOME's primary one.
class PortalTwoMonitorsTest : public PortalSourceTest {
protected:
    static void SetUpTestSuite() {
        startSession(Compositor::Gnome, 2);
        grab_ = session_->installProgram(KVR_WL_GRAB);
        setPermission("yes");
    }
    // Makes the second monitor GNOME's primary one, for this session only.
    static void makeSecondPrimary() {
        const std::vector<std::string> call = {"gdbus",
                                               "call",
                                               "--session",
                                               "--dest",
                                               "org.gnome.Mutter.DisplayConfig",
                                               "--object-path",
                                               "/org/gnome/Mutter/DisplayConfig",
                                               "--method"};
        std::vector<std::string> argv = call;
        argv.push_back("org.gnome.Mutter.DisplayConfig.GetCurrentState");
        const ProcessResult state = session_->run(argv, 20s);
        ASSERT_EQ(state.exitCode, 0) << state.err;
        const std::string serial = state.out.substr(8, state.out.find(',') - 8);  // "(uint32 N,"
        argv = call;
        argv.insert(argv.end(),
                    {"org.gnome.Mutter.DisplayConfig.ApplyMonitorsConfig", serial, "1",
                     "[(0,0,1.0,uint32 0,false,[('Meta-0','1920x1080@60.000',@a{sv} {})]),"
                     "(1920,0,1.0,uint32 0,true,[('Meta-1','1920x1080@60.000',@a{sv} {})])]",
                     "@a{sv} {}"});
        const ProcessResult r = session_->run(argv, 20s);
        ASSERT_EQ(r.exitCode, 0) << state.out << r.err;
        std::this_thread::sleep_for(1s);  // the shell moves its top bar over
    }
};

TEST_F(PortalTwoMonitorsTest, TheGrabIsThePrimaryMonitor) {
    Grab grab = runGrab(*session_, grab_, "portal", "all");
    ASSERT_EQ(grab.process.exitCode, 0) << grab.process.err;
    ASSERT_EQ(grab.image.size(), QSize(1920, 1080));
    const auto content = findPattern(grab.image);
    ASSERT_TRUE(content) << "the first monitor's window is not in its picture";
    expectBars(grab.image, *content);

    makeSecondPrimary();
    grab = runGrab(*session_, grab_, "portal", "all");
    ASSERT_EQ(grab.process.exitCode, 0) << grab.process.err;
    EXPECT_EQ(grab.image.size(), QSize(1920, 1080));
    EXPECT_FALSE(findPattern(grab.image)) << "the first monitor's window in the second's picture";
}

}  // namespace
}  // namespace kvr::test
