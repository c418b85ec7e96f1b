#pragma once
// What the command line's clipboard server holds, and what it tells the command through its pipe.
#include <cstdint>
#include <string>
#include <vector>

namespace kvr {

inline constexpr char kClipboardOwned = 1;       // the clipboard is ours, served from now on
inline constexpr char kClipboardNoProtocol = 2;  // the compositor offers no way to own it

// The picture in one encoding, offered under its media type.
struct ClipboardItem {
    std::string mimeType;
    std::vector<uint8_t> bytes;
};

}  // namespace kvr
