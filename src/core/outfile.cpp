#include "core/outfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

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

OutputFile::OutputFile(const std::string& path) {
    ignoreFileSizeSignal();
    // O_NOFOLLOW: a link left in the output folder must not send the picture somewhere else.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd_ < 0) {
        const int code = errno;
        throw KvrError(text::kCannotCreateFile, {fullPath(path), reasonText(code)});
    }
}

OutputFile::~OutputFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

void OutputFile::writeAll(const void* data, size_t size) {
    // One logical write, in as many calls as the kernel needs: Linux moves at most 0x7ffff000
    // bytes a call, and a signal may cut a call short.
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw KvrError(text::kWriteError, {});
        bytes += n;
        size -= size_t(n);
    }
}

void OutputFile::close() {
    const int fd = fd_;
    fd_ = -1;
    // Some file systems report a failed write only here. No retry: the descriptor is gone.
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
        throw KvrError(text::kWriteError, {});
}

}  // namespace kvr
