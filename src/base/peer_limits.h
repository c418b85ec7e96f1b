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

}  // namespace kvr
