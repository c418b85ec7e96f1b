#pragma once
// Starting other programs from a test (Xvfb, openbox, xdotool, the program under test, dpkg-deb):
// the one way, so every child dies with its test and none reads the terminal.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvr::test {

struct Command {
    Command(std::vector<std::string> argv, std::vector<std::string> environment = {},
            std::filesystem::path output = {}, int inheritFd = -1)
        : argv(std::move(argv)),
          environment(std::move(environment)),
          output(std::move(output)),
          inheritFd(inheritFd) {}

    std::vector<std::string> argv;         // argv[0] is looked up in PATH
    std::vector<std::string> environment;  // "NAME=value", over this process's environment
    std::filesystem::path output;  // standard output and error appended here; empty: discarded
    int inheritFd = -1;            // one more descriptor the child keeps (e.g. Xvfb -displayfd)
};

struct CommandResult {
    int exitCode = -1;   // as Process::exitStatus
    std::string output;  // standard output (standard error goes to Command::output)
};

// Runs a command to its end.
CommandResult run(const Command& command);

// A running child. It gets SIGTERM when the test process dies, and is stopped (SIGTERM, then
// SIGKILL) when this object goes.
class Process {
public:
    explicit Process(const Command& command);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }
    // Without waiting: nothing while it runs; else its exit code, or 128 + the signal that ended
    // it.
    std::optional<int> exitStatus();
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    void stop();

private:
    friend CommandResult run(const Command& command);
    Process(const Command& command, int stdoutFd);
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Runs body in a child process (a limit or a lost privilege stays there). 0 when body raised
// KvrError with exactly message; 1 when nothing was raised, 2 for another message, 3 for another
// exception, 100 when the child was killed (by SIGXFSZ, say).
int childRaises(const std::string& message, const std::function<void()>& body);

// In such a child: take the rights of an ordinary user (nobody), for the checks that root's
// rights would skip (read-only folders, unreadable files). Raises when that is refused.
void becomeOrdinaryUser();
inline constexpr unsigned kOrdinaryUserId = 65534;

}  // namespace kvr::test
