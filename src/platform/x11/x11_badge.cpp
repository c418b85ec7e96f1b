#include "platform/x11/x11_badge.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "platform/x11/display.h"
#include "platform/x11/monitors.h"

namespace kvr::x11 {
namespace {

// Where a compositor's frame cannot be seen to come, this long is enough for any to show one.
constexpr auto kLongestFrameWait = std::chrono::milliseconds(600);
constexpr auto kFramePoll = std::chrono::milliseconds(8);
// Unchanged this long, the badge's place is done changing (compositors fade in steps of about
// 10 ms).
constexpr auto kSettled = std::chrono::milliseconds(50);

double serverDpi(Display* display) {
    const char* value = XGetDefault(display, "Xft", "dpi");
    return value ? std::atof(value) : 96;
}

class X11Badge final : public CountdownBadge {
public:
    X11Badge(Display* display, const ScreenRect& monitor, BadgeServer server)
        : display_(display),
          monitor_(monitor),
          digitHeight_(badgeDigitHeight(serverDpi(display))),
          xwayland_(server == BadgeServer::Xwayland) {
        for (const uint32_t rgb : {kBadgeEdge, kBadgeRing, kBadgeFill, kBadgeDigits})
            colours_.push_back(pixelOf(rgb));
    }
    ~X11Badge() override {
        if (window_)
            XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }

    void show(int seconds) override {
        XErrorTrap trap(display_);
        const BadgeShape shape = badgeShape(seconds, digitHeight_);
        const ScreenRect place = badgePlace(monitor_, shape);
        // GNOME (43) reads an Xwayland window's input shape when it is mapped and forgets it at
        // the window's next change of pixels, taking clicks from then on: there each number
        // comes in a window of its own, drawn before it is mapped.
        const Window previous = xwayland_ ? window_ : 0;
        if (!window_ || previous)
            create(place);
        else if (!(place == place_))
            XMoveResizeWindow(display_, window_, place.x, place.y, unsigned(place.width),
                              unsigned(place.height));
        place_ = place;
        draw(shape);
        // Raised at every tick: a window mapped since would cover it.
        XMapRaised(display_, window_);
        if (previous)
            XDestroyWindow(display_, previous);
        mapped_ = trap.sync();
    }

    void remove() override {
        if (!window_ || !mapped_)
            return;
        XErrorTrap trap(display_);
        XUnmapWindow(display_, window_);
        XSync(display_, False);
        mapped_ = false;
        if (!xwayland_) {
            waitForFrameWithout();
            return;
        }
        // The compositor's frames cannot be seen from here: long enough for any to show one,
        // whatever signal comes in between.
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        const long wait = long(std::chrono::nanoseconds(kLongestFrameWait).count());
        until.tv_sec += (until.tv_nsec + wait) / 1000000000L;
        until.tv_nsec = (until.tv_nsec + wait) % 1000000000L;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }

private:
    unsigned long pixelOf(uint32_t rgb) {
        XColor colour{};
        colour.red = uint16_t(((rgb >> 16) & 0xff) * 257);
        colour.green = uint16_t(((rgb >> 8) & 0xff) * 257);
        colour.blue = uint16_t((rgb & 0xff) * 257);
        colour.flags = DoRed | DoGreen | DoBlue;
        return XAllocColor(display_, DefaultColormap(display_, DefaultScreen(display_)), &colour)
                   ? colour.pixel
                   : (rgb == kBadgeFill || rgb == kBadgeEdge
                          ? BlackPixel(display_, DefaultScreen(display_))
                          : WhitePixel(display_, DefaultScreen(display_)));
    }

