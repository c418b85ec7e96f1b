#pragma once
// Pixels through the desktop portal (org.freedesktop.portal.Screenshot), the one way GNOME
// gives an ordinary program, and the way for compositors this program has no own way for. The
// portal writes a picture file of all monitors: it is read, removed, and cut to the primary
// monitor (kept whole for all monitors). The portal gives no active window: Active Form opens the
// desktop's own screenshot dialog, where the person picks it. Needs a QCoreApplication.
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "base/screen.h"
#include "base/screen_source.h"

namespace kvr {

// How long a grab waits for the portal's answer. A portal answers a non-interactive call within
// a second; 30 s also covers a backend that is slow to start (the portal itself gives up on a
// backend after D-Bus's 25 s). GNOME instead asks the user, once, whether programs may take
// screenshots, and answers only when they have decided; its portal gives up on an unanswered
// question after the same 25 s (GNOME 43 then never answers, GNOME 48 answers 2), while the
// question stays on screen and stores nothing its buttons give. The desktop's own screenshot
// dialog is the person's to use: that wait is long, and ends only for a portal that hangs or a
// person who left.
struct PortalWaits {
    std::chrono::milliseconds answer = std::chrono::seconds(30);
    std::chrono::milliseconds question = std::chrono::seconds(30);
    std::chrono::milliseconds pick = std::chrono::minutes(10);
};

std::unique_ptr<ScreenSource> makePortalSource(PortalWaits waits = {});

// The pixels of the primary monitor within a portal picture of the whole layout (monitors in
// logical coordinates; the picture may be at a higher scale). The whole picture for one monitor
// or none; nothing when the picture does not match the layout's shape.
std::optional<ScreenRect> primaryPixelsIn(int pictureWidth, int pictureHeight,
                                          const std::vector<MonitorInfo>& monitors);

}  // namespace kvr
