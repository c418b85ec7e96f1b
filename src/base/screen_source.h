#pragma once
// Where the pixels of a shot come from. One source is chosen for the session at start-up (X11,
// a Wayland compositor's own way, the desktop portal); the core only sees this interface.
#include <optional>
#include <string>
#include <vector>

#include "base/picture.h"
#include "base/screen.h"

namespace kvr {

// Region is the whole desktop (every monitor) cut to a rectangle afterwards: sources are asked
// for AllScreen with every monitor, never for Region itself.
enum class ShotMode { ActiveWindow, AllScreen, Region };

// Which monitors a whole-screen shot covers.
enum class MonitorChoice { Primary, UnderPointer, All };

// The choices beyond the mode that a source may or may not be able to honour.
enum class CaptureChoice { MonitorUnderPointer, AllMonitors, NamedOutput, Pointer };

// Everything a source needs to know for one grab; travels with the call, never in globals.
struct ShotRequest {
    ShotMode mode = ShotMode::AllScreen;
    MonitorChoice monitor = MonitorChoice::Primary;  // whole screen only
    std::string output;    // a monitor by its output name; when set, monitor is not read
    bool pointer = false;  // the mouse pointer drawn into the picture
};

class ScreenSource {
public:
    virtual ~ScreenSource() = default;

    // A short name for messages and tests ("x11", "null", ...).
    virtual const char* name() const = 0;

    // Whether this source can give the pixels of that mode at all in this session.
    virtual bool supports(ShotMode mode) const = 0;

    // Why this source cannot honour a capture choice in this session (a fixed text of
    // base/texts.h, for the options dialog's tooltip), or nullptr when it can. A choice a source
    // cannot honour is shown disabled, never silently ignored.
    virtual const char* refusal(CaptureChoice) const { return nullptr; }

    // The names a request's output may take (the monitors' output names), so that a wrong name
    // is found before the countdown and the right ones listed; empty when the source cannot tell.
    virtual std::vector<std::string> outputNames() { return {}; }

    // Where each monitor lies in the picture of every monitor (its pixels), by output name, for
    // the region selection and the saved region's layout; empty when the source cannot tell.
    virtual std::vector<MonitorPlace> monitorPlaces() const { return {}; }

    // The frames of the windows on screen, topmost first, in the pixels of the picture of every
    // monitor: a click in the region selection takes the one under it. Empty when the session
    // gives no way to know.
    virtual std::vector<ScreenRect> windowFrames() { return {}; }

    // Where the mouse pointer is now, in the pixels of the picture of every monitor: finer than
    // a toolkit that rounds to its scaled pixels. Nothing when the session cannot tell.
    virtual std::optional<ScreenPoint> pointerInPicture() { return std::nullopt; }

    // Called before the countdown, while the program's window is still on screen: what the
    // desktop must ask the user before a grab is asked now, so the question is not in the
    // picture. Raises KvrError when the shot cannot go ahead. Most sources have nothing to ask.
    virtual void prepare(const ShotRequest&) {}

    // The pixels of the whole primary screen, or of the active window's frame clipped to the
    // primary screen. Raises KvrError with the user's message: text::kNoWindow when no window
    // qualifies, text::kNoResources when the display gives no pixels. The picture's pixels stay
    // valid at least until the next grab from the same source.
    virtual Picture grab(const ShotRequest& request) = 0;
    // The default request of that mode: the primary monitor, no pointer.
    Picture grab(ShotMode mode) {
        ShotRequest request;
        request.mode = mode;
        return grab(request);
    }
};

// The source of a session where none works (no display): every grab fails with kNoResources.
class NullScreenSource final : public ScreenSource {
public:
    const char* name() const override { return "null"; }
    bool supports(ShotMode) const override { return false; }
    using ScreenSource::grab;
    Picture grab(const ShotRequest& request) override;
};

}  // namespace kvr
