#pragma once
// Where the pixels of a shot come from. One source is chosen for the session at start-up (X11,
// a Wayland compositor's own way, the desktop portal); the core only sees this interface.
#include "base/picture.h"

namespace kvr {

enum class ShotMode { ActiveWindow, AllScreen };

class ScreenSource {
public:
    virtual ~ScreenSource() = default;

    // A short name for messages and tests ("x11", "null", ...).
    virtual const char* name() const = 0;

    // Whether this source can give the pixels of that mode at all in this session.
    virtual bool supports(ShotMode mode) const = 0;

    // The pixels of the whole primary screen, or of the active window's frame clipped to the
    // primary screen. Raises KvrError with the user's message: text::kNoWindow when no window
    // qualifies, text::kNoResources when the display gives no pixels. The picture's pixels stay
    // valid at least until the next grab from the same source.
    virtual Picture grab(ShotMode mode) = 0;
};

// The source of a session where none works (no display): every grab fails with kNoResources.
class NullScreenSource final : public ScreenSource {
public:
    const char* name() const override { return "null"; }
    bool supports(ShotMode) const override { return false; }
    Picture grab(ShotMode mode) override;
};

}  // namespace kvr
