#include "xserver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kvr::test {
namespace {

pid_t spawn(const std::vector<std::string>& argv, const std::string& display, int keepFd = -1) {
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (!display.empty())
            setenv("DISPLAY", display.c_str(), 1);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        // A test that crashes or is killed must not leave its server running.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Keep the child out of the terminal's process group so a test's Ctrl-C reaches us only.
        setpgid(0, 0);
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keepFd)
                close(fd);
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t& pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

// openbox drops a map request that arrives while it is still starting up, so one probe is not
// enough: map a fresh one until openbox reparents it.
bool windowGetsManaged(Display* dpy) {
    for (int attempt = 0; attempt < 60; ++attempt) {
        Window probe = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 10, 10, 0, 0, 0);
        XSelectInput(dpy, probe, StructureNotifyMask);
        XMapWindow(dpy, probe);
        XFlush(dpy);
        bool reparented = false;
        XEvent event;
        for (int i = 0; i < 50 && !reparented; ++i) {
            reparented = XCheckTypedWindowEvent(dpy, probe, ReparentNotify, &event);
            if (!reparented)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
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
    stop(wmPid_);
    stop(serverPid_);
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
    serverPid_ =
        spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-dpi",
               std::to_string(options_.dpi), "-noreset", "-nolisten", "tcp", "-ac"},
              "", fds[1]);
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        stop(serverPid_);
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
    wmPid_ = spawn({"openbox", "--sm-disable"}, display_);
    // The window manager is up once it has announced itself on the root window.
    Display* dpy = XOpenDisplay(display_.c_str());
    if (!dpy)
        throw std::runtime_error("cannot open " + display_);
    Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    bool ready = false;
    for (int i = 0; i < 500 && !ready; ++i) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW, &type,
                               &format, &count, &after, &data) == Success &&
            count == 1)
            ready = true;
        if (data)
            XFree(data);
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Announced is not yet managing: openbox sets the property before it has loaded its
    // configuration and entered its event loop. A window it has reparented proves it is serving.
    if (ready)
        ready = windowGetsManaged(dpy);
    XCloseDisplay(dpy);
    if (!ready)
        throw std::runtime_error("openbox did not start on " + display_);
}

}  // namespace kvr::test
