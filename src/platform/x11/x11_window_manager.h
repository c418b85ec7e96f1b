#pragma once
// The window manager of an X server, asked through the program's kept connection (also the
// grab's, so a question on a countdown tick costs no connection set-up).
#include <X11/Xlib.h>

#include <optional>
#include <utility>

#include "base/window_manager.h"

namespace kvr::x11 {

class X11WindowManager final : public WindowManager {
public:
    // toolkitDisplay: the toolkit's own connection, flushed before a grab; may be null.
    explicit X11WindowManager(Display* toolkitDisplay) : toolkitDisplay_(toolkitDisplay) {}

    // An EWMH window manager has announced itself (_NET_SUPPORTING_WM_CHECK on the root window,
    // pointing at a live window that points at itself): only then does minimising take a window
    // off the screen, and not with one known to ignore it (i3).
    bool honoursMinimise() override;
    // WM_STATE Iconic or _NET_WM_STATE_HIDDEN, or not mapped at all, read from the server.
    bool offScreen(WindowId window) override;
    // _NET_ACTIVE_WINDOW, as a taskbar asks.
    void activate(WindowId window) override;
    // _NET_ACTIVE_WINDOW names it, read from the server.
    bool active(WindowId window) override;
    bool restoresMinimised() override { return true; }
    void flush() override;
    // A window manager may put a window shown again elsewhere (i3 moves it by its frame at each
    // map): it is moved back, by what it is off, until it stands where it stood.
    void rememberPlace(WindowId window) override;
    bool restorePlace(WindowId window) override;

private:
    Display* toolkitDisplay_;
    using Point = std::pair<int, int>;
    std::optional<Point> place_;  // where the window stood, root coordinates
    Point asked_;                 // the position last asked for
    int moves_ = 0;
    std::optional<Point> lastSeen_;  // where the window was at the check before
};

}  // namespace kvr::x11
