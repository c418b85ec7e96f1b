// Text decoding and integer parsing against reference versions written another way: UTF-8
// checked by decoding each code point, integers by the standard library's conversions.
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/profile.h"
#include "core/settings.h"
#include "core/utf8.h"
#include "fuzz_check.h"

using namespace kvr;

namespace {

// Decodes code points and asks of each: shortest form, no surrogate, at most U+10FFFF.
bool referenceUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
        const unsigned lead = b(i);
        int extra;
        uint32_t cp;
        if (lead < 0x80) {
            extra = 0, cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07;
        } else {
            return false;
        }
        if (extra > 0 && i + extra >= s.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((b(i + k) & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (b(i + k) & 0x3F);
        }
        const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::optional<int32_t> referenceInteger(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    for (std::string_view p : {"0x", "0X", "$", "x", "X"}) {
        if (s.starts_with(p)) {
            s.remove_prefix(p.size());
            base = 16;
            break;
        }
    }
    // from_chars takes no sign of its own here, and must use every character.
    if (s.empty() || s.front() == '+' || s.front() == '-')
        return std::nullopt;
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (error != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    if (base == 16) {
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
        return static_cast<int32_t>(static_cast<uint32_t>(negative ? 0u - value : value));
    }
    if (value > (negative ? 0x80000000u : 0x7FFFFFFFu))
        return std::nullopt;
    return static_cast<int32_t>(negative ? -int64_t(value) : int64_t(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const bool valid = isValidUtf8(text);
    FUZZ_CHECK(valid == referenceUtf8(text));

    // Anything from a Windows file reads as valid UTF-8.
    FUZZ_CHECK(isValidUtf8(cp932ToUtf8(text)));
    if (!text.empty() && static_cast<unsigned char>(text[0]) < 0x80) {
        // ASCII stays itself, one byte for one.
        const std::string decoded = cp932ToUtf8(text.substr(0, 1));
        FUZZ_CHECK(decoded == text.substr(0, 1));
    }

    // Cutting: the longest whole-character head that fits.
    for (const std::size_t max :
         {std::size_t(0), std::size_t(1), size / 2, size, kProfileValueMax}) {
        const std::string_view head = cutUtf8(text, max);
        FUZZ_CHECK(head.size() <= max && text.starts_with(head) && isValidUtf8(head));
        if (valid && head.size() < text.size())
            FUZZ_CHECK(head.size() + 4 > max);
    }

    const auto parsed = tryParseInteger(text);
    FUZZ_CHECK(parsed == referenceInteger(text));
    if (parsed)
        FUZZ_CHECK(tryParseInteger(std::to_string(*parsed)) == parsed);
    return 0;
}
