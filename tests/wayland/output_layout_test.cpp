// Which monitor is "the screen" in a Wayland session, and where it lies in a portal picture of
// the whole layout.
#include <gtest/gtest.h>
#include <algorithm>
#include <utility>

#include "base/error.h"
#include "platform/wayland/output_mosaic.h"
#include "platform/wayland/portal_source.h"
#include "platform/wayland/replies/sway_reply.h"
#include "platform/wayland/wayland_outputs.h"

namespace kvr {
namespace {

TEST(OutputOrder, TheFirstNamedOutputOfTheDesktopsOrderIsPrimary) {
    std::vector<WaylandOutput> outputs = {{"Virtual-0", {0, 0, 1920, 1080}},
                                          {"Virtual-1", {1920, 0, 1280, 720}}};
    markPrimaryOutput(outputs, {"Gone-7", "Virtual-1", "Virtual-0"});
    EXPECT_EQ(primaryOutput(outputs).name, "Virtual-1");
    EXPECT_FALSE(outputs[0].primary);

    // No order (a compositor that says none, or names nothing known): the first announced.
    for (const std::vector<std::string>& order : {std::vector<std::string>{}, {"Gone-7"}}) {
        markPrimaryOutput(outputs, order);
        EXPECT_EQ(primaryOutput(outputs).name, "Virtual-0");
        EXPECT_FALSE(outputs[1].primary);
    }
}

TEST(PortalPicture, OneMonitorIsTheWholePicture) {
    const ScreenRect whole{0, 0, 3840, 2160};
    EXPECT_EQ(primaryPixelsIn(3840, 2160, {}), whole);
    EXPECT_EQ(primaryPixelsIn(3840, 2160, {{{0, 0, 1920, 1080}, true}}), whole);
    EXPECT_EQ(primaryPixelsIn(0, 0, {}), std::nullopt);
}

TEST(PortalPicture, ThePrimaryMonitorIsCutOutAtThePicturesScale) {
    const std::vector<MonitorInfo> layout = {{{0, 0, 1920, 1080}, false},
                                             {{1920, 0, 1280, 720}, true}};
    EXPECT_EQ(primaryPixelsIn(3200, 1080, layout), (ScreenRect{1920, 0, 1280, 720}));
    // A picture at twice the layout's size (a scaled desktop): twice the rectangle.
    EXPECT_EQ(primaryPixelsIn(6400, 2160, layout), (ScreenRect{3840, 0, 2560, 1440}));
    // A monitor left of and above the origin moves the picture's origin with it.
    const std::vector<MonitorInfo> shifted = {{{-1280, -200, 1280, 720}, false},
                                              {{0, 0, 1920, 1080}, true}};
    EXPECT_EQ(primaryPixelsIn(3200, 1280, shifted), (ScreenRect{1280, 200, 1920, 1080}));
    // No monitor marked primary: the first one.
    const std::vector<MonitorInfo> none = {{{0, 0, 1920, 1080}, false},
                                           {{1920, 0, 1280, 720}, false}};
    EXPECT_EQ(primaryPixelsIn(3200, 1080, none), (ScreenRect{0, 0, 1920, 1080}));
}

TEST(PortalPicture, APictureOfAnotherShapeIsNotCut) {
    const std::vector<MonitorInfo> layout = {{{0, 0, 1920, 1080}, false},
                                             {{1920, 0, 1280, 720}, true}};
    EXPECT_EQ(primaryPixelsIn(1920, 1080, layout), std::nullopt);
}

// Outputs a compositor places far out (any wlroots compositor's own positions): refused before
// any sum, as sway's and KWin's numbers are.
TEST(OutputMosaic, PlacesOutOfBoundsAreRefused) {
    const auto placed = [](ScreenRect logical) {
        return std::vector<PlacedPicture>{{makeOwnedPicture(4, 2, 32, 16), {0, 0, 4, 2}},
                                          {makeOwnedPicture(4, 2, 32, 16), logical}};
    };
    EXPECT_EQ(composeOutputs(placed({-4, 2, 4, 2})).width, 8);
    for (const ScreenRect far : {ScreenRect{2147483600, 0, 4, 2},
                                 {-2147483600, 0, 4, 2},
                                 {0, (1 << 20) + 1, 4, 2},
                                 {0, 0, 4, 2147483600}})
        EXPECT_THROW(composeOutputs(placed(far)), KvrError) << far.x << "," << far.y;
}

// Where the region's selection shows each output: the very pixels composeOutputs put there,
// a 1x output beside a 2x or 1.5x one, left of or above the layout's origin.
TEST(OutputMosaic, PlacesAreWhereThePicturePutsEachOutput) {
    struct Case {
        std::vector<ScreenRect> logical;
        std::vector<int> scales2;  // each output's scale, doubled
        std::vector<ScreenRect> places;
    };
    const std::vector<Case> cases = {
        {{{0, 0, 4, 2}, {4, 0, 2, 1}}, {2, 4}, {{0, 0, 8, 4}, {8, 0, 4, 2}}},
        {{{-4, 0, 4, 2}, {0, -2, 4, 2}}, {2, 3}, {{0, 3, 6, 3}, {6, 0, 6, 3}}},
        {{{0, 0, 4, 2}}, {2}, {{0, 0, 4, 2}}},
    };
    for (const Case& c : cases) {
        std::vector<PlacedPicture> outputs;
        double scale = 1.0;
        for (size_t i = 0; i < c.logical.size(); ++i) {
            const ScreenRect& r = c.logical[i];
            Picture p = makeOwnedPicture(r.width * c.scales2[i] / 2, r.height * c.scales2[i] / 2,
                                         32, size_t(r.width * c.scales2[i] / 2) * 4);
            uint8_t* px = mutablePixels(p);
            std::fill(px, px + p.stride * p.height, uint8_t(i + 1));
            outputs.push_back({std::move(p), r});
            scale = std::max(scale, c.scales2[i] / 2.0);
        }
        const std::vector<ScreenRect> places = placesInMosaic(c.logical, scale);
        EXPECT_EQ(places, c.places);
        const Picture canvas = composeOutputs(outputs);
        for (size_t i = 0; i < places.size(); ++i) {
            const ScreenRect& r = places[i];
            for (const auto& [x, y] :
                 {std::pair{r.x, r.y}, {r.x + r.width - 1, r.y + r.height - 1}})
                EXPECT_EQ(canvas.row(y)[x * 4], uint8_t(i + 1)) << i << " at " << x << "," << y;
        }
    }
}

// The windows a click in the selection can take on sway: those sway shows, frontmost first
// (full-screen, the floating ones last drawn first, the tiled ones), title bars included; a
// hidden tab or a scratchpad window is none.
TEST(SwayWindows, VisibleFramesFrontmostFirst) {
    const auto view = [](int x, int y, bool visible, int fullscreen = 0) {
        return R"({"type":"con","visible":)" + std::string(visible ? "true" : "false") +
               R"(,"fullscreen_mode":)" + std::to_string(fullscreen) + R"(,"rect":{"x":)" +
               std::to_string(x) + R"(,"y":)" + std::to_string(y) +
               R"(,"width":100,"height":50},"deco_rect":{"x":0,"y":0,"width":100,"height":20}})";
    };
    const auto floating = [](int x) {
        return R"({"type":"floating_con","visible":true,"rect":{"x":)" + std::to_string(x) +
               R"(,"y":300,"width":40,"height":40}})";
    };
    const std::string tree =
        R"({"type":"root","nodes":[{"type":"output","nodes":[{"type":"workspace","nodes":[)" +
        view(0, 20, true) + "," + view(200, 20, false) + R"(],"floating_nodes":[)" + floating(10) +
        "," + floating(20) + R"(]}]},{"type":"output","nodes":[{"type":"workspace","nodes":[)" +
        view(2000, 20, true, 1) + "]}]}]}";
    EXPECT_EQ(sway::visibleWindowFrames(tree),
              (std::vector<ScreenRect>{
                  {2000, 0, 100, 70}, {20, 300, 40, 40}, {10, 300, 40, 40}, {0, 0, 100, 70}}));
    EXPECT_TRUE(sway::visibleWindowFrames("[[[").empty());
}

// Those frames in the picture of every monitor: at the scale of the output under their centre,
// widened to whole pixels; on no output, none.
TEST(SwayWindows, FramesInThePictureAtTheirOutputsScale) {
    const std::vector<ScreenRect> logical = {{0, 0, 1000, 500}, {1000, 0, 500, 250}};
    const std::vector<ScreenRect> places = placesInMosaic(logical, 2);
    EXPECT_EQ(
        framesInMosaic({{1100, 10, 33, 21}, {990, 0, 20, 10}, {3000, 0, 10, 10}}, logical, places),
        (std::vector<ScreenRect>{{2200, 20, 66, 42}, {1980, 0, 40, 20}}));
    // A layout at 1.5: the edges fall on whole pixels outward.
    EXPECT_EQ(
        framesInMosaic({{1, 1, 3, 3}}, {{0, 0, 100, 100}}, placesInMosaic({{0, 0, 100, 100}}, 1.5)),
        (std::vector<ScreenRect>{{1, 1, 5, 5}}));
}

}  // namespace
}  // namespace kvr
