#include "platform/x11/display.h"

#include <poll.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include <cstdlib>

#include "base/error.h"

namespace kvr::x11 {

namespace {

XErrorTrap* activeTrap = nullptr;

// Xlib would exit the process when the server goes away; we only mark the connection as lost.
void onConnectionLost(Display*, void* data) {
    static_cast<DisplayHandle*>(data)->lost = true;
}

struct Cache {
    std::string name;  // DISPLAY when the connection was opened
    Connection connection;
};

// Never destroyed: at exit the server detaches the segment and drops the connection by itself,
// and the kernel frees the segment (it is marked for removal); tearing them down here would only
// add round trips to the end of every run.
Cache& cache() {
    static Cache* c = new Cache;
    return *c;
}

// The server may have gone away without our noticing: a closed socket reads as end of file.
// Looks at the socket only, so it costs no round trip.
bool serverGone(Display* dpy) {
    pollfd p{ConnectionNumber(dpy), POLLIN, 0};
    if (poll(&p, 1, 0) <= 0)
        return false;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
        return true;
    char byte;
    return (p.revents & POLLIN) && recv(p.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

}  // namespace

DisplayHandle::~DisplayHandle() {
    if (!display)
        return;
    XErrorTrap trap(display);
    XCloseDisplay(display);
}

std::shared_ptr<ShmSegment> ShmSegment::create(std::shared_ptr<DisplayHandle> display,
                                               size_t size) {
    Display* dpy = display->display;
    if (!XShmQueryExtension(dpy))
        return nullptr;
    std::shared_ptr<ShmSegment> s(new ShmSegment);
    s->display_ = std::move(display);
    s->size_ = size;
    s->info_.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (s->info_.shmid < 0)
        return nullptr;
    void* address = shmat(s->info_.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(s->info_.shmid, IPC_RMID, nullptr);
        return nullptr;
    }
    s->info_.shmaddr = static_cast<char*>(address);
#ifdef MADV_POPULATE_WRITE
    // One call that maps every page now is far cheaper than a page fault per 4 KiB on the first
    // grab (about 2000 of them for 1920x1080). Where the kernel cannot, the faults happen anyway.
    madvise(address, size, MADV_POPULATE_WRITE);
#endif
    s->info_.readOnly = False;
    XErrorTrap trap(dpy);
    s->attached_ = XShmAttach(dpy, &s->info_) != 0;
    const bool ok = trap.sync() && s->attached_;
    // Once the server holds it, the segment can be marked for removal: it goes when both detach.
    shmctl(s->info_.shmid, IPC_RMID, nullptr);
    if (!ok)
        return nullptr;
    return s;
}

ShmSegment::~ShmSegment() {
    if (attached_ && display_ && !display_->lost) {
        XErrorTrap trap(display_->display);
        XShmDetach(display_->display, &info_);
        trap.sync();
    }
    if (info_.shmaddr)
        shmdt(info_.shmaddr);
}

Connection& connection() {
    Cache& c = cache();
    const char* env = std::getenv("DISPLAY");
    const std::string name = env ? env : "";
    if (c.connection.handle && !c.connection.handle->lost && serverGone(c.connection.display()))
        c.connection.handle->lost = true;
    if (c.connection.handle && !c.connection.handle->lost && c.name == name)
        return c.connection;
    c.connection.segment.reset();  // detaches while the display is still open
    c.connection = Connection{};
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        throw KvrError(text::kNoResources, {});
    c.connection.handle = std::make_shared<DisplayHandle>(dpy);
    XSetIOErrorExitHandler(dpy, onConnectionLost, c.connection.handle.get());
    c.name = name;
    return c.connection;
}

XErrorTrap::XErrorTrap(Display* display) : display_(display), outer_(activeTrap) {
    previous_ = XSetErrorHandler(handle);
    previousIo_ = XSetIOErrorHandler(handleIo);
    if (!outer_) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &previousPipe_);
    }
    activeTrap = this;
}

XErrorTrap::~XErrorTrap() {
    activeTrap = outer_;
    if (!outer_)
        sigaction(SIGPIPE, &previousPipe_, nullptr);
    XSetIOErrorHandler(previousIo_);
    XSetErrorHandler(previous_);
}

int XErrorTrap::handleIo(Display* display) {
    for (XErrorTrap* t = activeTrap; t; t = t->outer_) {
        if (t->display_ == display) {
            ++t->errors_;
            return 0;  // the exit handler of the connection then marks it lost
        }
    }
    XErrorTrap* outermost = activeTrap;
    while (outermost && outermost->outer_)
        outermost = outermost->outer_;
    if (outermost && outermost->previousIo_)
        return outermost->previousIo_(display);
    return 0;
}

bool XErrorTrap::sync() {
    XSync(display_, False);
    return errors_ == 0;
}

int XErrorTrap::handle(Display* display, XErrorEvent* event) {
    for (XErrorTrap* t = activeTrap; t; t = t->outer_) {
        if (t->display_ == display) {
            ++t->errors_;
            return 0;
        }
    }
    // Another Xlib user's display: its own handler decides.
    XErrorTrap* outermost = activeTrap;
    while (outermost && outermost->outer_)
        outermost = outermost->outer_;
    if (outermost && outermost->previous_)
        return outermost->previous_(display, event);
    return 0;
}

}  // namespace kvr::x11
