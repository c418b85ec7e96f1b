#include "platform/wayland/wayland_window_manager.h"

#include <unistd.h>

#include "platform/wayland/sway_ipc.h"

namespace kvr::wayland {

void WaylandWindowManager::rememberPlace(WindowId) {
    place_.reset();
    if (swaySocket_.empty())
        return;
    if (const auto tree = sway::request(swaySocket_, sway::kGetTree))
        place_ = sway::floatingWindowOf(*tree, getpid());
}

bool WaylandWindowManager::restorePlace(WindowId) {
    if (!place_)
        return true;
    const auto tree = sway::request(swaySocket_, sway::kGetTree);
    if (!tree) {
        place_.reset();
        return true;
    }
    const auto now = sway::floatingWindowOf(*tree, getpid(), place_->frame);
    if (!now)
        return false;  // not on screen again yet
    if (now->frame.x != place_->frame.x || now->frame.y != place_->frame.y)
        sway::moveWindow(swaySocket_, now->id, place_->frame.x, place_->frame.y);
    place_.reset();
    return true;
}

}  // namespace kvr::wayland
