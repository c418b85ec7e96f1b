#pragma once
// Waiting on a Wayland connection with a time limit: a compositor that stops answering fails the
// grab rather than holding the program for good.
#include <wayland-client.h>

#include <chrono>
#include <functional>

namespace kvr::wayland {

// Dispatches events until done() holds; false on a timeout or a broken connection.
bool dispatchUntil(wl_display* display, const std::function<bool()>& done,
                   std::chrono::milliseconds limit);

// wl_display_roundtrip with a time limit.
bool roundtrip(wl_display* display, std::chrono::milliseconds limit);

}  // namespace kvr::wayland
