#include "wlroots_source.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/peer_limits.h"
#include "base/screen.h"
#include "base/texts.h"
#include "platform/wayland/output_mosaic.h"
#include "platform/wayland/output_state.h"
#include "platform/wayland/shm_picture.h"
#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/wayland_dispatch.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace kvr {
namespace {

constexpr int kTimeoutMs = 5000;
constexpr uint32_t kSwayGetOutputs = 3;
constexpr uint32_t kSwayGetTree = 4;

[[noreturn]] void noPixels() {
    throw KvrError(text::kNoResources, {});
}

using Output = wayland::OutputState;

struct ShmOffer {
    uint32_t format = 0;
    uint32_t width = 0, height = 0, stride = 0;
};

// One connection for one grab: the globals, the outputs, and the frame being copied.
struct Connection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_shm* shm = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    uint32_t screencopyVersion = 0;
    std::vector<std::unique_ptr<Output>> outputs;  // listeners hold their Output's address

    std::vector<ShmOffer> offers;
    bool buffersDone = false;
    bool ready = false;
    bool failed = false;
    uint32_t flags = 0;

    ~Connection() {
        for (auto& o : outputs)
            if (o->proxy)
                wl_output_get_version(o->proxy) >= WL_OUTPUT_RELEASE_SINCE_VERSION
                    ? wl_output_release(o->proxy)
                    : wl_output_destroy(o->proxy);
        if (screencopy)
            zwlr_screencopy_manager_v1_destroy(screencopy);
        if (shm)
            wl_shm_destroy(shm);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }

    bool dispatchUntil(const std::function<bool()>& done) {
        return wayland::dispatchUntil(display, done, std::chrono::milliseconds(kTimeoutMs));
    }
    bool roundtrip() { return wayland::roundtrip(display, std::chrono::milliseconds(kTimeoutMs)); }
};

// --- listeners -------------------------------------------------------------------------------

void registryGlobal(void* data, wl_registry* registry, uint32_t id, const char* interface,
                    uint32_t version) {
    auto* c = static_cast<Connection*>(data);
    const std::string name = interface;
    if (name == wl_shm_interface.name) {
        c->shm = static_cast<wl_shm*>(wl_registry_bind(registry, id, &wl_shm_interface, 1));
    } else if (name == zwlr_screencopy_manager_v1_interface.name) {
        c->screencopyVersion = std::min<uint32_t>(version, 3);
        c->screencopy = static_cast<zwlr_screencopy_manager_v1*>(wl_registry_bind(
            registry, id, &zwlr_screencopy_manager_v1_interface, c->screencopyVersion));
    } else if (name == wl_output_interface.name) {
        c->outputs.push_back(std::make_unique<Output>());
        Output& o = *c->outputs.back();
        o.proxy = static_cast<wl_output*>(
            wl_registry_bind(registry, id, &wl_output_interface, std::min<uint32_t>(version, 4)));
        wl_output_add_listener(o.proxy, &wayland::kOutputStateListener, &o);
    }
}
void registryGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {registryGlobal, registryGlobalRemove};

void frameBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width,
                 uint32_t height, uint32_t stride) {
    static_cast<Connection*>(data)->offers.push_back({format, width, height, stride});
}
void frameFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
    static_cast<Connection*>(data)->flags = flags;
}
void frameReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
    static_cast<Connection*>(data)->ready = true;
}
void frameFailed(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<Connection*>(data)->failed = true;
}
void frameDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void frameDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void frameBufferDone(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<Connection*>(data)->buffersDone = true;
}
const zwlr_screencopy_frame_v1_listener kFrameListener = {
    frameBuffer, frameFlags, frameReady, frameFailed, frameDamage, frameDmabuf, frameBufferDone};

// The mapped shared memory the picture's pixels point into.
struct Mapping {
    void* data = MAP_FAILED;
    size_t size = 0;
    ~Mapping() {
        if (data != MAP_FAILED)
            munmap(data, size);
    }
};

// --- the source ------------------------------------------------------------------------------

