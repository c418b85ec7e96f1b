#include "core/naming.h"

#include <sys/stat.h>

namespace kvr {

namespace {

std::string prefixFor(const ShotChoices& c) {
    // The prefix ends at a NUL byte: the file system would cut the name there anyway, and the
    // digits after it would then never count.
    if (c.FileNameCheck)
        return c.FileName.substr(0, c.FileName.find('\0'));
    const bool all = c.mode == ShotMode::AllScreen;
    const char* letter = c.format == SaveFormat::Jpeg  ? "J"
                         : c.format == SaveFormat::Png ? "P"
                                                       : "B";
    return std::string(all ? "ALL_" : "Act_") + letter;
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
    return folder + "/" + name;
}

std::optional<std::string> nextFileName(const ShotChoices& choices) {
    const std::string prefix = prefixFor(choices);
    const char* extension = choices.format == SaveFormat::Jpeg  ? ".jpg"
                            : choices.format == SaveFormat::Png ? ".png"
                                                                : ".bmp";
    for (int n = 0; n < 100; ++n) {
        const char digits[3] = {char('0' + n / 10), char('0' + n % 10), '\0'};
        std::string name = prefix + digits + extension;
        if (!fileExists(joinPath(choices.Place, name)))
            return name;
    }
    return std::nullopt;
}

}  // namespace kvr
