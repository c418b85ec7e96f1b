#include "sway_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace kvr::sway {
namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr size_t kMagicSize = 6;
constexpr size_t kHeaderSize = kMagicSize + 8;
// A tree of a few hundred windows is well under a megabyte; anything far larger is not sway.
constexpr uint32_t kMaxReply = 64u << 20;

// The whole exchange with sway, however its bytes trickle in: a stuck or slow compositor must
// not hold the shot up.
constexpr auto kExchangeLimit = std::chrono::seconds(3);

using Clock = std::chrono::steady_clock;

// Waits until fd is ready for `events`, within the deadline.
bool ready(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, int(left));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

bool writeAll(int fd, const char* data, size_t size, Clock::time_point deadline) {
    while (size > 0) {
        if (!ready(fd, POLLOUT, deadline))
            return false;
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool readAll(int fd, char* data, size_t size, Clock::time_point deadline) {
    while (size > 0) {
        if (!ready(fd, POLLIN, deadline))
            return false;
        const ssize_t n = read(fd, data, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

std::optional<std::string> request(const std::string& socketPath, unsigned type,
                                   std::string_view payload) {
    sockaddr_un addr{};
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path)
        return std::nullopt;
    const auto deadline = Clock::now() + kExchangeLimit;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return std::nullopt;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size());
    std::optional<std::string> reply;
    char header[kHeaderSize];
    std::memcpy(header, kMagic, kMagicSize);
    const uint32_t length = uint32_t(payload.size()), kind = type;
    std::memcpy(header + kMagicSize, &length, 4);
    std::memcpy(header + kMagicSize + 4, &kind, 4);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        writeAll(fd, header, kHeaderSize, deadline) &&
        writeAll(fd, payload.data(), payload.size(), deadline) &&
        readAll(fd, header, kHeaderSize, deadline) &&
        std::memcmp(header, kMagic, kMagicSize) == 0) {
        uint32_t size = 0, answerType = 0;
        std::memcpy(&size, header + kMagicSize, 4);
        std::memcpy(&answerType, header + kMagicSize + 4, 4);
        std::string answer(size <= kMaxReply ? size : 0, '\0');
        if (answerType == type && size <= kMaxReply && readAll(fd, answer.data(), size, deadline))
            reply = std::move(answer);
    }
    close(fd);
    return reply;
}

}  // namespace kvr::sway
