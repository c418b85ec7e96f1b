#include "sway_ipc.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstring>

namespace kvr::sway {
namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr size_t kMagicSize = 6;
constexpr size_t kHeaderSize = kMagicSize + 8;
// A tree of a few hundred windows is well under a megabyte; anything far larger is not sway.
constexpr uint32_t kMaxReply = 64u << 20;

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool readAll(int fd, char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = read(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

QJsonDocument parse(std::string_view json) {
    return QJsonDocument::fromJson(QByteArray(json.data(), qsizetype(json.size())));
}

ScreenRect rectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    return {r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(),
            r.value("height").toInt()};
}

std::optional<QJsonObject> findFocused(const QJsonObject& node) {
    if (node.value("focused").toBool())
        return node;
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(children).toArray())
            if (auto found = findFocused(child.toObject()))
                return found;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> request(const std::string& socketPath, unsigned type) {
    sockaddr_un addr{};
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path)
        return std::nullopt;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    // A stuck compositor must not hang the shot.
    timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size());
    std::optional<std::string> reply;
    char header[kHeaderSize];
    std::memcpy(header, kMagic, kMagicSize);
    const uint32_t length = 0, kind = type;
    std::memcpy(header + kMagicSize, &length, 4);
    std::memcpy(header + kMagicSize + 4, &kind, 4);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        writeAll(fd, header, kHeaderSize) && readAll(fd, header, kHeaderSize) &&
        std::memcmp(header, kMagic, kMagicSize) == 0) {
        uint32_t size = 0, answerType = 0;
        std::memcpy(&size, header + kMagicSize, 4);
        std::memcpy(&answerType, header + kMagicSize + 4, 4);
        std::string payload(size <= kMaxReply ? size : 0, '\0');
        if (answerType == type && size <= kMaxReply && readAll(fd, payload.data(), size))
            reply = std::move(payload);
    }
    close(fd);
    return reply;
}

std::vector<Output> parseOutputs(std::string_view json) {
    std::vector<Output> outputs;
    for (const QJsonValue& value : parse(json).array()) {
        const QJsonObject o = value.toObject();
        if (!o.value("active").toBool())
            continue;
        Output out;
        out.name = o.value("name").toString().toStdString();
        out.rect = rectOf(o.value("rect"));
        out.scale = o.value("scale").toDouble(1.0);
        out.focused = o.value("focused").toBool();
        if (out.scale <= 0)
            out.scale = 1.0;
        outputs.push_back(out);
    }
    return outputs;
}

std::optional<ScreenRect> focusedWindowFrame(std::string_view json) {
    const QJsonObject root = parse(json).object();
    const std::optional<QJsonObject> focused = findFocused(root);
    if (!focused)
        return std::nullopt;
    const QString type = focused->value("type").toString();
    if (type != "con" && type != "floating_con")
        return std::nullopt;
    ScreenRect frame = rectOf(focused->value("rect"));
    const int title = rectOf(focused->value("deco_rect")).height;
    if (title > 0) {
        frame.y -= title;
        frame.height += title;
    }
    if (frame.width <= 0 || frame.height <= 0)
        return std::nullopt;
    return frame;
}

}  // namespace kvr::sway
