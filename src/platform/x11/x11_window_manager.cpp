#include "platform/x11/x11_window_manager.h"

#include "base/error.h"
#include "platform/x11/display.h"
#include "platform/x11/windows.h"

namespace kvr::x11 {
namespace {

// Null when no display can be opened: then nothing can be told or asked.
Display* keptDisplay() {
    try {
        return connection().display();
    } catch (const KvrError&) {
        return nullptr;
    }
}

}  // namespace

bool X11WindowManager::honoursMinimise() {
    Display* display = keptDisplay();
    return display && windowManagerIconifies(display);
}

bool X11WindowManager::offScreen(WindowId window) {
    Display* display = keptDisplay();
    return display && windowOffScreen(display, Window(window));
}

void X11WindowManager::activate(WindowId window) {
    if (Display* display = keptDisplay())
        askToActivate(display, Window(window));
}

bool X11WindowManager::active(WindowId window) {
    Display* display = keptDisplay();
    return display && windowActive(display, Window(window));
}

void X11WindowManager::rememberPlace(WindowId window) {
    place_.reset();
    if (Display* display = keptDisplay())
        place_ = windowPlace(display, Window(window));
    if (place_)
        asked_ = *place_;
    moves_ = 0;
    lastSeen_.reset();
}

bool X11WindowManager::restorePlace(WindowId window) {
    Display* display = keptDisplay();
    if (!place_ || !display)
        return true;
    if (windowOffScreen(display, Window(window)))
        return false;  // not back yet
    const auto now = windowPlace(display, Window(window));
    if (!now) {
        place_.reset();
        return true;
    }
    // The window manager may still be placing a window it has just mapped (or moved): only a
    // place seen at two checks in a row is acted on, so a passing one is never "corrected".
    if (lastSeen_ != now) {
        lastSeen_ = now;
        return false;
    }
    // A few moves at most: a window manager that will not move it keeps it where it put it.
    constexpr int kMaxMoves = 3;
    if (*now == *place_ || moves_ >= kMaxMoves) {
        place_.reset();
        return true;
    }
    // Asked for the place itself first (a window manager honours a client's move as asked), then
    // by what it is still off.
    if (moves_ > 0) {
        asked_.first += place_->first - now->first;
        asked_.second += place_->second - now->second;
    }
    ++moves_;
    lastSeen_.reset();
    moveWindow(display, Window(window), asked_.first, asked_.second);
    return false;
}

void X11WindowManager::flush() {
    if (toolkitDisplay_)
        XSync(toolkitDisplay_, False);
}

}  // namespace kvr::x11
