// Moving the borderless main window by its background, with the real pointer (XTest through
// xdotool) and openbox doing the move.
#include <gtest/gtest.h>

#include "main.h"
#include "main_test_support.h"
#include "process.h"

namespace {

using namespace kvr::test;

// Presses the left button at from (window coordinates), drags it by (dx, dy) and releases it.
// Returns how far the window moved.
QPoint drag(TForm1& form, QPoint from, int dx, int dy) {
    syncWithServer();
    QTest::qWait(50);
    const QPoint start = form.frameGeometry().topLeft();
    const QPoint p = form.mapToGlobal(from);
    auto arg = [](int v) { return std::to_string(v); };
    std::vector<std::string> steps = {"xdotool",  "mousemove", "--sync", arg(p.x()),
                                      arg(p.y()), "mousedown", "1"};
    // A few pixels first: the move starts on the first motion, then follows the pointer.
    if (dx || dy)
        steps.insert(steps.end(), {"sleep", "0.05", "mousemove", arg(p.x() + 3), arg(p.y() + 3),
                                   "sleep", "0.2", "mousemove", arg(p.x() + dx), arg(p.y() + dy)});
    steps.insert(steps.end(), {"sleep", "0.2", "mouseup", "1"});
    // Our event loop runs meanwhile: the window answers the press and the motion itself.
    TempDir logs;
    Process xdotool({steps, {}, logs / "xdotool.log"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return xdotool.exitStatus().has_value(); }, 10000));
    EXPECT_EQ(xdotool.exitStatus(), std::optional<int>(0)) << readText(logs / "xdotool.log");
    QTest::qWait(200);
    return form.frameGeometry().topLeft() - start;
}

class Drag : public ::testing::Test {
protected:
    void SetUp() override {
        freshSettingsFile();
        form_ = std::make_unique<TForm1>(kvr::test::services());
        form_->show();
        ASSERT_TRUE(waitExposed(form_.get()));
    }
    std::unique_ptr<TForm1> form_;
};

TEST_F(Drag, UncoveredBackgroundMovesTheWindow) {
    const QPoint moved = drag(*form_, {8, 8}, 60, 40);
    EXPECT_GE(moved.x(), 50);
    EXPECT_GE(moved.y(), 30);
    EXPECT_FALSE(form_->MouseDownFlag);
}

TEST_F(Drag, StripBetweenTheFramesMovesTheWindowToo) {
    const QPoint moved = drag(*form_, {120, 70}, -40, 30);
    EXPECT_LE(moved.x(), -30);
    EXPECT_GE(moved.y(), 20);
}

TEST_F(Drag, PressWithoutMovingLeavesTheWindowWhereItIs) {
    const QPoint moved = drag(*form_, {8, 8}, 0, 0);
    EXPECT_EQ(moved, QPoint(0, 0));
}

TEST_F(Drag, PressOnControlsOrInsideFramesNeverMoves) {
    const std::vector<std::pair<const char*, QPoint>> places = {
        {"inside the mode frame", {18, 76}},
        {"inside the Shot frame", {127, 127}},
        {"Active Form button", {60, 40}},
        {"timer box", {45, 112}},
        {"sec label", {88, 118}},
        {"Screen Shot Type label", {40, 22}},
        {"timer arrows", {67, 106}},
    };
    for (const auto& [what, where] : places)
        EXPECT_EQ(drag(*form_, where, 60, 40), QPoint(0, 0)) << what;
}

}  // namespace
