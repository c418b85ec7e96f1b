// The portal's answer: the URI it names, as text or in its results. A path read from it is
// absolute and holds no NUL byte; a URI without escapes names exactly its own text.
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/wayland/replies/portal_reply.h"

using namespace kvr;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string uri(reinterpret_cast<const char*>(data), size);
    if (const auto path = localPathOfUri(uri)) {
        FUZZ_CHECK(!path->empty() && path->front() == '/');
        FUZZ_CHECK(path->find('\0') == std::string::npos);
        if (uri.find('%') == std::string::npos)
            FUZZ_CHECK(uri.ends_with(*path));
    }
    // In the results, the URI comes as D-Bus text: whatever the bytes, the same rule.
    const QString text = QString::fromUtf8(uri.data(), qsizetype(uri.size()));
    FUZZ_CHECK(portalPicturePath({{QStringLiteral("uri"), text}}) ==
               localPathOfUri(text.toStdString()));
    FUZZ_CHECK(!portalPicturePath({{QStringLiteral("uri"), QVariant(int(size))}}));
    return 0;
}
