#include "cli/detach.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include "cli/clipboard.h"
#include "cli/notify.h"

extern char** environ;

namespace kvr::cli {
namespace {

// A copy above the standard descriptors: the child's /dev/null ones must not land on it first
// (the command may run with stdout closed, and its pipes then take 1 and 2).
int above(int fd) {
    return fd >= 0 ? fcntl(fd, F_DUPFD_CLOEXEC, 10) : -1;
}

}  // namespace

bool startPart(const std::vector<std::string>& words, int inputFd, int reportFd) {
    const int input = above(inputFd), report = above(reportFd);
    if ((inputFd >= 0 && input < 0) || (reportFd >= 0 && report < 0)) {
        for (int fd : {input, report})
            if (fd >= 0)
                close(fd);
        return false;
    }
    std::vector<std::string> args = words;
    args.insert(args.begin(), "kvr");
    std::vector<char*> argv;
    for (std::string& word : args)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (report >= 0)
        posix_spawn_file_actions_adddup2(&actions, report, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);  // the command ignores it; the part starts clean
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {input, report})
        if (fd >= 0)
            close(fd);
    return spawned == 0;
}

std::optional<int> runPart(const std::vector<std::string>& args) {
    // Started by a command, a server has descriptor 3 to report to; typed by hand, it is an
    // unknown option.
    // --serve-clipboard URI-LIST TYPE LENGTH [TYPE LENGTH]...
    if (args.size() >= 4 && args.size() % 2 == 0 && args[0] == kServeClipboard &&
        fcntl(3, F_GETFD) >= 0) {
        close_range(4, ~0U, 0);  // whatever the command had open stays with it
        return runClipboardServer(args[1], {args.begin() + 2, args.end()}, 3);
    }
    if (args.size() == 4 && args[0] == kSendNotification) {
        close_range(3, ~0U, 0);
        sendNotification(args[1], args[2], args[3]);
        return 0;
    }
    return std::nullopt;
}

}  // namespace kvr::cli
