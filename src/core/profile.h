#pragma once
// Our profile (INI) file, read and written with the rules of the Windows private-profile
// services so that a kvr.ini edited by hand, or brought from Windows, reads as it did there:
// - blanks (tab, LF, VT, FF, CR, space) around section names, key names and values are ignored;
// - a value in matching single or double quotes reads without them;
// - a section line is "[" ... the last "]" on the line; text after it is ignored;
// - ";" as the first non-blank character makes a comment; a line without "=" is no key;
// - names compare without regard to ASCII case; of duplicate sections or keys the first counts;
// - CR, LF and CR LF all end a line.
// A write changes one key line, or adds one at the end of its section (after its last key line),
// or adds the section at the end of the file. Every other byte of the file stays as it was.
// A value that is not UTF-8 (a folder name is bytes) is stored as a 0xFF byte and its bytes, and
// reads back as those bytes.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kvr {

// A value reads back as at most this many bytes (a whole number of UTF-8 characters).
inline constexpr std::size_t kProfileValueMax = 2047;

class ProfileText {
public:
    explicit ProfileText(std::string content = {}) : content_(std::move(content)) {}

    const std::string& content() const { return content_; }

    // The value in UTF-8 (a value that is not UTF-8 is taken as CP932), the bytes of a value we
    // stored as bytes, or nothing when the section or the key is missing. A NUL ends the value.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Stores the value; false when the key already reads back as exactly this value (in quotes
    // or not), and the content is then untouched. Throws std::invalid_argument for a name or
    // value that the format cannot hold (a line break, a "=" in a key, blanks around a name).
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

private:
    std::string content_;
};

// Reads never fail: a missing or unreadable file is an empty one.
std::optional<std::string> readProfileString(const std::string& path, std::string_view section,
                                             std::string_view key);

// Writes straight to the file (through a symbolic link to its target), replacing it whole, or
// leaves it untouched when the value is already stored. Raises KvrError("<path> に書き込めません")
// when the file cannot be written; it is then unchanged.
void writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace kvr
