#pragma once
// Whether the display the toolkit is about to open can be reached. The toolkit's own failure is
// an abort with advice about reinstalling, which is wrong; the program says what is wrong in one
// line instead and ends with status 1.
#include <optional>
#include <string>
#include <string_view>

#include "platform/session.h"

namespace kvr::platform {

// The line to print when the display the toolkit will start on (by QT_QPA_PLATFORM, qpa here, or
// by the session: Wayland in a Wayland session, falling back to X11) cannot be reached; nothing
// when it can, or for platforms other than X11 and Wayland.
std::optional<std::string> unreachableDisplay(const Environment& env, std::string_view qpa);

}  // namespace kvr::platform
