#pragma once
// A small file that is read whole and then replaced whole, so that a crash, a full disk or a
// refused write never leaves it truncated or half written.
#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

namespace kvr {

// The contents of a regular file, or nothing when it is missing, unreadable or something else
// (a folder, a pipe that would block, a device).
std::optional<std::string> readRegularFile(const std::string& path);

class ReplaceableFile {
public:
    // Follows symbolic links to the file they name and reads it. Throws std::system_error when
    // the file exists but cannot be read, is not a regular file, or is not writable for us:
    // replacing it by rename would otherwise get round its own permissions.
    explicit ReplaceableFile(const std::string& path);

    const std::string& target() const { return target_; }
    bool exists() const { return exists_; }
    const std::string& content() const { return content_; }  // empty when it does not exist

    // Writes a temporary file beside the target, flushes it to disk and renames it over the
    // target, keeping the permission bits (and the owner where allowed). Throws
    // std::system_error; the target is then unchanged and the temporary file removed.
    void replace(std::string_view newContent);

private:
    std::string target_;
    bool exists_ = false;
    struct stat info_ {};
    std::string content_;
};

}  // namespace kvr
