#pragma once
// Which kind of desktop session the program runs in, and so where its pixels come from. Decided
// from the session's environment, never from the toolkit's platform plugin: under Xwayland an X11
// grab sees only X clients and gives black elsewhere.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kvr::platform {

using Environment = std::map<std::string, std::string, std::less<>>;

// The variables below, as this process has them (unset ones are absent).
Environment processEnvironment();

// A variable's value, empty when unset.
std::string_view envValue(const Environment& env, std::string_view name);

enum class Session {
    None,          // no display at all
    X11,           // an X server (also one nested in a Wayland desktop, when only DISPLAY is set)
    Wlroots,       // sway and other wlroots compositors
    KWin,          // KDE Plasma
    Gnome,         // GNOME Shell
    OtherWayland,  // any other Wayland compositor
};

// XDG_SESSION_TYPE first ("wayland" needs WAYLAND_DISPLAY too, "x11" needs DISPLAY); without
// it, WAYLAND_DISPLAY before DISPLAY. The compositor from SWAYSOCK and XDG_CURRENT_DESKTOP.
Session detectSession(const Environment& env);

enum class SourceKind { X11, Wlroots, KWin, Portal, Null };

// "x11", "wlroots", "kwin", "portal", "null"; nothing for anything else.
std::optional<SourceKind> parseSourceKind(std::string_view name);
const char* sourceKindName(SourceKind kind);

// The session's source, or the one KVR_SCREEN_SOURCE names (for tests, and for sessions that
// are detected wrongly). An unknown override is ignored.
SourceKind chooseSourceKind(const Environment& env);

}  // namespace kvr::platform
