#include "platform/wayland/output_mosaic.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/error.h"
#include "base/peer_limits.h"

namespace kvr {

Picture composeOutputs(const std::vector<PlacedPicture>& outputs) {
    if (outputs.empty())
        throw KvrError(text::kNoResources, {});
    const Picture& first = outputs.front().picture;
    const int bytes = first.bitsPerPixel / 8;
    int left = outputs.front().logical.x, top = outputs.front().logical.y;
    int right = left, bottom = top;
    double scale = 1.0;
    for (const PlacedPicture& o : outputs) {
        const Picture& p = o.picture;
        if (p.bitsPerPixel != first.bitsPerPixel || bytes < 2 || p.bitsPerPixel % 8 != 0 ||
            p.redMask != first.redMask || p.greenMask != first.greenMask ||
            p.blueMask != first.blueMask || p.byteOrder != first.byteOrder || p.empty() ||
            !peerRectInRange(o.logical.x, o.logical.y, o.logical.width, o.logical.height))
            throw KvrError(text::kNoResources, {});
        left = std::min(left, o.logical.x);
        top = std::min(top, o.logical.y);
        right = std::max(right, o.logical.x + o.logical.width);
        bottom = std::max(bottom, o.logical.y + o.logical.height);
        scale = std::max(scale, double(p.width) / o.logical.width);
    }
    const double width = std::ceil((right - left) * scale);
    const double height = std::ceil((bottom - top) * scale);
    if (width > (1 << 16) || height > (1 << 16))
        throw KvrError(text::kNoResources, {});
    const size_t stride = size_t(width) * bytes;
    Picture canvas = makeOwnedPicture(int(width), int(height), first.bitsPerPixel, stride);
    canvas.byteOrder = first.byteOrder;
    canvas.redMask = first.redMask;
    canvas.greenMask = first.greenMask;
    canvas.blueMask = first.blueMask;
    uint8_t* out = mutablePixels(canvas);

    std::vector<ScreenRect> logical;
    for (const PlacedPicture& o : outputs)
        logical.push_back(o.logical);
    const std::vector<ScreenRect> places = placesInMosaic(logical, scale);
    for (size_t i = 0; i < outputs.size(); ++i) {
        const Picture& p = outputs[i].picture;
        const int x0 = places[i].x, y0 = places[i].y;
        const int w = std::min(places[i].width, canvas.width - x0);
        const int h = std::min(places[i].height, canvas.height - y0);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = out + size_t(y0 + y) * stride + size_t(x0) * bytes;
            if (w == p.width && h == p.height) {
                std::memcpy(row, p.row(y), size_t(w) * bytes);
                continue;
            }
            // A smaller scale than the largest: nearest pixel, as the layout enlarges it.
            const uint8_t* src = p.row(int(int64_t(y) * p.height / h));
            for (int x = 0; x < w; ++x)
                std::memcpy(row + size_t(x) * bytes, src + size_t(int64_t(x) * p.width / w) * bytes,
                            size_t(bytes));
        }
    }
    return canvas;
}

std::vector<ScreenRect> placesInMosaic(const std::vector<ScreenRect>& logical, double scale) {
    std::vector<ScreenRect> places;
    if (logical.empty())
        return places;
    int left = logical.front().x, top = logical.front().y;
    for (const ScreenRect& r : logical) {
        left = std::min(left, r.x);
        top = std::min(top, r.y);
    }
    for (const ScreenRect& r : logical)
        places.push_back({int(std::lround((r.x - left) * scale)),
                          int(std::lround((r.y - top) * scale)), int(std::lround(r.width * scale)),
                          int(std::lround(r.height * scale))});
    return places;
}

std::vector<ScreenRect> framesInMosaic(const std::vector<ScreenRect>& frames,
                                       const std::vector<ScreenRect>& logical,
                                       const std::vector<ScreenRect>& places) {
    std::vector<ScreenRect> out;
    // Held within a range whose sums and differences fit an int; the selection clips anyway.
    const auto edge = [](double v) { return std::clamp(v, -double(1 << 29), double(1 << 29)); };
    for (const ScreenRect& f : frames) {
        const int64_t cx = int64_t(f.x) + f.width / 2, cy = int64_t(f.y) + f.height / 2;
        int on = -1;
        int64_t most = 0;
        for (size_t i = 0; i < logical.size() && i < places.size(); ++i) {
            const ScreenRect& o = logical[i];
            if (o.width <= 0 || o.height <= 0)
                continue;
            if (cx >= o.x && cx < int64_t(o.x) + o.width && cy >= o.y &&
                cy < int64_t(o.y) + o.height) {
                on = int(i);
                break;
            }
            const int64_t w = std::min(int64_t(f.x) + f.width, int64_t(o.x) + o.width) -
                              std::max<int64_t>(f.x, o.x);
            const int64_t h = std::min(int64_t(f.y) + f.height, int64_t(o.y) + o.height) -
                              std::max<int64_t>(f.y, o.y);
            if (w > 0 && h > 0 && w * h > most) {
                most = w * h;
                on = int(i);
            }
        }
        if (on < 0)
            continue;
        const ScreenRect& o = logical[size_t(on)];
        const ScreenRect& p = places[size_t(on)];
        const double sx = double(p.width) / o.width, sy = double(p.height) / o.height;
        const double left = edge(p.x + std::floor((double(f.x) - o.x) * sx));
        const double top = edge(p.y + std::floor((double(f.y) - o.y) * sy));
        const double right = edge(p.x + std::ceil((double(f.x) + f.width - o.x) * sx));
        const double bottom = edge(p.y + std::ceil((double(f.y) + f.height - o.y) * sy));
        if (right > left && bottom > top)
            out.push_back({int(left), int(top), int(right - left), int(bottom - top)});
    }
    return out;
}

}  // namespace kvr
