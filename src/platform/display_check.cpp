#include "platform/display_check.h"

#include <X11/Xlib.h>

#include "base/texts.h"

namespace kvr::platform {
namespace {

std::string_view get(const Environment& env, std::string_view name) {
    const auto it = env.find(name);
    return it == env.end() ? std::string_view() : std::string_view(it->second);
}

// The toolkit starts on X11 when asked for it, or when nothing points it to Wayland.
bool startsOnX11(const Environment& env, std::string_view qpa) {
    const std::string_view first = qpa.substr(0, qpa.find(';'));
    if (!first.empty())
        return first.substr(0, 3) == "xcb";
    const bool wayland = !get(env, "WAYLAND_DISPLAY").empty();
    if (wayland && get(env, "XDG_SESSION_TYPE") == "wayland")
        return false;
    // Only a Wayland display: the toolkit tries it, and says so itself if that fails too.
    return !(wayland && get(env, "DISPLAY").empty());
}

}  // namespace

std::optional<std::string> unreachableDisplay(const Environment& env, std::string_view qpa) {
    if (!startsOnX11(env, qpa))
        return std::nullopt;
    const std::string name(get(env, "DISPLAY"));
    if (name.empty())
        return std::string(text::kNoDisplaySet);
    Display* display = XOpenDisplay(name.c_str());
    if (!display)
        return fillText(text::kNoDisplay, {name});
    XCloseDisplay(display);
    return std::nullopt;
}

}  // namespace kvr::platform
