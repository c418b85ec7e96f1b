#pragma once
// Pixels from an X server: the root window over the primary monitor or over the active window's
// frame, through the program's kept connection (MIT-SHM where the server offers it).
#include <memory>

#include "base/screen_source.h"

namespace kvr::x11 {

class X11ScreenSource final : public ScreenSource {
public:
    const char* name() const override { return "x11"; }
    bool supports(ShotMode) const override { return true; }
    // The pointer needs XFixes and a true-colour screen; the monitors come from RandR.
    const char* refusal(CaptureChoice choice) const override;
    std::vector<std::string> outputNames() override;
    std::vector<MonitorPlace> monitorPlaces() const override;
    std::vector<ScreenRect> windowFrames() override;
    std::optional<ScreenPoint> pointerInPicture() override;
    using ScreenSource::grab;
    Picture grab(const ShotRequest& request) override;
};

}  // namespace kvr::x11
