// Entry of every UI test binary: the tests run in a private desktop (ui_session.h) under the
// program's own application object.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app.h"
#include "ui_session.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A wide screen when asked for (the error box's wrapping is tested on one too).
    kvr::test::XServer::Options screen;
    if (const char* width = getenv("KVR_TEST_SCREEN_WIDTH"))
        screen.width = std::atoi(width);
    // A denser screen when asked for (Xft.dpi, as desktops set it).
    if (const char* dpi = getenv("KVR_TEST_DPI"))
        screen.dpi = std::atoi(dpi);
    // Another window manager's manners when asked for.
    if (const char* wm = getenv("KVR_TEST_WM"))
        screen.kind = std::string(wm) == "i3" ? kvr::test::WindowManagerKind::I3
                                              : kvr::test::WindowManagerKind::Openbox;
    kvr::test::UiSession session(screen);
    // The toolkit's own scaling, as the program runs, instead of the layout's.
    if (getenv("KVR_TEST_TOOLKIT_SCALING"))
        setenv("QT_ENABLE_HIGHDPI_SCALING", "1", 1);
    // Its top-level handler shows errors that escape a handler, as in the program.
    kvr::KvrApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
