#pragma once
// The countdown's badge on an X server: an override-redirect window of its own connection that
// takes no input (an empty input shape), above the normal windows.
#include <memory>

#include "base/countdown_badge.h"
#include "base/screen_source.h"

namespace kvr::x11 {

// Where the badge's X server draws: on the screen itself, or as Xwayland in a Wayland session,
// whose root shows nothing of the screen and whose pointer is known only over X windows.
enum class BadgeServer { Screen, Xwayland };

// The badge on the monitor the request will take (the pointer's for all monitors and for the
// active window; under Xwayland the primary one, as the pointer is not known there); null where
// no display or no input shape is to be had.
std::unique_ptr<CountdownBadge> makeX11Badge(const ShotRequest& request,
                                             BadgeServer server = BadgeServer::Screen);

}  // namespace kvr::x11
