#pragma once
// The command line `kvr --shot [OPTION...]`, parsed by a pure function: the same words always
// give the same result, so every line is checked in one table.
#include <optional>
#include <string>
#include <vector>

#include "base/screen.h"
#include "base/screen_source.h"
#include "core/choices.h"

namespace kvr::cli {

// "jpeg", "jpg", "png", "bmp" in any case; nothing for another word.
std::optional<SaveFormat> imageTypeNamed(std::string_view name);
// The type an output path's extension names (".jpg", ".jpeg", ".png", ".bmp"), if any.
std::optional<SaveFormat> imageTypeOfPath(std::string_view path);

struct ShotOptions {
    int delay = 0;  // seconds
    // The mode, -m and -p. Without -m the saved monitor choice is taken, and a saved pointer
    // (or clipboard) unless --no-pointer (--no-clipboard) turns it off.
    ShotRequest request;
    bool monitorGiven = false;
    bool noPointer = false;
    bool noClipboard = false;
    // -g: the rectangle of the whole desktop a region shot cuts (request.mode is Region); with
    // -r (Region without it) the person chooses it after the delay.
    std::optional<ScreenRect> geometry;
    std::optional<SaveFormat> type;
    std::optional<std::string> output;  // a file, a folder, or "-" for stdout
    std::optional<int> quality;         // 1..100
    bool grey = false;
    bool clipboard = false;
    bool notify = true;
};

// ListMonitors: the names -m takes in this session, one a line (for the shell's completion).
enum class Action { Window, Shot, Help, Version, ListMonitors, UsageError };

struct ParsedLine {
    Action action = Action::Window;
    ShotOptions shot;
    // For a usage error: a fixed text of base/texts.h and its value.
    const char* error = nullptr;
    std::string errorValue;
};

// args: the words after the program's name. stdoutIsTerminal: whether `-o -` would write to a
// terminal (refused).
ParsedLine parseCommandLine(const std::vector<std::string>& args, bool stdoutIsTerminal);

// The exit status of each outcome: 0 written (or help, version), 1 the shot or the write
// failed, 2 a usage error.
inline constexpr int kExitWritten = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

}  // namespace kvr::cli
