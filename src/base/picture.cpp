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

uint8_t* mutablePixels(Picture& picture) {
    return const_cast<uint8_t*>(picture.pixels);
}

}  // namespace kvr
