#pragma once
// What the command line's clipboard server tells the command through its pipe.

namespace kvr {

inline constexpr char kClipboardOwned = 1;       // the clipboard is ours, served from now on
inline constexpr char kClipboardNoProtocol = 2;  // the compositor offers no way to own it

}  // namespace kvr
