#include "platform/wayland/wayland_badge.h"

#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/wayland/output_state.h"
#include "platform/wayland/replies/sway_reply.h"
#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/wayland_dispatch.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace kvr::wayland {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Where a compositor's frame cannot be seen to come, this long is enough for any to show one.
constexpr milliseconds kLongestFrameWait(600);
// A compositor that has not configured a new surface by then is not going to.
constexpr milliseconds kAnswerLimit(1000);
constexpr int kGetOutputs = 3;

using Output = OutputState;

struct Globals {
    wl_compositor* compositor = nullptr;
    uint32_t compositorVersion = 0;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
};

// The proxies of the globals, before the connection closes.
void release(Globals& g) {
    for (const auto& o : g.outputs)
        wl_output_destroy(o->proxy);
    g.outputs.clear();
    if (g.layerShell)
        zwlr_layer_shell_v1_destroy(g.layerShell);
    if (g.shm)
        wl_shm_destroy(g.shm);
    if (g.compositor)
        wl_compositor_destroy(g.compositor);
    g = Globals();
}

void registryGlobal(void* data, wl_registry* registry, uint32_t id, const char* interface,
                    uint32_t version) {
    auto* g = static_cast<Globals*>(data);
    const std::string name = interface;
    if (name == wl_compositor_interface.name) {
        // Version 3 draws the badge in the output's own pixels (buffer scale).
        g->compositorVersion = std::min<uint32_t>(version, 3);
        g->compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, id, &wl_compositor_interface, g->compositorVersion));
    } else if (name == wl_shm_interface.name) {
        g->shm = static_cast<wl_shm*>(wl_registry_bind(registry, id, &wl_shm_interface, 1));
    } else if (name == zwlr_layer_shell_v1_interface.name) {
        g->layerShell = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, id, &zwlr_layer_shell_v1_interface, 1));
    } else if (name == wl_output_interface.name) {
        g->outputs.push_back(std::make_unique<Output>());
        Output& o = *g->outputs.back();
        o.proxy = static_cast<wl_output*>(
            wl_registry_bind(registry, id, &wl_output_interface, std::min<uint32_t>(version, 4)));
        wl_output_add_listener(o.proxy, &kOutputStateListener, &o);
    }
}
void registryGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {registryGlobal, registryGlobalRemove};

// One layer surface: configured once before its first buffer, acked at every configure.
struct Layer {
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* role = nullptr;
    wl_buffer* buffer = nullptr;
    bool configured = false;
    bool closed = false;

    static void configure(void* data, zwlr_layer_surface_v1* role, uint32_t serial, uint32_t,
                          uint32_t) {
        zwlr_layer_surface_v1_ack_configure(role, serial);
        static_cast<Layer*>(data)->configured = true;
    }
    static void close(void* data, zwlr_layer_surface_v1*) {
        static_cast<Layer*>(data)->closed = true;
    }

    void destroy() {
        if (role)
            zwlr_layer_surface_v1_destroy(role);
        if (surface)
            wl_surface_destroy(surface);
        if (buffer)
            wl_buffer_destroy(buffer);
        *this = Layer();
    }
};
const zwlr_layer_surface_v1_listener kLayerListener = {Layer::configure, Layer::close};

// A buffer of 32-bit pixels (0xAARRGGBB) in shared memory; null when memory is refused.
wl_buffer* shmBuffer(wl_shm* shm, int width, int height, uint32_t format,
                     const std::vector<uint32_t>& pixels) {
    const size_t size = size_t(width) * size_t(height) * 4;
    const int fd = memfd_create("kvr-countdown", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    wl_buffer* buffer = nullptr;
    if (ftruncate(fd, off_t(size)) == 0) {
        void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (memory != MAP_FAILED) {
            std::memcpy(memory, pixels.data(), size);
            munmap(memory, size);
            wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(size));
            buffer = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, format);
            wl_shm_pool_destroy(pool);
        }
    }
    close(fd);
    return buffer;
}

