#include "sway_ipc.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <json-c/json_tokener.h>

#include <cstdint>
#include <cstring>
#include <memory>

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

// A parsed reply, freed with its last reference.
struct JsonFree {
    void operator()(json_object* o) const { json_object_put(o); }
};
using Json = std::unique_ptr<json_object, JsonFree>;

Json parse(std::string_view json) {
    json_tokener* tokener = json_tokener_new_ex(JSON_TOKENER_DEFAULT_DEPTH);
    if (!tokener)
        return nullptr;
    Json root(json_tokener_parse_ex(tokener, json.data(), int(json.size())));
    json_tokener_free(tokener);
    return root;
}

json_object* member(json_object* o, const char* key) {
    json_object* value = nullptr;
    return json_object_is_type(o, json_type_object) && json_object_object_get_ex(o, key, &value)
               ? value
               : nullptr;
}

int intOf(json_object* o, const char* key) {
    json_object* v = member(o, key);
    return json_object_is_type(v, json_type_int) ? json_object_get_int(v) : 0;
}

bool boolOf(json_object* o, const char* key) {
    json_object* v = member(o, key);
    return json_object_is_type(v, json_type_boolean) && json_object_get_boolean(v);
}

std::string stringOf(json_object* o, const char* key) {
    json_object* v = member(o, key);
    return json_object_is_type(v, json_type_string) ? json_object_get_string(v) : "";
}

ScreenRect rectOf(json_object* r) {
    return {intOf(r, "x"), intOf(r, "y"), intOf(r, "width"), intOf(r, "height")};
}

json_object* findFocused(json_object* node) {
    if (boolOf(node, "focused"))
        return node;
    for (const char* children : {"nodes", "floating_nodes"}) {
        json_object* list = member(node, children);
        if (!json_object_is_type(list, json_type_array))
            continue;
        for (size_t i = 0, n = json_object_array_length(list); i < n; ++i)
            if (json_object* found = findFocused(json_object_array_get_idx(list, i)))
                return found;
    }
    return nullptr;
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
    const Json root = parse(json);
    if (!json_object_is_type(root.get(), json_type_array))
        return outputs;
    for (size_t i = 0, n = json_object_array_length(root.get()); i < n; ++i) {
        json_object* o = json_object_array_get_idx(root.get(), i);
        if (!boolOf(o, "active"))
            continue;
        Output out;
        out.name = stringOf(o, "name");
        out.rect = rectOf(member(o, "rect"));
        json_object* scale = member(o, "scale");
        out.scale = json_object_is_type(scale, json_type_double) ||
                            json_object_is_type(scale, json_type_int)
                        ? json_object_get_double(scale)
                        : 1.0;
        out.focused = boolOf(o, "focused");
        if (out.scale <= 0)
            out.scale = 1.0;
        outputs.push_back(out);
    }
    return outputs;
}

std::optional<ScreenRect> focusedWindowFrame(std::string_view json) {
    const Json root = parse(json);
    json_object* focused = findFocused(root.get());
    if (!focused)
        return std::nullopt;
    const std::string type = stringOf(focused, "type");
    if (type != "con" && type != "floating_con")
        return std::nullopt;
    ScreenRect frame = rectOf(member(focused, "rect"));
    const int title = rectOf(member(focused, "deco_rect")).height;
    if (title > 0) {
        frame.y -= title;
        frame.height += title;
    }
    if (frame.width <= 0 || frame.height <= 0)
        return std::nullopt;
    return frame;
}

}  // namespace kvr::sway
