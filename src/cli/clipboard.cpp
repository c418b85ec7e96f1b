#include "cli/clipboard.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/error.h"
#include "base/texts.h"
#include "cli/detach.h"
#include "cli/x11_selection.h"

extern char** environ;

namespace kvr::cli {
namespace {

// The child's word to the parent: one byte once it owns the clipboard, nothing when it could
// not (it ends, the pipe closes).
bool awaitOwner(int readEnd) {
    char ok = 0;
    ssize_t n;
    while ((n = read(readEnd, &ok, 1)) < 0 && errno == EINTR) {
    }
    close(readEnd);
    return n == 1;
}

void serveX11(const EncodedPicture& picture, const std::string& filePath) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        throw KvrError(text::kCliNoClipboard, {std::strerror(errno)});
    if (detach(ready[1])) {
        close(ready[1]);
        if (!awaitOwner(ready[0]))
            throw KvrError(text::kCliNoClipboard, {"CLIPBOARD"});
        return;
    }
    _exit(serveX11Selection(picture.bytes, mimeTypeOf(picture.type), filePath, ready[1]));
}

void serveWayland(const EncodedPicture& picture) {
    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0)
        throw KvrError(text::kCliNoClipboard, {std::strerror(errno)});
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string type = mimeTypeOf(picture.type);
    char* argv[] = {const_cast<char*>("wl-copy"), const_cast<char*>("--type"), type.data(),
                    nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "wl-copy", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    if (spawned != 0) {
        close(input[1]);
        throw KvrError(text::kCliNoClipboard, {std::string("wl-copy: ") + std::strerror(spawned)});
    }
    const uint8_t* data = picture.bytes.data();
    size_t left = picture.bytes.size();
    while (left > 0) {
        const ssize_t n = write(input[1], data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data += n;
        left -= size_t(n);
    }
    close(input[1]);
    // wl-copy leaves its own server behind and ends once it holds the selection.
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (left > 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw KvrError(text::kCliNoClipboard, {"wl-copy"});
}

}  // namespace

void serveClipboard(const platform::Environment& env, const EncodedPicture& picture,
                    const std::string& filePath) {
    if (platform::detectSession(env) == platform::Session::X11)
        serveX11(picture, filePath);
    else
        serveWayland(picture);
}

}  // namespace kvr::cli
