#include "platform/wayland/portal_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "base/texts.h"

namespace kvr {

namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

std::optional<std::string> localPathOfUri(const std::string& uri) {
    static const std::string kScheme = "file://";
    if (uri.compare(0, kScheme.size(), kScheme) != 0)
        return std::nullopt;
    std::string rest = uri.substr(kScheme.size());
    // "file://localhost/..." names this machine too; any other host does not.
    if (rest.compare(0, 9, "localhost") == 0)
        rest.erase(0, 9);
    if (rest.empty() || rest[0] != '/')
        return std::nullopt;
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%') {
            const int hi = i + 2 < rest.size() ? hexDigitValue(rest[i + 1]) : -1;
            const int lo = hi >= 0 ? hexDigitValue(rest[i + 2]) : -1;
            if (lo < 0)
                return std::nullopt;
            path += char(hi * 16 + lo);
            i += 2;
        } else if (rest[i] == '?' || rest[i] == '#') {
            return std::nullopt;
        } else {
            path += rest[i];
        }
    }
    if (path.find('\0') != std::string::npos)
        return std::nullopt;
    return path;
}

std::optional<std::vector<uint8_t>> takePortalFile(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (path.empty() || path[0] != '/' || slash == std::string::npos || slash + 1 == path.size())
        return std::nullopt;
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    const std::string base = path.substr(slash + 1);
    if (base == "." || base == "..")
        return std::nullopt;

    Fd dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0)
        return std::nullopt;
    // O_NOFOLLOW: a symbolic link in the file's place is refused (ELOOP), never followed.
    Fd file{::openat(dir.fd, base.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return std::nullopt;

    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(st.st_size));
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.fd, chunk, sizeof chunk);
        if (n > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            return std::nullopt;
        }
    }
    // Remove the name only while it still is the file just read.
    struct stat now {};
    if (::fstatat(dir.fd, base.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
        ::unlinkat(dir.fd, base.c_str(), 0);
    }
    return bytes;
}

}  // namespace kvr
