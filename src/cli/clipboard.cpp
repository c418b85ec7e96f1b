#include "cli/clipboard.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
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

// "file:///path%20with%20spaces\r\n": the file as file managers take it from the clipboard,
// always by its absolute path (the command's folder means nothing to them).
std::string uriListOf(const std::string& path) {
    if (path.empty())
        return {};
    std::string absolute = path;
    if (path[0] != '/') {
        char* resolved = realpath(path.c_str(), nullptr);
        char* here = resolved ? nullptr : getcwd(nullptr, 0);
        absolute = resolved ? resolved : here ? std::string(here) + "/" + path : path;
        std::free(resolved);
        std::free(here);
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : absolute) {
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

// The server started with the encodings one after another on its stdin (a memory file), each
// named with its length on the command line; its first word: kClipboardOwned,
// kClipboardNoProtocol, or 0 when it ended without a word.
char startServer(const std::vector<EncodedPicture>& encodings, const std::string& uriList) {
    const int bytes = memfd_create("kvr-clipboard", MFD_CLOEXEC);
    if (bytes < 0)
        throw KvrError(text::kCliNoClipboard, {std::strerror(errno)});
    std::vector<std::string> words{kServeClipboard, uriList};
    bool written = true;
    for (const EncodedPicture& encoded : encodings) {
        words.push_back(mimeTypeOf(encoded.type));
        words.push_back(std::to_string(encoded.bytes.size()));
        written = written && writeFully(bytes, encoded.bytes.data(), encoded.bytes.size()) == 0;
    }
    int ready[2];
    if (!written || lseek(bytes, 0, SEEK_SET) != 0 || pipe2(ready, O_CLOEXEC) != 0) {
        const int error = errno;
        close(bytes);
        throw KvrError(text::kCliNoClipboard, {std::strerror(error)});
    }
    const bool started = startPart(words, bytes, ready[1]);
    close(bytes);
    close(ready[1]);
    char word = 0;
    while (started && read(ready[0], &word, 1) < 0 && errno == EINTR) {
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

void serveClipboard(const platform::Environment& env, const std::vector<EncodedPicture>& encodings,
                    const std::string& filePath) {
    const std::string uriList = uriListOf(filePath);
    const bool x11 = platform::detectSession(env) == platform::Session::X11;
    const char word = startServer(encodings, uriList);
    if (word == kClipboardNoProtocol)
        serveWithWlCopy(encodings.front());  // wl-copy offers one type
    else if (word != kClipboardOwned)
        throw KvrError(text::kCliNoClipboard, {x11 ? "CLIPBOARD" : "data-control"});
}

}  // namespace kvr::cli

namespace kvr::cli {

int runClipboardServer(const std::string& uriList, const std::vector<std::string>& typesAndLengths,
                       int readyFd) {
    std::vector<uint8_t> bytes;
    struct stat st;
    if (fstat(STDIN_FILENO, &st) == 0 && st.st_size > 0)
        bytes.reserve(size_t(st.st_size));
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return 1;
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    // Split as the command named them; lengths that do not add up are no clipboard at all.
    std::vector<ClipboardItem> items;
    size_t offset = 0;
    for (size_t i = 0; i + 1 < typesAndLengths.size(); i += 2) {
        const std::string& length = typesAndLengths[i + 1];
        size_t n = 0;
        const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), n);
        if (error != std::errc() || end != length.data() + length.size() ||
            n > bytes.size() - offset)
            return 1;
        items.push_back(
            {typesAndLengths[i],
             {bytes.begin() + ptrdiff_t(offset), bytes.begin() + ptrdiff_t(offset + n)}});
        offset += n;
    }
    if (items.empty() || offset != bytes.size())
        return 1;
    std::vector<uint8_t>().swap(bytes);
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        close(null);
    }
    return platform::detectSession(platform::processEnvironment()) == platform::Session::X11
               ? x11::serveClipboard(items, uriList, readyFd)
               : wayland::serveDataControl(items, uriList, readyFd);
}

}  // namespace kvr::cli
