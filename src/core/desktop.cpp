#include "core/desktop.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace kvr {

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

namespace {

std::string stripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// One line of user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop" (a shell assignment; only the
// quoted forms "$HOME/..." and "/absolute" are valid there).
bool parseDesktopLine(const std::string& line, const std::string& home, std::string& out) {
    size_t pos = line.find_first_not_of(" \t");
    if (pos == std::string::npos || line.compare(pos, 16, "XDG_DESKTOP_DIR=") != 0)
        return false;
    std::string value = line.substr(pos + 16);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
        value.pop_back();
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return false;
    value = value.substr(1, value.size() - 2);
    std::string unescaped;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size())
            ++i;
        unescaped += value[i];
    }
    if (unescaped.rfind("$HOME", 0) == 0)
        unescaped = home + unescaped.substr(5);
    else if (unescaped.empty() || unescaped.front() != '/')
        return false;
    // "$HOME/" alone means the home folder itself, as the XDG tools read it.
    out = stripTrailingSlashes(unescaped);
    return true;
}

}  // namespace

std::string desktopFolder() {
    const std::string home = stripTrailingSlashes(homeFolder());
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && xdg[0] == '/')
        config = xdg;
    else
        config = home + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line, found;
    while (std::getline(in, line)) {
        std::string value;
        if (parseDesktopLine(line, home, value))
            found = value;
    }
    if (!found.empty())
        return found;
    return home == "/" ? "/Desktop" : home + "/Desktop";
}

}  // namespace kvr
