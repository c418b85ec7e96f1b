#include "core/outfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "base/error.h"
#include "core/file_size_signal.h"

namespace kvr {

std::string fullPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec)
        p = path;
    return p.lexically_normal().string();
}

std::string reasonText(int code) {
    std::string text = std::strerror(code);
    if (text.size() > 256)
        text.resize(256);
    while (!text.empty()) {
        const unsigned char c = text.back();
        if (c > ' ' && c != '.' && c != 0x7f)
            break;
        text.pop_back();
    }
    return text;
}

const char* usualReason(int code) {
    switch (code) {
        case EACCES:
            return text::kReasonAccess;
        case EROFS:
            return text::kReasonReadOnly;
        case ENOSPC:
            return text::kReasonNoSpace;
        case EDQUOT:
            return text::kReasonQuota;
        case EFBIG:
            return text::kReasonTooLarge;
        case ENOENT:
            return text::kReasonNoFolder;
        case ENOTDIR:
            return text::kReasonNotFolder;
        case EISDIR:
            return text::kReasonIsFolder;
        case ENAMETOOLONG:
            return text::kReasonNameTooLong;
        case EEXIST:
            return text::kReasonExists;
        case ELOOP:  // what O_NOFOLLOW gives for a link in the file's place
            return text::kReasonSymbolicLink;
        default:
            return nullptr;
    }
}

namespace {

KvrError fileError(const char* text, const std::string& path, int code) {
    if (const char* reason = usualReason(code))
        return KvrError(text, {fullPath(path)}, reason);
    return KvrError(text, {fullPath(path), reasonText(code)});
}

}  // namespace

KvrError fileCreateError(const std::string& path, int code) {
    return fileError(text::kCannotCreateFile, path, code);
}

KvrError fileWriteError(const std::string& path, int code) {
    return fileError(text::kWriteError, path, code);
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
    ignoreFileSizeSignal();
    // O_NOFOLLOW: a link left in the output folder must not send the picture somewhere else.
    // O_NONBLOCK: a pipe with no reader would otherwise hold the shot in open for ever (it fails
    // with ENXIO instead); it changes nothing for a regular file.
    const int flags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    // Made here, or else an existing file emptied: only a file made here is removed on failure.
    fd_ = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    created_ = fd_ >= 0;
    if (fd_ < 0 && errno == EEXIST)
        fd_ = ::open(path.c_str(), flags | O_TRUNC);
    if (fd_ < 0)
        throw fileCreateError(path, errno);
    // Only a regular file is a picture file: a pipe with a reader, or a device, is refused.
    struct stat st;
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw KvrError(text::kCannotCreateFile, {fullPath(path)}, text::kNotRegularFile);
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    // Blocking writes from here on, whatever the file system makes of the flag.
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

OutputFile::OutputFile(std::string path, int fd) : path_(std::move(path)), fd_(fd), created_(true) {
    ignoreFileSizeSignal();
    struct stat st;
    if (fstat(fd_, &st) == 0) {
        device_ = st.st_dev;
        inode_ = st.st_ino;
    }
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      device_(other.device_),
      inode_(other.inode_),
      created_(other.created_) {}

OutputFile::~OutputFile() {
    if (fd_ >= 0 && created_)
        discard();
    else if (fd_ >= 0)
        ::close(fd_);
}

void OutputFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    // Only while the name still leads to the file we wrote: whatever took its place stays.
    struct stat st;
    if (lstat(path_.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_)
        ::unlink(path_.c_str());
}

void OutputFile::abandon() {
    if (created_) {
        discard();
    } else if (fd_ >= 0) {
        // Nothing to report on failure: the writer's own error is what the user hears.
        const int emptied = ::ftruncate(fd_, 0);
        (void)emptied;
        ::close(fd_);
        fd_ = -1;
    }
}

int writeFully(int fd, const void* data, size_t size) {
    // One logical write, in as many calls as the kernel needs: Linux moves at most 0x7ffff000
    // bytes a call, and a signal may cut a call short.
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        bytes += n;
        size -= size_t(n);
    }
    return 0;
}

void OutputFile::writeAll(const void* data, size_t size) {
    if (const int code = writeFully(fd_, data, size)) {
        discard();
        throw fileWriteError(path_, code);
    }
}

void DescriptorSink::writeAll(const void* data, size_t size) {
    if (const int code = writeFully(fd_, data, size)) {
        if (const char* reason = usualReason(code))
            throw KvrError(text::kStdoutWriteError, {}, reason);
        throw KvrError(text::kStdoutWriteError, {reasonText(code)});
    }
}

void OutputFile::close() {
    const int fd = fd_;
    fd_ = -1;
    // Some file systems report a failed write only here. No retry: the descriptor is gone.
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) {
        const int code = errno;
        discard();
        throw fileWriteError(path_, code);
    }
}

}  // namespace kvr
