#include "platform/loader.h"

#include "platform/wayland/kwin_source.h"
#include "platform/wayland/portal_source.h"
#include "platform/wayland/wlroots_source.h"
#include "platform/x11/x11_screen_source.h"
#include "platform/x11/x11_window_manager.h"

namespace kvr::platform {
namespace {}  // namespace

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

std::unique_ptr<WindowManager> makeWindowManager(Session session, const ToolkitHooks& toolkit) {
    if (toolkit.x11Display)
        return std::make_unique<x11::X11WindowManager>(static_cast<Display*>(toolkit.x11Display));
    // Elsewhere the window hides for the countdown: never in its own picture.
    const bool honours = session == Session::KWin || session == Session::Gnome;
    return std::make_unique<wayland::WaylandWindowManager>(honours, toolkit.wayland);
}

}  // namespace kvr::platform
