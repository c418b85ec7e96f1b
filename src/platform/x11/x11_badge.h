#pragma once
// The countdown's badge on an X server: an override-redirect window of its own connection that
// takes no input (an empty input shape), above the normal windows.
#include <memory>

#include "base/countdown_badge.h"
#include "base/screen_source.h"

namespace kvr::x11 {

// The badge on the monitor the request will take (the pointer's for all monitors and for the
// active window); null where no display or no input shape is to be had.
std::unique_ptr<CountdownBadge> makeX11Badge(const ShotRequest& request);

}  // namespace kvr::x11
