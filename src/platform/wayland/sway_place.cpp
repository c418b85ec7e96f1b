#include "platform/wayland/sway_place.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/wayland/sway_ipc.h"

namespace kvr::sway {
namespace {

constexpr unsigned kRunCommand = 0;

ScreenRect rectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    return {r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(),
            r.value("height").toInt()};
}

std::optional<PlacedWindow> find(const QJsonObject& node, pid_t pid,
                                 const std::optional<ScreenRect>& size, int depth) {
    if (depth > 64)
        return std::nullopt;
    if (node.value("type").toString() == "floating_con" && node.value("pid").toInteger() == pid &&
        node.value("visible").toBool()) {
        PlacedWindow w;
        w.id = node.value("id").toInteger();
        w.frame = rectOf(node.value("rect"));
        // `rect` starts below the title bar.
        const int title = rectOf(node.value("deco_rect")).height;
        if (title > 0) {
            w.frame.y -= title;
            w.frame.height += title;
        }
        if (!size || (size->width == w.frame.width && size->height == w.frame.height))
            return w;
    }
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(children).toArray())
            if (auto found = find(child.toObject(), pid, size, depth + 1))
                return found;
    return std::nullopt;
}

}  // namespace

std::optional<PlacedWindow> floatingWindowOf(std::string_view treeJson, pid_t pid,
                                             std::optional<ScreenRect> size) {
    const QJsonDocument tree =
        QJsonDocument::fromJson(QByteArray(treeJson.data(), qsizetype(treeJson.size())));
    return find(tree.object(), pid, size, 0);
}

bool moveWindow(const std::string& socketPath, long long id, int x, int y) {
    const std::string command = "[con_id=" + std::to_string(id) + "] move absolute position " +
                                std::to_string(x) + " " + std::to_string(y);
    const auto reply = request(socketPath, kRunCommand, command);
    if (!reply)
        return false;
    const QJsonArray results =
        QJsonDocument::fromJson(QByteArray(reply->data(), qsizetype(reply->size()))).array();
    return !results.isEmpty() && results.first().toObject().value("success").toBool();
}

}  // namespace kvr::sway
