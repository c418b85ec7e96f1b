#pragma once
// The first step of a shot: the pixels of the primary screen or of the window in front.
#include <optional>

#include "core/capture.h"
#include "core/picture.h"
#include "platform/monitors.h"

namespace kvr {

extern const char* const kNoWindowMessage;  // "Windowの取得に失敗しました"

// The part of a window (root coordinates, frame included) that lies on the screen: a window off
// the left or top edge loses that strip, one off the right or bottom edge is cut at the edge.
// The screen's top-left is the origin of the arithmetic. Nothing when under 1 pixel remains.
std::optional<platform::ScreenRect> clipToScreen(const platform::ScreenRect& window,
                                                 const platform::ScreenRect& screen);

// Raises kNoWindowMessage when no window qualifies (or none of it is on the screen), and
// "システム リソースが足りません" when the display gives no pixels. The picture's pixels stay
// valid until the next grab.
Picture grab(ShotMode mode);

}  // namespace kvr
