// kvr_wl_shot all|active|pointer-monitor|monitors|output=NAME[+pointer] OUT.ppm: one grab from
// the wlroots source, written as a binary PPM (exact pixels, unlike JPEG). On a failure: the
// user's message on stderr, exit 1, no file. Run inside the session under test, as its user.
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
    std::string what = argc == 3 ? argv[1] : "";
    kvr::ShotRequest request;
    if (const size_t plus = what.find("+pointer"); plus != std::string::npos) {
        request.pointer = true;
        what.erase(plus);
    }
    if (what == "active")
        request.mode = kvr::ShotMode::ActiveWindow;
    else if (what == "pointer-monitor")
        request.monitor = kvr::MonitorChoice::UnderPointer;
    else if (what == "monitors")
        request.monitor = kvr::MonitorChoice::All;
    else if (what.rfind("output=", 0) == 0)
        request.output = what.substr(7);
    else if (what != "all") {
        std::fprintf(stderr,
                     "usage: kvr_wl_shot "
                     "all|active|pointer-monitor|monitors|output=NAME[+pointer] OUT.ppm\n");
        return 2;
    }
    auto source = kvr::makeWlrootsSource();
    std::printf("supports %s: %d\n", argv[1], source->supports(request.mode) ? 1 : 0);
    const char* refused = source->refusal(kvr::CaptureChoice::MonitorUnderPointer);
    std::printf("refuses pointer-monitor: %s\n", refused ? refused : "no");
    try {
        const kvr::Picture picture = source->grab(request);
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
