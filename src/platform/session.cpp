#include "platform/session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace kvr::platform {
namespace {

constexpr const char* kVariables[] = {
    "XDG_SESSION_TYPE", "WAYLAND_DISPLAY",     "DISPLAY",
    "SWAYSOCK",         "XDG_CURRENT_DESKTOP", "KVR_SCREEN_SOURCE"};

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

// XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME", "KDE").
bool desktopIs(const Environment& env, std::string_view name) {
    const std::string list = lower(envValue(env, "XDG_CURRENT_DESKTOP"));
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(':', start), list.size());
        if (std::string_view(list).substr(start, end - start) == name)
            return true;
        start = end + 1;
    }
    return false;
}

Session waylandCompositor(const Environment& env) {
    if (!envValue(env, "SWAYSOCK").empty() || desktopIs(env, "sway"))
        return Session::Wlroots;
    for (const char* name : {"wlroots", "hyprland", "river", "wayfire", "labwc", "dwl"})
        if (desktopIs(env, name))
            return Session::Wlroots;
    if (desktopIs(env, "kde"))
        return Session::KWin;
    if (desktopIs(env, "gnome"))
        return Session::Gnome;
    return Session::OtherWayland;
}

}  // namespace

std::string_view envValue(const Environment& env, std::string_view name) {
    const auto it = env.find(name);
    return it == env.end() ? std::string_view() : std::string_view(it->second);
}

Environment processEnvironment() {
    Environment env;
    for (const char* name : kVariables)
        if (const char* value = std::getenv(name))
            env.emplace(name, value);
    return env;
}

Session detectSession(const Environment& env) {
    const bool wayland = !envValue(env, "WAYLAND_DISPLAY").empty();
    const bool x11 = !envValue(env, "DISPLAY").empty();
    const std::string type = lower(envValue(env, "XDG_SESSION_TYPE"));
    if (type == "wayland" && wayland)
        return waylandCompositor(env);
    if (type == "x11" && x11)
        return Session::X11;
    // No type, "tty" (a program started from a console onto a display), or a type whose display
    // is not reachable: what is reachable decides.
    if (wayland)
        return waylandCompositor(env);
    if (x11)
        return Session::X11;
    return Session::None;
}

std::optional<SourceKind> parseSourceKind(std::string_view name) {
    for (SourceKind kind : {SourceKind::X11, SourceKind::Wlroots, SourceKind::KWin,
                            SourceKind::Portal, SourceKind::Null})
        if (lower(name) == sourceKindName(kind))
            return kind;
    return std::nullopt;
}

const char* sourceKindName(SourceKind kind) {
    switch (kind) {
        case SourceKind::X11:
            return "x11";
        case SourceKind::Wlroots:
            return "wlroots";
        case SourceKind::KWin:
            return "kwin";
        case SourceKind::Portal:
            return "portal";
        case SourceKind::Null:
            break;
    }
    return "null";
}

SourceKind chooseSourceKind(const Environment& env) {
    if (const auto chosen = parseSourceKind(envValue(env, "KVR_SCREEN_SOURCE")))
        return *chosen;
    switch (detectSession(env)) {
        case Session::X11:
            return SourceKind::X11;
        case Session::Wlroots:
            return SourceKind::Wlroots;
        case Session::KWin:
            return SourceKind::KWin;
        case Session::Gnome:
        case Session::OtherWayland:
            return SourceKind::Portal;
        case Session::None:
            break;
    }
    return SourceKind::Null;
}

}  // namespace kvr::platform
