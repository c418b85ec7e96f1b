// Arbitrary bytes as kvr.ini, then every read and write the program makes of it. A write must
// change only its own line (or add one line, or a section and its line, at the places the format
// says), the value must read back, and every other value the program reads must stay as it was.
//
// Input: the first byte n, then n bytes of values for the writes (split at "\n"), then the file.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/profile.h"
#include "core/utf8.h"
#include "fuzz_check.h"

using namespace kvr;

namespace {

struct Key {
    const char* section;
    const char* key;
};

// Every key the program reads or writes.
constexpr Key kKeys[] = {
    {"CreatFlg", "type"},      {"CreatFlg", "save"},     {"CreatFlg", "timer"},
    {"Save", "place"},         {"Save", "flg"},          {"Save", "filename"},
    {"Save", "filenamecheck"}, {"JPEG", "qualityrange"}, {"JPEG", "grayscale"},
};

struct Line {
    std::string_view text;
    std::string_view end;
};

std::vector<Line> lines(std::string_view s) {
    std::vector<Line> out;
    std::size_t start = 0;
    while (start < s.size()) {
        std::size_t end = s.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            out.push_back({s.substr(start), {}});
            break;
        }
        std::size_t next = end + 1;
        if (s[end] == '\r' && next < s.size() && s[next] == '\n')
            ++next;
        out.push_back({s.substr(start, end - start), s.substr(end, next - end)});
        start = next;
    }
    return out;
}

// What a value reads back as once stored: cut to the length the reader gives.
std::string expectedBack(std::string_view value) {
    if (isValidUtf8(value))
        return std::string(cutUtf8(value, kProfileValueMax));
    return std::string(value.substr(0, kProfileValueMax));
}

// before -> after is one key line changed in place, or up to two lines put in; the last line of
// the file may gain the line end it lacked.
void checkOnlyItsLines(std::string_view before, std::string_view after) {
    const std::vector<Line> a = lines(before), b = lines(after);
    FUZZ_CHECK(b.size() >= a.size() && b.size() <= a.size() + 2);
    std::size_t i = 0, j = 0, changed = 0;
    while (i < a.size() && j < b.size()) {
        const bool lastWithoutEnd = i + 1 == a.size() && a[i].end.empty();
        if (a[i].text == b[j].text && (a[i].end == b[j].end || lastWithoutEnd)) {
            ++i, ++j;
        } else if (b.size() == a.size() && a[i].end == b[j].end) {
            ++changed, ++i, ++j;  // the key line, rewritten
        } else {
            ++changed, ++j;  // a line put in
        }
    }
    changed += b.size() - j;
    FUZZ_CHECK(i == a.size());
    FUZZ_CHECK(changed >= 1 && changed <= 2);
}

void write(ProfileText& profile, const Key& key, std::string_view value) {
    std::vector<std::optional<std::string>> others;
    for (const Key& k : kKeys)
        others.push_back(profile.value(k.section, k.key));
    const std::string before = profile.content();
    bool changed = false;
    try {
        changed = profile.setValue(key.section, key.key, value);
    } catch (const std::invalid_argument&) {
        // Only what a line cannot hold is refused, and then nothing changes.
        FUZZ_CHECK(value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos);
        FUZZ_CHECK(profile.content() == before);
        return;
    }
    if (changed)
        checkOnlyItsLines(before, profile.content());
    else
        FUZZ_CHECK(profile.content() == before);
    FUZZ_CHECK(profile.value(key.section, key.key) == expectedBack(value));
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        const Key& k = kKeys[i];
        if (std::string_view(k.section) == key.section && std::string_view(k.key) == key.key)
            continue;
        FUZZ_CHECK(profile.value(k.section, k.key) == others[i]);
    }
    // The same value again is no change at all.
    FUZZ_CHECK(!profile.setValue(key.section, key.key, value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t n = std::min<std::size_t>(uint8_t(input[0]), size - 1);
    std::string_view values = input.substr(1, n);
    ProfileText profile(std::string(input.substr(1 + n)));

    // Every read: whatever the file holds, a value is valid UTF-8 or the bytes we stored.
    for (const Key& k : kKeys) {
        const auto value = profile.value(k.section, k.key);
        if (value)
            FUZZ_CHECK(value->size() <= kProfileValueMax);
    }

    // The exit button's writes, then the options dialog's, with the fuzzer's values where it gave
    // some (the timer text, the folder and the prefix are free text).
    auto nextValue = [&](std::string_view fallback) {
        if (values.empty())
            return std::string(fallback);
        const auto cut = values.find('\n');
        std::string value(values.substr(0, cut));
        values.remove_prefix(cut == std::string_view::npos ? values.size() : cut + 1);
        return value;
    };
    write(profile, kKeys[0], "1");
    write(profile, kKeys[1], "0");
    write(profile, kKeys[2], nextValue("5"));
    write(profile, kKeys[4], "1");
    write(profile, kKeys[3], nextValue("/home/u/Desktop"));
    write(profile, kKeys[7], "10");
    write(profile, kKeys[6], "0");
    write(profile, kKeys[5], nextValue("shot"));
    return 0;
}
