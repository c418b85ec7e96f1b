#pragma once
// The X11 side of the clipboard: owning CLIPBOARD and answering requests for the picture.
#include <cstdint>
#include <string>
#include <vector>

namespace kvr::cli {

// Opens its own connection to DISPLAY, takes CLIPBOARD, writes one byte to readyFd once it owns
// it, and serves TARGETS, the picture as mimeType and (when filePath is set) text/uri-list until
// another client takes the clipboard. Large pictures go in pieces (INCR). Returns the exit
// status for the serving process.
int serveX11Selection(const std::vector<uint8_t>& data, const char* mimeType,
                      const std::string& filePath, int readyFd);

}  // namespace kvr::cli
