#pragma once
// What the program accepts from another process (a compositor, a portal): numbers outside these
// ranges are refused before any arithmetic, so that a buggy or hostile peer can neither wrap a
// size nor make the program hold more memory than a real screen needs.
#include <cstdint>

namespace kvr {

// The longest side of a picture a peer may describe (a 2x-scaled 8K screen is 15360).
constexpr int64_t kMaxPeerSide = 1 << 15;
// The most bytes a picture from a peer may take: 16384 x 16384 pixels of 8 bytes.
constexpr uint64_t kMaxPeerPictureBytes = 16384ull * 16384 * 8;
// The farthest a window or output may lie from the origin of the layout, in either direction.
constexpr int64_t kMaxPeerCoordinate = 1 << 20;

// A place and size a peer gave (an output's, a window's) within those bounds, sizes from 1.
constexpr bool peerRectInRange(int64_t x, int64_t y, int64_t width, int64_t height) {
    const auto in = [](int64_t v, int64_t low) { return v >= low && v <= kMaxPeerCoordinate; };
    return in(x, -kMaxPeerCoordinate) && in(y, -kMaxPeerCoordinate) && in(width, 1) &&
           in(height, 1);
}

}  // namespace kvr
