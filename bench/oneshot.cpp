// kvr_oneshot [--window] PATH: one shot of the current session from the source the program would
// use (KVR_SCREEN_SOURCE overrides it), written to PATH as JPEG (quality 30) or, for a name ending
// in .bmp, as BMP, in .png, as PNG. The whole primary screen, or with --window the active window. A
// benchmark and test helper. No toolkit: KWin's and the portal's sources come as the module
// kvr-dbus, found beside this program.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/error.h"
#include "core/shot.h"
#include "platform/loader.h"
#include "platform/session.h"

int main(int argc, char** argv) {
    const bool window = argc == 3 && std::strcmp(argv[1], "--window") == 0;
    if (argc != 2 && !window) {
        std::fprintf(stderr, "usage: kvr_oneshot [--window] PATH.jpg|PATH.bmp|PATH.png\n");
        return 2;
    }
    const std::string path = argv[argc - 1];
    const auto endsWith = [&path](const char* lower, const char* upper) {
        return path.size() >= 4 && (path.compare(path.size() - 4, 4, lower) == 0 ||
                                    path.compare(path.size() - 4, 4, upper) == 0);
    };
    const kvr::SaveFormat format = endsWith(".bmp", ".BMP")   ? kvr::SaveFormat::Bmp
                                   : endsWith(".png", ".PNG") ? kvr::SaveFormat::Png
                                                              : kvr::SaveFormat::Jpeg;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    namespace platform = kvr::platform;
    try {
        const auto source =
            platform::makeScreenSource(platform::chooseSourceKind(platform::processEnvironment()));
        const kvr::Picture picture =
            source->grab(window ? kvr::ShotMode::ActiveWindow : kvr::ShotMode::AllScreen);
        // The defaults (quality 30, colour), whatever a kvr.ini somewhere says.
        kvr::writeShot(picture, format, folder, path, kvr::JpegOptions{});
    } catch (const kvr::KvrError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
