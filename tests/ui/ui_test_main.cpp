// Entry of every UI test binary: a private Xvfb with openbox, Qt on the xcb platform, a temp HOME
// so the desktop folder and kvr.ini never touch the developer's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app.h"
#include "core/settings.h"
#include "xserver.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A wide screen when asked for (the error box's wrapping is tested on one too).
    kvr::test::XServer::Options screen;
    if (const char* width = getenv("KVR_TEST_SCREEN_WIDTH"))
        screen.width = std::atoi(width);
    auto server = std::make_unique<kvr::test::XServer>(screen);
    server->exportDisplay();
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The X server is 96 dpi; keep Qt from scaling on its own so layouts are as designed.
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    char tmpl[] = "/tmp/kvr-uitest-XXXXXX";
    const std::filesystem::path home = mkdtemp(tmpl);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    kvr::setSettingsFilePathForTesting((home / "kvr.ini").string());
    int rc;
    {
        // The program's own application object: its top-level handler shows escaped errors.
        kvr::KvrApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    std::filesystem::remove_all(home);
    server.reset();
    return rc;
}
