#include "platform/display_check.h"

#include <X11/Xlib.h>
#include <sys/stat.h>

#include <cstdlib>

#include "base/texts.h"

namespace kvr::platform {
namespace {

// The Wayland display's socket: WAYLAND_DISPLAY, a name in XDG_RUNTIME_DIR or a full path.
bool waylandReachable(const Environment& env) {
    const std::string name(envValue(env, "WAYLAND_DISPLAY"));
    if (name.empty())
        return false;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string path =
        name.front() == '/' ? name : std::string(runtime ? runtime : "") + "/" + name;
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

std::optional<std::string> x11Problem(const Environment& env) {
    const std::string name(envValue(env, "DISPLAY"));
    if (name.empty())
        return std::string(text::kNoDisplaySet);
    Display* display = XOpenDisplay(name.c_str());
    if (!display)
        return fillText(text::kNoDisplay, {name});
    XCloseDisplay(display);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> unreachableDisplay(const Environment& env, std::string_view qpa) {
    const std::string_view first = qpa.substr(0, qpa.find(';'));
    if (!first.empty() && first.substr(0, 3) == "xcb")
        return x11Problem(env);
    const bool waylandAsked = !first.empty() && first.substr(0, 7) == "wayland";
    if (!first.empty() && !waylandAsked)
        return std::nullopt;  // offscreen, vnc, ...: the toolkit's own business
    // The toolkit goes to Wayland in a Wayland session (or when asked), and falls back to X11
    // when that fails unless it was asked for Wayland alone.
    const bool waylandSession =
        envValue(env, "XDG_SESSION_TYPE") == "wayland" ||
        (!envValue(env, "WAYLAND_DISPLAY").empty() && envValue(env, "DISPLAY").empty());
    if (waylandAsked || waylandSession) {
        if (waylandReachable(env))
            return std::nullopt;
        if (waylandAsked && qpa.find(';') == std::string_view::npos)
            return fillText(text::kNoWaylandDisplay, {envValue(env, "WAYLAND_DISPLAY")});
        if (envValue(env, "DISPLAY").empty())
            return fillText(text::kNoWaylandDisplay, {envValue(env, "WAYLAND_DISPLAY")});
    }
    return x11Problem(env);
}

}  // namespace kvr::platform
