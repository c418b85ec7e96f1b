#pragma once
// Text as the settings file holds it: UTF-8 as we write it, or CP932 bytes in a file that was
// written on Windows.
#include <cstddef>
#include <string>
#include <string_view>

namespace kvr {

// Well-formed UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
bool isValidUtf8(std::string_view text);

// CP932 (Shift-JIS as Windows has it) to UTF-8. A byte that is not CP932 becomes U+FFFD, so a
// damaged value still reads as something the user can see and fix.
std::string cp932ToUtf8(std::string_view text);

// The longest head of valid UTF-8 text that fits in maxBytes, never splitting a character.
std::string_view cutUtf8(std::string_view text, std::size_t maxBytes);

}  // namespace kvr
