// The module kvr-dbus: the sources that talk to the desktop over D-Bus (KWin's ScreenShot2, the
// screenshot portal). The program loads it only in a session that needs one, so a shot anywhere
// else never loads Qt.
#include <QCoreApplication>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define KVR_LEAK_CHECKED 1
#endif
#endif

#include "platform/wayland/kwin_source.h"
#include "platform/wayland/portal_source.h"

extern "C" __attribute__((visibility("default"))) kvr::ScreenSource* kvr_dbus_source(int kwin) {
    // Qt D-Bus and the portal's wait need an application object; the window has its own, the
    // command line none. Made once and kept for the life of the process.
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "kvr";
        static char* argv[] = {name, nullptr};
#ifdef KVR_LEAK_CHECKED
        // A region's selection replaces this object with a full one, and Qt D-Bus then leaves
        // what it made under this one behind: Qt's, not ours to free. The leak check looks past
        // the command line's D-Bus from here on; kvr_wl_grab's tests, whose application stays,
        // check the sources' own.
        __lsan_disable();
#endif
        static QCoreApplication* app = new QCoreApplication(argc, argv);
        (void)app;
    }
    return (kwin ? kvr::makeKWinSource() : kvr::makePortalSource()).release();
}
