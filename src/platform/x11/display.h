#pragma once
// Our own Xlib connection (Qt keeps its separate xcb one). Kept between shots, since opening a
// connection and a shared-memory segment costs more than a grab; reopened when DISPLAY changes or
// the server went away. Everything is used from the one UI thread.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <signal.h>

#include <cstddef>
#include <memory>
#include <string>

namespace kvr::x11 {

// Frees what Xlib hands over (property data, window lists, screen tables).
struct XFreeDeleter {
    void operator()(void* p) const {
        if (p)
            XFree(p);
    }
};
template <typename T>
using XPtr = std::unique_ptr<T, XFreeDeleter>;

struct DisplayHandle {
    explicit DisplayHandle(Display* d) : display(d) {}
    ~DisplayHandle();
    DisplayHandle(const DisplayHandle&) = delete;
    DisplayHandle& operator=(const DisplayHandle&) = delete;

    Display* display;
    bool lost = false;  // the connection broke; Xlib calls on it now return at once
};

// A System V shared-memory segment attached to the server, for XShmGetImage.
class ShmSegment {
public:
    // Null when the server cannot attach it (no MIT-SHM, a remote display, no memory).
    static std::shared_ptr<ShmSegment> create(std::shared_ptr<DisplayHandle> display, size_t size);
    ~ShmSegment();
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;

    XShmSegmentInfo* info() { return &info_; }
    size_t size() const { return size_; }

private:
    ShmSegment() = default;
    std::shared_ptr<DisplayHandle> display_;
    XShmSegmentInfo info_{};
    size_t size_ = 0;
    bool attached_ = false;
};

struct Connection {
    std::shared_ptr<DisplayHandle> handle;
    std::shared_ptr<ShmSegment> segment;  // reused while it is big enough
    bool shmUsable = true;                // cleared once MIT-SHM failed on this connection
    Display* display() const { return handle->display; }
};

// The connection for the current DISPLAY; raises text::kNoResources when none can be opened.
Connection& connection();

// Catches X protocol errors and a broken connection on one display while it lives, so that
// neither ends the program (Xlib's default handlers exit, and a write to a closed socket would
// raise SIGPIPE). The previous handlers are put back afterwards.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to answer everything sent so far; true when no error came back.
    // After a call that waits for a reply, failed() alone is enough.
    bool sync();
    bool failed() const { return errors_ != 0; }
    void clear() { errors_ = 0; }

private:
    static int handle(Display* display, XErrorEvent* event);
    static int handleIo(Display* display);
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*) = nullptr;
    int (*previousIo_)(Display*) = nullptr;
    struct sigaction previousPipe_ {};
    XErrorTrap* outer_ = nullptr;
    int errors_ = 0;
};

}  // namespace kvr::x11
