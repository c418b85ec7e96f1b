#pragma once
// Pixels of the screen at this moment, in the display's own format.
#include "base/picture.h"
#include "base/screen.h"
#include "platform/x11/display.h"

namespace kvr::x11 {

// Copies a rectangle of the root window: XShmGetImage into the connection's segment (which the
// picture then points into, until the next capture), else plain XGetImage. Raises
// text::kNoResources when the server gives no pixels.
Picture readRootImage(Connection& connection, const ScreenRect& region);

}  // namespace kvr::x11
