#include "core/profile.h"

#include <stdexcept>
#include <system_error>
#include <vector>

#include "base/error.h"
#include "core/replaceable_file.h"
#include "core/utf8.h"

namespace kvr {

namespace {

constexpr std::string_view kBlanks = " \t\n\v\f\r";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Starts a value stored as raw bytes (a folder name that is not UTF-8). 0xFF is valid neither in
// UTF-8 nor as a CP932 byte, so no value that ever read cleanly (ours in UTF-8, or a Shift-JIS
// one from Windows) starts with it: those keep reading exactly as before.
constexpr char kRawMark = '\xFF';

bool isBlank(char c) {
    return kBlanks.find(c) != std::string_view::npos;
}

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// One line of the file: its text is [start, end), its line end [end, next).
struct Line {
    std::size_t start;
    std::size_t end;
    std::size_t next;
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back({start, text.size(), text.size()});
            break;
        }
        std::size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n')
            ++next;
        lines.push_back({start, end, next});
        start = next;
    }
    return lines;
}

// New lines follow the file's own convention, judged by its first line end; LF for a new file.
std::string_view lineEndOf(std::string_view text) {
    const auto end = text.find_first_of("\r\n");
    if (end == std::string_view::npos || text[end] == '\n')
        return "\n";
    return end + 1 < text.size() && text[end + 1] == '\n' ? "\r\n" : "\r";
}

enum class Kind { Other, Section, Key };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;
    std::string_view value;  // trimmed, quotes still on
    std::size_t equals = 0;  // offset of "=" in the line
};

Parsed parse(std::string_view line, bool firstLine) {
    // An editor's byte-order mark must not hide the first section.
    std::size_t skipped = 0;
    if (firstLine && line.starts_with(kUtf8Bom))
        skipped = kUtf8Bom.size();
    line.remove_prefix(skipped);
    Parsed parsed;
    const std::string_view body = trim(line);
    if (body.empty() || body.front() == ';')
        return parsed;
    if (body.front() == '[') {
        const auto close = body.rfind(']');
        if (close != std::string_view::npos) {
            parsed.kind = Kind::Section;
            parsed.name = trim(body.substr(1, close - 1));
            return parsed;
        }
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return parsed;
    parsed.kind = Kind::Key;
    parsed.name = trim(line.substr(0, equals));
    parsed.value = trim(line.substr(equals + 1));
    parsed.equals = skipped + equals;
    return parsed;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The value as the file holds it once unquoted: itself when it is UTF-8, else its bytes behind
// the raw mark (read as CP932 they would come back as another path).
std::string storedValue(std::string_view value) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        throw std::invalid_argument("line break in a profile value");
    }
    if (isValidUtf8(value))
        return std::string(value);
    return kRawMark + std::string(value);
}

// The stored text in double quotes where reading would otherwise lose its outer blanks or its
// own outer quotes.
std::string quoteValue(const std::string& stored) {
    const bool blankAround = !stored.empty() && (isBlank(stored.front()) || isBlank(stored.back()));
    if (blankAround || unquote(stored).size() != stored.size())
        return "\"" + stored + "\"";
    return stored;
}

// Stored text back to the value: raw bytes after the mark, UTF-8 as it is, else CP932 from a
// Windows file. A NUL ends the value, as it ends the C string a Windows reader returns: the
// name check, the file and the dialogs then all see the same text.
std::string readValue(std::string_view stored) {
    stored = stored.substr(0, stored.find('\0'));
    if (!stored.empty() && stored.front() == kRawMark)
        return std::string(stored.substr(1, kProfileValueMax));
    const std::string text = isValidUtf8(stored) ? std::string(stored) : cp932ToUtf8(stored);
    return std::string(cutUtf8(text, kProfileValueMax));
}

void checkName(std::string_view name, bool isKey) {
    const bool bad = name.empty() || trim(name).size() != name.size() ||
                     name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos ||
                     (isKey && (name.find('=') != std::string_view::npos || name.front() == ';' ||
                                name.front() == '['));
    if (bad)
        throw std::invalid_argument("unusable profile name");
}

