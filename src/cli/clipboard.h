#pragma once
// The picture on the clipboard, served by a background process until something else takes the
// clipboard (as xclip and wl-copy do); the command itself returns at once.
#include <string>

#include "cli/encode.h"
#include "platform/session.h"

namespace kvr::cli {

// On X11 a child of ours owns CLIPBOARD; on Wayland wl-copy (wl-clipboard) serves it, through
// the compositor's data-control protocol where it has one. filePath: the file written, offered
// as text/uri-list too (empty: none). Returns once the clipboard is ours; raises
// text::kCliNoClipboard when it cannot be taken.
void serveClipboard(const platform::Environment& env, const EncodedPicture& picture,
                    const std::string& filePath);

}  // namespace kvr::cli
