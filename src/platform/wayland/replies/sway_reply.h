#pragma once
// Sway's IPC replies (JSON) read into what the wlroots source needs. Pure functions of the reply's
// text: whatever it holds, they give a sane answer or none. Coordinates are sway's layout
// (logical) pixels.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/screen.h"

namespace kvr::sway {

struct Output {
    std::string name;
    ScreenRect rect;  // logical position and size in the layout
    double scale = 1.0;
    bool focused = false;  // sway moves the focus with the pointer by default
};

// The active outputs of a GET_OUTPUTS reply, in sway's order. An output whose rectangle or scale
// is out of range is left out.
std::vector<Output> parseOutputs(std::string_view json);

// The focused window of a GET_TREE reply: its frame, title bar included (`rect` is the content
// and border, `deco_rect` the title bar above it). Nothing when the focus is on a workspace or
// output rather than a window, or when the numbers are out of range.
std::optional<ScreenRect> focusedWindowFrame(std::string_view json);

// The frames (as above) of the windows a GET_TREE reply marks visible, frontmost first: a
// full-screen one, then the floating ones (the last drawn first), then the tiled ones, which do
// not overlap.
std::vector<ScreenRect> visibleWindowFrames(std::string_view json);

}  // namespace kvr::sway