    void create(const ScreenRect& place) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = colours_[0];
        attributes.save_under = True;
        window_ = XCreateWindow(display_, DefaultRootWindow(display_), place.x, place.y,
                                unsigned(place.width), unsigned(place.height), 0, CopyFromParent,
                                InputOutput, CopyFromParent,
                                CWOverrideRedirect | CWBackPixel | CWSaveUnder, &attributes);
        // No input region: clicks and the pointer go to what lies below.
        XShapeCombineRectangles(display_, window_, ShapeInput, 0, 0, nullptr, 0, ShapeSet,
                                Unsorted);
        XClassHint hint{const_cast<char*>("kvr-countdown"), const_cast<char*>("Kelvoro")};
        XSetClassHint(display_, window_, &hint);
        XStoreName(display_, window_, "kvr-countdown");
        const Atom type = XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False);
        const Atom notification = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_NOTIFICATION", False);
        XChangeProperty(display_, window_, type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&notification), 1);
        // No compositor shadow: it would linger round the box after it goes.
        const long noShadow = 0;
        XChangeProperty(display_, window_, XInternAtom(display_, "_COMPTON_SHADOW", False),
                        XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&noShadow), 1);
    }

    void draw(const BadgeShape& shape) {
        const Pixmap pixmap =
            XCreatePixmap(display_, window_, unsigned(shape.width), unsigned(shape.height),
                          unsigned(DefaultDepth(display_, DefaultScreen(display_))));
        const GC gc = XCreateGC(display_, pixmap, 0, nullptr);
        const auto fill = [&](unsigned long pixel, const ScreenRect& r) {
            XSetForeground(display_, gc, pixel);
            XFillRectangle(display_, pixmap, gc, r.x, r.y, unsigned(r.width), unsigned(r.height));
        };
        fill(colours_[0], {0, 0, shape.width, shape.height});
        fill(colours_[1], shape.ring);
        fill(colours_[2], shape.fill);
        for (const ScreenRect& segment : shape.digits)
            fill(colours_[3], segment);
        XFreeGC(display_, gc);
        XSetWindowBackgroundPixmap(display_, window_, pixmap);
        XClearWindow(display_, window_);
        drawn_ = pixels(pixmap, {0, 0, shape.width, shape.height});
        XFreePixmap(display_, pixmap);
    }

    // The pixel values of a rectangle of a drawable; empty when the server refuses.
    std::vector<unsigned long> pixels(Drawable drawable, const ScreenRect& r) {
        std::vector<unsigned long> values;
        XImage* image = XGetImage(display_, drawable, r.x, r.y, unsigned(r.width),
                                  unsigned(r.height), AllPlanes, ZPixmap);
        if (!image)
            return values;
        values.reserve(size_t(r.width) * size_t(r.height));
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                values.push_back(XGetPixel(image, x, y));
        XDestroyImage(image);
        return values;
    }

    // The screen itself says when the badge is gone: its place shows other pixels than the
    // badge's, and the same for a while (a compositor fading it out changes them every few
    // milliseconds). That also covers windows below that repaint late, compositor or not.
    void waitForFrameWithout() {
        using Clock = std::chrono::steady_clock;
        const auto until = Clock::now() + kLongestFrameWait;
        std::vector<unsigned long> settled;
        Clock::time_point settledSince;
        while (Clock::now() < until) {
            std::vector<unsigned long> now = pixels(DefaultRootWindow(display_), place_);
            if (now.empty() || now == drawn_ || now != settled) {
                settled = now.empty() || now == drawn_ ? std::vector<unsigned long>() : now;
                settledSince = Clock::now();
            } else if (Clock::now() - settledSince >= kSettled) {
                return;
            }
            const timespec pause{0, long(std::chrono::nanoseconds(kFramePoll).count())};
            nanosleep(&pause, nullptr);
        }
    }

    Display* display_;
    ScreenRect monitor_;
    int digitHeight_;
    std::vector<unsigned long> colours_;  // edge, ring, fill, digits
    Window window_ = 0;
    ScreenRect place_{};
    std::vector<unsigned long> drawn_;
    bool mapped_ = false;
    const bool xwayland_;  // its root shows nothing of the screen
};

}  // namespace

std::unique_ptr<CountdownBadge> makeX11Badge(const ShotRequest& request, BadgeServer server) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    int event = 0, error = 0;
    if (!XShapeQueryExtension(display, &event, &error)) {
        XCloseDisplay(display);  // it would take the clicks meant for what lies below
        return nullptr;
    }
    ShotRequest where = request;
    where.pointer = false;
    if (server == BadgeServer::Xwayland) {
        // The compositor's primary monitor, as it tells Xwayland; the names are Xwayland's own.
        where.mode = ShotMode::AllScreen;
        where.monitor = MonitorChoice::Primary;
        where.output.clear();
    } else if (where.mode != ShotMode::AllScreen || where.monitor == MonitorChoice::All) {
        where.mode = ShotMode::AllScreen;
        where.monitor = MonitorChoice::UnderPointer;
        where.output.clear();
    }
    ScreenRect monitor = rootRect(display);
    {
        XErrorTrap trap(display);
        try {
            monitor = wholeScreenArea(display, where);
        } catch (...) {
            // A monitor gone since: the badge stays on the whole screen's corner.
        }
    }
    return std::make_unique<X11Badge>(display, monitor, server);
}

}  // namespace kvr::x11
