#pragma once
// The screenshot portal's answer (the results of its Request's Response) read into the picture
// file it names. Pure functions: the file itself is handled by portal_file.h.
#include <QVariantMap>
#include <optional>
#include <string>

namespace kvr {

// The local path of a file:// URI (percent escapes decoded); nothing for any other URI, a
// relative path or one holding a NUL byte.
std::optional<std::string> localPathOfUri(const std::string& uri);

// The local file a successful answer names in its "uri" (a text); nothing otherwise.
std::optional<std::string> portalPicturePath(const QVariantMap& results);

}  // namespace kvr
