// kvr_format_bench [N]: the lossless writers into memory at 1920×1080 and 3840×2160 on the
// photo-like and the plain desktop: our PNG, and WebP at each of libwebp's methods. The figures
// that chose kWebpMethod (webp.h): the goal is a file no larger than our PNG's in no more than
// our PNG's time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/picture.h"
#include "core/png.h"
#include "core/sink.h"
#include "core/webp.h"
#include "photo.h"

namespace {

kvr::Picture pictureOf(const std::vector<uint32_t>& pixels, int width, int height) {
    kvr::Picture p = kvr::makeOwnedPicture(width, height, 32, size_t(width) * 4);
    p.redMask = 0xff0000, p.greenMask = 0xff00, p.blueMask = 0xff;
    std::memcpy(kvr::mutablePixels(p), pixels.data(), pixels.size() * 4);
    return p;
}

template <typename Write>
std::pair<double, size_t> measure(int n, Write write) {
    std::vector<double> ms;
    size_t bytes = 0;
    for (int i = 0; i < n; ++i) {
        kvr::MemorySink sink;
        sink.bytes.reserve(16 << 20);
        const auto start = std::chrono::steady_clock::now();
        write(sink);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        bytes = sink.bytes.size();
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], bytes};
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const struct { int width, height; } sizes[] = {{1920, 1080}, {3840, 2160}};
    for (const auto [width, height] : sizes) {
        for (const bool plain : {false, true}) {
            const kvr::Picture p = pictureOf(plain ? kvr::bench::plainDesktop(width, height)
                                                   : kvr::bench::photoLike(width, height),
                                             width, height);
            std::printf("%d x %d, %s desktop:\n", width, height, plain ? "plain" : "photo-like");
            const auto [pngMs, pngBytes] =
                measure(n, [&](kvr::ByteSink& sink) { kvr::writePng(p, sink); });
            std::printf("  %-22s %8.1f ms %9zu bytes\n", "PNG (ours)", pngMs, pngBytes);
            for (int method = 0; method <= 6; ++method) {
                const auto [ms, bytes] =
                    measure(n, [&](kvr::ByteSink& sink) { kvr::writeWebp(p, sink, method); });
                std::printf(
                    "  WebP method %d          %8.1f ms %9zu bytes  %.2fx time %.2fx size %s\n",
                    method, ms, bytes, ms / pngMs, double(bytes) / double(pngBytes),
                    ms <= pngMs && bytes <= pngBytes ? "meets both" : "");
            }
        }
    }
    return 0;
}
