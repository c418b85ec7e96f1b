#include "xserver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "polling.h"

namespace kvr::test {
namespace {

// openbox drops a map request that arrives while it is still starting up, so one probe is not
// enough: map a fresh one until openbox reparents it.
bool windowGetsManaged(Display* dpy) {
    using std::chrono::milliseconds;
    for (int attempt = 0; attempt < 60; ++attempt) {
        Window probe = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 10, 10, 0, 0, 0);
        XSelectInput(dpy, probe, StructureNotifyMask);
        XMapWindow(dpy, probe);
        XFlush(dpy);
        XEvent event;
        const bool reparented = pollUntil(
            milliseconds(250),
            [&] { return bool(XCheckTypedWindowEvent(dpy, probe, ReparentNotify, &event)); },
            milliseconds(5));
        XDestroyWindow(dpy, probe);
        XSync(dpy, True);
        if (reparented)
            return true;
    }
    return false;
}

}  // namespace

XServer::XServer() : XServer(Options{}) {}

XServer::XServer(Options options) : options_(options) {
    startServer();
    if (options_.windowManager)
        startWindowManager();
}

XServer::~XServer() {
    windowManager_.reset();
    server_.reset();
}

void XServer::exportDisplay() const {
    setenv("DISPLAY", display_.c_str(), 1);
}

void XServer::startServer() {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    std::string screen = std::to_string(options_.width) + "x" + std::to_string(options_.height) +
                         "x" + std::to_string(options_.depth);
    // -noreset: without it the server resets when its last client leaves and later grabs see a
    // blank screen.
    server_.emplace(
        Command{{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-dpi",
                 std::to_string(options_.dpi), "-noreset", "-nolisten", "tcp", "-ac"},
                {},
                {},
                fds[1]});
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        server_.reset();
        throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    }
    display_ = ":" + number;
    announceDpi();
}

void XServer::announceDpi() {
    // Desktops publish their scale in the resource database (what xrdb -merge does); the toolkit
    // reads Xft.dpi from there when it connects.
    Display* dpy = XOpenDisplay(display_.c_str());
    if (!dpy)
        throw std::runtime_error("cannot open " + display_);
    const std::string resources = "Xft.dpi:\t" + std::to_string(options_.dpi) + "\n";
    XChangeProperty(dpy, DefaultRootWindow(dpy), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()),
                    int(resources.size()));
    XSync(dpy, False);
    XCloseDisplay(dpy);
}

void XServer::startWindowManager() {
    std::vector<std::string> argv = {"openbox", "--sm-disable"};
    if (options_.kind == WindowManagerKind::Metacity)
        argv = {"metacity", "--sm-disable", "--composite"};
    else if (options_.kind == WindowManagerKind::I3)
        argv = {"i3", "-c", "/dev/null"};  // no configuration: no first-run wizard either
    windowManager_.emplace(Command{argv, {"DISPLAY=" + display_}});
    // The window manager is up once it has announced itself on the root window.
    Display* dpy = XOpenDisplay(display_.c_str());
    if (!dpy)
        throw std::runtime_error("cannot open " + display_);
    Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    bool ready = pollUntil(std::chrono::seconds(5), [&] {
        bool announced = false;
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW, &type,
                               &format, &count, &after, &data) == Success &&
            count == 1)
            announced = true;
        if (data)
            XFree(data);
        return announced;
    });
    // Announced is not yet managing: openbox sets the property before it has loaded its
    // configuration and entered its event loop. A window it has reparented proves it is serving.
    if (ready)
        ready = windowGetsManaged(dpy);
    XCloseDisplay(dpy);
    if (!ready)
        throw std::runtime_error("openbox did not start on " + display_);
}

}  // namespace kvr::test
