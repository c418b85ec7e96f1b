#pragma once
// The X11 side of the command line's clipboard: owning CLIPBOARD and answering requests for the
// picture, in a process of its own.
#include <cstdint>
#include <string>
#include <vector>

#include "base/clipboard_content.h"

namespace kvr::x11 {

// Opens its own connection to DISPLAY, takes CLIPBOARD, writes kClipboardOwned to readyFd once
// it owns it, and serves TARGETS, each item under its media type and (when uriList is set)
// text/uri-list until another client takes the clipboard. Large pictures go in pieces (INCR).
// Returns the exit status for the serving process.
int serveClipboard(const std::vector<ClipboardItem>& items, const std::string& uriList,
                   int readyFd);

}  // namespace kvr::x11
