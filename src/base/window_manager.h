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

    // Whether the desktop names the window as the active one; false when it cannot be told (the
    // toolkit's own view is asked then).
    virtual bool active(WindowId) { return false; }

    // Asks the desktop to show the window again and give it the focus, as a taskbar does.
    virtual void activate(WindowId window) = 0;

    // Whether a minimised window can be asked back (X11); where it cannot (Wayland's shell has no
    // such request), the window is shown afresh instead.
    virtual bool restoresMinimised() = 0;

    // Waits until the display has acted on everything the toolkit asked so far (a window just
    // hidden is gone before a grab that follows at once).
    virtual void flush() = 0;

    // Notes where the window stands before it leaves the screen, where a desktop would put it
    // elsewhere when it comes back.
    virtual void rememberPlace(WindowId) {}
    // Puts the window back where it stood; false while the desktop has not shown it again yet
    // (ask again a moment later). True where nothing is to be done.
    virtual bool restorePlace(WindowId) { return true; }
};

}  // namespace kvr
