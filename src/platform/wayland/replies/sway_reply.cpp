#include "platform/wayland/replies/sway_reply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "base/peer_limits.h"

namespace kvr::sway {
namespace {

// Sway nests a window a few levels deep; a reply nested far deeper is not a tree of windows,
// and walking it would only use up the stack.
constexpr int kMaxDepth = 64;

QJsonDocument parse(std::string_view json) {
    return QJsonDocument::fromJson(QByteArray(json.data(), qsizetype(json.size())));
}

// A whole number within [lo, hi]; JSON numbers are doubles, so NaN, fractions and 1e300 are
// refused here rather than converted.
std::optional<int> wholeIn(const QJsonValue& value, int64_t lo, int64_t hi) {
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!(d >= double(lo) && d <= double(hi)) || std::floor(d) != d)
        return std::nullopt;
    return int(d);
}

std::optional<ScreenRect> rectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    const auto x = wholeIn(r.value("x"), -kMaxPeerCoordinate, kMaxPeerCoordinate);
    const auto y = wholeIn(r.value("y"), -kMaxPeerCoordinate, kMaxPeerCoordinate);
    const auto w = wholeIn(r.value("width"), 0, kMaxPeerCoordinate);
    const auto h = wholeIn(r.value("height"), 0, kMaxPeerCoordinate);
    if (!x || !y || !w || !h)
        return std::nullopt;
    return ScreenRect{*x, *y, *w, *h};
}

std::optional<QJsonObject> findFocused(const QJsonObject& node, int depth) {
    if (node.value("focused").toBool())
        return node;
    if (depth >= kMaxDepth)
        return std::nullopt;
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(children).toArray())
            if (auto found = findFocused(child.toObject(), depth + 1))
                return found;
    return std::nullopt;
}

}  // namespace

std::vector<Output> parseOutputs(std::string_view json) {
    std::vector<Output> outputs;
    for (const QJsonValue& value : parse(json).array()) {
        const QJsonObject o = value.toObject();
        if (!o.value("active").toBool())
            continue;
        const std::optional<ScreenRect> rect = rectOf(o.value("rect"));
        if (!rect)
            continue;
        Output out;
        out.name = o.value("name").toString().toStdString();
        out.rect = *rect;
        // Sway's scales run from a fraction to a few; a missing one is 1.
        const double scale = o.value("scale").toDouble(1.0);
        out.scale = scale > 0 && scale <= 64 ? scale : 1.0;
        out.focused = o.value("focused").toBool();
        outputs.push_back(out);
    }
    return outputs;
}

std::optional<ScreenRect> focusedWindowFrame(std::string_view json) {
    const QJsonObject root = parse(json).object();
    const std::optional<QJsonObject> focused = findFocused(root, 0);
    if (!focused)
        return std::nullopt;
    const QString type = focused->value("type").toString();
    if (type != "con" && type != "floating_con")
        return std::nullopt;
    std::optional<ScreenRect> frame = rectOf(focused->value("rect"));
    if (!frame)
        return std::nullopt;
    // Every number is bounded above, so the sums below stay far from int's limits.
    const std::optional<ScreenRect> deco = rectOf(focused->value("deco_rect"));
    if (deco && deco->height > 0) {
        frame->y -= deco->height;
        frame->height += deco->height;
    }
    if (frame->width <= 0 || frame->height <= 0)
        return std::nullopt;
    return frame;
}

}  // namespace kvr::sway
