#pragma once
// What the main window asks of the desktop around a shot: leave the screen for the countdown,
// make sure it is out of the picture, and come back. The toolkit does the asking; this says what
// the desktop really did, since a window manager or compositor may ignore a request.
#include <cstdint>

namespace kvr {

class WindowManager {
public:
    using WindowId = uintptr_t;  // the toolkit's native window id
    virtual ~WindowManager() = default;

    // Whether minimising takes a window off the screen here; when not, the window hides instead.
    virtual bool honoursMinimise() = 0;

    // Whether the window is in no picture of the screen (minimised, unmapped, gone). False when
    // it cannot be told.
    virtual bool offScreen(WindowId window) = 0;

    // Asks the desktop to show the window again and give it the focus, as a taskbar does.
    virtual void activate(WindowId window) = 0;

    // Waits until the display has acted on everything the toolkit asked so far (a window just
    // hidden is gone before a grab that follows at once).
    virtual void flush() = 0;
};

}  // namespace kvr
