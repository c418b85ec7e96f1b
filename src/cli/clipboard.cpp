#include "cli/clipboard.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "base/error.h"
#include "base/texts.h"
#include "cli/detach.h"
#include "core/outfile.h"
#include "platform/wayland/data_control.h"
#include "platform/x11/clipboard_owner.h"

extern char** environ;

namespace kvr::cli {
namespace {

// "file:///path%20with%20spaces\r\n": the file as file managers take it from the clipboard.
std::string uriListOf(const std::string& path) {
    if (path.empty())
        return {};
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~", c)) {
            uri += char(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri + "\r\n";
}

// Runs serve(readyFd) in a detached child and waits for its first word: kClipboardOwned,
// kClipboardNoProtocol, or 0 when it ended without a word.
char serveInChild(const std::function<int(int)>& serve) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        throw KvrError(text::kCliNoClipboard, {std::strerror(errno)});
    if (!detach(ready[1]))
        _exit(serve(ready[1]));
    close(ready[1]);
    char word = 0;
    while (read(ready[0], &word, 1) < 0 && errno == EINTR) {
    }
    close(ready[0]);
    return word;
}

// wl-copy (wl-clipboard) where the compositor has no data-control: it knows other ways.
void serveWithWlCopy(const EncodedPicture& picture) {
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
    signal(SIGPIPE, SIG_IGN);  // a wl-copy that ended early is its failure, reported below
    const bool written = writeFully(input[1], picture.bytes.data(), picture.bytes.size()) == 0;
    close(input[1]);
    // wl-copy leaves its own server behind and ends once it holds the selection.
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!written || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw KvrError(text::kCliNoClipboard, {"wl-copy"});
}

}  // namespace

void serveClipboard(const platform::Environment& env, const EncodedPicture& picture,
                    const std::string& filePath) {
    const std::string uriList = uriListOf(filePath);
    const char* mimeType = mimeTypeOf(picture.type);
    const bool x11 = platform::detectSession(env) == platform::Session::X11;
    const char word = serveInChild([&](int readyFd) {
        return x11 ? x11::serveClipboard(picture.bytes, mimeType, uriList, readyFd)
                   : wayland::serveDataControl(picture.bytes, mimeType, uriList, readyFd);
    });
    if (word == kClipboardNoProtocol)
        serveWithWlCopy(picture);
    else if (word != kClipboardOwned)
        throw KvrError(text::kCliNoClipboard, {x11 ? "CLIPBOARD" : "data-control"});
}

}  // namespace kvr::cli
