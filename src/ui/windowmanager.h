#pragma once
// Whether a window manager runs on the display: only then can the main window be minimised for
// a countdown; without one it is hidden instead, so it never shows in its own picture.

namespace kvr {

// An EWMH window manager has announced itself (_NET_SUPPORTING_WM_CHECK on the root window,
// pointing at a live window that points at itself).
bool windowManagerRunning();

// Tests: act as if no window manager ran (true), or ask the server again (false).
void assumeNoWindowManagerForTesting(bool assume);

}  // namespace kvr
