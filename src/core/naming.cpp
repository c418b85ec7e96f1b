#include "core/naming.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/formats.h"
#include "core/outfile.h"

namespace kvr {

namespace {

std::string prefixFor(const ShotChoices& c) {
    // The prefix ends at a NUL byte: the file system would cut the name there anyway, and the
    // digits after it would then never count.
    if (c.FileNameCheck)
        return c.FileName.substr(0, c.FileName.find('\0'));
    const char* mode = c.mode == ShotMode::AllScreen ? "ALL_"
                       : c.mode == ShotMode::Region  ? "Rgn_"
                                                     : "Act_";
    return std::string(mode) + formatOf(c.format).letter;
}

// A directory of the same name does not count: only something that is not a folder blocks a name.
// The entry itself is what counts, so any symbolic link (dangling, or even to a folder) takes
// its name: the file is never written through it.
bool fileExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace

bool allowedPrefixByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return c != '/' && u >= 0x20 && u != 0x7f;
}

std::string prefixAsTyped(std::string_view prefix) {
    std::string kept;
    for (const char c : prefix)
        if (allowedPrefixByte(c))
            kept += c;
    return kept;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::optional<std::string> nextFileName(const ShotChoices& choices) {
    const std::string prefix = prefixFor(choices);
    const char* extension = formatOf(choices.format).extension;
    for (int n = 0; n < 100; ++n) {
        const char digits[3] = {char('0' + n / 10), char('0' + n % 10), '\0'};
        std::string name = prefix + digits + extension;
        if (!fileExists(joinPath(choices.Place, name)))
            return name;
    }
    return std::nullopt;
}

std::optional<OutputFile> createNextFile(const ShotChoices& choices,
                                         const BeforeCreate& beforeCreate) {
    // Each retry follows a name taken meanwhile; a hundred of them means every name was.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::optional<std::string> name = nextFileName(choices);
        if (!name)
            return std::nullopt;
        std::string path = joinPath(choices.Place, *name);
        if (beforeCreate)
            beforeCreate(path);
        // O_EXCL: made here and now, or not at all; a link in its place counts as taken.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0)
            return OutputFile(std::move(path), fd);
        if (errno != EEXIST)
            throw fileCreateError(path, errno);
        // A folder of that name does not take the name, and cannot be written over either.
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            throw fileCreateError(path, EISDIR);
    }
    return std::nullopt;
}

}  // namespace kvr
