#pragma once
// The window's road on a Wayland compositor. A client cannot ask where its window is, nor ask a
// minimised window back (the shell protocol has no such request), so the answers come from what
// each compositor was measured to do and from the toolkit's own state.
#include <functional>
#include <optional>
#include <string>

#include "base/window_manager.h"
#include "platform/wayland/sway_place.h"

namespace kvr::wayland {

struct ToolkitState {
    std::function<bool(WindowManager::WindowId)> minimised;  // the toolkit minimised the window
    std::function<void()> sync;  // a round trip: the compositor has acted on every request
};

class WaylandWindowManager final : public WindowManager {
public:
    // KWin and GNOME Shell take a minimised window off the screen; sway ignores minimising, and
    // its IPC socket (swaySocket, empty elsewhere) moves the window back where it stood.
    WaylandWindowManager(bool compositorHonoursMinimise, ToolkitState toolkit,
                         std::string swaySocket = {})
        : honours_(compositorHonoursMinimise),
          toolkit_(std::move(toolkit)),
          swaySocket_(std::move(swaySocket)) {}

    bool honoursMinimise() override { return honours_; }
    bool offScreen(WindowId window) override {
        return honours_ && toolkit_.minimised && toolkit_.minimised(window);
    }
    // No request for it: a window shown afresh is given the focus by the compositor itself.
    void activate(WindowId) override {}
    bool restoresMinimised() override { return false; }
    void flush() override {
        if (toolkit_.sync)
            toolkit_.sync();
    }

    // sway maps a window shown again in the middle of the output.
    void rememberPlace(WindowId) override;
    bool restorePlace(WindowId) override;

private:
    bool honours_;
    ToolkitState toolkit_;
    std::string swaySocket_;
    std::optional<sway::PlacedWindow> place_;
};

}  // namespace kvr::wayland
