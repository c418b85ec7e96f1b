#pragma once
// Makes the pieces that depend on the session: the source of pixels and the window-manager
// actions. kvr.cpp calls these once at start-up; nothing else in the program knows which it got.
#include <memory>

#include "base/countdown_badge.h"
#include "base/screen_source.h"
#include "base/window_manager.h"
#include "platform/session.h"
#include "platform/wayland/wayland_window_manager.h"

namespace kvr::platform {

std::unique_ptr<ScreenSource> makeScreenSource(SourceKind kind);

// What the window-manager actions need of the toolkit: its Xlib Display when it runs on X11
// (Xwayland included), else its own view of the window and a round trip to the compositor.
struct ToolkitHooks {
    void* x11Display = nullptr;
    wayland::ToolkitState wayland;
};

// The actions follow the toolkit's own connection (X11 or Wayland), not the pixel source; on
// Wayland the session says whether minimising takes the window off the screen.
std::unique_ptr<WindowManager> makeWindowManager(Session session, const ToolkitHooks& toolkit);

// The countdown's badge for a shot from that source, where the session can show one above the
// other windows without it taking input; null elsewhere.
std::unique_ptr<CountdownBadge> makeCountdownBadge(SourceKind kind, const ShotRequest& request);

}  // namespace kvr::platform
