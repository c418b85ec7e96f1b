#pragma once
// Pixels through the desktop portal (org.freedesktop.portal.Screenshot), the one way GNOME
// gives an ordinary program, and the way for compositors this program has no own way for. The
// portal writes a picture file of all monitors: it is read, removed, and cut to the primary
// monitor. The portal gives no active window. Needs a QCoreApplication in the process.
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "base/screen.h"
#include "base/screen_source.h"

namespace kvr {

// How long a grab waits for the portal's answer. GNOME asks the user once whether programs may
// take screenshots and answers only when they have decided: a minute is ample to read and answer
// one yes/no question, while a portal that hangs does not keep the program waiting for good.
inline constexpr std::chrono::milliseconds kPortalAnswerLimit = std::chrono::seconds(60);

std::unique_ptr<ScreenSource> makePortalSource(
    std::chrono::milliseconds answerLimit = kPortalAnswerLimit);

// The pixels of the primary monitor within a portal picture of the whole layout (monitors in
// logical coordinates; the picture may be at a higher scale). The whole picture for one monitor
// or none; nothing when the picture does not match the layout's shape.
std::optional<ScreenRect> primaryPixelsIn(int pictureWidth, int pictureHeight,
                                          const std::vector<MonitorInfo>& monitors);

}  // namespace kvr
