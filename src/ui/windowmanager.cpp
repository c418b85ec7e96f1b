#include "windowmanager.h"

#include <QGuiApplication>

#include "core/error.h"
#include "platform/xdisplay.h"
#include "platform/xwindows.h"

namespace kvr {
namespace {

bool assumeNone = false;

// The program's kept X connection, also the grab's: asking through it costs no connection set-up
// on a countdown tick or right before the grab. Null when no display can be opened.
Display* keptDisplay() {
    try {
        return platform::connection().display();
    } catch (const KvrError&) {
        return nullptr;
    }
}

}  // namespace

void assumeNoWindowManagerForTesting(bool assume) {
    assumeNone = assume;
}

bool windowManagerRunning() {
    Display* display = assumeNone ? nullptr : keptDisplay();
    return display && platform::windowManagerRunning(display);
}

bool windowOffScreen(unsigned long window) {
    // Without a display we cannot tell, and it is not known to be off screen.
    Display* display = keptDisplay();
    return display && platform::windowOffScreen(display, window);
}

void askWindowManagerToActivate(unsigned long window) {
    if (Display* display = keptDisplay())
        platform::askToActivate(display, window);
}

void syncToolkitWithServer() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        XSync(x11->display(), False);
}

}  // namespace kvr
