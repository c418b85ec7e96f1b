#include "cli/detach.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>

namespace kvr::cli {

bool detach(int keep) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid != 0)
        return true;
    setsid();
    // Nothing of the parent's connections: the display sees them closed when the parent ends.
    if (keep > 3)
        close_range(3, unsigned(keep) - 1, 0);
    close_range(keep >= 3 ? unsigned(keep) + 1 : 3, ~0U, 0);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0)
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            dup2(null, fd);
    return false;
}

}  // namespace kvr::cli
