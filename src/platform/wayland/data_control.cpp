#include "platform/wayland/data_control.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/wayland/wayland_dispatch.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace kvr::wayland {
namespace {

using namespace std::chrono_literals;

struct Server {
    const std::vector<uint8_t>* data = nullptr;
    std::string mimeType, uriList;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    zwlr_data_control_offer_v1* offer = nullptr;  // the current selection's, kept to be freed
    bool done = false;
};

void writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // the reader went away: its loss
        data += n;
        size -= size_t(n);
    }
}

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* s = static_cast<Server*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !s->seat)
        s->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
        s->manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry = {global, globalRemove};

void send(void* data, zwlr_data_control_source_v1*, const char* mimeType, int32_t fd) {
    const auto* s = static_cast<Server*>(data);
    // A reader's pipe: written whole, blocking, then closed (its end of file).
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (s->mimeType == mimeType)
        writeAll(fd, s->data->data(), s->data->size());
    else if (s->uriList.size() && std::strcmp(mimeType, "text/uri-list") == 0)
        writeAll(fd, reinterpret_cast<const uint8_t*>(s->uriList.data()), s->uriList.size());
    close(fd);
}
void cancelled(void* data, zwlr_data_control_source_v1*) {
    static_cast<Server*>(data)->done = true;  // another selection took ours' place
}
const zwlr_data_control_source_v1_listener kSource = {send, cancelled};

void dataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}
void selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    auto* s = static_cast<Server*>(data);
    if (s->offer && s->offer != offer)
        zwlr_data_control_offer_v1_destroy(s->offer);
    s->offer = offer;
}
void finished(void* data, zwlr_data_control_device_v1*) {
    static_cast<Server*>(data)->done = true;
}
void primarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}
const zwlr_data_control_device_v1_listener kDevice = {dataOffer, selection, finished,
                                                      primarySelection};

}  // namespace

int serveDataControl(const std::vector<uint8_t>& data, const char* mimeType,
                     const std::string& uriList, int readyFd) {
    signal(SIGPIPE, SIG_IGN);
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return 1;
    Server s;
    s.data = &data;
    s.mimeType = mimeType;
    s.uriList = uriList;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistry, &s);
    if (!roundtrip(display, 5s) || !s.seat) {
        wl_display_disconnect(display);
        return 1;
    }
    if (!s.manager) {
        const bool told = write(readyFd, &kClipboardNoProtocol, 1) == 1;
        wl_display_disconnect(display);
        return told ? 0 : 1;
    }
    zwlr_data_control_source_v1* source =
        zwlr_data_control_manager_v1_create_data_source(s.manager);
    zwlr_data_control_source_v1_add_listener(source, &kSource, &s);
    zwlr_data_control_source_v1_offer(source, mimeType);
    if (!uriList.empty())
        zwlr_data_control_source_v1_offer(source, "text/uri-list");
    zwlr_data_control_device_v1* device =
        zwlr_data_control_manager_v1_get_data_device(s.manager, s.seat);
    zwlr_data_control_device_v1_add_listener(device, &kDevice, &s);
    zwlr_data_control_device_v1_set_selection(device, source);
    if (!roundtrip(display, 5s) || s.done || write(readyFd, &kClipboardOwned, 1) != 1) {
        wl_display_disconnect(display);
        return 1;
    }
    close(readyFd);
    while (!s.done && wl_display_dispatch(display) >= 0) {
    }
    wl_display_disconnect(display);
    return 0;
}

}  // namespace kvr::wayland
