#pragma once
// Pixels from a wlroots compositor (sway and others) through wlr-screencopy-unstable-v1 and
// shared-memory buffers. The whole screen is one output: sway's first active output in its own
// order (what Qt and Xwayland call the primary one), else the first the compositor announces.
// The active window comes from sway's IPC; on other wlroots compositors it is not available.
#include <memory>

#include "base/screen_source.h"

namespace kvr {

std::unique_ptr<ScreenSource> makeWlrootsSource();

}  // namespace kvr
