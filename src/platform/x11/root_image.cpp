#include "platform/x11/root_image.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

#include "base/error.h"

namespace kvr::x11 {

namespace {

struct ImageDeleter {
    void operator()(XImage* image) const {
        if (image)
            XDestroyImage(image);
    }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;

// XShmGetImage into the kept segment, made anew when it is too small. Null when it fails; a
// segment the server cannot attach (no MIT-SHM, a remote display) turns MIT-SHM off for good.
ImagePtr shmImage(Connection& c, Visual* visual, int depth, const ScreenRect& r) {
    Display* dpy = c.display();
    XShmSegmentInfo probe{};
    ImagePtr image(XShmCreateImage(dpy, visual, unsigned(depth), ZPixmap, nullptr, &probe,
                                   unsigned(r.width), unsigned(r.height)));
    if (!image)
        return nullptr;
    const size_t needed = size_t(image->bytes_per_line) * size_t(r.height);
    if (!c.segment || c.segment->size() < needed) {
        c.segment.reset();
        c.segment = ShmSegment::create(c.handle, needed);
        if (!c.segment) {
            c.shmUsable = false;
            return nullptr;
        }
    }
    image->obdata = reinterpret_cast<char*>(c.segment->info());
    image->data = c.segment->info()->shmaddr;
    XErrorTrap trap(dpy);
    const bool ok = XShmGetImage(dpy, DefaultRootWindow(dpy), image.get(), r.x, r.y, AllPlanes);
    if (!ok || trap.failed()) {
        image->data = nullptr;
        return nullptr;
    }
    return image;
}

// A 1-bit image whose bit order differs from its byte order, rewritten pixel by pixel in the
// plain layout (leftmost pixel in the top bit). Rare enough for XGetPixel.
Picture normalisedBits(XImage* image) {
    Picture p;
    p.width = image->width;
    p.height = image->height;
    p.bitsPerPixel = 1;
    p.bitOrder = ByteOrder::MsbFirst;
    p.stride = (size_t(p.width) + 7) / 8;
    auto buffer = std::make_shared<std::vector<uint8_t>>(p.stride * size_t(p.height));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (XGetPixel(image, x, y) & 1)
                (*buffer)[y * p.stride + x / 8] |= uint8_t(0x80 >> (x % 8));
    p.pixels = buffer->data();
    p.owner = buffer;
    return p;
}

std::vector<PaletteEntry> colourTable(Display* dpy, Visual* visual, int bitsPerPixel) {
    const int entries = std::min(visual->map_entries, 1 << bitsPerPixel);
    std::vector<XColor> colours(size_t(entries > 0 ? entries : 0));
    for (int i = 0; i < entries; ++i)
        colours[i].pixel = (unsigned long)i;
    XErrorTrap trap(dpy);
    XQueryColors(dpy, DefaultColormap(dpy, DefaultScreen(dpy)), colours.data(), entries);
    // Without the colours the picture cannot be written faithfully: no all-black table.
    if (trap.failed())
        throw KvrError(text::kNoResources, {});
    std::vector<PaletteEntry> table;
    for (const XColor& c : colours)
        table.push_back({uint8_t(c.red >> 8), uint8_t(c.green >> 8), uint8_t(c.blue >> 8)});
    return table;
}

}  // namespace

Picture readRootImage(Connection& c, const ScreenRect& r) {
    Display* dpy = c.display();
    const int screen = DefaultScreen(dpy);
    Visual* visual = DefaultVisual(dpy, screen);
    const int depth = DefaultDepth(dpy, screen);

    ImagePtr image;
    bool shared = false;
    if (c.shmUsable) {
        image = shmImage(c, visual, depth, r);
        shared = image != nullptr;
    }
    if (!image) {
        XErrorTrap trap(dpy);
        image.reset(XGetImage(dpy, DefaultRootWindow(dpy), r.x, r.y, unsigned(r.width),
                              unsigned(r.height), AllPlanes, ZPixmap));
        if (trap.failed() && image)
            image.reset();
    }
    if (!image || c.handle->lost)
        throw KvrError(text::kNoResources, {});

    Picture p;
    const int bpp = image->bits_per_pixel;
    // The files know 1, 4, 8, 16, 24 and 32 bits per pixel; anything else is refused, not
    // written as garbage.
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        if (shared)
            image->data = nullptr;
        throw KvrError(text::kNoResources, {});
    }
    const bool mixedBits =
        bpp == 1 && image->bitmap_unit > 8 && image->byte_order != image->bitmap_bit_order;
    if (mixedBits) {
        p = normalisedBits(image.get());
    } else {
        p.width = image->width;
        p.height = image->height;
        p.bitsPerPixel = bpp;
        p.stride = size_t(image->bytes_per_line);
        p.pixels = reinterpret_cast<const uint8_t*>(image->data);
        // X puts 4-bit pixels in a byte in the image byte order, 1-bit ones in the bit order.
        const int order = bpp == 1 ? image->bitmap_bit_order : image->byte_order;
        p.bitOrder = order == MSBFirst ? ByteOrder::MsbFirst : ByteOrder::LsbFirst;
    }
    p.byteOrder = image->byte_order == MSBFirst ? ByteOrder::MsbFirst : ByteOrder::LsbFirst;
    p.redMask = uint32_t(visual->red_mask);
    p.greenMask = uint32_t(visual->green_mask);
    p.blueMask = uint32_t(visual->blue_mask);
    // The screen's size in millimetres comes with the connection: no round trip.
    if (const int mm = DisplayWidthMM(dpy, screen); mm > 0)
        p.dotsPerInch = DisplayWidth(dpy, screen) * 25.4 / mm;
    if (bpp <= 8 && visual->c_class != TrueColor) {
        try {
            p.palette = colourTable(dpy, visual, bpp);
        } catch (...) {
            if (shared)
                image->data = nullptr;  // the kept segment is not the image's to free
            throw;
        }
    }

    if (shared) {
        // The pixels stay in the kept segment; only the image header is dropped.
        image->data = nullptr;
        if (!mixedBits)
            p.owner = c.segment;
    } else if (!mixedBits) {
        p.owner = std::shared_ptr<XImage>(image.release(), ImageDeleter{});
    }
    return p;
}

}  // namespace kvr::x11
