#include "core/desktop.h"

#include "base/user_dirs.h"

namespace kvr {

std::string desktopFolder() {
    if (std::optional<std::string> found = userDir("XDG_DESKTOP_DIR"))
        return *found;
    const std::string home = homeFolder();
    return home == "/" ? "/Desktop" : home + "/Desktop";
}

}  // namespace kvr
