#include "platform/x11/clipboard_owner.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <list>

namespace kvr::x11 {
namespace {

// A picture larger than one request goes in pieces, each sent when the requestor has read
// (deleted) the last.
struct Transfer {
    Window requestor;
    Atom property, type;
    const std::vector<uint8_t>* data;
    size_t offset = 0;
};

// A requestor may destroy its window at any time, even before we answer: the error that follows
// is its loss, never the end of the clipboard.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

int serveClipboard(const std::vector<ClipboardItem>& items, const std::string& uri, int readyFd) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return 1;
    XSetErrorHandler(ignoreError);
    const Window owner = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(dpy, owner, PropertyChangeMask);
    const Atom clipboard = XInternAtom(dpy, "CLIPBOARD", False);
    const Atom targets = XInternAtom(dpy, "TARGETS", False);
    const Atom incr = XInternAtom(dpy, "INCR", False);
    const Atom uriList = XInternAtom(dpy, "text/uri-list", False);
    std::vector<Atom> offered{targets};
    for (const ClipboardItem& item : items)
        offered.push_back(XInternAtom(dpy, item.mimeType.c_str(), False));
    if (!uri.empty())
        offered.push_back(uriList);

    // A timestamp for the ownership: a zero-length property change on our own window.
    XChangeProperty(dpy, owner, XA_WM_NAME, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(dpy, owner, PropertyChangeMask, &event);
    const Time since = event.xproperty.time;
    XSetSelectionOwner(dpy, clipboard, owner, since);
    if (XGetSelectionOwner(dpy, clipboard) != owner)
        return 1;
    if (write(readyFd, &kClipboardOwned, 1) != 1)
        return 1;
    close(readyFd);

    const long maxRequest = std::max(XExtendedMaxRequestSize(dpy), XMaxRequestSize(dpy));
    const size_t chunk = size_t(std::min(maxRequest * 4 - 1024, 1L << 20));
    std::list<Transfer> transfers;
    for (;;) {
        XNextEvent(dpy, &event);
        if (event.type == SelectionClear && event.xselectionclear.selection == clipboard) {
            // Someone else's now; finish nothing more.
            XCloseDisplay(dpy);
            return 0;
        }
        if (event.type == DestroyNotify) {
            // A requestor gone in the middle of a transfer: it reads no more pieces.
            transfers.remove_if(
                [&](const Transfer& t) { return t.requestor == event.xdestroywindow.window; });
            continue;
        }
        if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete) {
            // The requestor read a piece: the next one, and an empty one to end.
            for (auto t = transfers.begin(); t != transfers.end(); ++t) {
                if (t->requestor != event.xproperty.window || t->property != event.xproperty.atom)
                    continue;
                const size_t n = std::min(chunk, t->data->size() - t->offset);
                XChangeProperty(dpy, t->requestor, t->property, t->type, 8, PropModeReplace,
                                t->data->data() + t->offset, int(n));
                t->offset += n;
                if (n == 0) {
                    XSelectInput(dpy, t->requestor, NoEventMask);
                    transfers.erase(t);
                }
                break;
            }
            continue;
        }
        if (event.type != SelectionRequest)
            continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        const std::vector<uint8_t>* data = nullptr;
        for (size_t i = 0; i < items.size(); ++i)
            if (request.target == offered[i + 1])
                data = &items[i].bytes;
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.display = dpy;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        // Old clients leave the property unset: the target names it then.
        reply.property = request.property ? request.property : request.target;
        if (request.selection != clipboard ||
            (request.time != CurrentTime && request.time < since)) {
            reply.property = None;
        } else if (request.target == targets) {
            XChangeProperty(dpy, request.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(offered.data()), int(offered.size()));
        } else if (request.target == uriList && !uri.empty()) {
            XChangeProperty(dpy, request.requestor, reply.property, uriList, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(uri.data()), int(uri.size()));
        } else if (data && data->size() <= chunk) {
            XChangeProperty(dpy, request.requestor, reply.property, request.target, 8,
                            PropModeReplace, data->data(), int(data->size()));
        } else if (data) {
            XSelectInput(dpy, request.requestor, PropertyChangeMask | StructureNotifyMask);
            const long size = long(data->size());
            XChangeProperty(dpy, request.requestor, reply.property, incr, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&size), 1);
            transfers.push_back({request.requestor, reply.property, request.target, data});
        } else {
            reply.property = None;
        }
        XSendEvent(dpy, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
        XFlush(dpy);
    }
}

}  // namespace kvr::x11
