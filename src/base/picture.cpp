#include "base/picture.h"

#include <vector>

namespace kvr {

Picture makeOwnedPicture(int width, int height, int bitsPerPixel, size_t stride) {
    Picture p;
    p.width = width;
    p.height = height;
    p.bitsPerPixel = bitsPerPixel;
    p.stride = stride;
    auto buffer = std::make_shared<std::vector<uint8_t>>(stride * size_t(height > 0 ? height : 0));
    p.pixels = buffer->data();
    p.owner = buffer;
    return p;
}

uint16_t wholeDotsPerInch(const Picture& picture) {
    const double dpi = picture.dotsPerInch;
    return dpi >= 0.5 && dpi < 65535 ? uint16_t(dpi + 0.5) : 0;
}

uint32_t pixelsPerMetre(const Picture& picture) {
    const double dpi = picture.dotsPerInch;
    return dpi >= 0.5 && dpi < 65535 ? uint32_t(dpi / 0.0254 + 0.5) : 0;
}

uint8_t* mutablePixels(Picture& picture) {
    return const_cast<uint8_t*>(picture.pixels);
}

}  // namespace kvr
