#include "platform/wayland/wayland_outputs.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "base/error.h"
#include "base/peer_limits.h"
#include "kde-output-order-v1-client-protocol.h"
#include "platform/wayland/wayland_dispatch.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace kvr {

namespace {

constexpr std::chrono::milliseconds kAnswerLimit = std::chrono::seconds(5);

struct OutputEntry {
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    WaylandOutput info;
    int modeWidth = 0, modeHeight = 0;
    bool turned = false;  // a quarter turn: the mode's width lies along the layout's height
};

void outputGeometry(void* data, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t,
                    const char*, const char*, int32_t transform) {
    static_cast<OutputEntry*>(data)->turned = transform % 2 == 1;
}
void outputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    auto* e = static_cast<OutputEntry*>(data);
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        e->modeWidth = width;
        e->modeHeight = height;
    }
}
void outputDone(void*, wl_output*) {}
void outputScale(void*, wl_output*, int32_t) {}
const wl_output_listener kOutputListener = {outputGeometry, outputMode, outputDone,
                                            outputScale,    nullptr,    nullptr};

struct Registry {
    std::vector<std::unique_ptr<OutputEntry>> outputs;
    zxdg_output_manager_v1* xdgManager = nullptr;
    kde_output_order_v1* order = nullptr;
    std::vector<std::string> pendingOrder;
    std::vector<std::string> orderNames;
};

void xdgPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    auto* e = static_cast<OutputEntry*>(data);
    e->info.rect.x = x;
    e->info.rect.y = y;
}
void xdgSize(void* data, zxdg_output_v1*, int32_t w, int32_t h) {
    auto* e = static_cast<OutputEntry*>(data);
    e->info.rect.width = w;
    e->info.rect.height = h;
}
void xdgDone(void*, zxdg_output_v1*) {}
void xdgName(void* data, zxdg_output_v1*, const char* name) {
    static_cast<OutputEntry*>(data)->info.name = name;
}
void xdgDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener kXdgOutputListener = {xdgPosition, xdgSize, xdgDone, xdgName,
                                                    xdgDescription};

void orderOutput(void* data, kde_output_order_v1*, const char* name) {
    static_cast<Registry*>(data)->pendingOrder.emplace_back(name);
}
void orderDone(void* data, kde_output_order_v1*) {
    auto* r = static_cast<Registry*>(data);
    r->orderNames = std::move(r->pendingOrder);
    r->pendingOrder.clear();
}
const kde_output_order_v1_listener kOrderListener = {orderOutput, orderDone};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t version) {
    auto* r = static_cast<Registry*>(data);
    if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto e = std::make_unique<OutputEntry>();
        e->output = static_cast<wl_output*>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min<uint32_t>(version, 2)));
        wl_output_add_listener(e->output, &kOutputListener, e.get());
        r->outputs.push_back(std::move(e));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && version >= 2) {
        // Version 2 gives the output's name, which ScreenShot2 and the order speak of.
        r->xdgManager = static_cast<zxdg_output_manager_v1*>(wl_registry_bind(
            registry, name, &zxdg_output_manager_v1_interface, std::min<uint32_t>(version, 3)));
    } else if (std::strcmp(interface, kde_output_order_v1_interface.name) == 0) {
        r->order = static_cast<kde_output_order_v1*>(
            wl_registry_bind(registry, name, &kde_output_order_v1_interface, 1));
        kde_output_order_v1_add_listener(r->order, &kOrderListener, r);
    }
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {global, globalRemove};

}  // namespace

void markPrimaryOutput(std::vector<WaylandOutput>& outputs, const std::vector<std::string>& order) {
    for (auto& o : outputs)
        o.primary = false;
    for (const auto& name : order) {
        for (auto& o : outputs) {
            if (o.name == name) {
                o.primary = true;
                return;
            }
        }
    }
    if (!outputs.empty())
        outputs.front().primary = true;
}

const WaylandOutput& primaryOutput(const std::vector<WaylandOutput>& outputs) {
    for (const auto& o : outputs) {
        if (o.primary)
            return o;
    }
    return outputs.front();
}

std::vector<WaylandOutput> listWaylandOutputs() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        throw KvrError(text::kNoResources, {});
    std::unique_ptr<wl_display, void (*)(wl_display*)> closer(display, wl_display_disconnect);

    Registry r;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &r);
    // First the globals, then the output details and the order they announce on binding.
    if (!wayland::roundtrip(display, kAnswerLimit))
        throw KvrError(text::kNoResources, {});
    if (r.xdgManager) {
        for (auto& e : r.outputs) {
            e->xdgOutput = zxdg_output_manager_v1_get_xdg_output(r.xdgManager, e->output);
            zxdg_output_v1_add_listener(e->xdgOutput, &kXdgOutputListener, e.get());
        }
    }
    const bool ok =
        wayland::roundtrip(display, kAnswerLimit) && wayland::roundtrip(display, kAnswerLimit);

    std::vector<WaylandOutput> outputs;
    for (auto& e : r.outputs) {
        const ScreenRect& rect = e->info.rect;
        if (ok && !e->info.name.empty() &&
            peerRectInRange(rect.x, rect.y, rect.width, rect.height)) {
            const int across = e->turned ? e->modeHeight : e->modeWidth;
            if (across > 0 && peerRectInRange(0, 0, e->modeWidth, e->modeHeight))
                e->info.scale = std::max(1.0, double(across) / rect.width);
            outputs.push_back(e->info);
        }
        if (e->xdgOutput)
            zxdg_output_v1_destroy(e->xdgOutput);
        wl_output_destroy(e->output);
    }
    if (r.order)
        kde_output_order_v1_destroy(r.order);
    if (r.xdgManager)
        zxdg_output_manager_v1_destroy(r.xdgManager);
    wl_registry_destroy(registry);
    if (outputs.empty())
        throw KvrError(text::kNoResources, {});
    markPrimaryOutput(outputs, r.orderNames);
    return outputs;
}

}  // namespace kvr
