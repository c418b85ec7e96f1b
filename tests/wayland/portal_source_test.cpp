// The portal source on a headless GNOME Shell: GNOME's question comes before the countdown, and
// the picture after "Allow" is the screen without it; a question left unanswered says so and
// leaves no picture behind even when the user allows it later; one the portal gave up on stays
// on screen storing nothing, and the next shot asks anew; a refusal says how to be asked
// again, and that way works; the whole screen is the screen's real pixels; the portal's files are
// removed; the active window is the person's pick in GNOME's own dialog, and a cancel writes
// nothing.
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

class PortalSourceTest : public SessionSuite {
protected:
    static void SetUpTestSuite() {
        startSession(Compositor::Gnome);
        grab_ = session_->installProgram(KVR_WL_GRAB);
        drive_ = session_->installProgram(KVR_ATSPI_DRIVE);
    }

    static void setPermission(const char* answer) { setScreenshotPermission(*session_, answer); }
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

    // Presses a button of one of GNOME's own dialogs once it shows, as a screen reader would. (A
    // click could miss it: a window that opens just after a click elsewhere is stacked below the
    // clicked one.)
    static void press(const char* button) {
        const ProcessResult r = session_->run({drive_, "press", "portal", button}, 40s);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // The person's pick in GNOME's screenshot dialog (the portal's, or the shell's own tool).
    static void pick(const char* choice) {
        const ProcessResult r = session_->run({drive_, "pick", "portal", choice}, 90s);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // Asks again as `pid` asked, and allows it: the grab ends with the screen's picture.
    static void allowAndExpectPicture(pid_t pid, const std::string& name) {
        EXPECT_TRUE(alive(pid)) << session_->log(name);
        press("Allow");
        ASSERT_TRUE(waitUntil(
            [&] { return session_->log(name).find("1920 1080") != std::string::npos; }, 20s))
            << session_->log(name);
    }

    static inline std::string grab_, drive_;
};

TEST_F(PortalSourceTest, GnomeAsksBeforeTheCountdownAndThePictureIsTheScreenAlone) {
    setPermission(nullptr);
    const auto before = leftovers();
    const std::string out = session_->runtimeDir() + "/asked.png";
    const pid_t pid = session_->spawn("asked", {grab_, "portal", "all", out});
    // The question is open: the shot waits, well past a portal's usual answer.
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(fs::exists(out));
    allowAndExpectPicture(pid, "asked");
    const QImage image = QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB32);
    fs::remove(out);
    const auto content = findPattern(image);
    ASSERT_TRUE(content);
    // Asked before, the question is gone from the picture.
    expectBars(image, *content);
    EXPECT_EQ(leftovers(), before);
}

TEST_F(PortalSourceTest, AWaitGivenUpLeavesNoPictureWhenTheUserAllowsLater) {
    setPermission(nullptr);
    const auto before = leftovers();
    // A 2-second limit, and the program stays up 25 s afterwards, as the main window would (long
    // enough for a busy GNOME to show its question late and deliver its late picture).
    const std::string out = session_->runtimeDir() + "/late.png";
    const pid_t pid = session_->spawn("late", {grab_, "portal", "all", out, "2000", "25000"});
    const std::string message = text::kPortalQuestionUnanswered;
    ASSERT_TRUE(
        waitUntil([&] { return session_->log("late").find(message) != std::string::npos; }, 20s))
        << session_->log("late");
    press("Allow");
    EXPECT_TRUE(waitUntil([&] { return screenshotPermission(*session_) == "yes"; }, 10s));
    // GNOME takes the picture all the same; the program removes it when the answer comes.
    waitUntil([&] { return !alive(pid); }, 60s);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(leftovers(), before) << session_->log("late");
}

TEST_F(PortalSourceTest, AQuestionLeftUnansweredGetsTheProgramsMessageAndIsAskedAgainOnceGone) {
    setPermission(nullptr);
    // The program's own wait for the question (30 s) outlasts the portal's (D-Bus's 25 s).
    const pid_t pid =
        session_->spawn("unanswered", {grab_, "portal", "all", session_->runtimeDir() + "/u.png"});
    ASSERT_TRUE(waitUntil([&] { return !alive(pid); }, 45s)) << session_->log("unanswered");
    const std::string message = session_->log("unanswered");
    if (message.find(text::kPortalQuestionLeftOpen) != std::string::npos) {
        // GNOME 48: the portal gave the question up; the shell still shows it and refuses any
        // other question while it does.
        const Grab refused = runGrab(*session_, grab_, "portal", "all");
        EXPECT_NE(refused.process.err.find(text::kPortalQuestionLeftOpen), std::string::npos)
            << refused.process.err;
    } else {
        // GNOME 43's portal never answers; the program's own wait ends.
        EXPECT_NE(message.find(text::kPortalQuestionUnanswered), std::string::npos) << message;
    }
    // The question is still on screen, and what its buttons give now is kept nowhere.
    press("Allow");
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(screenshotPermission(*session_), "");
    // Once it is gone, the next shot asks anew.
    const std::string out = session_->runtimeDir() + "/asked-again.png";
    allowAndExpectPicture(session_->spawn("asked-again", {grab_, "portal", "all", out}),
                          "asked-again");
    fs::remove(out);
}

TEST_F(PortalSourceTest, ARefusalSaysHowToBeAskedAgainAndThatWorks) {
    setPermission(nullptr);
    const std::string out = session_->runtimeDir() + "/denied.png";
    const pid_t pid = session_->spawn("denied", {grab_, "portal", "all", out});
    press("Deny");
    ASSERT_TRUE(waitUntil([&] { return !alive(pid); }, 20s)) << session_->log("denied");
    EXPECT_EQ(screenshotPermission(*session_), "no");
    EXPECT_FALSE(fs::exists(out));
    // Once refused, the next shot is refused at once, with the same message.
    const Grab again = runGrab(*session_, grab_, "portal", "all");
    EXPECT_EQ(again.process.exitCode, 1);
    const std::string& refused = again.process.err;
    ASSERT_EQ(refused.rfind(text::kPortalDenied, 0), 0u) << refused;
    EXPECT_NE(session_->log("denied").find(refused), std::string::npos);
    // The message's last line is the way back: run as it stands, GNOME asks again.
    std::string command = refused.substr(0, refused.size() - 1);
    command = command.substr(command.rfind('\n') + 1);
    const ProcessResult reset = session_->run({"sh", "-c", command}, 20s);
    ASSERT_EQ(reset.exitCode, 0) << command << "\n" << reset.err;
    const std::string out2 = session_->runtimeDir() + "/allowed.png";
    allowAndExpectPicture(session_->spawn("allowed", {grab_, "portal", "all", out2}), "allowed");
    fs::remove(out2);
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

TEST_F(PortalSourceTest, ActiveWindowIsThePicksOfGnomesDialogAndACancelWritesNothing) {
    setPermission("yes");
    const auto before = leftovers();
    const std::string out = session_->runtimeDir() + "/picked.png";
    const pid_t picking = session_->spawn("picked", {grab_, "portal", "active", out});
    // The person picks the whole screen in GNOME's dialog and shares it. (In GNOME 43's dialog,
    // the picture it shows as it opens cannot be shared headless: a new one is taken.)
    pick("screen");
    ASSERT_TRUE(waitUntil([&] { return !alive(picking); }, 20s)) << session_->log("picked");
    EXPECT_NE(session_->log("picked").find("supports 1"), std::string::npos);
    const QImage image = QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB32);
    fs::remove(out);
    EXPECT_EQ(image.size(), QSize(1920, 1080)) << session_->log("picked");
    const auto content = findPattern(image);
    ASSERT_TRUE(content);
    expectBars(image, *content);

    const std::string none = session_->runtimeDir() + "/cancelled.png";
    const pid_t pid = session_->spawn("cancelled", {grab_, "portal", "active", none});
    pick("cancel");
    ASSERT_TRUE(waitUntil([&] { return !alive(pid); }, 20s));
    EXPECT_NE(session_->log("cancelled").find("cancelled"), std::string::npos)
        << session_->log("cancelled");
    EXPECT_FALSE(fs::exists(none));
    EXPECT_EQ(leftovers(), before);
}

// Two monitors: the portal's picture holds both, and the grab is GNOME's primary one, or both.
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

    // All monitors: the portal's picture as it is.
    grab = runGrab(*session_, grab_, "portal", "monitors");
    ASSERT_EQ(grab.process.exitCode, 0) << grab.process.err;
    EXPECT_EQ(grab.image.size(), QSize(3840, 1080));
    EXPECT_TRUE(findPattern(grab.image));
}

}  // namespace
}  // namespace kvr::test