class WlrootsSource final : public ScreenSource {
public:
    WlrootsSource() {
        if (const char* sock = std::getenv("SWAYSOCK"))
            swaySocket_ = sock;
    }

    const char* name() const override { return "wlroots"; }

    bool supports(ShotMode mode) const override {
        return mode == ShotMode::AllScreen || !swaySocket_.empty();
    }

    // Only sway says which output the pointer is on (its focused one).
    const char* refusal(CaptureChoice choice) const override {
        return choice == CaptureChoice::MonitorUnderPointer && swaySocket_.empty()
                   ? text::kNoPointerMonitor
                   : nullptr;
    }

    std::vector<std::string> outputNames() override {
        Connection c;
        connect(c);
        std::vector<std::string> names;
        for (const auto& o : c.outputs)
            if (!o->name.empty())
                names.push_back(o->name);
        return names;
    }

    // Sway's outputs in the picture of every monitor, by name; other wlroots compositors do not
    // say their outputs' logical sizes without a picture, so they offer no region.
    std::vector<MonitorPlace> monitorPlaces() const override {
        std::vector<MonitorPlace> places;
        const Layout layout = swayLayout();
        for (size_t i = 0; i < layout.outputs.size(); ++i)
            places.push_back({layout.outputs[i].name, layout.places[i]});
        return places;
    }

    // The windows sway shows, frontmost first, in the picture of every monitor.
    std::vector<ScreenRect> windowFrames() override {
        if (swaySocket_.empty())
            return {};
        const auto tree = sway::request(swaySocket_, kSwayGetTree);
        if (!tree)
            return {};
        const Layout layout = swayLayout();
        return framesInMosaic(sway::visibleWindowFrames(*tree), layout.logical, layout.places);
    }

    using ScreenSource::grab;
    Picture grab(const ShotRequest& request) override {
        const ShotMode mode = request.mode;
        if (mode == ShotMode::ActiveWindow && swaySocket_.empty())
            throw KvrError(text::kActiveWindowUnsupported, {});
        Connection c;
        connect(c);

        // Sway's view of the outputs: their order, their layout rectangles and scales.
        std::vector<sway::Output> swayOutputs;
        if (!swaySocket_.empty())
            if (auto reply = sway::request(swaySocket_, kSwayGetOutputs))
                swayOutputs = sway::parseOutputs(*reply);
        if (mode == ShotMode::AllScreen && request.output.empty() &&
            request.monitor == MonitorChoice::All)
            return captureAll(c, swayOutputs, request.pointer);
        const Output& output = mode == ShotMode::AllScreen
                                   ? chooseOutput(c, swayOutputs, request)
                                   : chooseOutput(c, swayOutputs, ShotRequest{});

        Picture picture = capture(c, output, request.pointer);

        if (mode == ShotMode::AllScreen)
            return picture;
        return cropToActiveWindow(picture, output, swayOutputs);
    }

private:
    // Sway's active outputs, their layout rectangles and their places in the picture of every
    // monitor; empty away from sway.
    struct Layout {
        std::vector<sway::Output> outputs;
        std::vector<ScreenRect> logical, places;
    };
    Layout swayLayout() const {
        Layout layout;
        if (swaySocket_.empty())
            return layout;
        if (auto reply = sway::request(swaySocket_, kSwayGetOutputs))
            layout.outputs = sway::parseOutputs(*reply);
        double scale = 1.0;
        for (const sway::Output& o : layout.outputs) {
            layout.logical.push_back(o.rect);
            scale = std::max(scale, o.scale);
        }
        layout.places = placesInMosaic(layout.logical, scale);
        return layout;
    }

    static void connect(Connection& c) {
        c.display = wl_display_connect(nullptr);
        if (!c.display)
            noPixels();
        c.registry = wl_display_get_registry(c.display);
        wl_registry_add_listener(c.registry, &kRegistryListener, &c);
        // The globals, then the outputs' own events.
        if (!c.roundtrip() || !c.roundtrip())
            noPixels();
        if (!c.shm || !c.screencopy || c.outputs.empty())
            noPixels();
    }

