#pragma once
// The little of sway's IPC (the socket named by SWAYSOCK) the wlroots source needs: the outputs
// in sway's order, and the focused window's frame. Coordinates are sway's layout (logical)
// pixels.
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

// The reply of one request (GET_OUTPUTS = 3, GET_TREE = 4); nullopt when sway cannot be
// reached or answers nonsense.
std::optional<std::string> request(const std::string& socketPath, unsigned type);

// The active outputs of a GET_OUTPUTS reply, in sway's order.
std::vector<Output> parseOutputs(std::string_view json);

// The focused window of a GET_TREE reply: its frame, title bar included (`rect` is the content
// and border, `deco_rect` the title bar above it). Nothing when the focus is on a workspace or
// output rather than a window.
std::optional<ScreenRect> focusedWindowFrame(std::string_view json);

}  // namespace kvr::sway
