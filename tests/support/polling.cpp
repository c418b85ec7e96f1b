#include "polling.h"

#include <thread>

namespace kvr::test {

bool pollUntil(std::chrono::milliseconds timeout, const std::function<bool()>& done,
               std::chrono::milliseconds interval) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (true) {
        // Past the end only after this try: a slow check still gets its last chance.
        const bool last = std::chrono::steady_clock::now() >= end;
        if (done())
            return true;
        if (last)
            return false;
        std::this_thread::sleep_for(interval);
    }
}

}  // namespace kvr::test
