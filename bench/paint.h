#pragma once
// Photo-like content for the benchmarks: smooth shading, shapes and grain, so the encoder works
// as it would on a real desktop picture.
#include <X11/Xlib.h>

namespace kvr::bench {

// The photo-like picture, or with plain a plain desktop, as the root window's background.
void paintRoot(Display* display, bool plain = false);

}  // namespace kvr::bench