std::vector<uint32_t> badgePixels(const BadgeShape& shape) {
    std::vector<uint32_t> pixels(size_t(shape.width) * size_t(shape.height));
    const auto fill = [&](uint32_t rgb, const ScreenRect& r) {
        for (int y = std::max(0, r.y); y < std::min(shape.height, r.y + r.height); ++y)
            std::fill_n(pixels.begin() + ptrdiff_t(y) * shape.width + std::max(0, r.x),
                        std::max(0, std::min(shape.width, r.x + r.width) - std::max(0, r.x)),
                        0xff000000u | rgb);
    };
    fill(kBadgeEdge, {0, 0, shape.width, shape.height});
    fill(kBadgeRing, shape.ring);
    fill(kBadgeFill, shape.fill);
    for (const ScreenRect& segment : shape.digits)
        fill(kBadgeDigits, segment);
    return pixels;
}

// Whole surface units: the buffer a multiple of its scale in each direction, the box grown by the
// rest.
void fitToScale(BadgeShape& shape, int scale) {
    const int wider = (scale - shape.width % scale) % scale;
    const int taller = (scale - shape.height % scale) % scale;
    shape.width += wider;
    shape.height += taller;
    for (ScreenRect* r : {&shape.ring, &shape.fill}) {
        r->width += wider;
        r->height += taller;
    }
}

class WaylandBadge final : public CountdownBadge {
public:
    WaylandBadge(wl_display* display, std::unique_ptr<Globals> globals, wl_output* output,
                 int scale)
        : display_(display), globals_(std::move(globals)), output_(output), scale_(scale) {}
    ~WaylandBadge() override {
        badge_.destroy();
        release(*globals_);
        wl_display_disconnect(display_);
    }

    void show(int seconds) override {
        // Drawn in the output's pixels: on a 2x output the digits are twice as many pixels high,
        // not a 1x buffer the compositor blurs up.
        BadgeShape shape = badgeShape(seconds, badgeDigitHeight(96.0 * scale_));
        fitToScale(shape, scale_);
        const int width = shape.width / scale_, height = shape.height / scale_;
        if (badge_.closed || wl_display_get_error(display_))
            return;
        if (!badge_.surface) {
            if (!place(badge_, width, height, height))
                return;
        } else if (width != width_ || height != height_) {
            // A new size (10 to 9 seconds) waits for the compositor's configure before its buffer.
            badge_.configured = false;
            zwlr_layer_surface_v1_set_size(badge_.role, uint32_t(width), uint32_t(height));
            wl_surface_commit(badge_.surface);
            if (!dispatchUntil(
                    display_, [&] { return badge_.configured || badge_.closed; }, kAnswerLimit) ||
                badge_.closed)
                return;
        }
        width_ = width;
        height_ = height;
        wl_buffer* buffer = shmBuffer(globals_->shm, shape.width, shape.height,
                                      WL_SHM_FORMAT_XRGB8888, badgePixels(shape));
        if (!buffer)
            return;
        if (scale_ > 1)
            wl_surface_set_buffer_scale(badge_.surface, scale_);
        wl_surface_attach(badge_.surface, buffer, 0, 0);
        wl_surface_damage(badge_.surface, 0, 0, width, height);
        wl_surface_commit(badge_.surface);
        if (badge_.buffer)
            wl_buffer_destroy(badge_.buffer);
        badge_.buffer = buffer;
        roundtrip(display_, kAnswerLimit);
    }