// Where a key lives in the text, as far as it was found.
struct Location {
    const Line* section = nullptr;  // header of the first section of that name
    const Line* key = nullptr;      // first key line of that name in it
    const Line* lastKey = nullptr;  // last key line of that section
    Parsed parsed;                  // of the key line
};

Location locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
    Location where;
    for (const Line& line : lines) {
        const Parsed parsed =
            parse(text.substr(line.start, line.end - line.start), &line == &lines.front());
        if (parsed.kind == Kind::Section) {
            if (where.section)
                break;  // end of the first section of that name
            if (sameName(parsed.name, section))
                where.section = &line;
        } else if (parsed.kind == Kind::Key && where.section) {
            where.lastKey = &line;
            if (!where.key && sameName(parsed.name, key)) {
                where.key = &line;
                where.parsed = parsed;
            }
        }
    }
    return where;
}

}  // namespace

std::optional<std::string> ProfileText::value(std::string_view section,
                                              std::string_view key) const {
    const std::vector<Line> lines = splitLines(content_);
    const Location where = locate(content_, lines, section, key);
    if (!where.key)
        return std::nullopt;
    return readValue(unquote(where.parsed.value));
}

bool ProfileText::setValue(std::string_view section, std::string_view key, std::string_view value) {
    checkName(section, false);
    checkName(key, true);
    const std::string stored = storedValue(value);
    const std::string encoded = quoteValue(stored);
    const std::string_view eol = lineEndOf(content_);
    const std::vector<Line> lines = splitLines(content_);
    const Location where = locate(content_, lines, section, key);

    if (where.key) {
        // Already reading back as this value, quoted or not: nothing to write.
        if (unquote(where.parsed.value) == stored)
            return false;
        // Keep the key as spelled in the file and the blanks up to the value.
        const std::string_view line(content_.data() + where.key->start,
                                    where.key->end - where.key->start);
        std::size_t valueStart = where.parsed.equals + 1;
        if (!encoded.empty()) {
            while (valueStart < line.size() && isBlank(line[valueStart]))
                ++valueStart;
        }
        const std::string newLine = std::string(line.substr(0, valueStart)) + encoded;
        content_.replace(where.key->start, line.size(), newLine);
        return true;
    }

    const std::string keyLine = std::string(key) + "=" + encoded;
    if (where.section) {
        const Line& after = where.lastKey ? *where.lastKey : *where.section;
        if (after.next == after.end) {  // the file's last line, with no line end of its own
            content_.insert(after.end, std::string(eol) + keyLine);
        } else {
            // A lone CR put in front of an LF would join it into one CR LF and swallow the
            // blank line that LF ends: there the new line ends as the line before it does.
            std::string lineEnd(eol);
            if (eol == "\r" && after.next < content_.size() && content_[after.next] == '\n')
                lineEnd = content_.substr(after.end, after.next - after.end);
            content_.insert(after.next, keyLine + lineEnd);
        }
        return true;
    }

    if (!content_.empty() && content_.back() != '\n' && content_.back() != '\r')
        content_ += eol;
    content_ += "[" + std::string(section) + "]" + std::string(eol) + keyLine + std::string(eol);
    return true;
}

std::optional<std::string> readProfileString(const std::string& path, std::string_view section,
                                             std::string_view key) {
    const std::optional<std::string> content = readRegularFile(path);
    if (!content)
        return std::nullopt;
    return ProfileText(*content).value(section, key);
}

void writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    try {
        ReplaceableFile file(path);
        ProfileText text(file.content());
        if (text.setValue(section, key, value))
            file.replace(text.content());
    } catch (const std::system_error&) {
        throw KvrError(text::kCannotWrite, {path});
    } catch (const std::invalid_argument&) {
        throw KvrError(text::kCannotWrite, {path});
    }
}

}  // namespace kvr
