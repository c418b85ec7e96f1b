#pragma once
// The window stack of the X server, as the grab sees it.
#include <X11/Xlib.h>

#include <optional>
#include <utility>

#include "base/screen.h"

namespace kvr::x11 {

// The primary monitor's rectangle in root coordinates, asked afresh at each call.
ScreenRect primaryMonitor(Display* display);

// The window the user works in: _NET_ACTIVE_WINDOW (else the input focus) taken up to its
// top-level window, then the windows below it in stacking order; the first that is viewable,
// InputOutput and not iconified. Its rectangle in root coordinates, frame included; nothing when
// no window qualifies.
std::optional<ScreenRect> activeWindowRect(Display* display);

// What the window manager does with a window, read from the server rather than from the
// toolkit's idea of it. None of these lets an X error through.

// An EWMH window manager has announced itself (_NET_SUPPORTING_WM_CHECK on the root, naming a
// live window that names itself).
bool windowManagerRunning(Display* display);

// Such a window manager that also takes an iconified window off the screen (i3 announces itself
// and leaves it where it is).
bool windowManagerIconifies(Display* display);

// The window is in no picture of the screen: unmapped, iconic (WM_STATE or
// _NET_WM_STATE_HIDDEN), or gone.
bool windowOffScreen(Display* display, Window window);

// The top-left of the window's own area in root coordinates; nothing when it is gone.
std::optional<std::pair<int, int>> windowPlace(Display* display, Window window);

// Asks the window manager to move the window (a client's request, root coordinates).
void moveWindow(Display* display, Window window, int x, int y);

// Asks the window manager to show the window and give it the focus, as a taskbar does.
void askToActivate(Display* display, Window window);

// The window manager names the window as the active one (_NET_ACTIVE_WINDOW).
bool windowActive(Display* display, Window window);

}  // namespace kvr::x11
