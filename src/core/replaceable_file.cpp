#include "core/replaceable_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "core/file_size_signal.h"

namespace kvr {

namespace {

[[noreturn]] void fail(const std::string& what, int error = errno) {
    throw std::system_error(error, std::generic_category(), what);
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The final file behind any chain of symbolic links; it may not exist yet.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT)
                return path;
            fail(path);
        }
        if (!S_ISLNK(st.st_mode))
            return path;
        std::string link(st.st_size > 0 ? st.st_size + 1 : 4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0)
            fail(path);
        link.resize(n);
        path = link.starts_with('/') ? link : folderOf(path) + "/" + link;
    }
    fail(path, ELOOP);
}

// Reads an open file to its end; false on a read error.
bool readAll(int fd, std::string& out) {
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        out.append(buffer, n);
    }
}

void writeAll(int fd, std::string_view data, const std::string& what) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(what);
        }
        if (n == 0)
            fail(what, EIO);
        data.remove_prefix(n);
    }
}

// A fresh name beside the target. O_EXCL keeps us off anyone else's file, and creating it with
// 0666 lets the umask decide the bits of a brand-new file as for any other file.
int createTemporary(const std::string& target, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "." + base + "." + std::to_string(::getpid()) + "." +
               std::to_string(counter++) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            fail(name);
    }
    fail(target, EEXIST);
}

}  // namespace

std::optional<std::string> readRegularFile(const std::string& path) {
    // O_NONBLOCK: a pipe put in the file's place must not hang the program.
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::string content;
    if (!readAll(fd.get(), content))
        return std::nullopt;
    return content;
}

ReplaceableFile::ReplaceableFile(const std::string& path) : target_(followLinks(path)) {
    Fd fd(::open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return;
        fail(target_);
    }
    exists_ = true;
    if (::fstat(fd.get(), &info_) != 0)
        fail(target_);
    if (!S_ISREG(info_.st_mode))
        fail(target_, S_ISDIR(info_.st_mode) ? EISDIR : EINVAL);
    if (::access(target_.c_str(), W_OK) != 0)
        fail(target_);
    // Not being able to read it must not turn into replacing it with our keys alone.
    if (!readAll(fd.get(), content_))
        fail(target_);
}

void ReplaceableFile::replace(std::string_view newContent) {
    ignoreFileSizeSignal();
    std::string temporary;
    Fd fd(createTemporary(target_, temporary));
    try {
        if (exists_) {
            if (::fchmod(fd.get(), info_.st_mode & 07777) != 0)
                fail(temporary);
            if (info_.st_uid != ::geteuid() || info_.st_gid != ::getegid()) {
                // Best effort: only root may give a file away, and a foreign group is often
                // not ours to set. The bits above are what matters to the user.
                [[maybe_unused]] const int ignored = ::fchown(fd.get(), info_.st_uid, info_.st_gid);
            }
        }
        writeAll(fd.get(), newContent, temporary);
        if (::fsync(fd.get()) != 0)
            fail(temporary);
        if (::close(fd.release()) != 0)
            fail(temporary);
        if (::rename(temporary.c_str(), target_.c_str()) != 0)
            fail(target_);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // The rename itself reaches the disk with the folder; a folder that cannot be synced is no
    // reason to report a failure, the data is already in place.
    Fd folder(::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
    exists_ = ::stat(target_.c_str(), &info_) == 0;
    content_.assign(newContent);
}

}  // namespace kvr
