#pragma once
// The Wayland side of the command line's clipboard: the selection set through the compositor's
// data-control protocol (wlroots compositors, KWin), served by a process of its own.
#include <cstdint>
#include <string>
#include <vector>

#include "base/clipboard_content.h"

namespace kvr::wayland {

// Connects to WAYLAND_DISPLAY, sets the selection to the picture (each item under its media
// type, and text/uri-list when uriList is set), writes kClipboardOwned to readyFd, and serves
// requests until another client sets the selection. Writes kClipboardNoProtocol instead when the
// compositor has no data-control (GNOME). Returns the exit status for the serving process.
int serveDataControl(const std::vector<ClipboardItem>& items, const std::string& uriList,
                     int readyFd);

}  // namespace kvr::wayland
