#pragma once
#include <string>

namespace kvr {

// The user's desktop folder: XDG_DESKTOP_DIR from user-dirs.dirs in $XDG_CONFIG_HOME (default
// ~/.config), else $HOME/Desktop. No trailing "/".
std::string desktopFolder();

// The user's home folder: $HOME, else the password database.
std::string homeFolder();

}  // namespace kvr
