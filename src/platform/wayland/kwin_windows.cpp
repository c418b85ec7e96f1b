#include "platform/wayland/kwin_windows.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "base/peer_limits.h"
#include "plasma-window-management-client-protocol.h"
#include "platform/wayland/wayland_dispatch.h"

namespace kvr {
namespace {

constexpr std::chrono::milliseconds kAnswerLimit(2000);
constexpr uint32_t kMinimised = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED;

struct Window {
    org_kde_plasma_window* proxy = nullptr;
    ScreenRect frame;
    uint32_t state = 0;
    bool placed = false, told = false, gone = false;
};

struct Windows {
    org_kde_plasma_window_management* manager = nullptr;
    std::vector<std::string> order;  // bottom to top
    bool ordered = false;
};

// Events by name: the protocol grows new ones with each version, and only these matter here.
int windowEvent(const void* data, void*, uint32_t, const wl_message* message, wl_argument* args) {
    auto* w = static_cast<Window*>(const_cast<void*>(data));
    const std::string name = message->name;
    if (name == "geometry" &&
        peerRectInRange(args[0].i, args[1].i, int64_t(args[2].u), int64_t(args[3].u))) {
        w->frame = {args[0].i, args[1].i, int(args[2].u), int(args[3].u)};
        w->placed = true;
    } else if (name == "state_changed") {
        w->state = args[0].u;
    } else if (name == "initial_state") {
        w->told = true;
    } else if (name == "unmapped") {
        w->gone = w->told = true;
    }
    return 0;
}

int managerEvent(const void* data, void*, uint32_t, const wl_message* message, wl_argument* args) {
    auto* list = static_cast<Windows*>(const_cast<void*>(data));
    if (std::strcmp(message->name, "stacking_order_uuid_changed") != 0 || !args[0].s)
        return 0;
    list->order.clear();
    const std::string uuids = args[0].s;
    for (size_t at = 0; at <= uuids.size();) {
        const size_t end = std::min(uuids.find(';', at), uuids.size());
        if (end > at)
            list->order.push_back(uuids.substr(at, end - at));
        at = end + 1;
    }
    list->ordered = true;
    return 0;
}

void global(void* data, wl_registry* registry, uint32_t id, const char* interface,
            uint32_t version) {
    auto* list = static_cast<Windows*>(data);
    // Version 12 names the windows by uuid in the stacking order.
    if (std::strcmp(interface, org_kde_plasma_window_management_interface.name) == 0 &&
        version >= 12 && !list->manager) {
        list->manager = static_cast<org_kde_plasma_window_management*>(wl_registry_bind(
            registry, id, &org_kde_plasma_window_management_interface,
            std::min<uint32_t>(version,
                               uint32_t(org_kde_plasma_window_management_interface.version))));
        wl_proxy_add_dispatcher(reinterpret_cast<wl_proxy*>(list->manager), managerEvent, list,
                                nullptr);
    }
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {global, globalRemove};

}  // namespace

std::vector<ScreenRect> kwinWindowFrames() {
    std::vector<ScreenRect> frames;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return frames;
    Windows list;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &list);
    std::vector<std::unique_ptr<Window>> windows;
    // The globals, then the manager's first word: the stacking order.
    if (wayland::roundtrip(display, kAnswerLimit) && list.manager &&
        wayland::dispatchUntil(
            display, [&] { return list.ordered; }, kAnswerLimit)) {
        for (const std::string& uuid : list.order) {
            auto w = std::make_unique<Window>();
            w->proxy =
                org_kde_plasma_window_management_get_window_by_uuid(list.manager, uuid.c_str());
            wl_proxy_add_dispatcher(reinterpret_cast<wl_proxy*>(w->proxy), windowEvent, w.get(),
                                    nullptr);
            windows.push_back(std::move(w));
        }
        const bool told = wayland::dispatchUntil(
            display,
            [&] {
                return std::all_of(windows.begin(), windows.end(),
                                   [](const auto& w) { return w->told; });
            },
            kAnswerLimit);
        for (auto w = windows.rbegin(); told && w != windows.rend(); ++w)
            if ((*w)->placed && !(*w)->gone && !((*w)->state & kMinimised) &&
                (*w)->frame.width > 0 && (*w)->frame.height > 0)
                frames.push_back((*w)->frame);
    }
    for (const auto& w : windows)
        org_kde_plasma_window_destroy(w->proxy);
    if (list.manager)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(list.manager));
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return frames;
}

}  // namespace kvr
