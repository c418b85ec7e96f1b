#include "platform/wayland/replies/sway_reply.h"

#include <cmath>
#include <cstdint>

#include "base/peer_limits.h"
#include "platform/wayland/replies/json_reader.h"

namespace kvr::sway {
namespace {

// Sway nests a window a few levels deep; a reply nested far deeper is not a tree of windows,
// and walking it would only use up the stack.
constexpr int kMaxDepth = 64;
// Each level of the tree is an object and its array of children; the parser refuses anything
// deeper than the walk would go.
constexpr int kMaxJsonDepth = 2 * kMaxDepth + 8;

using json::boolOf;
using json::member;
using json::stringOf;

// A whole number within [lo, hi]; fractions, 1e300 and numbers beyond 64 bits are refused here
// rather than converted.
std::optional<int> wholeIn(json_object* value, int64_t lo, int64_t hi) {
    double d = 0;
    if (json_object_is_type(value, json_type_int)) {
        const int64_t i = json_object_get_int64(value);
        if (i < lo || i > hi)
            return std::nullopt;
        return int(i);
    }
    if (!json_object_is_type(value, json_type_double))
        return std::nullopt;
    d = json_object_get_double(value);
    if (!(d >= double(lo) && d <= double(hi)) || std::floor(d) != d)
        return std::nullopt;
    return int(d);
}

std::optional<ScreenRect> rectOf(json_object* r) {
    const auto x = wholeIn(member(r, "x"), -kMaxPeerCoordinate, kMaxPeerCoordinate);
    const auto y = wholeIn(member(r, "y"), -kMaxPeerCoordinate, kMaxPeerCoordinate);
    const auto w = wholeIn(member(r, "width"), 0, kMaxPeerCoordinate);
    const auto h = wholeIn(member(r, "height"), 0, kMaxPeerCoordinate);
    if (!x || !y || !w || !h)
        return std::nullopt;
    return ScreenRect{*x, *y, *w, *h};
}

json_object* findFocused(json_object* node, int depth) {
    if (boolOf(node, "focused"))
        return node;
    if (depth >= kMaxDepth)
        return nullptr;
    for (const char* children : {"nodes", "floating_nodes"}) {
        json_object* list = member(node, children);
        for (size_t i = 0, n = json::lengthOf(list); i < n; ++i)
            if (json_object* found = findFocused(json_object_array_get_idx(list, i), depth + 1))
                return found;
    }
    return nullptr;
}

// A window's frame, title bar included; nothing when it is no window or its numbers are out of
// range.
std::optional<ScreenRect> frameOf(json_object* node) {
    const std::string type = stringOf(node, "type");
    if (type != "con" && type != "floating_con")
        return std::nullopt;
    std::optional<ScreenRect> frame = rectOf(member(node, "rect"));
    if (!frame)
        return std::nullopt;
    // Every number is bounded above, so the sums below stay far from int's limits.
    const std::optional<ScreenRect> deco = rectOf(member(node, "deco_rect"));
    if (deco && deco->height > 0) {
        frame->y -= deco->height;
        frame->height += deco->height;
    }
    if (frame->width <= 0 || frame->height <= 0)
        return std::nullopt;
    return frame;
}

// The visible windows under a node: full-screen ones, each floating container's own (in the order
// sway draws them), the tiled ones.
struct Visible {
    std::vector<ScreenRect> fullscreen;
    std::vector<std::vector<ScreenRect>> floating;
    std::vector<ScreenRect> tiled;
};

void collectVisible(json_object* node, int depth, std::vector<ScreenRect>* group, Visible& out) {
    json_object* nodes = member(node, "nodes");
    json_object* floating = member(node, "floating_nodes");
    if (json::lengthOf(nodes) == 0 && json::lengthOf(floating) == 0) {
        if (!boolOf(node, "visible"))
            return;
        if (const auto frame = frameOf(node))
            (json::integerOf(node, "fullscreen_mode") > 0 ? out.fullscreen
             : group                                      ? *group
                                                          : out.tiled)
                .push_back(*frame);
        return;
    }
    if (depth >= kMaxDepth)
        return;
    for (size_t i = 0, n = json::lengthOf(nodes); i < n; ++i)
        collectVisible(json_object_array_get_idx(nodes, i), depth + 1, group, out);
    for (size_t i = 0, n = json::lengthOf(floating); i < n; ++i) {
        std::vector<ScreenRect> mine;
        collectVisible(json_object_array_get_idx(floating, i), depth + 1, &mine, out);
        out.floating.push_back(std::move(mine));
    }
}

}  // namespace

std::vector<Output> parseOutputs(std::string_view json) {
    std::vector<Output> outputs;
    const json::Value root = json::parse(json, kMaxJsonDepth);
    for (size_t i = 0, n = json::lengthOf(root.get()); i < n; ++i) {
        json_object* o = json_object_array_get_idx(root.get(), i);
        if (!boolOf(o, "active"))
            continue;
        const std::optional<ScreenRect> rect = rectOf(member(o, "rect"));
        if (!rect)
            continue;
        Output out;
        out.name = stringOf(o, "name");
        out.rect = *rect;
        out.focused = boolOf(o, "focused");
        // Sway's scales run from a fraction to a few; a missing one is 1.
        json_object* s = member(o, "scale");
        const double scale =
            json_object_is_type(s, json_type_double) || json_object_is_type(s, json_type_int)
                ? json_object_get_double(s)
                : 1.0;
        out.scale = scale > 0 && scale <= 64 ? scale : 1.0;
        outputs.push_back(out);
    }
    return outputs;
}

std::optional<ScreenRect> focusedWindowFrame(std::string_view json) {
    const json::Value root = json::parse(json, kMaxJsonDepth);
    json_object* focused = findFocused(root.get(), 0);
    if (!focused)
        return std::nullopt;
    return frameOf(focused);
}

std::vector<ScreenRect> visibleWindowFrames(std::string_view json) {
    const json::Value root = json::parse(json, kMaxJsonDepth);
    Visible visible;
    if (root)
        collectVisible(root.get(), 0, nullptr, visible);
    std::vector<ScreenRect> frames = std::move(visible.fullscreen);
    for (auto group = visible.floating.rbegin(); group != visible.floating.rend(); ++group)
        frames.insert(frames.end(), group->begin(), group->end());
    frames.insert(frames.end(), visible.tiled.begin(), visible.tiled.end());
    return frames;
}

}  // namespace kvr::sway