    // A monitor named in the request; sway's focused output for the monitor under the pointer
    // (sway moves the focus with the pointer unless told otherwise); else sway's first active
    // output (sway has no primary; this is the one Qt and Xwayland treat as primary), else the
    // first output the compositor announced.
    const Output& chooseOutput(const Connection& c, const std::vector<sway::Output>& swayOutputs,
                               const ShotRequest& request) {
        if (!request.output.empty()) {
            for (const auto& o : c.outputs)
                if (o->name == request.output)
                    return *o;
            throw KvrError(text::kNoSuchMonitor, {request.output});
        }
        const sway::Output* chosen = swayOutputs.empty() ? nullptr : &swayOutputs.front();
        if (request.monitor == MonitorChoice::UnderPointer)
            for (const sway::Output& o : swayOutputs)
                if (o.focused)
                    chosen = &o;
        if (chosen) {
            if (const Output* o = matching(c, *chosen))
                return *o;
        }
        return *c.outputs.front();
    }

    static const Output* matching(const Connection& c, const sway::Output& wanted) {
        for (const auto& o : c.outputs)
            if (!o->name.empty() && o->name == wanted.name)
                return o.get();
        // wl_output before version 4 has no name: the layout position tells them apart.
        for (const auto& o : c.outputs)
            if (o->name.empty() && o->x == wanted.rect.x && o->y == wanted.rect.y)
                return o.get();
        return nullptr;
    }

    // Every output in one picture, placed as the layout places it, at the largest scale. Sway's
    // rectangles where it tells them; else the outputs' own positions and integer scales.
    Picture captureAll(Connection& c, const std::vector<sway::Output>& swayOutputs, bool pointer) {
        std::vector<PlacedPicture> placed;
        for (const auto& o : c.outputs) {
            const sway::Output* known = nullptr;
            for (const sway::Output& s : swayOutputs)
                if (matching(c, s) == o.get())
                    known = &s;
            if (!known && !swayOutputs.empty())
                continue;  // an output sway does not have active (disabled)
            Picture picture = capture(c, *o, pointer);
            ScreenRect logical =
                known ? known->rect
                      : ScreenRect{o->x, o->y, picture.width / o->scale, picture.height / o->scale};
            placed.push_back({std::move(picture), logical});
        }
        return composeOutputs(placed);
    }

    Picture capture(Connection& c, const Output& output, bool pointer) {
        c.offers.clear();
        c.buffersDone = c.ready = c.failed = false;
        c.flags = 0;
        if (output.transform < WL_OUTPUT_TRANSFORM_NORMAL ||
            output.transform > WL_OUTPUT_TRANSFORM_FLIPPED_270)
            noPixels();
        zwlr_screencopy_frame_v1* frame =
            zwlr_screencopy_manager_v1_capture_output(c.screencopy, pointer ? 1 : 0, output.proxy);
        zwlr_screencopy_frame_v1_add_listener(frame, &kFrameListener, &c);
        struct FrameGuard {
            zwlr_screencopy_frame_v1* f;
            ~FrameGuard() { zwlr_screencopy_frame_v1_destroy(f); }
        } frameGuard{frame};
        // Version 3 lists every buffer type, then says it is done; before, one shm offer.
        if (!c.dispatchUntil([&] {
                return c.failed || c.buffersDone || (c.screencopyVersion < 3 && !c.offers.empty());
            }) ||
            c.failed || c.offers.empty())
            noPixels();

        const ShmOffer* offer = nullptr;
        for (const ShmOffer& o : c.offers)
            if (shmFormatSupported(o.format)) {
                offer = &o;
                break;
            }
        if (!offer)
            throw KvrError(text::kUnsupportedPixelFormat, {shmFormatName(c.offers.front().format)});
        // Whatever the compositor says, the buffer stays of a size a screen can have, and one
        // a wl_shm pool (an int32 size) can hold; the product is taken in 64 bits.
        const uint64_t bufferBytes = uint64_t(offer->stride) * offer->height;
        if (offer->width == 0 || offer->height == 0 || offer->width > kMaxPeerSide ||
            offer->height > kMaxPeerSide ||
            bufferBytes > std::min<uint64_t>(kMaxPeerPictureBytes, INT32_MAX))
            noPixels();

        auto mapping = std::make_shared<Mapping>();
        mapping->size = size_t(offer->stride) * offer->height;
        const int fd = memfd_create("kvr-screencopy", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, off_t(mapping->size)) != 0) {
            if (fd >= 0)
                close(fd);
            noPixels();
        }
        mapping->data = mmap(nullptr, mapping->size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapping->data == MAP_FAILED) {
            close(fd);
            noPixels();
        }
        wl_shm_pool* pool = wl_shm_create_pool(c.shm, fd, int32_t(mapping->size));
        wl_buffer* buffer =
            wl_shm_pool_create_buffer(pool, 0, int32_t(offer->width), int32_t(offer->height),
                                      int32_t(offer->stride), offer->format);
        wl_shm_pool_destroy(pool);
        close(fd);
        zwlr_screencopy_frame_v1_copy(frame, buffer);
        const bool copied = c.dispatchUntil([&] { return c.ready || c.failed; }) && c.ready;
        wl_buffer_destroy(buffer);
        if (!copied)
            noPixels();

