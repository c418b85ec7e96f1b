#pragma once
// What a compositor's wl_output says of itself, kept by one listener for each of our clients
// (the screencopy source, the countdown's badge).
#include <wayland-client.h>

#include <cstdint>
#include <string>

namespace kvr::wayland {

struct OutputState {
    wl_output* proxy = nullptr;
    std::string name;  // wl_output version 4 and later
    int x = 0, y = 0;  // position in the layout
    int32_t transform = WL_OUTPUT_TRANSFORM_NORMAL;
    int32_t scale = 1;  // 1 where the compositor says less
};

// Its data is the OutputState to fill.
extern const wl_output_listener kOutputStateListener;

}  // namespace kvr::wayland