    // The compositor says when a frame without the badge is out: a transparent pixel of another
    // surface, mapped after the badge's end, gets its frame callback once a frame that includes
    // both has been drawn.
    void remove() override {
        if (!badge_.surface)
            return;
        const auto until = Clock::now() + kLongestFrameWait;
        badge_.destroy();
        wl_display_flush(display_);
        if (!framePresented(until)) {
            // Unknown: long enough for any compositor.
            const auto left = until - Clock::now();
            if (left > Clock::duration::zero()) {
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
                const timespec pause{time_t(ns / 1000000000), long(ns % 1000000000)};
                nanosleep(&pause, nullptr);
            }
        }
    }

private:
    // A new layer surface on the overlay layer at the output's top-right corner, input-transparent,
    // configured by the compositor; false when it refuses.
    bool place(Layer& layer, int width, int height, int shapeHeight,
               milliseconds limit = kAnswerLimit) {
        layer.surface = wl_compositor_create_surface(globals_->compositor);
        wl_region* none = wl_compositor_create_region(globals_->compositor);
        wl_surface_set_input_region(layer.surface, none);
        wl_region_destroy(none);
        layer.role = zwlr_layer_shell_v1_get_layer_surface(
            globals_->layerShell, layer.surface, output_, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
            "kvr-countdown");
        zwlr_layer_surface_v1_add_listener(layer.role, &kLayerListener, &layer);
        zwlr_layer_surface_v1_set_size(layer.role, uint32_t(width), uint32_t(height));
        zwlr_layer_surface_v1_set_anchor(
            layer.role, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        // The same distance from the corner as on X11; badgePlace measures it on any monitor
        // larger than the badge.
        constexpr int kLarge = 1 << 16;
        BadgeShape probe;
        probe.width = width;
        probe.height = shapeHeight;
        const ScreenRect at = badgePlace({0, 0, kLarge, kLarge}, probe);
        zwlr_layer_surface_v1_set_margin(layer.role, at.y, kLarge - at.x - at.width, 0, 0);
        // Over panels too, not pushed aside by them.
        zwlr_layer_surface_v1_set_exclusive_zone(layer.role, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(layer.role, 0);
        wl_surface_commit(layer.surface);
        if (!dispatchUntil(
                display_, [&] { return layer.configured || layer.closed; }, limit) ||
            layer.closed) {
            layer.destroy();
            return false;
        }
        return true;
    }

    bool framePresented(Clock::time_point until) {
        const auto left = [&] {
            return std::max(milliseconds(1),
                            std::chrono::duration_cast<milliseconds>(until - Clock::now()));
        };
        Layer pixel;
        if (!place(pixel, 1, 1, height_, left()))
            return false;
        bool done = false;
        pixel.buffer = shmBuffer(globals_->shm, 1, 1, WL_SHM_FORMAT_ARGB8888, {0});
        if (pixel.buffer) {
            static const wl_callback_listener listener = {
                [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
            wl_callback* frame = wl_surface_frame(pixel.surface);
            wl_callback_add_listener(frame, &listener, &done);
            wl_surface_attach(pixel.surface, pixel.buffer, 0, 0);
            wl_surface_damage(pixel.surface, 0, 0, 1, 1);
            wl_surface_commit(pixel.surface);
            dispatchUntil(
                display_, [&] { return done; }, left());
            wl_callback_destroy(frame);
        }
        pixel.destroy();
        wl_display_flush(display_);
        return done;
    }

    wl_display* display_;
    std::unique_ptr<Globals> globals_;
    wl_output* output_;
    int scale_;
    Layer badge_;
    int width_ = 0, height_ = 0;
};

// The output the request takes, by sway's account: a named one, else sway's focused output (the
// pointer's, as sway moves the focus with it) unless the primary monitor is asked for, which is
// sway's first one. Null lets the compositor choose.
wl_output* chooseOutput(const Globals& g, const ShotRequest& request, const std::string& sway) {
    std::string name = request.output;
    if (name.empty() && !sway.empty()) {
        const bool primary =
            request.mode == ShotMode::AllScreen && request.monitor == MonitorChoice::Primary;
        if (const auto reply = sway::request(sway, kGetOutputs)) {
            const std::vector<sway::Output> outputs = sway::parseOutputs(*reply);
            for (const sway::Output& o : outputs)
                if (primary ? &o == &outputs.front() : o.focused)
                    name = o.name;
        }
    }
    for (const auto& o : g.outputs)
        if (!name.empty() && o->name == name)
            return o->proxy;
    return nullptr;
}

}  // namespace

std::unique_ptr<CountdownBadge> makeWaylandBadge(const ShotRequest& request,
                                                 const std::string& swaySocket) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    auto globals = std::make_unique<Globals>();
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, globals.get());
    const bool answered = roundtrip(display, kAnswerLimit) && roundtrip(display, kAnswerLimit);
    wl_registry_destroy(registry);
    if (!answered || !globals->compositor || !globals->shm || !globals->layerShell) {
        // Nothing to stand above the windows with: no badge rather than one below them.
        release(*globals);
        wl_display_disconnect(display);
        return nullptr;
    }
    wl_output* output = chooseOutput(*globals, request, swaySocket);
    // The output's scale; where the compositor chooses, the largest (a compositor scales a
    // sharp badge down rather than a blurred one up).
    int scale = 1;
    if (globals->compositorVersion >= 3)
        for (const auto& o : globals->outputs)
            if (!output || o->proxy == output)
                scale = std::max(scale, std::min(o->scale, 8));
    return std::make_unique<WaylandBadge>(display, std::move(globals), output, scale);
}

}  // namespace kvr::wayland
