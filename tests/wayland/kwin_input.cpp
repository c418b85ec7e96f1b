// Input for a headless KWin, which has no devices: KWin's own fake-input protocol, served only to
// a program whose desktop entry names it (the tests install one).
//
//   kvr_kwin_input ACTION...
//     key:CODE     press and release an evdev key code (1 Esc, 28 Enter, 103/105/106/108 arrows)
//     hold:CODE    press only;  release:CODE  release only
//     down:X,Y     move to X,Y (the layout's logical pixels) and press the left button
//     move:X,Y     move only;   up  release the left button
//     sleep:MS     wait MS milliseconds
// Exits 1 with a message when KWin offers no fake input to this program.
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "fake-input-client-protocol.h"

namespace {

org_kde_kwin_fake_input* fake = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fake = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kListener = {global, globalRemove};

constexpr uint32_t kLeftButton = 0x110;

}  // namespace

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "kvr_kwin_input: no Wayland display\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kListener, nullptr);
    wl_display_roundtrip(display);
    if (!fake) {
        std::fprintf(stderr, "kvr_kwin_input: KWin offers no fake input (version 4) to us\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fake, "kvr tests", "input for a headless session");
    for (int i = 1; i < argc; ++i) {
        const std::string action = argv[i];
        const std::string value = action.substr(action.find(':') + 1);
        int x = 0, y = 0;
        const bool at = std::sscanf(value.c_str(), "%d,%d", &x, &y) == 2;
        if (at)
            org_kde_kwin_fake_input_pointer_motion_absolute(fake, wl_fixed_from_int(x),
                                                            wl_fixed_from_int(y));
        if (action.starts_with("key:") || action.starts_with("hold:"))
            org_kde_kwin_fake_input_keyboard_key(fake, uint32_t(std::stoul(value)), 1);
        if (action.starts_with("key:") || action.starts_with("release:"))
            org_kde_kwin_fake_input_keyboard_key(fake, uint32_t(std::stoul(value)), 0);
        if (action.starts_with("down:"))
            org_kde_kwin_fake_input_button(fake, kLeftButton, 1);
        if (action == "up")
            org_kde_kwin_fake_input_button(fake, kLeftButton, 0);
        if (action.starts_with("sleep:"))
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(value)));
        if (wl_display_roundtrip(display) < 0) {
            std::fprintf(stderr, "kvr_kwin_input: KWin closed the connection at %s\n", argv[i]);
            return 1;
        }
        // Each event its own moment, as a person's keys come.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    org_kde_kwin_fake_input_destroy(fake);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
