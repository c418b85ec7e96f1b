#include "platform/wayland/data_control.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/wayland/wayland_dispatch.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace kvr::wayland {
namespace {

using namespace std::chrono_literals;

// How long a reader may take nothing before it is dropped: one that never reads holds no more
// than this.
constexpr auto kReaderPatience = 10s;

// A reader's pipe, written as it takes the bytes.
struct Reader {
    int fd;
    const uint8_t* data;
    size_t left;
    std::chrono::steady_clock::time_point deadline;
};

struct Server {
    const std::vector<ClipboardItem>* items = nullptr;
    std::string uriList;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    zwlr_data_control_offer_v1* offer = nullptr;  // the current selection's, kept to be freed
    std::vector<Reader> readers;
    bool done = false;
};

// As much as the reader's pipe takes now; false once it is done with (all written, or gone).
bool writeSome(Reader& r) {
    while (r.left > 0) {
        const ssize_t n = write(r.fd, r.data, r.left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return true;
        if (n <= 0)
            return false;  // the reader went away: its loss
        r.data += n;
        r.left -= size_t(n);
        r.deadline = std::chrono::steady_clock::now() + kReaderPatience;
    }
    return false;
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
    auto* s = static_cast<Server*>(data);
    // Written alongside the other readers and the compositor's events, closed at the end (the
    // reader's end of file).
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    Reader r{fd, nullptr, 0, std::chrono::steady_clock::now() + kReaderPatience};
    for (const ClipboardItem& item : *s->items)
        if (item.mimeType == mimeType) {
            r.data = item.bytes.data();
            r.left = item.bytes.size();
        }
    if (s->uriList.size() && std::strcmp(mimeType, "text/uri-list") == 0) {
        r.data = reinterpret_cast<const uint8_t*>(s->uriList.data());
        r.left = s->uriList.size();
    }
    s->readers.push_back(r);
}

// Serves until another selection takes ours' place or the connection breaks; the readers still
// being written are then left (the new owner is what they want now).
void serve(wl_display* display, Server& s) {
    std::vector<pollfd> polled;
    while (!s.done) {
        while (wl_display_prepare_read(display) != 0)
            if (wl_display_dispatch_pending(display) < 0)
                return;
        if (s.done) {
            wl_display_cancel_read(display);
            return;
        }
        wl_display_flush(display);
        polled.assign(1, {wl_display_get_fd(display), POLLIN, 0});
        auto wake = std::chrono::steady_clock::time_point::max();
        for (const Reader& r : s.readers) {
            polled.push_back({r.fd, POLLOUT, 0});
            wake = std::min(wake, r.deadline);
        }
        int timeout = -1;
        if (!s.readers.empty())
            timeout = int(std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(
                                                   wake - std::chrono::steady_clock::now())
                                                   .count()));
        if (poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) {
            wl_display_cancel_read(display);
            return;
        }
        if (polled[0].revents & POLLIN) {
            if (wl_display_read_events(display) < 0)
                return;
        } else {
            wl_display_cancel_read(display);
            if (polled[0].revents & (POLLERR | POLLHUP))
                return;
        }
        // The readers are the ones polled: only a dispatch adds more.
        const auto now = std::chrono::steady_clock::now();
        size_t kept = 0;
        for (size_t i = 0; i < s.readers.size(); ++i) {
            Reader& r = s.readers[i];
            const bool ready = polled[i + 1].revents != 0;
            if ((!ready || writeSome(r)) && now < r.deadline)
                s.readers[kept++] = r;
            else
                close(r.fd);
        }
        s.readers.resize(kept);
        if (wl_display_dispatch_pending(display) < 0)
            return;
    }
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

int serveDataControl(const std::vector<ClipboardItem>& items, const std::string& uriList,
                     int readyFd) {
    signal(SIGPIPE, SIG_IGN);
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return 1;
    Server s;
    s.items = &items;
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
    for (const ClipboardItem& item : items)
        zwlr_data_control_source_v1_offer(source, item.mimeType.c_str());
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
    serve(display, s);
    wl_display_disconnect(display);
    return 0;
}

}  // namespace kvr::wayland
