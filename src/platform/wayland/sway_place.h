#pragma once
// Where sway has the program's own floating window, and moving it there again: sway places a
// window shown afresh in the middle of the output, wherever the person had put it.
#include <sys/types.h>
#include <optional>
#include <string>
#include <string_view>

#include "base/screen.h"

namespace kvr::sway {

inline constexpr unsigned kGetTree = 4;

struct PlacedWindow {
    long long id = 0;  // sway's container id
    ScreenRect frame;  // layout coordinates, title bar included
};

// The floating window of process `pid` on screen in a GET_TREE reply, of `size` when given (the
// main window, not a message box beside it); the first found.
std::optional<PlacedWindow> floatingWindowOf(std::string_view treeJson, pid_t pid,
                                             std::optional<ScreenRect> size = std::nullopt);

// Moves container `id` so that its frame's top-left is at x,y of the layout.
bool moveWindow(const std::string& socketPath, long long id, int x, int y);

}  // namespace kvr::sway
