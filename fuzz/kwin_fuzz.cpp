// KWin's replies (the picture's description and a window's frame) as a map of typed values: the
// layout accepted always fits the bytes announced within the cap, and a frame is in range.
//
// Input: entries of 10 bytes: the key (byte 0), the value's D-Bus type (byte 1), the value (8
// bytes, little-endian; a double's bits for "d", a short text for "s").
#include <QImage>
#include <QVariantMap>
#include <cstdint>
#include <cstring>

#include "base/peer_limits.h"
#include "fuzz_check.h"
#include "platform/wayland/replies/kwin_reply.h"

using namespace kvr;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const keys[] = {"width", "height", "stride", "format", "x", "y", "scale"};
    QVariantMap map;
    for (size_t at = 0; at + 10 <= size; at += 10) {
        const QString key = QLatin1String(keys[data[at] % 7]);
        uint64_t bits = 0;
        std::memcpy(&bits, data + at + 2, 8);
        switch (data[at + 1] % 6) {
            case 0:
                map[key] = uint(bits);
                break;
            case 1:
                map[key] = qulonglong(bits);
                break;
            case 2:
                map[key] = int(int32_t(bits));
                break;
            case 3:
                map[key] = qlonglong(bits);
                break;
            case 4: {
                double d;
                std::memcpy(&d, &bits, 8);
                map[key] = d;
                break;
            }
            default:
                map[key] = QString::fromLatin1(reinterpret_cast<const char*>(data + at + 2), 8);
        }
    }
    if (const auto layout = kwinPixelLayout(map)) {
        FUZZ_CHECK(layout->width >= 1 && layout->width <= kMaxPeerSide);
        FUZZ_CHECK(layout->height >= 1 && layout->height <= kMaxPeerSide);
        FUZZ_CHECK(layout->bytes == layout->stride * size_t(layout->height));
        FUZZ_CHECK(layout->bytes <= kMaxPeerPictureBytes);
        const int bits = QImage::toPixelFormat(QImage::Format(layout->format)).bitsPerPixel();
        FUZZ_CHECK(bits > 0 && layout->stride * 8 >= size_t(layout->width) * size_t(bits));
    }
    if (const auto frame = kwinWindowFrame(map)) {
        FUZZ_CHECK(frame->width > 0 && frame->height > 0);
        FUZZ_CHECK(frame->x >= -kMaxPeerCoordinate && frame->x <= kMaxPeerCoordinate);
        FUZZ_CHECK(frame->y >= -kMaxPeerCoordinate && frame->y <= kMaxPeerCoordinate);
        FUZZ_CHECK(frame->width <= 2 * kMaxPeerCoordinate + 1);
        FUZZ_CHECK(frame->height <= 2 * kMaxPeerCoordinate + 1);
    }
    return 0;
}
