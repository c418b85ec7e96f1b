#pragma once
// Makes the pieces that depend on the session: the source of pixels and the window-manager
// actions. kvr.cpp calls these once at start-up; nothing else in the program knows which it got.
#include <memory>

#include "base/screen_source.h"
#include "base/window_manager.h"
#include "platform/session.h"

namespace kvr::platform {

std::unique_ptr<ScreenSource> makeScreenSource(SourceKind kind);

// toolkitX11Display: the toolkit's Xlib Display when it runs on X11 (Xwayland included), else
// null. The window-manager actions follow the toolkit's own connection, not the pixel source.
std::unique_ptr<WindowManager> makeWindowManager(void* toolkitX11Display);

}  // namespace kvr::platform
