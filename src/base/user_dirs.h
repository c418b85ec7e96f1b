#pragma once
// The user's home and the folders named in user-dirs.dirs (the desktop, the pictures folder).
#include <optional>
#include <string>

namespace kvr {

// The account's home folder from the user database; empty when it is not known.
std::string accountHome();

// The user's home folder: $HOME when it is absolute (a relative one is ignored, as the XDG rules
// say), else the account's; "/" when neither is known. No trailing "/" except for "/" itself.
std::string homeFolder();

// The folder that user-dirs.dirs (in $XDG_CONFIG_HOME, default ~/.config) names for key, such as
// "XDG_DESKTOP_DIR": the last valid line wins. Nothing when the file or the line is missing, or
// the file is not a regular file (a pipe there must not hold the program up).
std::optional<std::string> userDir(const std::string& key);

}  // namespace kvr
