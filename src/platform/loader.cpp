#include "platform/loader.h"

#include "platform/x11/x11_screen_source.h"
#include "platform/x11/x11_window_manager.h"

namespace kvr::platform {
namespace {

// A toolkit on a display we cannot ask: minimising is left to the toolkit, and nothing is ever
// known to be off screen, so the window hides for the countdown.
class UnknownWindowManager final : public WindowManager {
public:
    bool honoursMinimise() override { return false; }
    bool offScreen(WindowId) override { return false; }
    void activate(WindowId) override {}
    void flush() override {}
};

}  // namespace

std::unique_ptr<ScreenSource> makeScreenSource(SourceKind kind) {
    switch (kind) {
        case SourceKind::X11:
        // Until the compositors' own sources exist, Wayland sessions keep the X11 grab (Xwayland).
        case SourceKind::Wlroots:
        case SourceKind::KWin:
        case SourceKind::Portal:
            return std::make_unique<x11::X11ScreenSource>();
        case SourceKind::Null:
            break;
    }
    return std::make_unique<NullScreenSource>();
}

std::unique_ptr<WindowManager> makeWindowManager(void* toolkitX11Display) {
    if (toolkitX11Display)
        return std::make_unique<x11::X11WindowManager>(static_cast<Display*>(toolkitX11Display));
    return std::make_unique<UnknownWindowManager>();
}

}  // namespace kvr::platform
