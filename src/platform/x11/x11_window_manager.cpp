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

void X11WindowManager::flush() {
    if (toolkitDisplay_)
        XSync(toolkitDisplay_, False);
}

}  // namespace kvr::x11
