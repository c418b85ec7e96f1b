// The module kvr-dbus: the sources that talk to the desktop over D-Bus (KWin's ScreenShot2, the
// screenshot portal). The program loads it only in a session that needs one, so a shot anywhere
// else never loads Qt.
#include <QCoreApplication>

#include "platform/wayland/kwin_source.h"
#include "platform/wayland/portal_source.h"

extern "C" __attribute__((visibility("default"))) kvr::ScreenSource* kvr_dbus_source(int kwin) {
    // Qt D-Bus and the portal's wait need an application object; the window has its own, the
    // command line none. Made once and kept for the life of the process.
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "kvr";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* app = new QCoreApplication(argc, argv);
        (void)app;
    }
    return (kwin ? kvr::makeKWinSource() : kvr::makePortalSource()).release();
}
