#pragma once
// The window stack of the X server, as the grab sees it.
#include <X11/Xlib.h>

#include <optional>

#include "platform/monitors.h"

namespace kvr::platform {

// The primary monitor's rectangle in root coordinates, asked afresh at each call.
ScreenRect primaryMonitor(Display* display);

// The window the user works in: _NET_ACTIVE_WINDOW (else the input focus) taken up to its
// top-level window, then the windows below it in stacking order; the first that is viewable,
// InputOutput and not iconified. Its rectangle in root coordinates, frame included; nothing when
// no window qualifies.
std::optional<ScreenRect> activeWindowRect(Display* display);

}  // namespace kvr::platform
