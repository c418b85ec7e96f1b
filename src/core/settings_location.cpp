#include "core/settings_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "base/user_dirs.h"

namespace kvr {

namespace {

// The XDG base-directory rules ignore a relative value; so do we, and so for HOME.
bool isAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path == "/" ? "" : path;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

SettingsLocation settingsLocation(const SettingsPlaceFacts& facts) {
    const std::string beside = facts.programFolder + "/kvr.ini";
    if (facts.inBuildTree || facts.iniBesideProgram)
        return {beside, false};
    if (isAbsolute(facts.xdgConfigHome))
        return {withoutTrailingSlashes(facts.xdgConfigHome) + "/kelvoro/kvr.ini", true};
    if (isAbsolute(facts.home))
        return {withoutTrailingSlashes(facts.home) + "/.config/kelvoro/kvr.ini", true};
    // No home to speak of (a bare service account): the program's folder is all we know; a
    // refused write there still names the path.
    return {beside, false};
}

SettingsPlaceFacts currentSettingsPlaceFacts(const std::string& programFolder) {
    SettingsPlaceFacts facts;
    facts.programFolder = programFolder;
    struct stat info {};
    // Any entry named kvr.ini counts: the user put it there on purpose, even as a link.
    facts.iniBesideProgram = ::lstat((programFolder + "/kvr.ini").c_str(), &info) == 0;
    facts.inBuildTree = ::stat((programFolder + "/" + kBuildTreeMarker).c_str(), &info) == 0 &&
                        S_ISREG(info.st_mode);
    facts.xdgConfigHome = environment("XDG_CONFIG_HOME");
    facts.home = environment("HOME");
    if (!isAbsolute(facts.home))
        facts.home = accountHome();
    return facts;
}

void createSettingsFolder(const std::string& iniPath) {
    const auto slash = iniPath.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return;
    const std::string folder = iniPath.substr(0, slash);
    // Each level from the top: an existing one (a link to a folder is fine) is left as it is.
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        struct stat info {};
        if (::stat(part.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                throw std::system_error(ENOTDIR, std::generic_category(), part);
        } else if (errno != ENOENT || (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)) {
            throw std::system_error(errno, std::generic_category(), part);
        }
        if (end == std::string::npos)
            break;
    }
}

}  // namespace kvr
