#pragma once
// The countdown's badge on a wlroots compositor (sway and others): a surface of the layer shell's
// overlay layer on the output to be taken, on a connection of its own, plain Wayland client code
// (no toolkit). Its input region is empty, so the pointer and clicks go to what lies below.
#include <memory>
#include <string>

#include "base/countdown_badge.h"
#include "base/screen_source.h"

namespace kvr::wayland {

// The badge at the top-right corner of the output the request will take (sway's focused output
// for all monitors, a region and the active window); null where there is no compositor or it
// offers no layer shell. `swaySocket` may be empty: the compositor then chooses the output.
std::unique_ptr<CountdownBadge> makeWaylandBadge(const ShotRequest& request,
                                                 const std::string& swaySocket);

}  // namespace kvr::wayland
