// Which rectangle a grab copies: the primary monitor among made-up layouts, and a window's part
// on it.
#include <gtest/gtest.h>

#include "base/countdown_badge.h"
#include "base/screen.h"

namespace kvr {
namespace {

const ScreenRect kRoot{0, 0, 3840, 1200};

TEST(PrimaryMonitor, RandrPrimaryWinsWhereverItSits) {
    const std::vector<MonitorInfo> right = {{{0, 0, 1920, 1080}, false},
                                            {{1920, 0, 1920, 1200}, true}};
    EXPECT_EQ(choosePrimaryMonitor(right, {{0, 0, 1920, 1080}}, kRoot),
              (ScreenRect{1920, 0, 1920, 1200}));
    const std::vector<MonitorInfo> thirdAbove = {{{0, 1080, 1920, 1080}, false},
                                                 {{1920, 1080, 1920, 1080}, false},
                                                 {{500, 0, 1280, 1024}, true}};
    EXPECT_EQ(choosePrimaryMonitor(thirdAbove, {}, kRoot), (ScreenRect{500, 0, 1280, 1024}));
}

TEST(PrimaryMonitor, NoneMarkedPrimaryTakesTheFirstXineramaHead) {
    const std::vector<MonitorInfo> none = {{{1920, 0, 1920, 1200}, false},
                                           {{0, 0, 1920, 1080}, false}};
    EXPECT_EQ(choosePrimaryMonitor(none, {{1920, 0, 1920, 1200}, {0, 0, 1920, 1080}}, kRoot),
              (ScreenRect{1920, 0, 1920, 1200}));
}

TEST(PrimaryMonitor, NothingKnownTakesTheRootWindow) {
    EXPECT_EQ(choosePrimaryMonitor({}, {}, kRoot), kRoot);
    EXPECT_EQ(choosePrimaryMonitor({{{0, 0, 0, 0}, true}}, {{0, 0, 0, 0}}, kRoot), kRoot);
}

TEST(WindowOnScreen, InsideStaysWhole) {
    EXPECT_EQ(clipToScreen({100, 50, 300, 200}, {0, 0, 1024, 768}),
              (ScreenRect{100, 50, 300, 200}));
}

TEST(WindowOnScreen, LeftAndTopStripsAreLost) {
    // A window whose left edge is at -50 gives a picture 50 pixels narrower.
    EXPECT_EQ(clipToScreen({-50, -20, 300, 200}, {0, 0, 1024, 768}), (ScreenRect{0, 0, 250, 180}));
}

TEST(WindowOnScreen, RightAndBottomAreCutAtTheEdge) {
    EXPECT_EQ(clipToScreen({900, 700, 300, 200}, {0, 0, 1024, 768}),
              (ScreenRect{900, 700, 124, 68}));
}

TEST(WindowOnScreen, MaximisedFrameBeyondEveryEdgeIsTheScreen) {
    EXPECT_EQ(clipToScreen({-4, -4, 1032, 776}, {0, 0, 1024, 768}), (ScreenRect{0, 0, 1024, 768}));
}

TEST(WindowOnScreen, PrimaryNotAtTheOriginIsTheOrigin) {
    const ScreenRect right{1920, 0, 1280, 1024};
    EXPECT_EQ(clipToScreen({1800, 100, 400, 300}, right), (ScreenRect{1920, 100, 280, 300}));
    EXPECT_EQ(clipToScreen({3000, 900, 400, 300}, right), (ScreenRect{3000, 900, 200, 124}));
}

TEST(WindowOnScreen, NothingLeftIsNoWindow) {
    const ScreenRect screen{0, 0, 1024, 768};
    EXPECT_FALSE(clipToScreen({1024, 0, 100, 100}, screen));   // on a monitor to the right
    EXPECT_FALSE(clipToScreen({-100, 10, 100, 100}, screen));  // on one to the left
    EXPECT_FALSE(clipToScreen({10, 768, 100, 100}, screen));
    EXPECT_FALSE(clipToScreen({10, 10, 0, 100}, screen));
}

// The countdown's badge: its digits lie inside the box, side by side, one segment count each;
// at the monitor's top-right corner, inside the monitor wherever it sits.
TEST(CountdownBadge, DigitsInsideTheBoxAtTheMonitorsCorner) {
    const struct {
        int seconds, segments, digits;
    } rows[] = {
        {1, 2, 1}, {8, 7, 1}, {10, 2 + 6, 2}, {255, 5 + 5 + 5, 3}, {3600, 5 + 6 + 6 + 6, 4}};
    int lastWidth = 0, lastDigits = 0;
    for (const auto& row : rows) {
        const BadgeShape shape = badgeShape(row.seconds, 48);
        EXPECT_EQ(int(shape.digits.size()), row.segments) << row.seconds;
        // Wider by each digit, the same for as many digits.
        if (row.digits > lastDigits)
            EXPECT_GT(shape.width, lastWidth) << row.seconds;
        else
            EXPECT_EQ(shape.width, lastWidth) << row.seconds;
        lastWidth = shape.width;
        lastDigits = row.digits;
        EXPECT_EQ(shape.height, 48 + 2 * 12);
        for (const ScreenRect& s : shape.digits) {
            EXPECT_GT(s.width, 0);
            EXPECT_GT(s.height, 0);
            EXPECT_GE(s.x, shape.fill.x);
            EXPECT_GE(s.y, shape.fill.y);
            EXPECT_LE(s.x + s.width, shape.fill.x + shape.fill.width);
            EXPECT_LE(s.y + s.height, shape.fill.y + shape.fill.height);
        }
        for (const ScreenRect& monitor :
             {ScreenRect{0, 0, 1024, 768}, ScreenRect{-1920, 300, 1920, 1080}}) {
            const ScreenRect place = badgePlace(monitor, shape);
            EXPECT_EQ(place.width, shape.width);
            EXPECT_GE(place.x, monitor.x);
            EXPECT_LE(place.x + place.width, monitor.x + monitor.width);
            EXPECT_GT(place.x, monitor.x + monitor.width / 2);
            EXPECT_GE(place.y, monitor.y);
            EXPECT_LT(place.y, monitor.y + monitor.height / 4);
        }
    }
    EXPECT_EQ(badgeDigitHeight(96), 48);
    EXPECT_EQ(badgeDigitHeight(192), 96);
    EXPECT_EQ(badgeDigitHeight(0), 48);  // no density told
}

}  // namespace
}  // namespace kvr
