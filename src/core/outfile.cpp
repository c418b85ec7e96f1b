#include "core/outfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/error.h"

namespace kvr {

const char* const kWriteErrorMessage = "ストリームへの書き込みエラー";

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
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        const int code = errno;
        throw KvrError("ファイル \"" + fullPath(path) + "\". " + reasonText(code) +
                       " を作成できません");
    }
}

OutputFile::~OutputFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

void OutputFile::writeAll(const void* data, size_t size) {
    if (size == 0)
        return;
    ssize_t n;
    do {
        n = ::write(fd_, data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0 || size_t(n) != size)
        throw KvrError(kWriteErrorMessage);
}

}  // namespace kvr
