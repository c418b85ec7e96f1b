// kvr_wl_shot all|active OUT.ppm: one grab from the wlroots source, written as a binary PPM
// (exact pixels, unlike JPEG). On a failure: the user's message on stderr, exit 1, no file.
// Run inside the session under test, as its user.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/error.h"
#include "platform/wayland/wlroots_source.h"

namespace {

int channel(uint32_t pixel, uint32_t mask) {
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const uint32_t max = mask >> shift;
    return int(((pixel & mask) >> shift) * 255 / max);
}

bool writePpm(const kvr::Picture& p, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", p.width, p.height);
    const int bytes = p.bitsPerPixel / 8;
    std::string row(size_t(p.width) * 3, '\0');
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* src = p.row(y);
        for (int x = 0; x < p.width; ++x) {
            uint32_t v = 0;
            std::memcpy(&v, src + size_t(x) * bytes, size_t(bytes));  // little-endian host
            row[size_t(x) * 3] = char(channel(v, p.redMask));
            row[size_t(x) * 3 + 1] = char(channel(v, p.greenMask));
            row[size_t(x) * 3 + 2] = char(channel(v, p.blueMask));
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "all") != 0 && std::strcmp(argv[1], "active") != 0)) {
        std::fprintf(stderr, "usage: kvr_wl_shot all|active OUT.ppm\n");
        return 2;
    }
    const auto mode =
        std::strcmp(argv[1], "all") == 0 ? kvr::ShotMode::AllScreen : kvr::ShotMode::ActiveWindow;
    auto source = kvr::makeWlrootsSource();
    std::printf("supports %s: %d\n", argv[1], source->supports(mode) ? 1 : 0);
    try {
        const kvr::Picture picture = source->grab(mode);
        if (picture.bitsPerPixel < 16 || !writePpm(picture, argv[2])) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 3;
        }
    } catch (const kvr::KvrError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
