#include "platform/wayland/portal_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <vector>

#include "base/peer_limits.h"
#include "base/user_dirs.h"

namespace kvr {

namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

// The folder an open descriptor leads to, links resolved; empty when unknown.
std::string realPathOf(int fd) {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
    return ec ? std::string() : path.string();
}

std::string realPathOf(const std::string& path) {
    Fd dir{::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    return dir.fd < 0 ? std::string() : realPathOf(dir.fd);
}

// Portals save in the user's pictures folder (GNOME in a folder within it) or the temporary
// folder. `folder` is a resolved path.
bool isPortalPlace(const std::string& folder) {
    const std::string pictures =
        realPathOf(userDir("XDG_PICTURES_DIR").value_or(homeFolder() + "/Pictures"));
    if (!pictures.empty() && pictures != "/" &&
        (folder == pictures || folder.starts_with(pictures + "/")))
        return true;
    const char* tmpdir = std::getenv("TMPDIR");
    for (const std::string& temp :
         {std::string(tmpdir && tmpdir[0] == '/' ? tmpdir : ""), std::string("/tmp")}) {
        if (!temp.empty() && folder == realPathOf(temp))
            return true;
    }
    return false;
}

bool later(const statx_timestamp& t, const timespec& began) {
    return t.tv_sec > began.tv_sec || (t.tv_sec == began.tv_sec && t.tv_nsec > began.tv_nsec);
}

// Made after the request began: its birth time where the file system keeps one, else its last
// change (a file made before and merely touched since still counts as old by its birth).
bool madeAfter(int fd, const timespec& began) {
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME | STATX_CTIME, &sx) != 0)
        return false;
    if (sx.stx_mask & STATX_BTIME)
        return later(sx.stx_btime, began);
    return later(sx.stx_mtime, began) && later(sx.stx_ctime, began);
}

std::optional<std::vector<uint8_t>> readAll(int fd, uint64_t size) {
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(size));
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            // A file that grows while it is read is held to the same cap.
            if (bytes.size() + size_t(n) > kMaxPeerPictureBytes)
                return std::nullopt;
            bytes.insert(bytes.end(), chunk, chunk + n);
        } else if (n == 0) {
            return bytes;
        } else if (errno != EINTR) {
            return std::nullopt;
        }
    }
}

}  // namespace

timespec portalRequestBegins() {
    // The fine clock: a file stamp is never ahead of it (the kernel stamps from a coarser clock,
    // or from this one), so a file made before carries an earlier time.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

std::optional<QImage> takePortalPicture(const std::string& path, const timespec& began) try {
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
    // O_NONBLOCK: a FIFO there must not hold the program up.
    Fd file{::openat(dir.fd, base.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        uint64_t(st.st_size) > kMaxPeerPictureBytes)
        return std::nullopt;
    // Whether it is this request's picture is judged before reading: the read itself changes
    // nothing that counts, and the file may be replaced meanwhile (checked below).
    const bool portalsOwn = madeAfter(file.fd, began) && isPortalPlace(realPathOf(dir.fd));

    const std::optional<std::vector<uint8_t>> bytes = readAll(file.fd, uint64_t(st.st_size));
    if (!bytes || bytes->size() > size_t(INT32_MAX))
        return std::nullopt;
    QImage image = QImage::fromData(bytes->data(), int(bytes->size()));
    if (image.isNull())
        return std::nullopt;
    // Remove the name only while it still is the file just read.
    struct stat now {};
    if (portalsOwn && ::fstatat(dir.fd, base.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
        ::unlinkat(dir.fd, base.c_str(), 0);
    }
    return image;
} catch (const std::exception&) {
    // Out of memory for the file or its picture: no picture, and the file stays.
    return std::nullopt;
}

}  // namespace kvr
