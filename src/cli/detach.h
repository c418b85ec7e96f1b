#pragma once
// The parts of the command that outlive it (the notification, the clipboard's server): this
// program started again in a hidden mode, a fresh process. A fork would carry the grab's memory
// along, and the locks of any thread a loaded module started (Qt's D-Bus thread under KWin and
// GNOME), which the child could then wait on for good.
#include <optional>
#include <string>
#include <vector>

namespace kvr::cli {

// The parts' hidden first words. Typed by hand, --serve-clipboard (without descriptor 3 to report
// to) is an unknown option.
inline constexpr char kServeClipboard[] = "--serve-clipboard";
inline constexpr char kSendNotification[] = "--send-notification";

// Starts `kvr <words>` in a session of its own (a closed terminal does not end it), stdout and
// stderr on /dev/null (a shell's `$(kvr --shot)` waits for every writer of the pipe). inputFd
// becomes its stdin (-1: /dev/null), reportFd its descriptor 3 (-1: none). Returns whether it
// started.
bool startPart(const std::vector<std::string>& words, int inputFd = -1, int reportFd = -1);

// The part a command line names, run; its exit status. Nothing for any other command line.
std::optional<int> runPart(const std::vector<std::string>& args);

}  // namespace kvr::cli
