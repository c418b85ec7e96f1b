// Sway's IPC replies: whatever JSON (or not) comes, the outputs and the focused window's frame
// read from it are in range, so the arithmetic on them cannot overflow.
#include <cstdint>
#include <string_view>

#include "base/peer_limits.h"
#include "fuzz_check.h"
#include "platform/wayland/replies/sway_reply.h"

using namespace kvr;

namespace {

bool inLayout(const ScreenRect& r, int64_t extra) {
    return r.x >= -kMaxPeerCoordinate && r.x <= kMaxPeerCoordinate &&
           r.y >= -kMaxPeerCoordinate - extra && r.y <= kMaxPeerCoordinate && r.width >= 0 &&
           r.width <= kMaxPeerCoordinate && r.height >= 0 && r.height <= kMaxPeerCoordinate + extra;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    for (const sway::Output& o : sway::parseOutputs(json)) {
        FUZZ_CHECK(inLayout(o.rect, 0));
        FUZZ_CHECK(o.scale > 0 && o.scale <= 64);
    }
    if (const auto frame = sway::focusedWindowFrame(json)) {
        // The title bar above the window may add its own height once.
        FUZZ_CHECK(inLayout(*frame, kMaxPeerCoordinate));
        FUZZ_CHECK(frame->width > 0 && frame->height > 0);
    }
    return 0;
}
