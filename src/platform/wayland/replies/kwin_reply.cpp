#include "platform/wayland/replies/kwin_reply.h"

#include <QImage>
#include <cmath>

#include "base/peer_limits.h"

namespace kvr {

namespace {

// A number KWin sent, whatever numeric D-Bus type it came as; a text or anything else is not.
// A 64-bit integer loses its last bits in the double only far beyond every range accepted.
std::optional<double> numberOf(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            return v.toDouble();
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::SChar:
        case QMetaType::Long:
        case QMetaType::LongLong:
            return double(v.toLongLong());
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::UChar:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return double(v.toULongLong());
        default:
            return std::nullopt;
    }
}

// A whole number within [lo, hi].
std::optional<int64_t> wholeIn(const QVariantMap& map, const char* key, int64_t lo, int64_t hi) {
    const std::optional<double> d = numberOf(map.value(QLatin1String(key)));
    if (!d || !(*d >= double(lo) && *d <= double(hi)) || std::floor(*d) != *d)
        return std::nullopt;
    return int64_t(*d);
}

// A finite number within [lo, hi].
std::optional<double> finiteIn(const QVariantMap& map, const char* key, double lo, double hi) {
    const std::optional<double> d = numberOf(map.value(QLatin1String(key)));
    if (!d || !(*d >= lo && *d <= hi))
        return std::nullopt;
    return *d;
}

}  // namespace

std::optional<KWinPixelLayout> kwinPixelLayout(const QVariantMap& meta) {
    const auto width = wholeIn(meta, "width", 1, kMaxPeerSide);
    const auto height = wholeIn(meta, "height", 1, kMaxPeerSide);
    const auto stride = wholeIn(meta, "stride", 1, int64_t(kMaxPeerPictureBytes));
    const auto format = wholeIn(meta, "format", 1, QImage::NImageFormats - 1);
    if (!width || !height || !stride || !format)
        return std::nullopt;
    // A row must hold its pixels, or they would be read past its end.
    const int bits = QImage::toPixelFormat(QImage::Format(*format)).bitsPerPixel();
    if (bits <= 0 || *stride * 8 < *width * bits)
        return std::nullopt;
    // Both factors are bounded, so the product fits in 64 bits before it is compared.
    const uint64_t bytes = uint64_t(*stride) * uint64_t(*height);
    if (bytes > kMaxPeerPictureBytes)
        return std::nullopt;
    return KWinPixelLayout{int(*width), int(*height), size_t(*stride), int(*format), size_t(bytes)};
}

std::optional<ScreenRect> kwinWindowFrame(const QVariantMap& info) {
    constexpr double kFar = double(kMaxPeerCoordinate);
    const auto x = finiteIn(info, "x", -kFar, kFar);
    const auto y = finiteIn(info, "y", -kFar, kFar);
    const auto w = finiteIn(info, "width", 0, kFar);
    const auto h = finiteIn(info, "height", 0, kFar);
    if (!x || !y || !w || !h)
        return std::nullopt;
    // Edges rounded outwards: a fractional frame keeps its whole border.
    const int left = int(std::floor(*x)), top = int(std::floor(*y));
    const int right = int(std::ceil(*x + *w)), bottom = int(std::ceil(*y + *h));
    if (right <= left || bottom <= top)
        return std::nullopt;
    return ScreenRect{left, top, right - left, bottom - top};
}

}  // namespace kvr
