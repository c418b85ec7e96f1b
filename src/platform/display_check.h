#pragma once
// Whether the display the toolkit is about to open can be reached. The toolkit's own failure is
// an abort with advice about reinstalling, which is wrong; the program says what is wrong in one
// line instead and ends with status 1.
#include <optional>
#include <string>
#include <string_view>

#include "platform/session.h"

namespace kvr::platform {

// The line to print when the toolkit would start on X11 (by QT_QPA_PLATFORM, qpa here, or by
// the session) and the X display cannot be opened; nothing when all is well or when the toolkit
// goes to Wayland (or another platform), which reports for itself.
std::optional<std::string> unreachableDisplay(const Environment& env, std::string_view qpa);

}  // namespace kvr::platform
