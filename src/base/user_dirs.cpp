#include "base/user_dirs.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace kvr {

namespace {

// A user-dirs.dirs is a few hundred bytes; anything far larger is not one.
constexpr size_t kMaxUserDirsFile = 1 << 20;

std::string stripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The whole file when it is a regular file of sensible size. O_NONBLOCK: opening a FIFO would
// otherwise wait for a writer.
std::optional<std::string> readSmallRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> result;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && size_t(st.st_size) <= kMaxUserDirsFile) {
        std::string content;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n > 0 && content.size() + size_t(n) <= kMaxUserDirsFile) {
                content.append(chunk, size_t(n));
            } else if (n == 0) {
                result = std::move(content);
                break;
            } else if (n > 0 || errno != EINTR) {
                break;
            }
        }
    }
    ::close(fd);
    return result;
}

// One line of user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop" (a shell assignment; only the
// quoted forms "$HOME/..." and "/absolute" are valid there).
bool parseLine(const std::string& line, const std::string& key, const std::string& home,
               std::string& out) {
    const size_t pos = line.find_first_not_of(" \t");
    const std::string lead = key + "=";
    if (pos == std::string::npos || line.compare(pos, lead.size(), lead) != 0)
        return false;
    std::string value = line.substr(pos + lead.size());
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
        unescaped = (home == "/" ? "" : home) + unescaped.substr(5);
    if (unescaped.empty() || unescaped.front() != '/')
        return false;
    // "$HOME/" alone means the home folder itself, as the XDG tools read it.
    out = stripTrailingSlashes(unescaped);
    return true;
}

}  // namespace

std::string accountHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return "";
    return found->pw_dir;
}

std::string homeFolder() {
    std::string home;
    if (const char* value = std::getenv("HOME"); value && value[0] == '/')
        home = value;
    else
        home = accountHome();
    if (home.empty() || home[0] != '/')
        return "/";
    return stripTrailingSlashes(home);
}

std::optional<std::string> userDir(const std::string& key) {
    const std::string home = homeFolder();
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        config = xdg;
    else
        config = (home == "/" ? "" : home) + "/.config";
    const std::optional<std::string> text = readSmallRegularFile(config + "/user-dirs.dirs");
    if (!text)
        return std::nullopt;
    std::optional<std::string> found;
    size_t start = 0;
    while (start < text->size()) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos)
            end = text->size();
        std::string value;
        if (parseLine(text->substr(start, end - start), key, home, value))
            found = value;
        start = end + 1;
    }
    return found;
}

}  // namespace kvr
