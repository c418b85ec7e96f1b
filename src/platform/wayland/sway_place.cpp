#include "platform/wayland/sway_place.h"

#include "platform/wayland/replies/json_reader.h"
#include "platform/wayland/sway_ipc.h"

namespace kvr::sway {
namespace {

constexpr unsigned kRunCommand = 0;
constexpr int kMaxDepth = 64;

ScreenRect rectOf(json_object* r) {
    return {int(json::integerOf(r, "x")), int(json::integerOf(r, "y")),
            int(json::integerOf(r, "width")), int(json::integerOf(r, "height"))};
}

std::optional<PlacedWindow> find(json_object* node, pid_t pid,
                                 const std::optional<ScreenRect>& size, int depth) {
    if (depth > kMaxDepth)
        return std::nullopt;
    if (json::stringOf(node, "type") == "floating_con" && json::integerOf(node, "pid") == pid &&
        json::boolOf(node, "visible")) {
        PlacedWindow w;
        w.id = json::integerOf(node, "id");
        w.frame = rectOf(json::member(node, "rect"));
        // `rect` starts below the title bar.
        const int title = rectOf(json::member(node, "deco_rect")).height;
        if (title > 0) {
            w.frame.y -= title;
            w.frame.height += title;
        }
        if (!size || (size->width == w.frame.width && size->height == w.frame.height))
            return w;
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        json_object* list = json::member(node, children);
        for (size_t i = 0, n = json::lengthOf(list); i < n; ++i)
            if (auto found = find(json_object_array_get_idx(list, i), pid, size, depth + 1))
                return found;
    }
    return std::nullopt;
}

}  // namespace

std::optional<PlacedWindow> floatingWindowOf(std::string_view treeJson, pid_t pid,
                                             std::optional<ScreenRect> size) {
    const json::Value tree = json::parse(treeJson, 2 * kMaxDepth + 8);
    return find(tree.get(), pid, size, 0);
}

bool moveWindow(const std::string& socketPath, long long id, int x, int y) {
    const std::string command = "[con_id=" + std::to_string(id) + "] move absolute position " +
                                std::to_string(x) + " " + std::to_string(y);
    const auto reply = request(socketPath, kRunCommand, command);
    if (!reply)
        return false;
    const json::Value results = json::parse(*reply, 8);
    return json::lengthOf(results.get()) > 0 &&
           json::boolOf(json_object_array_get_idx(results.get(), 0), "success");
}

}  // namespace kvr::sway
