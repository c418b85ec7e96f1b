#pragma once
// The little of sway's IPC (the socket named by SWAYSOCK) the wlroots source needs: the outputs
// in sway's order, and the focused window's frame. Coordinates are sway's layout (logical)
// pixels.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wayland/replies/sway_reply.h"

namespace kvr::sway {

// The reply of one request (RUN_COMMAND = 0 with the command as payload, GET_OUTPUTS = 3,
// GET_TREE = 4); nullopt when sway cannot be reached or answers nonsense.
std::optional<std::string> request(const std::string& socketPath, unsigned type,
                                   std::string_view payload = {});

}  // namespace kvr::sway
