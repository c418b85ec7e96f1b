// The KWin source on a headless KWin: the whole screen is the primary output's real pixels; the
// active window is its frame, title bar included and shadow excluded, as on screen; KWin's output
// priority decides the primary output, and a scaled one gives its real pixels; a program KWin has
// not authorised is told how to fix it.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "base/texts.h"
#include "grab_check.h"
#include "session_suite.h"
#include "wayland_session.h"

namespace kvr::test {
namespace {

using namespace std::chrono_literals;

// KWin reads new desktop entries a moment after they appear: the first grab may still be refused.
Grab firstGrab(WaylandSession& session, const std::string& program) {
    Grab grab;
    for (int i = 0; i < 20; ++i) {
        grab = runGrab(session, program, "kwin", "all");
        if (grab.process.exitCode == 0)
            break;
        std::this_thread::sleep_for(500ms);
    }
    return grab;
}

// A KWin session of `Outputs` outputs, the grab program authorised and KWin already handing it
// pixels.
template <int Outputs>
class KWinSuite : public SessionSuite {
protected:
    static void SetUpTestSuite() {
        startSession(Compositor::KWin, Outputs);
        if (const std::string missing = kwinCaptureMissing(*session_); !missing.empty())
            GTEST_SKIP() << missing;
        grab_ = session_->installProgram(KVR_WL_GRAB);
        authoriseForKWin(*session_, grab_, "kvr-test-grab.desktop");
        const Grab first = firstGrab(*session_, grab_);
        ASSERT_EQ(first.process.exitCode, 0) << first.process.err;
    }
    static inline std::string grab_;
};

class KWinSourceTest : public KWinSuite<1> {};

TEST_F(KWinSourceTest, WholeScreenIsThePrimaryOutputsPixels) {
    const Grab grab = runGrab(*session_, grab_, "kwin", "all");
    ASSERT_EQ(grab.process.exitCode, 0) << grab.process.err;
    ASSERT_EQ(grab.image.size(), QSize(1920, 1080));
    const auto frame = session_->windowFrame("kvr-test-pattern");
    ASSERT_TRUE(frame);
    const auto content = findPattern(grab.image);
    ASSERT_TRUE(content) << "no pattern in the picture";
    expectBars(grab.image, *content);
    // The content sits at the bottom of the frame KWin reports, under the title bar.
    EXPECT_GE(content->x, frame->x);
    EXPECT_EQ(content->y + content->height, frame->y + frame->height - (content->x - frame->x));
}

TEST_F(KWinSourceTest, ActiveWindowIsItsFrameWithTitleBarAndNoShadow) {
    const auto frame = session_->windowFrame("kvr-test-pattern");
    ASSERT_TRUE(frame);
    ASSERT_TRUE(frame->active);
    const Grab screen = runGrab(*session_, grab_, "kwin", "all");
    const Grab active = runGrab(*session_, grab_, "kwin", "active");
    ASSERT_EQ(active.process.exitCode, 0) << active.process.err;
    EXPECT_TRUE(active.supported);
    // Exactly the frame: a shadow would make it larger, a missing title bar smaller.
    ASSERT_EQ(active.image.size(), QSize(frame->width, frame->height));
    const auto content = findPattern(active.image);
    ASSERT_TRUE(content);
    expectBars(active.image, *content);
    EXPECT_GE(content->y, 16) << "no title bar above the content";
    // And those are the screen's pixels at the frame's place.
    EXPECT_EQ(active.image, screen.image.copy(frame->x, frame->y, frame->width, frame->height));
}

TEST_F(KWinSourceTest, AProgramKWinHasNotAuthorisedIsToldTheFix) {
    // The same program at another path: no desktop entry names it.
    const std::string stranger = session_->home() + "/kvr_wl_grab_unlisted";
    ASSERT_EQ(session_->run({"cp", grab_, stranger}).exitCode, 0);
    for (const char* mode : {"all", "active"}) {
        const Grab grab = runGrab(*session_, stranger, "kwin", mode);
        EXPECT_EQ(grab.process.exitCode, 1) << mode;
        EXPECT_TRUE(grab.image.isNull()) << mode;
        EXPECT_EQ(grab.process.err, fillText(text::kKWinNotAuthorized, {stranger}) + "\n") << mode;
    }
}

// Two outputs: KWin's output priority, not the first output, is the screen; a scaled output
// gives its real pixels.
class KWinTwoOutputsTest : public KWinSuite<2> {
protected:
    static void kscreen(const std::string& setting) {
        const ProcessResult r =
            session_->run({"kscreen-doctor", setting}, 30s, {"QT_QPA_PLATFORM=wayland"});
        ASSERT_EQ(r.exitCode, 0) << setting << ": " << r.out << r.err;
        std::this_thread::sleep_for(500ms);  // KWin applies it after answering
    }
};

TEST_F(KWinTwoOutputsTest, CaptureChoicesTakeTheirOutputs) {
    const struct {
        const char* what;
        QSize size;
        bool pattern;  // the pattern window lies on the first output
    } rows[] = {
        {"monitors", QSize(3840, 1080), true},
        {"output=Virtual-1", QSize(1920, 1080), false},
        {"output=Virtual-0", QSize(1920, 1080), true},
        {"pointer-monitor", QSize(1920, 1080), true},  // KWin's active screen
    };
    for (const auto& row : rows) {
        const Grab grab = runGrab(*session_, grab_, "kwin", row.what);
        ASSERT_EQ(grab.process.exitCode, 0) << row.what << ": " << grab.process.err;
        EXPECT_EQ(grab.image.size(), row.size) << row.what;
        EXPECT_EQ(bool(findPattern(grab.image)), row.pattern) << row.what;
    }
    const Grab unknown = runGrab(*session_, grab_, "kwin", "output=NOPE-7");
    EXPECT_EQ(unknown.process.exitCode, 1);
    EXPECT_EQ(unknown.process.err, fillText(text::kNoSuchMonitor, {"NOPE-7"}) + "\n");
}

TEST_F(KWinTwoOutputsTest, ThePriorityOutputIsTheScreenAtItsRealPixels) {
    // First the first output: the pattern is there.
    Grab grab = runGrab(*session_, grab_, "kwin", "all");
    ASSERT_EQ(grab.process.exitCode, 0) << grab.process.err;
    ASSERT_EQ(grab.image.size(), QSize(1920, 1080));
    EXPECT_TRUE(findPattern(grab.image));

    kscreen("output.Virtual-1.priority.1");
    grab = runGrab(*session_, grab_, "kwin", "all");
    ASSERT_EQ(grab.process.exitCode, 0) << grab.process.err;
    EXPECT_EQ(grab.image.size(), QSize(1920, 1080));
    EXPECT_FALSE(findPattern(grab.image)) << "the first output's window in the second's picture";
    // The active window lies on the other output: none on the screen.
    const Grab active = runGrab(*session_, grab_, "kwin", "active");
    EXPECT_EQ(active.process.exitCode, 1);
    EXPECT_EQ(active.process.err, std::string(text::kNoWindow) + "\n");

    // At scale 2 the output is 960x540 in the layout, and still 1920x1080 real pixels.
    kscreen("output.Virtual-1.scale.2");
    grab = runGrab(*session_, grab_, "kwin", "all");
    ASSERT_EQ(grab.process.exitCode, 0) << grab.process.err;
    EXPECT_EQ(grab.image.size(), QSize(1920, 1080));
    // The whole desktop at the larger scale: the scaled output's pixels lie exactly where the
    // source places it for the region's selection.
    const Grab all = runGrab(*session_, grab_, "kwin", "monitors");
    ASSERT_EQ(all.process.exitCode, 0) << all.process.err;
    std::istringstream said(all.process.out);
    std::map<std::string, QRect> places;
    for (std::string word; said >> word;)
        if (word == "place") {
            std::string name;
            int x, y, w, h;
            said >> name >> x >> y >> w >> h;
            places[name] = QRect(x, y, w, h);
        }
    EXPECT_EQ(places["Virtual-0"].size(), QSize(3840, 2160)) << all.process.out;
    EXPECT_EQ(places["Virtual-0"].united(places["Virtual-1"]), QRect(QPoint(), all.image.size()));
    EXPECT_TRUE(all.image.copy(places["Virtual-1"]) == grab.image)
        << "the scaled output is not where the source places it: " << all.process.out;
}

}  // namespace
}  // namespace kvr::test
