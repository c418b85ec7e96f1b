#pragma once
// A picture that points into a 32-bit QImage (0xffRRGGBB words: the Picture defaults) and keeps
// it alive: the KWin and portal sources hand their pixels over this way, without a copy.
#include <QImage>
#include <memory>

#include "base/error.h"
#include "base/picture.h"

namespace kvr {

// image: Format_RGB32, or ARGB32 whose alpha the writers ignore unless `alpha` says it is one
// (not premultiplied, as the files keep it); a null image has no pixels.
inline Picture pictureOfRgb32(std::shared_ptr<const QImage> image, bool alpha = false) {
    if (!image || image->isNull())
        throw KvrError(text::kNoResources, {});
    Picture picture;  // 32 bits a pixel, 0xff0000 / 0xff00 / 0xff, least significant byte first
    picture.width = image->width();
    picture.height = image->height();
    picture.stride = size_t(image->bytesPerLine());
    picture.pixels = image->constBits();
    if (alpha && image->format() == QImage::Format_ARGB32)
        picture.alphaMask = 0xff000000;
    picture.owner = std::move(image);
    return picture;
}

}  // namespace kvr
