#pragma once
// Waiting for something another process does (a server, a window manager, the program under
// test): ask again and again until it holds or the time is up.
#include <chrono>
#include <functional>

namespace kvr::test {

// Calls done until it returns true (true) or timeout has passed (false); done runs at least
// once, and once more at the end of the time.
bool pollUntil(std::chrono::milliseconds timeout, const std::function<bool()>& done,
               std::chrono::milliseconds interval = std::chrono::milliseconds(10));

}  // namespace kvr::test
