#pragma once
// The monitors of an X server by RandR, for the capture choices beyond the primary monitor, and
// the pointer's own picture.
#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "base/picture.h"
#include "base/screen.h"
#include "base/screen_source.h"

namespace kvr::x11 {

// The root window's rectangle, asked of the server (it changes with the resolution).
ScreenRect rootRect(Display* display);

// The area a whole-screen shot covers: a monitor by its RandR name, the monitor under the pointer
// (the primary one while the pointer is between monitors), every monitor (the whole root), or
// the primary one. Raises text::kNoSuchMonitor for a name no active monitor has.
ScreenRect wholeScreenArea(Display* display, const ShotRequest& request);

// The monitors in root coordinates (the picture of every monitor is the root's), by RandR name;
// without RandR 1.5, the root window as one unnamed monitor.
std::vector<MonitorPlace> monitorPlaces(Display* display);

// The frames of the viewable top-level windows (the root's children), topmost first.
std::vector<ScreenRect> topLevelFrames(Display* display);

// The names of the monitors wholeScreenArea takes (RandR's).
std::vector<std::string> monitorNames(Display* display);

// Whether the server lists its monitors (RandR 1.5), which the monitor under the pointer and a
// monitor's name need.
bool monitorsListed(Display* display);

// Whether the server can give the pointer's picture (XFixes 2 or later).
bool pointerImageAvailable(Display* display);

// Draws the pointer's picture at its hot spot into a picture of region (root coordinates). The
// picture's pixels are written in place: only for pictures of true-colour visuals at 16, 24 or 32
// bits per pixel, which grabs of such screens are.
void drawPointer(Display* display, Picture& picture, const ScreenRect& region);

}  // namespace kvr::x11
