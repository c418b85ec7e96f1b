#pragma once
// Whether a window manager runs on the display: only then can the main window be minimised for
// a countdown; without one it is hidden instead, so it never shows in its own picture.

namespace kvr {

// An EWMH window manager has announced itself (_NET_SUPPORTING_WM_CHECK on the root window,
// pointing at a live window that points at itself).
bool windowManagerRunning();

// Whether the window is out of any picture of the screen: the window manager reports it
// minimised (WM_STATE Iconic or _NET_WM_STATE_HIDDEN) or it is not mapped at all. Read from the
// server, not from the toolkit's idea of the window: a window manager may ignore the request.
bool windowOffScreen(unsigned long window);

// Asks the window manager to bring the window back and give it the focus (_NET_ACTIVE_WINDOW),
// for a window it still keeps minimised after the toolkit asked for it to be shown.
void askWindowManagerToActivate(unsigned long window);

// Waits until the server has every request the toolkit has sent so far (a window just hidden is
// unmapped before a grab that follows at once on another connection).
void syncToolkitWithServer();

// Tests: act as if no window manager ran (true), or ask the server again (false).
void assumeNoWindowManagerForTesting(bool assume);

}  // namespace kvr
