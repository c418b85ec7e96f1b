// A pointer for a headless wlroots session, whose seat has none: moves to a point of the layout
// and clicks the left button there.
//
//     kvr_test_pointer X Y WIDTH HEIGHT
//
// X and Y are layout pixels of the WIDTH x HEIGHT layout. The device lives until the click is
// done; clients bind the new pointer first, so it waits a moment before moving.
#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

wl_seat* seat = nullptr;
zwlr_virtual_pointer_manager_v1* manager = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry = {global, globalRemove};

uint32_t now() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s X Y WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const uint32_t x = std::strtoul(argv[1], nullptr, 10), y = std::strtoul(argv[2], nullptr, 10);
    const uint32_t w = std::strtoul(argv[3], nullptr, 10), h = std::strtoul(argv[4], nullptr, 10);
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "no Wayland display\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistry, nullptr);
    wl_display_roundtrip(display);
    if (!manager) {
        std::fprintf(stderr, "the compositor offers no virtual pointer\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);
    using namespace std::chrono_literals;
    std::this_thread::sleep_for(1s);
    zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), x, y, w, h);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(300ms);
    for (const uint32_t state :
         {WL_POINTER_BUTTON_STATE_PRESSED, WL_POINTER_BUTTON_STATE_RELEASED}) {
        zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT, state);
        zwlr_virtual_pointer_v1_frame(pointer);
        wl_display_roundtrip(display);
        std::this_thread::sleep_for(100ms);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(manager);
    if (seat)
        wl_seat_destroy(seat);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
