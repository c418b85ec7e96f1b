// kvr_oneshot PATH: one all-screen shot of the current display, written to PATH as JPEG
// (quality 30) or, for a name ending in .bmp, as BMP. A benchmark helper.
#include <cstdio>
#include <string>

#include "core/error.h"
#include "core/grab.h"
#include "core/settings.h"
#include "core/shot.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvr_oneshot PATH.jpg|PATH.bmp\n");
        return 2;
    }
    const std::string path = argv[1];
    const bool bmp = path.size() >= 4 && (path.compare(path.size() - 4, 4, ".bmp") == 0 ||
                                          path.compare(path.size() - 4, 4, ".BMP") == 0);
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    // The defaults (quality 30, colour), whatever a kvr.ini beside the build says.
    kvr::setSettingsFilePathForTesting("/nonexistent/kvr.ini");
    try {
        const kvr::Picture picture = kvr::grab(kvr::ShotMode::AllScreen);
        kvr::writeShot(picture, bmp ? kvr::SaveFormat::Bmp : kvr::SaveFormat::Jpeg, folder, path);
    } catch (const kvr::KvrError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
