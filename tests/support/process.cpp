#include "process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <system_error>

#include "base/error.h"
#include "polling.h"

extern char** environ;

namespace kvr::test {
namespace {

// NAME=value strings: ours, with the command's own replacing those of the same name.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> out;
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& x : extra)
            replaced = replaced || nameOf(x) == nameOf(entry);
        if (!replaced)
            out.push_back(entry);
    }
    // Within extra the last entry of a name wins, as one putenv after another would have it.
    for (size_t i = 0; i < extra.size(); ++i) {
        bool later = false;
        for (size_t j = i + 1; j < extra.size(); ++j)
            later = later || nameOf(extra[j]) == nameOf(extra[i]);
        if (!later)
            out.push_back(extra[i]);
    }
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

int statusCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

Process::Process(const Command& command) : Process(command, -1) {}

Process::Process(const Command& command, int stdoutFd) {
    if (command.argv.empty())
        throw std::invalid_argument("no program to start");
    // Everything the child needs is made before fork: a test may have threads (Qt's), and after
    // fork only async-signal-safe calls are sound.
    std::vector<std::string> argvStrings = command.argv;
    std::vector<std::string> envStrings = mergedEnvironment(command.environment);
    const std::vector<char*> argv = pointers(argvStrings);
    const std::vector<char*> envp = pointers(envStrings);
    const std::string outputPath = command.output.string();
    const pid_t parent = getpid();

    pid_ = fork();
    if (pid_ < 0)
        throw std::system_error(errno, std::generic_category(), "fork");
    if (pid_ > 0)
        return;

    // A test that crashes or is killed must not leave its children running.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(127);
    // Out of the terminal's process group, so a Ctrl-C reaches the test only.
    setpgid(0, 0);
    const int null = open("/dev/null", O_RDWR);
    const int log = outputPath.empty()
                        ? null
                        : open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    dup2(null, 0);
    dup2(stdoutFd >= 0 ? stdoutFd : log, 1);
    dup2(log, 2);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != command.inheritFd)
            close(fd);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
}

Process::~Process() {
    stop();
}

std::optional<int> Process::exitStatus() {
    if (!status_ && pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = statusCode(status);
    }
    return status_;
}

std::optional<int> Process::waitForExit(std::chrono::milliseconds timeout) {
    pollUntil(timeout, [&] { return exitStatus().has_value(); });
    return status_;
}

void Process::stop() {
    if (pid_ <= 0 || exitStatus())
        return;
    kill(pid_, SIGTERM);
    if (!waitForExit(std::chrono::seconds(2))) {
        kill(pid_, SIGKILL);
        int status = 0;
        if (waitpid(pid_, &status, 0) == pid_)
            status_ = statusCode(status);
    }
}

CommandResult run(const Command& command) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    struct Closer {
        int* fds;
        ~Closer() {
            for (int i = 0; i < 2; ++i)
                if (fds[i] >= 0)
                    close(fds[i]);
        }
    } closer{fds};
    Process process(command, fds[1]);
    close(fds[1]);
    fds[1] = -1;  // the child's end: the read below ends when the child's copy closes
    CommandResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            result.output.append(buffer, size_t(n));
    int status = 0;
    while (waitpid(process.pid_, &status, 0) < 0 && errno == EINTR) {
    }
    process.status_ = statusCode(status);
    result.exitCode = *process.status_;
    return result;
}

void becomeOrdinaryUser() {
    if (setgid(kOrdinaryUserId) != 0 || setuid(kOrdinaryUserId) != 0)
        throw std::runtime_error("cannot become an ordinary user");
}

int childRaises(const std::string& message, const std::function<void()>& body) {
    const pid_t pid = fork();
    if (pid < 0)
        throw std::system_error(errno, std::generic_category(), "fork");
    if (pid == 0) {
        int code = 1;
        try {
            body();
        } catch (const KvrError& e) {
            code = e.what() == message ? 0 : 2;
        } catch (...) {
            code = 3;  // must not reach the test runner's own handler in this process
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

}  // namespace kvr::test
