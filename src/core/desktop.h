#pragma once
#include <string>

namespace kvr {

// The user's desktop folder: XDG_DESKTOP_DIR from user-dirs.dirs in $XDG_CONFIG_HOME (default
// ~/.config), else $HOME/Desktop (a relative HOME is ignored). No trailing "/".
std::string desktopFolder();

}  // namespace kvr
