#pragma once
// The outputs of a Wayland session as the compositor lays them out (logical coordinates), with
// the one the desktop puts first. KWin says its output priority through kde_output_order_v1;
// where no compositor says it, the first output announced counts as the primary one.
#include <string>
#include <vector>

#include "base/screen.h"

namespace kvr {

struct WaylandOutput {
    std::string name;  // the connector name ("Virtual-0", "DP-1"), as ScreenShot2 wants it
    ScreenRect rect;   // logical position and size
    double scale = 1;  // its pixels per logical pixel (its current mode against its logical size)
    bool primary = false;
};

// Asks the compositor of WAYLAND_DISPLAY. Raises KvrError(kNoResources) when there is no
// compositor to ask or it has no output.
std::vector<WaylandOutput> listWaylandOutputs();

// Marks the primary output: the first name of the desktop's order that is an output, else the
// first output. Pure, so the choice can be tested without a compositor.
void markPrimaryOutput(std::vector<WaylandOutput>& outputs, const std::vector<std::string>& order);

// The primary output of a list marked by markPrimaryOutput (the first one when none is marked).
const WaylandOutput& primaryOutput(const std::vector<WaylandOutput>& outputs);

}  // namespace kvr
