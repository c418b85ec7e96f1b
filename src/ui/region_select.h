#pragma once
// The region selection: the picture taken when the countdown ended, shown over every monitor
// and dimmed outside the rectangle the person drags. Everything is counted in the picture's
// pixels, so on a 1.5x or 2x monitor each edge sits on a whole pixel of the file.
#include <functional>
#include <optional>
#include <vector>

#include "base/picture.h"
#include "base/screen.h"

namespace kvr {

// Shows the selection and waits for its end (its own event loop): the chosen rectangle in the
// picture's pixels, or nothing when the person cancelled (Esc, a right click). On X11 the
// windows bypass the window manager and grab the keyboard and the pointer while they are up.
// pointer: where the pointer is in picture pixels, when the session can say (see
// ScreenSource::pointerInPicture).
std::optional<ScreenRect> selectRegion(
    const Picture& picture, const std::vector<MonitorPlace>& monitors,
    const std::vector<ScreenRect>& frames,
    const std::function<std::optional<ScreenPoint>()>& pointer = {});

// Geometry of one step of the selection, pure so it can be tested without a display.
namespace region {

enum Edge { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8 };

// The rectangle between two picture pixels, both included.
ScreenRect spanning(int x0, int y0, int x1, int y1);
// Kept within the picture, at least 1 by 1; a move keeps the size.
ScreenRect keptInside(ScreenRect r, int width, int height, bool move);
// The rectangle with the edges named by `edges` moved by (dx, dy), never turned inside out.
ScreenRect resized(ScreenRect r, int edges, int dx, int dy);

}  // namespace region
}  // namespace kvr
