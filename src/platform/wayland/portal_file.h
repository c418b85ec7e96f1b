#pragma once
// The picture file a screenshot portal leaves behind: read it, then remove exactly that file.
#include <optional>
#include <string>
#include <vector>

namespace kvr {

// The local path of a file:// URI (percent escapes decoded); nothing for any other URI or a
// relative path.
std::optional<std::string> localPathOfUri(const std::string& uri);

// Reads the file at an absolute path and removes it. Only a regular file of this user is read
// and removed, never through a symbolic link as the last component, and only the very file that
// was read (not one put in its place meanwhile). Returns nothing, and leaves the path as it
// was, when it is anything else or cannot be read.
std::optional<std::vector<uint8_t>> takePortalFile(const std::string& path);

}  // namespace kvr
