#include "platform/wayland/replies/portal_reply.h"

#include <QMetaType>

#include "base/texts.h"

namespace kvr {

std::optional<std::string> localPathOfUri(const std::string& uri) {
    static const std::string kScheme = "file://";
    if (uri.compare(0, kScheme.size(), kScheme) != 0)
        return std::nullopt;
    std::string rest = uri.substr(kScheme.size());
    // "file://localhost/..." names this machine too; any other host does not.
    if (rest.compare(0, 9, "localhost") == 0)
        rest.erase(0, 9);
    if (rest.empty() || rest[0] != '/')
        return std::nullopt;
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%') {
            const int hi = i + 2 < rest.size() ? hexDigitValue(rest[i + 1]) : -1;
            const int lo = hi >= 0 ? hexDigitValue(rest[i + 2]) : -1;
            if (lo < 0)
                return std::nullopt;
            path += char(hi * 16 + lo);
            i += 2;
        } else if (rest[i] == '?' || rest[i] == '#') {
            return std::nullopt;
        } else {
            path += rest[i];
        }
    }
    if (path.find('\0') != std::string::npos)
        return std::nullopt;
    return path;
}

std::optional<std::string> portalPicturePath(const QVariantMap& results) {
    const QVariant uri = results.value(QStringLiteral("uri"));
    if (uri.typeId() != QMetaType::QString)
        return std::nullopt;
    return localPathOfUri(uri.toString().toStdString());
}

}  // namespace kvr