        ShmFrame shot;
        shot.pixels = static_cast<const uint8_t*>(mapping->data);
        shot.owner = mapping;
        shot.format = offer->format;
        shot.width = offer->width;
        shot.height = offer->height;
        shot.stride = offer->stride;
        shot.yInvert = c.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
        shot.transform = output.transform;
        return pictureFromShm(shot);
    }

    Picture cropToActiveWindow(const Picture& screen, const Output& output,
                               const std::vector<sway::Output>& swayOutputs) {
        const auto tree = sway::request(swaySocket_, kSwayGetTree);
        if (!tree)
            throw KvrError(text::kNoWindow, {});
        const auto frame = sway::focusedWindowFrame(*tree);
        if (!frame)
            throw KvrError(text::kNoWindow, {});
        // Layout (logical) coordinates to the output's own pixels: a scaled output's buffer is
        // larger than its place in the layout. The frame is widened to whole pixels.
        // The compositor's own position, as every peer's number, only within the bounds.
        if (!peerRectInRange(output.x, output.y, 1, 1))
            noPixels();
        ScreenRect logical{output.x, output.y, 0, 0};
        double scale = 1.0;
        for (const sway::Output& o : swayOutputs)
            if (o.name == output.name ||
                (output.name.empty() && o.rect.x == output.x && o.rect.y == output.y)) {
                logical = o.rect;
                scale = o.scale;
            }
        if (logical.width > 0)
            scale = double(screen.width) / logical.width;
        // Held within a range whose sums and differences fit an int; the screen clips anyway.
        const auto edge = [](double v) { return std::clamp(v, -double(1 << 29), double(1 << 29)); };
        const double left = edge(std::floor((frame->x - logical.x) * scale));
        const double top = edge(std::floor((frame->y - logical.y) * scale));
        const double right = edge(std::ceil((frame->x + frame->width - logical.x) * scale));
        const double bottom = edge(std::ceil((frame->y + frame->height - logical.y) * scale));
        const auto clipped =
            clipToScreen(ScreenRect{int(left), int(top), int(right - left), int(bottom - top)},
                         ScreenRect{0, 0, screen.width, screen.height});
        if (!clipped)
            throw KvrError(text::kNoWindow, {});
        // The window's pixels are a window of the screen's buffer: no copy.
        Picture window = screen;
        window.width = clipped->width;
        window.height = clipped->height;
        window.pixels = screen.row(clipped->y) + size_t(clipped->x) * (screen.bitsPerPixel / 8);
        return window;
    }

    std::string swaySocket_;
};

}  // namespace

std::unique_ptr<ScreenSource> makeWlrootsSource() {
    return std::make_unique<WlrootsSource>();
}

}  // namespace kvr
