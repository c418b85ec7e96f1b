#pragma once
// Photo-like content for the benchmarks: smooth shading, shapes and grain, so the encoder works
// as it would on a real desktop picture.
#include <X11/Xlib.h>

namespace kvr::bench {

void paintRoot(Display* display);

}  // namespace kvr::bench
