#pragma once
// Pixels of the screen at this moment, in the display's own format.
#include "core/picture.h"
#include "platform/monitors.h"
#include "platform/xdisplay.h"

namespace kvr::platform {

// Copies a rectangle of the root window: XShmGetImage into the connection's segment (which the
// picture then points into, until the next capture), else plain XGetImage. Raises
// kNoResourcesMessage when the server gives no pixels.
Picture captureRoot(Connection& connection, const ScreenRect& region);

}  // namespace kvr::platform
