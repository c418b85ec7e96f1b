#include "platform/wayland/wayland_dispatch.h"

#include <poll.h>

namespace kvr::wayland {

bool dispatchUntil(wl_display* display, const std::function<bool()>& done,
                   std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        while (wl_display_prepare_read(display) != 0)
            if (wl_display_dispatch_pending(display) < 0)
                return false;
        if (done()) {
            wl_display_cancel_read(display);
            break;
        }
        wl_display_flush(display);
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 deadline - std::chrono::steady_clock::now())
                                 .count());
        pollfd pfd{wl_display_get_fd(display), POLLIN, 0};
        if (left <= 0 || poll(&pfd, 1, left) <= 0) {
            wl_display_cancel_read(display);
            return false;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
            return false;
    }
    return wl_display_get_error(display) == 0;
}

bool roundtrip(wl_display* display, std::chrono::milliseconds limit) {
    bool done = false;
    static const wl_callback_listener listener = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &listener, &done);
    const bool ok = dispatchUntil(
        display, [&] { return done; }, limit);
    wl_callback_destroy(callback);
    return ok;
}

}  // namespace kvr::wayland
