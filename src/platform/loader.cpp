#include "platform/loader.h"

#include <cstdlib>

#include "platform/module.h"
#include "platform/wayland/wayland_badge.h"
#include "platform/wayland/wlroots_source.h"
#include "platform/x11/x11_badge.h"
#include "platform/x11/x11_screen_source.h"
#include "platform/x11/x11_window_manager.h"

namespace kvr::platform {
namespace {

// KWin's and the portal's sources live in the module kvr-dbus: only their sessions load Qt.
std::unique_ptr<ScreenSource> makeDbusSource(bool kwin) {
    using Entry = ScreenSource* (*)(int);
    const auto entry = reinterpret_cast<Entry>(moduleEntry("kvr-dbus.so", "kvr_dbus_source"));
    return std::unique_ptr<ScreenSource>(entry(kwin ? 1 : 0));
}

}  // namespace

std::unique_ptr<ScreenSource> makeScreenSource(SourceKind kind) {
    switch (kind) {
        case SourceKind::X11:
            return std::make_unique<x11::X11ScreenSource>();
        // Never an X11 grab in a Wayland session: under Xwayland the root is black.
        case SourceKind::Wlroots:
            return makeWlrootsSource();
        case SourceKind::KWin:
            return makeDbusSource(true);
        case SourceKind::Portal:
            return makeDbusSource(false);
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
    const char* swaySocket = session == Session::Wlroots ? std::getenv("SWAYSOCK") : nullptr;
    return std::make_unique<wayland::WaylandWindowManager>(honours, toolkit.wayland,
                                                           swaySocket ? swaySocket : "");
}

std::unique_ptr<CountdownBadge> makeCountdownBadge(SourceKind kind, const ShotRequest& request) {
    if (kind == SourceKind::X11)
        return x11::makeX11Badge(request);
    // KWin offers the layer shell too; its output is the one KWin calls active.
    if (kind == SourceKind::Wlroots || kind == SourceKind::KWin) {
        const char* swaySocket = std::getenv("SWAYSOCK");
        return wayland::makeWaylandBadge(request, swaySocket ? swaySocket : "");
    }
    // GNOME has no layer shell, but stacks Xwayland's override-redirect windows above every
    // window and its own top bar. Without DISPLAY (or with it unreachable) no badge.
    if (kind == SourceKind::Portal && detectSession(processEnvironment()) == Session::Gnome)
        return x11::makeX11Badge(request, x11::BadgeServer::Xwayland);
    return nullptr;
}

}  // namespace kvr::platform
