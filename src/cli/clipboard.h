#pragma once
// The picture on the clipboard, served by a background process until something else takes the
// clipboard (as xclip and wl-copy do); the command itself returns at once.
#include <string>
#include <vector>

#include "cli/encode.h"
#include "platform/session.h"

namespace kvr::cli {

// A child of ours owns CLIPBOARD on X11, and the selection through the compositor's
// data-control protocol on Wayland (sway and other wlroots compositors, KWin); elsewhere (GNOME)
// wl-copy (wl-clipboard) serves it, the first encoding only. encodings: the picture under each
// of its media types (at least one). filePath: the file written, offered as text/uri-list too
// (empty: none). Returns once the clipboard is ours; raises text::kCliNoClipboard when it
// cannot be taken.
void serveClipboard(const platform::Environment& env, const std::vector<EncodedPicture>& encodings,
                    const std::string& filePath);

// The server's process (see detach.h): the encodings read from stdin (typesAndLengths: a media
// type and its length in bytes, for each in turn), the clipboard taken, kClipboardOwned or
// kClipboardNoProtocol written to readyFd, then served. Its exit status.
int runClipboardServer(const std::string& uriList, const std::vector<std::string>& typesAndLengths,
                       int readyFd);

}  // namespace kvr::cli
